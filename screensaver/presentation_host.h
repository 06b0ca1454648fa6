#pragma once

#include "screensaver/automation.h"

namespace kestova {

// Reaches the presentation host's Application object ("PowerPoint.Application"). Both ways are
// expected to fail on some machines: they give an empty reference then, never an error.
class PresentationHost {
public:
    virtual ~PresentationHost() = default;

    // The running instance, if the system's table of running objects has one.
    [[nodiscard]] virtual AutomationRef Attach() noexcept = 0;
    // A new instance.
    [[nodiscard]] virtual AutomationRef Start() noexcept = 0;
};

} // namespace kestova
