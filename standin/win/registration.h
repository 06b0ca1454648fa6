#pragma once

// Registers the stand-in machine-wide as PowerPoint.Application (Wine ignores per-user classes).
#include <windows.h>

namespace kestova::standin::win {

[[nodiscard]] bool RegisterServer();
void UnregisterServer();

} // namespace kestova::standin::win
