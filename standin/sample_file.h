#pragma once

// The stand-in's own presentation format: a text file whose first line is the marker, then
// key=value lines. Any other file is an ordinary presentation of five slides that loops forever.
#include <cstdint>
#include <optional>
#include <string_view>

namespace kestova::standin {

inline constexpr std::string_view kSampleMarker = "KESTOVA-STANDIN-PRESENTATION";

struct ShowSettings {
    int32_t slides = 5;
    bool loop = true;
    int32_t advanceMs = 1000;
    bool damaged = false;
    std::optional<uint32_t> color; // 0xRRGGBB fill of the show window
};

// Reads the settings from the file's leading bytes; unknown keys and unreadable values keep their
// defaults so a half-written sample still opens.
ShowSettings ParseShowSettings(std::string_view content);

} // namespace kestova::standin
