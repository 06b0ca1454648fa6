#pragma once

#include "addin/desktop.h"

#include <windows.h>

namespace kestova::addin::win {

class ScreenDesktop : public Desktop {
public:
    bool LockUpdate() override;
    void UnlockUpdate() override;
    std::optional<PixelsPerInch> ScreenPixelsPerInch() override;
    void ShowVersionNotice() override;
    std::optional<PixelRect> WindowRect(int32_t handle) override;
    void StartLockWatch(std::function<void()> onWait) override;
    void StopLockWatch() override;
    std::unique_ptr<CallerProcess> OpenCallerProcess(int32_t processId) override;
    void StartCallerChecks() override;
    void StopCallerChecks() override;
    bool HostIsModal() override;
    bool SamePath(const std::wstring& a, const std::wstring& b) override;
    std::optional<FileStamp> ReadFileStamp(const std::wstring& path, uint32_t limitMs) override;
    void EndFileStampReads() override;

private:
    UINT_PTR checks_ = 0;    // the thread timer of the caller checks
    UINT_PTR lockWatch_ = 0; // the thread timer of the lock watch
};

} // namespace kestova::addin::win
