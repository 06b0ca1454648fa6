#pragma once

// The dialogs are designed in pixels at 96 dpi and drawn at the DPI of the monitor they are on
// (the program is per-monitor aware): every design figure passes through here.
#include "common/win/unique_handle.h"

#include <string>

namespace kestova::win {

// A control's place in design pixels, relative to its parent's client area.
struct DesignRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

[[nodiscard]] int ScaleToDpi(int designPixels, UINT dpi) noexcept;

// The design rectangle at `dpi`: each of left, top, width and height scaled on its own, so a
// control keeps its scaled size wherever it sits.
[[nodiscard]] RECT ScaleRect(const DesignRect& rect, UINT dpi) noexcept;

// The DPI a window is drawn at; 96 for a window that has none yet.
[[nodiscard]] UINT WindowDpi(HWND window) noexcept;

// "MS Sans Serif" 8 point at `dpi` (a height of -11 pixels at 96 dpi).
[[nodiscard]] UniqueGdiObject CreateDialogFont(UINT dpi, bool bold = false) noexcept;

// The size that `text` takes on one line in `font`: what a label sized to its text needs.
[[nodiscard]] SIZE MeasureText(HWND window, HFONT font, const std::wstring& text) noexcept;

// The size of a caption drawn as buttons draw theirs: one line, "&" marking a mnemonic.
[[nodiscard]] SIZE MeasureCaption(HWND window, HFONT font, const std::wstring& text) noexcept;

// The height that `text` takes in `font` when a left-aligned static control of `width` wraps it
// at word breaks (ampersands shown as themselves).
[[nodiscard]] int MeasureWrappedHeight(HWND window, HFONT font, const std::wstring& text,
                                       int width) noexcept;

// The height of one line of text in `font`.
[[nodiscard]] int LineHeight(HWND window, HFONT font) noexcept;

// Moves a control to its design place at `dpi` and gives it `font`.
void PlaceControl(HWND control, const DesignRect& rect, UINT dpi, HFONT font) noexcept;

// A window's outer size for a client area of the given design size at `dpi`.
[[nodiscard]] SIZE WindowSizeForClient(HWND window, int clientWidth, int clientHeight,
                                       UINT dpi) noexcept;

// A window's outer size for a client area of `client` device pixels at `dpi`.
[[nodiscard]] SIZE WindowSizeForClientPixels(HWND window, SIZE client, UINT dpi) noexcept;

// Places the window, at its outer size, in the middle of the primary monitor's work area.
void CentreOnPrimaryMonitor(HWND window, SIZE size) noexcept;

} // namespace kestova::win
