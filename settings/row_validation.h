#pragma once

// The settings dialog's rule for its rows: every chosen file must exist, and no presentation may
// be chosen for two monitors.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestova {

enum class PathKind { Missing, File, Directory };

// Asks the file system what a path names; injected so the rule runs without a disk.
using PathProbe = std::function<PathKind(const std::wstring& path)>;

// A row's text as the dialog uses it: leading and trailing characters of code 32 or below
// (blanks, tabs, line breaks, other control characters) removed.
[[nodiscard]] std::wstring TrimRowText(std::wstring_view text);

struct RowCheck {
    std::vector<bool> rowValid; // one per row; a bad row's label is coloured
    bool allValid = true;       // OK is offered only then
};

// An empty row is valid. A non-empty row is bad when it names no existing file (a directory
// does not count) or when its text equals, case-sensitively, the text of any row below it: of
// two equal rows only the upper one is marked. A row naming no file is not compared further.
[[nodiscard]] RowCheck CheckRows(const std::vector<std::wstring>& rowTexts, const PathProbe& probe);

} // namespace kestova
