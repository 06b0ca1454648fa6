#pragma once

// Texts that several binaries must carry identically: Corvane finds the add-in inside the host by
// comparing the add-in's FriendlyName with its own title.
#include "kestova_version.h"

namespace kestova {

inline constexpr wchar_t kProductCaption[] = L"Kestova Screen Saver";
inline constexpr wchar_t kProductVersionText[] = KESTOVA_VERSION_WIDE_TEXT;
inline constexpr wchar_t kProductKeyPath[] = L"Software\\Kestova\\Kestova Screen Saver";
inline constexpr wchar_t kSettingsKeyPath[] = L"Software\\Kestova\\Kestova Screen Saver\\Settings";
inline constexpr wchar_t kPolicyKeyPath[] = L"Software\\Policies\\Kestova\\Kestova Screen Saver";

} // namespace kestova
