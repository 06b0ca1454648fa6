#pragma once

// The input break-out: low-level hooks and the Ctrl+Alt+Esc hot key that end a run.
#include "common/win/unique_handle.h"

#include <windows.h>

namespace kestova::win {

inline constexpr wchar_t kBreakOutAtomName[] = L"ScreenSaverBreakOut";

// The one main window that the hook procedures ask to close (they get no context argument).
void SetBreakOutWindow(HWND window) noexcept;

// Standard low-level hook procedures: any event ends the run and is swallowed.
LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK MouseHookProc(int code, WPARAM wParam, LPARAM lParam);

// What is armed for one main window. Destroying it disarms.
class BreakOut {
public:
    BreakOut(HWND window, HINSTANCE instance) noexcept : window_(window), instance_(instance) {}
    BreakOut(const BreakOut&) = delete;
    BreakOut& operator=(const BreakOut&) = delete;
    ~BreakOut() { Disarm(); }

    void AddHotKey() noexcept;
    void InstallKeyboardHook() noexcept;
    void InstallMouseHook() noexcept;
    // Mouse hook, keyboard hook, then hot key and atom; each only if it is in place.
    void Disarm() noexcept;

    [[nodiscard]] ATOM breakOutAtom() const noexcept { return BreakOutAtom.get(); }

private:
    HWND window_;
    HINSTANCE instance_;
    UniqueGlobalAtom BreakOutAtom;
};

} // namespace kestova::win
