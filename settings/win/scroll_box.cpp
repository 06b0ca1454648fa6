#include "settings/win/scroll_box.h"

#include "settings/win/dpi_layout.h"

#include <algorithm>

namespace kestova::win {

namespace {

constexpr wchar_t kClassName[] = L"KestovaScrollBox";
constexpr int kLineDesignPixels = 8;

int MaxPosition(HWND box) noexcept {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE;
    if (!::GetScrollInfo(box, SB_VERT, &info))
        return 0;
    return std::max(0, info.nMax - info.nMin + 1 - static_cast<int>(info.nPage));
}

} // namespace

void ScrollChildIntoView(HWND box, HWND child) noexcept {
    RECT client{};
    RECT rect{};
    ::GetClientRect(box, &client);
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(HWND_DESKTOP, box, reinterpret_cast<POINT*>(&rect), 2);
    const int position = ScrollBoxPosition(box);
    if (rect.top < client.top)
        ScrollBoxTo(box, position + rect.top - client.top);
    else if (rect.bottom > client.bottom)
        ScrollBoxTo(box, position + std::min(rect.bottom - client.bottom, rect.top - client.top));
}

namespace {

int LineHeight(HWND box) noexcept {
    return ScaleToDpi(kLineDesignPixels, WindowDpi(box));
}

void OnVerticalScroll(HWND box, int code) noexcept {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    ::GetScrollInfo(box, SB_VERT, &info);
    int position = info.nPos;
    const int page = static_cast<int>(info.nPage);
    switch (code) {
    case SB_LINEUP:
        position -= LineHeight(box);
        break;
    case SB_LINEDOWN:
        position += LineHeight(box);
        break;
    case SB_PAGEUP:
        position -= page;
        break;
    case SB_PAGEDOWN:
        position += page;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        position = info.nTrackPos;
        break;
    case SB_TOP:
        position = 0;
        break;
    case SB_BOTTOM:
        position = MaxPosition(box);
        break;
    default:
        return;
    }
    ScrollBoxTo(box, position);
}

LRESULT CALLBACK ScrollBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
    case WM_VSCROLL:
        OnVerticalScroll(box, LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL: {
        const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
        UINT lines = 3;
        ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
        if (lines == WHEEL_PAGESCROLL) {
            RECT client{};
            ::GetClientRect(box, &client);
            ScrollBoxTo(box, ScrollBoxPosition(box) - notches * (client.bottom - client.top));
        } else {
            ScrollBoxTo(box, ScrollBoxPosition(box) -
                                 notches * static_cast<int>(lines) * LineHeight(box));
        }
        return 0;
    }
    case WM_COMMAND: {
        const UINT code = HIWORD(wParam);
        HWND child = reinterpret_cast<HWND>(lParam);
        if (child && (code == EN_SETFOCUS || code == BN_SETFOCUS))
            ScrollChildIntoView(box, child);
        return ::SendMessageW(::GetParent(box), message, wParam, lParam);
    }
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        return ::SendMessageW(::GetParent(box), message, wParam, lParam);
    default:
        return ::DefWindowProcW(box, message, wParam, lParam);
    }
}

} // namespace

HWND CreateScrollBox(HWND parent, int id, HINSTANCE instance) noexcept {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (!::GetClassInfoExW(instance, kClassName, &windowClass)) {
        windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = ScrollBoxProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kClassName;
        if (!::RegisterClassExW(&windowClass))
            return nullptr;
    }
    // WS_EX_CONTROLPARENT: the dialog manager's Tab order runs through the rows inside.
    return ::CreateWindowExW(WS_EX_CLIENTEDGE | WS_EX_CONTROLPARENT, kClassName, L"",
                             WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 0, 0,
                             parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                             nullptr);
}

void SetScrollBoxContentHeight(HWND box, int contentHeight) noexcept {
    RECT client{};
    ::GetClientRect(box, &client);
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_PAGE;
    info.nMin = 0;
    info.nMax = std::max(0, contentHeight - 1);
    info.nPage = static_cast<UINT>(std::max(0L, client.bottom - client.top));
    ::SetScrollInfo(box, SB_VERT, &info, TRUE);
    // A shorter content or a taller box may leave the old position out of range.
    ScrollBoxTo(box, ScrollBoxPosition(box));
}

void ScrollBoxTo(HWND box, int position) noexcept {
    position = std::clamp(position, 0, MaxPosition(box));
    const int old = ScrollBoxPosition(box);
    if (position == old)
        return;
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS;
    info.nPos = position;
    ::SetScrollInfo(box, SB_VERT, &info, TRUE);
    ::ScrollWindowEx(box, 0, old - position, nullptr, nullptr, nullptr, nullptr,
                     SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
}

int ScrollBoxPosition(HWND box) noexcept {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS;
    if (!::GetScrollInfo(box, SB_VERT, &info))
        return 0;
    return info.nPos;
}

} // namespace kestova::win
