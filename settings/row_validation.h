#pragma once

// The settings dialog's rule for its rows: every chosen file must be named by a full path and
// exist, and no presentation may be chosen for two monitors.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestova {

// Unreachable: the location did not answer (an offline share, an empty drive, a question that
// outlasted its time limit); the file may well be there once it does.
enum class PathKind { Missing, File, Directory, Unreachable };

// Asks the file system what a path names; injected so the rule runs without a disk.
using PathProbe = std::function<PathKind(const std::wstring& path)>;

// What the disk says about a row's path: its kind, and the file's identity, so that two spellings
// of one file compare equal: its volume and file number where the file can be opened (a mapped
// drive, its share name and a `subst` drive name one file), else the path as Windows resolves it
// (full, `.` and `..` resolved, short names made long, case folded).
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
    Unreachable, // marked, with the hint that the location can't be reached now
    Duplicate,   // marked: a row below names the same file
};

struct RowCheck {
    std::vector<RowState> states; // one per row
    std::vector<bool> rowValid;   // one per row; a bad row's label is coloured
    bool allValid = true;         // OK is offered only then
    bool anyNotFullPath = false;  // the full-path hint is shown only then
    bool anyUnreachable = false;  // the unreachable hint is shown only then
};

// The disk's answer for row `row`, whose trimmed text is `text`; nullopt while it is awaited.
// Asked only for non-empty full paths.
using RowFactsLookup =
    std::function<std::optional<PathFacts>(size_t row, const std::wstring& text)>;

// An empty row is valid. A non-empty row is bad when it is not a full path, names no existing
// file (a directory does not count; a location that does not answer is told apart), or names the
// same file as any row below it: of two such rows only the upper one is marked. A row naming no
// file is not compared further; a row whose answer is awaited is not marked but keeps OK
// unavailable. Texts from `shownRows` on are the stored paths of monitors not attached now: rows
// are compared with them, but they are never marked and never keep OK away.
[[nodiscard]] RowCheck CheckRows(const std::vector<std::wstring>& rowTexts,
                                 const RowFactsLookup& factsOf, size_t shownRows = SIZE_MAX);

// The same rule with every answer asked now (one probe per distinct path).
[[nodiscard]] RowCheck CheckRows(const std::vector<std::wstring>& rowTexts, const RowProbe& probe,
                                 size_t shownRows = SIZE_MAX);

} // namespace kestova
