#pragma once

#include "addin/desktop.h"

namespace kestova::addin::win {

class ScreenDesktop : public Desktop {
public:
    bool LockUpdate() override;
    void UnlockUpdate() override;
    std::optional<PixelsPerInch> ScreenPixelsPerInch() override;
    void ShowVersionNotice() override;
};

} // namespace kestova::addin::win
