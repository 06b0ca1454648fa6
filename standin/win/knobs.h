#pragma once

// The stand-in's own settings for tests, read once at start from HKCU\Software\KestovaTest\Standin.
#include "standin/win/fault_plan.h"

#include <string>

namespace kestova::standin::win {

inline constexpr wchar_t kStandinKnobKey[] = L"Software\\KestovaTest\\Standin";

struct Knobs {
    std::wstring journalPath; // Journal
    std::wstring version;     // Version, "16.0" unless set
    bool noComAddIns = false; // NoCOMAddIns: the Application has no such member
    std::wstring refuseOpen;  // RefuseOpen: Open of exactly this path fails
    FaultPlan faults;         // FailMember, UnknownMember, ExitOnMember, SlowMember, ...
};

Knobs ReadKnobs();

} // namespace kestova::standin::win
