#pragma once

#include "screensaver/automation.h"

#include <cstdint>
#include <functional>
#include <string>

namespace kestova {

// The general error report's text for a failed automation call, full stop included: the
// "not supported" text for an unknown member, else the object's own description, else the
// system's message for the code, else the bare code.
[[nodiscard]] std::wstring
AutomationFailureText(const AutomationError& error,
                      const std::function<std::wstring(int32_t)>& systemMessage);

} // namespace kestova
