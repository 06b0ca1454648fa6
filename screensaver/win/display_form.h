#pragma once

// TDisplayForm: the black, borderless, topmost window that covers a monitor without a slide show,
// with one yellow line of text (HelpLabel) in its middle.
#include "common/monitor_order.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace kestova::win {

inline constexpr wchar_t kDisplayFormClass[] = L"TDisplayForm";
inline constexpr wchar_t kHelpLabelClass[] = L"THelpLabel";

// 8 point at the given pixels per inch ("MS Sans Serif" 8 pt is -11 pixels at 96).
[[nodiscard]] int HelpLabelFontHeight(UINT dpi) noexcept;

class TDisplayForm {
public:
    // Creates the window hidden, owned by `owner`, which destroys it with itself.
    [[nodiscard]] static HWND Create(HWND owner, HINSTANCE instance) noexcept;
    // Covers monitor `n` of the product's numbering, taskbar included.
    static void PlaceOnMonitor(HWND form, int32_t n) noexcept;
    // Covers `rect` (a monitor that came during the run, numbered by nobody).
    static void PlaceOnRect(HWND form, const MonitorRect& rect) noexcept;
    static void SetHelpText(HWND form, const std::wstring& text) noexcept;
    static void Show(HWND form) noexcept;
    // The HelpLabel child of a display form.
    [[nodiscard]] static HWND HelpLabel(HWND form) noexcept;
};

} // namespace kestova::win
