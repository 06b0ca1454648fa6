#pragma once

// The run's events in the Application log, under the product's name. The installers register
// the source with Corvane.scr's message table; without that (a per-user installation) the events
// are still written, and the event viewer shows their strings without the message around them.
#include "common/win/unique_handle.h"
#include "screensaver/run_events.h"

#include <vector>

namespace kestova::win {

class RunEventLog {
public:
    // Opens the source. Done while the run goes on: the first use may take a moment.
    RunEventLog() noexcept;
    // Writes each event; one that can't be written is lost, and nothing else changes.
    void Report(const std::vector<RunEvent>& events) noexcept;

private:
    UniqueEventSource source_;
};

} // namespace kestova::win
