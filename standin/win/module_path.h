#pragma once

// Where a module's file lies: what a server writes into its class registration.
#include <windows.h>

#include <string>

namespace kestova::standin::win {

// The full path of `module` (null: the program's own file); empty when it cannot be read.
[[nodiscard]] std::wstring ModulePath(HMODULE module);

} // namespace kestova::standin::win
