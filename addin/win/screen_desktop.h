#pragma once

#include "addin/desktop.h"

namespace kestova::addin::win {

class ScreenDesktop : public Desktop {
public:
    bool LockUpdate() override;
    void UnlockUpdate() override;
    std::optional<PixelsPerInch> ScreenPixelsPerInch() override;
    void ShowVersionNotice() override;
    bool SamePath(const std::wstring& a, const std::wstring& b) override;
};

} // namespace kestova::addin::win
