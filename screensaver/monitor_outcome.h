#pragma once

#include <cstdint>
#include <string>

namespace kestova {

// What one monitor showed during a run: a slide show placed on it, or Corvane's black window
// with the reason (empty when the monitor's entry named no presentation).
struct MonitorOutcome {
    int32_t monitor = 0;       // 1-based monitor number in the product's order
    bool showRunning = false;  // a slide show of this run is placed on it
    std::wstring presentation; // the entry's path (as stored), empty if none
    std::wstring reason;       // black window's text when !showRunning
    std::wstring detail; // extra detail for the run journal (host's error text etc.), may be empty
};

} // namespace kestova
