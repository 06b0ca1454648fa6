#include "standin/sample_file.h"

#include <algorithm>
#include <charconv>

namespace kestova::standin {
namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::optional<int64_t> ReadNumber(std::string_view text, int base = 10) {
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

ShowSettings ParseShowSettings(std::string_view content) {
    ShowSettings settings;
    constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
    if (content.starts_with(kUtf8Bom))
        content.remove_prefix(kUtf8Bom.size());
    size_t lineEnd = content.find('\n');
    if (Trim(content.substr(0, lineEnd)) != kSampleMarker)
        return settings;

    while (lineEnd != std::string_view::npos) {
        content.remove_prefix(lineEnd + 1);
        lineEnd = content.find('\n');
        std::string_view line = Trim(content.substr(0, lineEnd));
        size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        std::string_view key = Trim(line.substr(0, equals));
        std::string_view value = Trim(line.substr(equals + 1));
        if (key == "color") {
            if (value.starts_with('#'))
                value.remove_prefix(1);
            if (auto rgb = ReadNumber(value, 16); rgb && *rgb >= 0 && *rgb <= 0xFFFFFF)
                settings.color = static_cast<uint32_t>(*rgb);
            continue;
        }
        auto number = ReadNumber(value);
        if (!number)
            continue;
        if (key == "slides")
            settings.slides = static_cast<int32_t>(std::clamp<int64_t>(*number, 0, 100000));
        else if (key == "loop")
            settings.loop = *number != 0;
        else if (key == "advance_ms")
            // A floor keeps a typo from flooding the host with timer ticks.
            settings.advanceMs = static_cast<int32_t>(std::clamp<int64_t>(*number, 50, 86400000));
        else if (key == "damaged")
            settings.damaged = *number != 0;
    }
    return settings;
}

} // namespace kestova::standin
