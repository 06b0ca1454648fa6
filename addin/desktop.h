#pragma once

// What the add-in needs of the desktop it runs on: the system-wide window-update lock, the
// screen's pixels per inch, and the one message it ever shows.
#include "addin/file_stamp.h"
#include "addin/window_support.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kestova::addin {

struct PixelsPerInch {
    int32_t x = 0;
    int32_t y = 0;
};

// The screen saver program that called for a session, opened for waiting.
class CallerProcess {
public:
    virtual ~CallerProcess() = default;
    // True when the process has ended (or can no longer be waited for); never blocks.
    [[nodiscard]] virtual bool HasEnded() noexcept = 0;
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // Locks drawing of the desktop window; false when another lock exists (or it failed).
    virtual bool LockUpdate() = 0;
    virtual void UnlockUpdate() = 0;
    // Read from the screen's device context on every call: the setting may change.
    [[nodiscard]] virtual std::optional<PixelsPerInch> ScreenPixelsPerInch() = 0;
    // The modal notice that the host is too old; returns when the user has closed it.
    virtual void ShowVersionNotice() = 0;
    // Where window `handle` lies on the screen, in virtual-screen pixels; none when unknown.
    [[nodiscard]] virtual std::optional<PixelRect> WindowRect(int32_t handle) = 0;
    // Calls `onWait` on this thread if a host call made after this is still out a moment later
    // with the host running messages meanwhile (a prompt of its own, waiting on the user).
    // StopLockWatch ends the watch, fired or not.
    virtual void StartLockWatch(std::function<void()> onWait) = 0;
    virtual void StopLockWatch() = 0;

    // Null when the process can't be opened, most often because it has ended already.
    [[nodiscard]] virtual std::unique_ptr<CallerProcess> OpenCallerProcess(int32_t) {
        return nullptr;
    }
    // MainModule::CheckScreenSaverCaller about every quarter second, on this thread, until
    // StopCallerChecks.
    virtual void StartCallerChecks() {}
    virtual void StopCallerChecks() {}
    // The file's stamp, read without opening the file; none when it can't be read within
    // `limitMs` (a share that doesn't answer, no access). Never keeps the caller longer.
    [[nodiscard]] virtual std::optional<FileStamp> ReadFileStamp(const std::wstring&, uint32_t) {
        return std::nullopt;
    }
    // Nothing more will be read for a while (the host is going): let go of what reading holds.
    virtual void EndFileStampReads() {}
    // True while the host's thread is inside one of the host's own modal states (a dialog or
    // message box up, a menu open, a window being moved, a sent message being served): work the
    // add-in does on its own waits until the host is itself again.
    [[nodiscard]] virtual bool HostIsModal() { return false; }
    // True when both paths name the same file as the file system sees it: full paths compared
    // without regard to letter case. This default folds ASCII letters only.
    [[nodiscard]] virtual bool SamePath(const std::wstring& a, const std::wstring& b);
};

} // namespace kestova::addin
