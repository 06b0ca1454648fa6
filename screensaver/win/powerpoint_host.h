#pragma once

// The presentation host reached by its ProgID: the running instance, else a new one.
#include "screensaver/presentation_host.h"

namespace kestova::win {

inline constexpr wchar_t kPowerPointProgId[] = L"PowerPoint.Application";

class PowerPointHost final : public PresentationHost {
public:
    [[nodiscard]] AutomationRef Attach() noexcept override;
    [[nodiscard]] AutomationRef Start() noexcept override;
};

} // namespace kestova::win
