#pragma once

// What the file system and the shell say about paths the settings dialog deals with.
#include "settings/row_validation.h"

#include <string>

namespace kestova::win {

// Whether `path` names an existing file, an existing directory or nothing.
[[nodiscard]] PathKind ProbePath(const std::wstring& path) noexcept;

// The file-system path of the current user's desktop folder; empty when the shell has none.
[[nodiscard]] std::wstring DesktopFolder();

} // namespace kestova::win
