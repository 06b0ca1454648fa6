#include "screensaver/win/display_form.h"

#include "common/win/unique_handle.h"
#include "screensaver/win/boundary.h"
#include "screensaver/win/monitor_order.h"

#include <memory>

namespace kestova::win {

namespace {

constexpr int kHelpLabelId = 1;
constexpr COLORREF kYellow = RGB(255, 255, 0);
// The design size, replaced at once by the monitor's rectangle.
constexpr int kDesignClientWidth = 560;
constexpr int kDesignClientHeight = 303;

// The label's own font, made for the DPI of the monitor it is on.
struct LabelState {
    UniqueGdiObject font;
    UINT dpi = 0;
};

LabelState* StateOf(HWND label) {
    return reinterpret_cast<LabelState*>(::GetWindowLongPtrW(label, GWLP_USERDATA));
}

void UpdateFont(HWND label) {
    LabelState* state = StateOf(label);
    if (!state)
        return;
    const UINT dpi = ::GetDpiForWindow(label);
    if (state->font && dpi == state->dpi)
        return;
    state->dpi = dpi;
    state->font.reset(::CreateFontW(HelpLabelFontHeight(dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                                    FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                    DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                    L"MS Sans Serif"));
}

void PaintLabel(HWND label) {
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(label, &paint);
    if (!dc)
        return;
    RECT client{};
    ::GetClientRect(label, &client);
    const int length = ::GetWindowTextLengthW(label);
    if (length > 0) {
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        text.resize(static_cast<size_t>(::GetWindowTextW(label, text.data(), length + 1)));
        UpdateFont(label);
        LabelState* state = StateOf(label);
        HGDIOBJ oldFont = state && state->font ? ::SelectObject(dc, state->font.get()) : nullptr;
        ::SetTextColor(dc, kYellow);
        ::SetBkMode(dc, TRANSPARENT);
        // Never wrapped and never clipped to the label: a text wider than the monitor stays on
        // its line, centred, and is cut at both edges by the window. No prefix processing: a
        // path may contain '&'.
        const UINT format = DT_CENTER | DT_NOPREFIX | DT_NOCLIP | DT_EXPANDTABS;
        RECT measured = client;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured,
                    format | DT_CALCRECT);
        const int height = measured.bottom - measured.top;
        RECT target = client;
        target.top = client.top + (client.bottom - client.top - height) / 2;
        target.bottom = target.top + height;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &target, format);
        if (oldFont)
            ::SelectObject(dc, oldFont);
    }
    ::EndPaint(label, &paint);
}

LRESULT CALLBACK HelpLabelProc(HWND label, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded<LRESULT>(0, [&]() -> LRESULT {
        switch (message) {
        case WM_CREATE: {
            auto state = std::make_unique<LabelState>();
            ::SetWindowLongPtrW(label, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state.release()));
            UpdateFont(label);
            return 0;
        }
        case WM_NCDESTROY:
            delete StateOf(label);
            ::SetWindowLongPtrW(label, GWLP_USERDATA, 0);
            break;
        case WM_PAINT:
            PaintLabel(label);
            return 0;
        case WM_SETTEXT: {
            const LRESULT result = ::DefWindowProcW(label, message, wParam, lParam);
            ::InvalidateRect(label, nullptr, TRUE);
            return result;
        }
        case WM_GETFONT: {
            LabelState* state = StateOf(label);
            return state ? reinterpret_cast<LRESULT>(state->font.get()) : 0;
        }
        case WM_NCHITTEST:
            return HTTRANSPARENT;
        default:
            break;
        }
        return ::DefWindowProcW(label, message, wParam, lParam);
    });
}

LRESULT CALLBACK DisplayFormProc(HWND form, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded<LRESULT>(0, [&]() -> LRESULT {
        switch (message) {
        case WM_SIZE:
            if (HWND label = TDisplayForm::HelpLabel(form))
                ::MoveWindow(label, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            return 0;
        case WM_CLOSE:
            // No holes by request: Alt+F4, the system menu and a posted close leave the monitor
            // covered. Only the end of the run takes the window away.
            return 0;
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_CLOSE)
                return 0;
            break;
        case WM_DPICHANGED:
            // The window keeps covering its monitor; only the text follows the new DPI.
            if (HWND label = TDisplayForm::HelpLabel(form)) {
                UpdateFont(label);
                ::InvalidateRect(label, nullptr, TRUE);
            }
            return 0;
        default:
            break;
        }
        return ::DefWindowProcW(form, message, wParam, lParam);
    });
}

// Both classes paint black: the label is transparent in effect, painting the form's own black
// under its text.
void RegisterBlackClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (::GetClassInfoExW(instance, className, &windowClass))
        return;
    windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = className;
    ::RegisterClassExW(&windowClass);
}

void RegisterClasses(HINSTANCE instance) {
    RegisterBlackClass(instance, kDisplayFormClass, DisplayFormProc);
    RegisterBlackClass(instance, kHelpLabelClass, HelpLabelProc);
}

} // namespace

int HelpLabelFontHeight(UINT dpi) noexcept {
    return -::MulDiv(8, static_cast<int>(dpi), 72);
}

HWND TDisplayForm::Create(HWND owner, HINSTANCE instance) noexcept {
    RegisterClasses(instance);
    RECT design{0, 0, kDesignClientWidth, kDesignClientHeight};
    ::AdjustWindowRectEx(&design, WS_POPUP, FALSE, WS_EX_TOPMOST);
    HWND form = ::CreateWindowExW(WS_EX_TOPMOST, kDisplayFormClass, L"DisplayForm",
                                  WS_POPUP | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                                  design.right - design.left, design.bottom - design.top, owner,
                                  nullptr, instance, nullptr);
    if (!form)
        return nullptr;
    // Kept out of the taskbar and the Alt+Tab list.
    const LONG_PTR exStyle = ::GetWindowLongPtrW(form, GWL_EXSTYLE);
    ::SetWindowLongPtrW(form, GWL_EXSTYLE, exStyle | WS_EX_TOOLWINDOW);
    RECT client{};
    ::GetClientRect(form, &client);
    ::CreateWindowExW(
        0, kHelpLabelClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, client.right, client.bottom, form,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kHelpLabelId)), instance, nullptr);
    return form;
}

void TDisplayForm::PlaceOnMonitor(HWND form, int32_t n) noexcept {
    int32_t left = 0, top = 0, width = 0, height = 0;
    try {
        // No caller passes a number without a monitor; such a window simply stays where it is.
        if (n < 1 || n > MonitorCount())
            return;
        GetMonitorBounds(n, left, top, width, height);
    } catch (...) {
        return;
    }
    ::SetWindowPos(form, nullptr, left, top, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TDisplayForm::PlaceOnRect(HWND form, const MonitorRect& rect) noexcept {
    ::SetWindowPos(form, nullptr, rect.left, rect.top, rect.width, rect.height,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TDisplayForm::SetHelpText(HWND form, const std::wstring& text) noexcept {
    if (HWND label = HelpLabel(form))
        ::SetWindowTextW(label, text.c_str());
}

void TDisplayForm::Show(HWND form) noexcept {
    ::ShowWindow(form, SW_SHOW);
    ::UpdateWindow(form);
}

HWND TDisplayForm::HelpLabel(HWND form) noexcept {
    return ::GetDlgItem(form, kHelpLabelId);
}

} // namespace kestova::win
