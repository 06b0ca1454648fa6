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
    std::unique_ptr<CallerProcess> OpenCallerProcess(int32_t processId) override;
    void StartCallerChecks() override;
    void StopCallerChecks() override;
    bool HostIsModal() override;
    bool SamePath(const std::wstring& a, const std::wstring& b) override;
    std::optional<FileStamp> ReadFileStamp(const std::wstring& path, uint32_t limitMs) override;
    void EndFileStampReads() override;

private:
    UINT_PTR checks_ = 0; // the thread timer of the caller checks
};

} // namespace kestova::addin::win
