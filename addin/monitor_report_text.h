#pragma once

// The one-line reasons the add-in gives for a monitor that has no show of the session; the
// screen saver puts them on that monitor's black window.
#include <cstdint>
#include <string>

namespace kestova::addin {

inline constexpr wchar_t kNoShowText[] = L"No slide show was started for this monitor.";

// The file's name without its folder, as the user knows it.
[[nodiscard]] inline std::wstring FileNameOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

[[nodiscard]] inline std::wstring OpenFailedText(const std::wstring& path) {
    return L"Presentation could not be opened: " + FileNameOf(path);
}
[[nodiscard]] inline std::wstring AlreadyShownText(int32_t monitorNum) {
    return L"Already shown on monitor " + std::to_wstring(monitorNum) + L".";
}
[[nodiscard]] inline std::wstring NoSuchMonitorText(int32_t monitorNum) {
    return L"Monitor " + std::to_wstring(monitorNum) + L" does not exist.";
}
[[nodiscard]] inline std::wstring NotStartedText(const std::wstring& path) {
    return L"Slide show could not be started: " + FileNameOf(path);
}
[[nodiscard]] inline std::wstring WindowNotFoundText(const std::wstring& path) {
    return L"Slide show window could not be found: " + FileNameOf(path);
}
[[nodiscard]] inline std::wstring NotPlacedText(const std::wstring& path) {
    return L"Slide show could not be placed on this monitor: " + FileNameOf(path);
}

} // namespace kestova::addin
