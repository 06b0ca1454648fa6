#pragma once

// The settings dialog's rule for its rows: every chosen file must be named by a full path and
// exist, and no presentation may be chosen for two monitors.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestova {

enum class PathKind { Missing, File, Directory };

// Asks the file system what a path names; injected so the rule runs without a disk.
using PathProbe = std::function<PathKind(const std::wstring& path)>;

// What the disk says about a row's path: its kind, and the file as Windows identifies it (full
// path, `.` and `..` resolved, short names made long where the file exists, case folded), so that
// two spellings of one file compare equal.
struct PathFacts {
    PathKind kind = PathKind::Missing;
    std::wstring identity;

    friend bool operator==(const PathFacts&, const PathFacts&) = default;
};
using RowProbe = std::function<PathFacts(const std::wstring& path)>;

// A row's text as the dialog uses it: leading and trailing characters of code 32 or below
// (blanks, tabs, line breaks, other control characters) removed.
[[nodiscard]] std::wstring TrimRowText(std::wstring_view text);

// "X:\..." or "\\server\share...": a path that means the same file whatever the current drive
// and folder of the program that reads it. Drive-relative ("C:a.pptx"), rooted ("\a.pptx"),
// relative and device ("\\?\", "\\.\") forms are not.
[[nodiscard]] bool IsFullPath(std::wstring_view path);

enum class RowState {
    Valid,       // empty, or an existing file named once
    Pending,     // the disk has not answered yet: not marked, but OK waits for it
    NotFullPath, // marked, with the full-path hint
    NotAFile,    // marked: missing, or a folder
    Duplicate,   // marked: a row below names the same file
};

struct RowCheck {
    std::vector<RowState> states; // one per row
    std::vector<bool> rowValid;   // one per row; a bad row's label is coloured
    bool allValid = true;         // OK is offered only then
    bool anyNotFullPath = false;  // the hint is shown only then
};

// The disk's answer for row `row`, whose trimmed text is `text`; nullopt while it is awaited.
// Asked only for non-empty full paths.
using RowFactsLookup =
    std::function<std::optional<PathFacts>(size_t row, const std::wstring& text)>;

// An empty row is valid. A non-empty row is bad when it is not a full path, names no existing
// file (a directory does not count), or names the same file as any row below it: of two such
// rows only the upper one is marked. A row naming no file is not compared further; a row whose
// answer is awaited is not marked but keeps OK unavailable.
[[nodiscard]] RowCheck CheckRows(const std::vector<std::wstring>& rowTexts,
                                 const RowFactsLookup& factsOf);

// The same rule with every answer asked now (one probe per distinct path).
[[nodiscard]] RowCheck CheckRows(const std::vector<std::wstring>& rowTexts, const RowProbe& probe);

// Asks `probe` about every distinct non-empty full path among the trimmed texts, all at once on
// threads of their own, and waits for the last: the wait is that of the slowest single answer.
[[nodiscard]] std::vector<std::optional<PathFacts>>
ProbeRowsTogether(const std::vector<std::wstring>& rowTexts, const RowProbe& probe);

} // namespace kestova
