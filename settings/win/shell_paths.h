#pragma once

// What the file system and the shell say about paths the settings dialog deals with. Every disk
// question here is asked with the system's critical-error boxes ("insert a disk") turned off for
// the asking thread: an empty drive or a lost network share is an answer, not a prompt.
#include "settings/row_validation.h"

#include <windows.h>

#include <string>

namespace kestova::win {

// Whether `path` names an existing file, an existing directory or nothing.
[[nodiscard]] PathKind ProbePath(const std::wstring& path) noexcept;

// ProbePath, but a path that gives no answer within `budget` counts as missing (a share that
// does not answer); the question is left to end on its own thread.
[[nodiscard]] PathKind ProbePathWithin(const std::wstring& path, DWORD budgetMilliseconds) noexcept;

// A row's path as the disk sees it: kind (a location that does not answer told apart from a
// missing file), and the file's identity: its volume serial number and file number where it can
// be opened, else GetFullPathNameW, then GetLongPathNameW where it exists, case folded as Windows
// compares names. May take as long as the disk takes: the dialog asks on threads of its own.
[[nodiscard]] PathFacts ProbeRowPath(const std::wstring& path) noexcept;

// The file-system path of the current user's desktop folder; empty when the shell has none.
[[nodiscard]] std::wstring DesktopFolder();

} // namespace kestova::win
