#include "settings/win/dpi_layout.h"

#include <algorithm>

namespace kestova::win {

namespace {

constexpr UINT kDesignDpi = USER_DEFAULT_SCREEN_DPI;
constexpr int kFontPoints = 8;
constexpr wchar_t kFontFace[] = L"MS Sans Serif";

} // namespace

int ScaleToDpi(int designPixels, UINT dpi) noexcept {
    return ::MulDiv(designPixels, static_cast<int>(dpi), static_cast<int>(kDesignDpi));
}

RECT ScaleRect(const DesignRect& rect, UINT dpi) noexcept {
    const int left = ScaleToDpi(rect.left, dpi);
    const int top = ScaleToDpi(rect.top, dpi);
    return {left, top, left + ScaleToDpi(rect.width, dpi), top + ScaleToDpi(rect.height, dpi)};
}

UINT WindowDpi(HWND window) noexcept {
    const UINT dpi = window ? ::GetDpiForWindow(window) : 0;
    return dpi ? dpi : kDesignDpi;
}

UniqueGdiObject CreateDialogFont(UINT dpi, bool bold) noexcept {
    LOGFONTW font{};
    font.lfHeight = -::MulDiv(kFontPoints, static_cast<int>(dpi), 72);
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    ::wcscpy_s(font.lfFaceName, kFontFace);
    return UniqueGdiObject(::CreateFontIndirectW(&font));
}

SIZE MeasureText(HWND window, HFONT font, const std::wstring& text) noexcept {
    SIZE size{};
    WindowDc dc(window);
    if (!dc)
        return size;
    HGDIOBJ previous = ::SelectObject(dc.get(), font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.get(), &metrics);
    if (!::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size))
        size = {};
    // An empty text still takes a line.
    size.cy = metrics.tmHeight;
    ::SelectObject(dc.get(), previous);
    return size;
}

namespace {

// DrawText's own measure of `text` with `format` (plus DT_CALCRECT) inside `bounds`.
RECT DrawnBounds(HWND window, HFONT font, const std::wstring& text, UINT format,
                 RECT bounds) noexcept {
    WindowDc dc(window);
    if (!dc)
        return RECT{};
    HGDIOBJ previous = ::SelectObject(dc.get(), font);
    ::DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &bounds,
                format | DT_CALCRECT);
    ::SelectObject(dc.get(), previous);
    return bounds;
}

} // namespace

SIZE MeasureCaption(HWND window, HFONT font, const std::wstring& text) noexcept {
    const RECT r = DrawnBounds(window, font, text, DT_SINGLELINE, RECT{0, 0, 0, 0});
    return {r.right - r.left, std::max<LONG>(r.bottom - r.top, LineHeight(window, font))};
}

int MeasureWrappedHeight(HWND window, HFONT font, const std::wstring& text, int width) noexcept {
    const RECT r = DrawnBounds(window, font, text, DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX,
                               RECT{0, 0, width, 0});
    return r.bottom - r.top;
}

int LineHeight(HWND window, HFONT font) noexcept {
    WindowDc dc(window);
    if (!dc)
        return 0;
    HGDIOBJ previous = ::SelectObject(dc.get(), font);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc.get(), &metrics);
    ::SelectObject(dc.get(), previous);
    return metrics.tmHeight;
}

void PlaceControl(HWND control, const DesignRect& rect, UINT dpi, HFONT font) noexcept {
    const RECT r = ScaleRect(rect, dpi);
    ::SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

SIZE WindowSizeForClient(HWND window, int clientWidth, int clientHeight, UINT dpi) noexcept {
    RECT rect{0, 0, ScaleToDpi(clientWidth, dpi), ScaleToDpi(clientHeight, dpi)};
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE));
    ::AdjustWindowRectExForDpi(&rect, style, FALSE, exStyle, dpi);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

SIZE WindowSizeForClientPixels(HWND window, SIZE client, UINT dpi) noexcept {
    RECT rect{0, 0, client.cx, client.cy};
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_EXSTYLE));
    ::AdjustWindowRectExForDpi(&rect, style, FALSE, exStyle, dpi);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

void CentreOnPrimaryMonitor(HWND window, SIZE size) noexcept {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (::GetMonitorInfoW(::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info))
        area = info.rcWork;
    const int left = area.left + (area.right - area.left - size.cx) / 2;
    const int top = area.top + (area.bottom - area.top - size.cy) / 2;
    ::SetWindowPos(window, nullptr, left, top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace kestova::win
