#pragma once

// The settings program's message loop: keyboard input for our dialogs goes through the dialog
// manager (Tab, Enter, Esc, mnemonics), and the idle handler runs once after every burst of
// messages, never in a busy loop.
#include <windows.h>

#include <functional>

namespace kestova::win {

// The application's one idle handler (empty: none).
void SetIdleHandler(std::function<void()> handler);

// Dialog windows whose keyboard input is passed through IsDialogMessage.
void AddDialogWindow(HWND dialog);
void RemoveDialogWindow(HWND dialog);

// Handles every waiting message, then runs the idle handler once. Returns false when WM_QUIT
// was taken from the queue; `exitCode` then holds its code.
[[nodiscard]] bool ProcessMessages(int& exitCode);

// Shows `dialog` modally: the thread's other enabled top-level windows are disabled, messages
// (and the idle handler) run until `finished` returns true, then those windows are enabled again.
// A WM_QUIT ends the modal loop early and is posted again for the outer loop.
void RunModal(HWND dialog, const std::function<bool()>& finished);

} // namespace kestova::win
