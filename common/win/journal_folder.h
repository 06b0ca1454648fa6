#pragma once

// Where Corvane keeps its run journal: a per-user folder, made when first needed.
#include <string>

namespace kestova::win {

inline constexpr wchar_t kJournalFileName[] = L"runs.log";
inline constexpr wchar_t kOlderJournalFileName[] = L"runs.1.log";

// %LOCALAPPDATA%\Kestova\Kestova Screen Saver; empty when the shell knows no such folder.
[[nodiscard]] std::wstring JournalFolder();
// Makes `folder` and its parents; true when it exists afterwards.
bool CreateJournalFolder(const std::wstring& folder) noexcept;

} // namespace kestova::win
