#pragma once

// Small registry reads and writes for the stand-in's knobs and keys; each opens and closes its key.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace kestova::standin::win {

std::optional<std::wstring> RegistryString(HKEY root, const std::wstring& path,
                                           const wchar_t* name);
std::optional<DWORD> RegistryDword(HKEY root, const std::wstring& path, const wchar_t* name);
bool SetRegistryString(HKEY root, const std::wstring& path, const wchar_t* name,
                       const std::wstring& value);
bool SetRegistryDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value);
std::vector<std::wstring> RegistrySubkeys(HKEY root, const std::wstring& path);

} // namespace kestova::standin::win
