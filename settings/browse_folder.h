#pragma once

// The folder in which the Browse buttons' open-file dialog starts, and the one it remembers.
#include "settings/row_validation.h"

#include <functional>
#include <string>
#include <string_view>

namespace kestova {

// The folder part of a chosen file name: everything up to and including its last backslash or
// colon; empty when it has neither.
[[nodiscard]] std::wstring FolderOfPath(std::wstring_view fileName);

// The remembered folder when it still names an existing directory, else the desktop folder
// (asked for only then, since that costs a shell call).
[[nodiscard]] std::wstring InitialBrowseFolder(const std::wstring& remembered,
                                               const PathProbe& probe,
                                               const std::function<std::wstring()>& desktopFolder);

} // namespace kestova
