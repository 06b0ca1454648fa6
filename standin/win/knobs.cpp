#include "standin/win/knobs.h"

#include "standin/win/journal.h"
#include "standin/win/registry_values.h"

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
    return knobs;
}

} // namespace kestova::standin::win
