#include "standin/win/knobs.h"

#include "standin/win/journal.h"
#include "standin/win/registry_values.h"

#include <cwchar>

namespace kestova::standin::win {

Knobs ReadKnobs() {
    Knobs knobs;
    std::wstring key = kStandinKnobKey;
    knobs.journalPath = RegistryString(HKEY_CURRENT_USER, key, L"Journal").value_or(L"");
    if (knobs.journalPath.empty())
        knobs.journalPath = kDefaultJournalPath;
    knobs.version = RegistryString(HKEY_CURRENT_USER, key, L"Version").value_or(L"16.0");
    knobs.noComAddIns = RegistryDword(HKEY_CURRENT_USER, key, L"NoCOMAddIns").value_or(0) != 0;
    knobs.refuseOpen = RegistryString(HKEY_CURRENT_USER, key, L"RefuseOpen").value_or(L"");
    knobs.faults = ReadFaultPlan(key);
    const std::wstring dpis = RegistryString(HKEY_CURRENT_USER, key, L"MonitorDpi").value_or(L"");
    for (size_t at = 0; at < dpis.size();) {
        const size_t comma = dpis.find(L',', at);
        const std::wstring one =
            dpis.substr(at, comma == std::wstring::npos ? std::wstring::npos : comma - at);
        const int32_t dpi = static_cast<int32_t>(std::wcstol(one.c_str(), nullptr, 10));
        knobs.monitorDpi.push_back(dpi > 0 ? dpi : 96);
        at = comma == std::wstring::npos ? dpis.size() : comma + 1;
    }
    knobs.ignorePlacement =
        RegistryString(HKEY_CURRENT_USER, key, L"IgnorePlacement").value_or(L"");
    return knobs;
}

} // namespace kestova::standin::win
