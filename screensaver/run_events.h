#pragma once

// What a run tells the Application event log, where the tools of the people who look after many
// screens collect it. Only runs that went wrong say anything, and each at most once per kind, so
// a screen writes a handful of events a day at most. The ids and categories are the message
// table's (screensaver/win/corvane_events.mc) and never change meaning.
#include "screensaver/run_journal.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestova {

inline constexpr uint16_t kStartCategory = 1;
inline constexpr uint16_t kMonitorsCategory = 2;
inline constexpr uint16_t kPowerPointCategory = 3;

// Error: the run could not start. Strings: the failure, the run journal's file.
inline constexpr uint32_t kStartFailedEvent = 1001;
// Warning: monitors left without their chosen show. Strings: one line per monitor with its
// reason, the run journal's file.
inline constexpr uint32_t kMonitorsWithoutShowEvent = 1002;
// Warning: PowerPoint did not answer, so the run left without it. Strings: what was seen of the
// host meanwhile, the run journal's file.
inline constexpr uint32_t kAbandonedRunEvent = 1003;

enum class EventLevel { Error, Warning };

struct RunEvent {
    uint32_t id = 0;
    uint16_t category = 0;
    EventLevel level = EventLevel::Warning;
    std::vector<std::wstring> strings;
};

// The events of one run, in id order; none for a good run. `journalFile` is named in each so
// that an administrator knows where the run's details are.
[[nodiscard]] std::vector<RunEvent> RunEvents(const RunRecord& record,
                                              const std::wstring& journalFile);

} // namespace kestova
