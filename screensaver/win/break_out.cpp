#include "screensaver/win/break_out.h"

#include "screensaver/run_end.h"
#include "screensaver/win/boundary.h"

namespace kestova::win {

namespace {

// Process-wide, as the hook procedures must find them without any context.
UniqueHook KeyboardHook;
UniqueHook MouseHook;
HWND BreakOutWindow = nullptr;

constexpr UINT kCtrlAlt = MOD_ALT | MOD_CONTROL;

// Windows silently removes a low-level hook that overruns LowLevelHooksTimeout, so the procedure
// only posts the close request: no allocation, no COM call, nothing that can wait.
LRESULT HandleHookEvent(HHOOK hook, RunEnd cause, int code, WPARAM wParam, LPARAM lParam) noexcept {
    if (code < 0)
        return ::CallNextHookEx(hook, code, wParam, lParam);
    ::PostMessageW(BreakOutWindow, WM_CLOSE, static_cast<WPARAM>(cause), 0);
    return 1; // swallowed: no slide show sees the input that ended the run
}

} // namespace

void SetBreakOutWindow(HWND window) noexcept {
    BreakOutWindow = window;
}

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) {
    return Guarded<LRESULT>(
        1, [&] { return HandleHookEvent(KeyboardHook.get(), RunEnd::Key, code, wParam, lParam); });
}

LRESULT CALLBACK MouseHookProc(int code, WPARAM wParam, LPARAM lParam) {
    return Guarded<LRESULT>(
        1, [&] { return HandleHookEvent(MouseHook.get(), RunEnd::Mouse, code, wParam, lParam); });
}

// Each piece is put in place once: the run arms as soon as its settings are read and again at
// the end of its start.
void BreakOut::AddHotKey() noexcept {
    if (BreakOutAtom)
        return;
    // The atom doubles as the hot key's identifier, which keeps it unique on the desktop.
    BreakOutAtom.reset(::GlobalAddAtomW(kBreakOutAtomName));
    ::RegisterHotKey(window_, BreakOutAtom.get(), kCtrlAlt, VK_ESCAPE);
}

void BreakOut::InstallKeyboardHook() noexcept {
    if (KeyboardHook)
        return;
    KeyboardHook.reset(::SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardHookProc, instance_, 0));
}

void BreakOut::InstallMouseHook() noexcept {
    if (MouseHook)
        return;
    MouseHook.reset(::SetWindowsHookExW(WH_MOUSE_LL, MouseHookProc, instance_, 0));
}

void BreakOut::Disarm() noexcept {
    MouseHook.reset();
    KeyboardHook.reset();
    if (BreakOutAtom) {
        ::UnregisterHotKey(window_, BreakOutAtom.get());
        BreakOutAtom.reset();
    }
}

} // namespace kestova::win
