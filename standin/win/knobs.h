#pragma once

// The stand-in's own settings for tests, read once at start from HKCU\Software\KestovaTest\Standin.
#include "standin/win/fault_plan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestova::standin::win {

inline constexpr wchar_t kStandinKnobKey[] = L"Software\\KestovaTest\\Standin";

struct Knobs {
    std::wstring journalPath; // Journal
    std::wstring version;     // Version, "16.0" unless set
    bool noComAddIns = false; // NoCOMAddIns: the Application has no such member
    std::wstring refuseOpen;  // RefuseOpen: Open of exactly this path fails
    FaultPlan faults;         // FailMember, UnknownMember, ExitOnMember, SlowMember, ...
    // MonitorDpi ("96,144"): each monitor's own pixels per inch, in the system's order. A
    // placement is then converted with the setting of the monitor the window lies on, as a host
    // aware of each monitor's setting does, while the screen's device context still gives one.
    std::vector<int32_t> monitorDpi;
    // IgnorePlacement: file names (';' between, "*" for all) whose show windows take every
    // Left/Top/Width/Height silently and stay where they are.
    std::wstring ignorePlacement;
};

Knobs ReadKnobs();

} // namespace kestova::standin::win
