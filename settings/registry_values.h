#pragma once

// The store's readers of one value, shared by the user's settings and the policy values so both
// accept and refuse the same registry data. Both throw SettingsError naming the value.
#include "settings/registry_access.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kestova {

// nullopt when the value is missing; a value that is not a REG_DWORD of at most 4 bytes throws.
[[nodiscard]] std::optional<uint32_t> ReadStoredDword(RegistryKey& key, const std::wstring& name);
// Text as stored, cut at its first NUL; nullopt when missing; a non-string value with data throws.
[[nodiscard]] std::optional<std::wstring> ReadStoredText(RegistryKey& key,
                                                         const std::wstring& name);

} // namespace kestova
