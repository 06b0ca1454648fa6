#pragma once

#include <windows.h>

#include <string>

namespace kestova::addin::win {

// The module (DLL, or a test program linking this code) that holds the add-in's code.
HMODULE OwnModule() noexcept;
// Its full path; empty when it can't be had.
std::wstring OwnModulePath();
// The folder of that path, with a trailing backslash.
std::wstring OwnModuleFolder();

} // namespace kestova::addin::win
