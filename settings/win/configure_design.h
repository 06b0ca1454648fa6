#pragma once

// What the settings dialog's parts share: its design in pixels at 96 dpi, its private messages
// and timer, and small control helpers. Private to settings/win/configure_*.cpp.
#include "settings/win/dpi_layout.h"

#include <windows.h>

#include <string>

namespace kestova::configure {

using win::DesignRect;

constexpr wchar_t kPathHint[] = L"Type a full path, such as C:\\Shows\\show.pptx.";
constexpr wchar_t kReachHint[] = L"The location can't be reached now.";

// The design, in pixels at 96 dpi.
constexpr int kClientWidth = 553;
constexpr int kClientHeight = 425;
constexpr DesignRect kHelpLabelRect{8, 8, 537, 161};
constexpr DesignRect kGroupBoxRect{8, 176, 537, 209};
// Inside the group box.
constexpr DesignRect kMonitorLabelRect{16, 24, 0, 0};
constexpr DesignRect kScrollBoxRect{16, 48, 505, 105};
constexpr DesignRect kEnableKeyboardRect{16, 168, 233, 17};
constexpr DesignRect kEnableMouseRect{288, 168, 233, 17};
constexpr DesignRect kHintLabelRect{35, 184, 204, 13};
// On the form again.
constexpr DesignRect kAboutButtonRect{8, 392, 75, 25};
constexpr DesignRect kOKButtonRect{392, 392, 73, 25};
constexpr DesignRect kCancelButtonRect{472, 392, 73, 25};
// Row 0 inside the scroll box; each further row lies kRowPitch lower.
constexpr int kRowPitch = 32;
constexpr DesignRect kRowLabelRect{8, 14, 0, 0};
constexpr DesignRect kRowEditRect{96, 10, 305, 21};
constexpr DesignRect kRowBrowseRect{400, 8, 75, 25};

// Closing is posted, so the window never goes while one of its controls is still in a handler.
constexpr UINT kCloseMessage = WM_APP + 1;
// A row prober has answers (posted from its threads).
constexpr UINT kProbeAnswerMessage = WM_APP + 2;
// Runs while a question is out, OK waits or a row is marked: gives up on slow answers and asks
// about marked rows again.
constexpr UINT_PTR kWatchTimer = 1;
constexpr UINT kWatchPeriodMilliseconds = 250;

inline std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

inline bool IsChecked(HWND checkBox) {
    return ::SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

inline void SetChecked(HWND checkBox, bool checked) {
    ::SendMessageW(checkBox, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

} // namespace kestova::configure
