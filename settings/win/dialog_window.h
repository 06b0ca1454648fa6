#pragma once

// The window plumbing the settings dialogs share: a private dialog class, and the procedure that
// finds the form object behind a window and passes it the window's messages.
#include "settings/win/handler_guard.h"

#include <windows.h>

namespace kestova::win {

// Registers the class once per instance. DLGWINDOWEXTRA makes it a private dialog class:
// DefDlgProc gives the default button, Tab, Enter and Esc.
[[nodiscard]] bool RegisterDialogClass(HINSTANCE instance, const wchar_t* className,
                                       WNDPROC procedure, HICON icon = nullptr) noexcept;

// The body of a form's window procedure. The form is passed as CreateWindowExW's parameter; it
// learns its window at WM_NCCREATE and forgets it at WM_NCDESTROY. A message its handler leaves
// (returns false for) goes to DefDlgProc; an error escaping the handler is reported.
template <typename Form>
LRESULT RouteDialogMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                           HWND Form::*formWindow,
                           bool (Form::*handle)(UINT, WPARAM, LPARAM, LRESULT&)) noexcept {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* form = static_cast<Form*>(create->lpCreateParams);
        form->*formWindow = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Form*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form) {
        LRESULT result = 0;
        bool handled = false;
        RunHandler([&] { handled = (form->*handle)(message, wParam, lParam, result); });
        if (message == WM_NCDESTROY) {
            ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            form->*formWindow = nullptr;
        }
        if (handled)
            return result;
    }
    return ::DefDlgProcW(window, message, wParam, lParam);
}

} // namespace kestova::win
