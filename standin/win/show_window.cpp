#include "standin/win/show_window.h"

#include "standin/win/com_boundary.h"

namespace kestova::standin::win {
namespace {

// PowerPoint's own slide show window class, so window-finding code behaves alike.
constexpr wchar_t kClassName[] = L"screenClass";
constexpr UINT_PTR kAdvanceTimer = 1;

bool RegisterShowClass(WNDPROC procedure) {
    static bool registered = false;
    if (registered)
        return true;
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    info.style = CS_HREDRAW | CS_VREDRAW;
    info.lpfnWndProc = procedure;
    info.hInstance = ::GetModuleHandleW(nullptr);
    info.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    info.lpszClassName = kClassName;
    registered = ::RegisterClassExW(&info) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered;
}

} // namespace

bool ShowWindow::Create(const ShowWindowSetup& setup, ShowWindowListener& listener) {
    if (!RegisterShowClass(&ShowWindow::Procedure))
        return false;
    setup_ = setup;
    listener_ = &listener;
    slide_ = 1;
    HWND window = ::CreateWindowExW(
        WS_EX_TOPMOST, kClassName, setup_.title.c_str(), WS_POPUP, setup_.rect.left,
        setup_.rect.top, setup_.rect.right - setup_.rect.left, setup_.rect.bottom - setup_.rect.top,
        nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    if (!window)
        return false;
    window_.reset(window);
    ::SetTimer(window, kAdvanceTimer, static_cast<UINT>(setup_.advanceMs), nullptr);
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);
    return true;
}

void ShowWindow::Destroy() noexcept {
    if (HWND window = window_.get()) {
        ::KillTimer(window, kAdvanceTimer);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    }
    window_.reset();
    listener_ = nullptr;
}

LRESULT CALLBACK ShowWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return WindowBoundary(0, [&]() -> LRESULT {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            ::SetWindowLongPtrW(window, GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<ShowWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (!self || !self->window_)
            return ::DefWindowProcW(window, message, wParam, lParam);
        return self->Handle(message, wParam, lParam);
    });
}

LRESULT ShowWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND window = window_.get();
    switch (message) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_TIMER:
        if (wParam == kAdvanceTimer)
            Advance(nullptr);
        return 0;
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_ESCAPE:
            if (listener_)
                listener_->OnShowOver(L"escape"); // destroys this window
            return 0;
        case VK_SPACE:
        case VK_RIGHT:
        case VK_NEXT:
        case VK_RETURN:
            Advance(L"key");
            return 0;
        default:
            return 0;
        }
    case WM_LBUTTONDOWN:
        Advance(L"click");
        return 0;
    case WM_CLOSE:
        if (listener_)
            listener_->OnShowOver(L"closed");
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

void ShowWindow::Advance(const wchar_t* input) {
    if (slide_ >= setup_.slides) {
        if (!setup_.loop) {
            if (listener_)
                listener_->OnShowOver(L"finished");
            return;
        }
        slide_ = 1;
    } else {
        ++slide_;
    }
    if (input && listener_)
        listener_->OnSlideInput(input, slide_);
    ::InvalidateRect(window_.get(), nullptr, FALSE);
}

void ShowWindow::Paint() {
    HWND window = window_.get();
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(window, &paint);
    if (!dc)
        return;
    RECT client{};
    ::GetClientRect(window, &client);
    kestova::win::UniqueGdiObject brush(::CreateSolidBrush(setup_.color));
    ::FillRect(dc, &client, static_cast<HBRUSH>(brush.get()));

    int height = client.bottom - client.top;
    int fontHeight = height / 12 > 12 ? height / 12 : 12;
    kestova::win::UniqueGdiObject font(::CreateFontW(
        -fontHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Arial"));
    HGDIOBJ previous = ::SelectObject(dc, font.get());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
    RECT upper = client;
    upper.bottom = client.top + height / 2;
    ::DrawTextW(dc, setup_.name.c_str(), -1, &upper, DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
    std::wstring counter =
        L"Slide " + std::to_wstring(slide_) + L" of " + std::to_wstring(setup_.slides);
    RECT lower = client;
    lower.top = upper.bottom + fontHeight / 2;
    ::DrawTextW(dc, counter.c_str(), -1, &lower, DT_CENTER | DT_TOP | DT_SINGLELINE);
    ::SelectObject(dc, previous);
    ::EndPaint(window, &paint);
}

} // namespace kestova::standin::win
