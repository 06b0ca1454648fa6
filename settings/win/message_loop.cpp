#include "settings/win/message_loop.h"

#include "settings/win/handler_guard.h"

#include <algorithm>
#include <vector>

namespace kestova::win {

namespace {

// One user-interface thread: plain process-wide state.
std::function<void()>& IdleHandler() {
    static std::function<void()> handler;
    return handler;
}

std::vector<HWND>& DialogWindows() {
    static std::vector<HWND> dialogs;
    return dialogs;
}

bool IsOurDialog(HWND window) {
    const auto& dialogs = DialogWindows();
    return std::find(dialogs.begin(), dialogs.end(), window) != dialogs.end();
}

BOOL CALLBACK CollectEnabledWindow(HWND window, LPARAM context) {
    auto* windows = reinterpret_cast<std::vector<HWND>*>(context);
    if (::IsWindowVisible(window) && ::IsWindowEnabled(window))
        windows->push_back(window);
    return TRUE;
}

} // namespace

void SetIdleHandler(std::function<void()> handler) {
    IdleHandler() = std::move(handler);
}

void AddDialogWindow(HWND dialog) {
    if (!IsOurDialog(dialog))
        DialogWindows().push_back(dialog);
}

void RemoveDialogWindow(HWND dialog) {
    auto& dialogs = DialogWindows();
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), dialog), dialogs.end());
}

bool ProcessMessages(int& exitCode) {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            exitCode = static_cast<int>(message.wParam);
            return false;
        }
        HWND root = message.hwnd ? ::GetAncestor(message.hwnd, GA_ROOT) : nullptr;
        if (root && IsOurDialog(root) && ::IsDialogMessageW(root, &message))
            continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    // A copy: the handler may replace itself (the settings dialog removes it when it closes).
    if (auto idle = IdleHandler())
        RunHandler(idle);
    return true;
}

void RunModal(HWND dialog, const std::function<bool()>& finished) {
    std::vector<HWND> disabled;
    ::EnumThreadWindows(::GetCurrentThreadId(), CollectEnabledWindow,
                        reinterpret_cast<LPARAM>(&disabled));
    disabled.erase(std::remove(disabled.begin(), disabled.end(), dialog), disabled.end());
    for (HWND window : disabled)
        ::EnableWindow(window, FALSE);

    int exitCode = 0;
    bool quit = false;
    while (!finished()) {
        if (!ProcessMessages(exitCode)) {
            quit = true;
            break;
        }
        if (!finished())
            ::WaitMessage();
    }

    // Enabled again before the dialog goes, so activation returns to them.
    for (HWND window : disabled) {
        if (::IsWindow(window))
            ::EnableWindow(window, TRUE);
    }
    if (quit)
        ::PostQuitMessage(exitCode);
}

} // namespace kestova::win
