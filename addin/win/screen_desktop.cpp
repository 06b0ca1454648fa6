#include "addin/win/screen_desktop.h"

#include "addin/win/addin_module.h"
#include "addin/win/com_boundary.h"
#include "addin/win/file_stamp_reader.h"
#include "common/product.h"
#include "common/win/unique_handle.h"

#include <windows.h>

#include <utility>

namespace kestova::addin::win {

namespace {

constexpr UINT kCallerCheckInterval = 250;
// A host call that keeps running messages this long is taken for one that waits on the user.
constexpr UINT kLockWatchDelay = 300;

class WaitableCaller final : public CallerProcess {
public:
    explicit WaitableCaller(kestova::win::UniqueHandle process) noexcept
        : process_(std::move(process)) {}
    bool HasEnded() noexcept override {
        return ::WaitForSingleObject(process_.get(), 0) != WAIT_TIMEOUT;
    }

private:
    kestova::win::UniqueHandle process_;
};

// A thread timer: it runs on the host's main thread, between the host's messages, and also in
// the host's modal loops; the check itself tells those apart.
void CALLBACK CheckCaller(HWND, UINT, UINT_PTR, DWORD) {
    (void)Trapped([] {
        TheMainModule().CheckScreenSaverCaller();
        return S_OK;
    });
}

// A modal dialog or message box is a visible window whose owner (the host's main window, often
// hidden while the host runs for automation) it has disabled. A window the host keeps disabled
// for reasons of its own, with nothing up in front of it, is no sign of one.
BOOL CALLBACK FindModalWindow(HWND window, LPARAM found) {
    if (!::IsWindowVisible(window))
        return TRUE;
    HWND owner = ::GetWindow(window, GW_OWNER);
    if (!owner || ::IsWindowEnabled(owner))
        return TRUE;
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
}

// The lock watch's action; the host's main thread only, one watch at a time.
std::function<void()>& LockWatchAction() {
    static std::function<void()> action;
    return action;
}

// Fires only when the host's thread runs messages inside the call: a modal loop of its own. The
// action runs once; the timer itself goes with StopLockWatch.
void CALLBACK LockWatchFired(HWND, UINT, UINT_PTR, DWORD) {
    (void)Trapped([] {
        std::function<void()> action = std::exchange(LockWatchAction(), nullptr);
        if (action)
            action();
        return S_OK;
    });
}

} // namespace

bool ScreenDesktop::HostIsModal() {
    if (::InSendMessageEx(nullptr) != ISMEX_NOSEND)
        return true;
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    constexpr DWORD kModalStates =
        GUI_INMENUMODE | GUI_INMOVESIZE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE;
    if (::GetGUIThreadInfo(::GetCurrentThreadId(), &info) && (info.flags & kModalStates))
        return true;
    bool modal = false;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindModalWindow, reinterpret_cast<LPARAM>(&modal));
    return modal;
}

bool ScreenDesktop::LockUpdate() {
    return ::LockWindowUpdate(::GetDesktopWindow()) != FALSE;
}

void ScreenDesktop::UnlockUpdate() {
    ::LockWindowUpdate(nullptr);
}

std::optional<PixelsPerInch> ScreenDesktop::ScreenPixelsPerInch() {
    kestova::win::WindowDc screen(nullptr);
    if (!screen)
        return std::nullopt;
    return PixelsPerInch{::GetDeviceCaps(screen.get(), LOGPIXELSX),
                         ::GetDeviceCaps(screen.get(), LOGPIXELSY)};
}

std::optional<PixelRect> ScreenDesktop::WindowRect(int32_t handle) {
    RECT rect{};
    if (!::GetWindowRect(reinterpret_cast<HWND>(static_cast<INT_PTR>(handle)), &rect))
        return std::nullopt;
    return PixelRect{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

void ScreenDesktop::StartLockWatch(std::function<void()> onWait) {
    StopLockWatch();
    LockWatchAction() = std::move(onWait);
    lockWatch_ = ::SetTimer(nullptr, 0, kLockWatchDelay, LockWatchFired);
}

void ScreenDesktop::StopLockWatch() {
    if (lockWatch_)
        ::KillTimer(nullptr, lockWatch_);
    lockWatch_ = 0;
    LockWatchAction() = nullptr;
}

void ScreenDesktop::ShowVersionNotice() {
    ::MessageBoxW(nullptr, L"Kestova Screen Saver requires Microsoft PowerPoint 2000 or later.",
                  kProductCaption, MB_ICONERROR);
}

namespace {

// The full path as the file system resolves it ("." and ".." folded, the current folder for a
// relative one); the path itself when it can't be worked out.
std::wstring FullPath(const std::wstring& path) {
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    return full;
}

} // namespace

bool ScreenDesktop::SamePath(const std::wstring& a, const std::wstring& b) {
    const std::wstring fullA = FullPath(a), fullB = FullPath(b);
    // File names on Windows ignore letter case, ordinally (no locale), as the file system does.
    return ::CompareStringOrdinal(fullA.c_str(), static_cast<int>(fullA.size()), fullB.c_str(),
                                  static_cast<int>(fullB.size()), TRUE) == CSTR_EQUAL;
}

std::optional<FileStamp> ScreenDesktop::ReadFileStamp(const std::wstring& path, uint32_t limitMs) {
    return ReadFileStampWithin(path, limitMs);
}

void ScreenDesktop::EndFileStampReads() {
    win::EndFileStampReads();
}

std::unique_ptr<CallerProcess> ScreenDesktop::OpenCallerProcess(int32_t processId) {
    kestova::win::UniqueHandle process(
        ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(processId)));
    if (!process)
        return nullptr;
    return std::make_unique<WaitableCaller>(std::move(process));
}

void ScreenDesktop::StartCallerChecks() {
    if (!checks_)
        checks_ = ::SetTimer(nullptr, 0, kCallerCheckInterval, CheckCaller);
}

void ScreenDesktop::StopCallerChecks() {
    if (checks_)
        ::KillTimer(nullptr, checks_);
    checks_ = 0;
}

} // namespace kestova::addin::win
