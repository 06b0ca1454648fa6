#pragma once

// The test journal: one UTF-8 line per event, appended with a single write so that the host and
// the add-ins inside it (each with its own Journal on the same file) never split a line.
#include "common/win/unique_handle.h"

#include <initializer_list>
#include <string>
#include <string_view>

namespace kestova::standin::win {

inline constexpr wchar_t kDefaultJournalPath[] = L"C:\\standin-journal.txt";

class Journal {
public:
    Journal() = default;
    explicit Journal(const std::wstring& path) noexcept;

    // Fields are escaped and tab-joined; failures to write are ignored (the journal is a witness,
    // never a reason for the host to behave differently).
    void Write(std::initializer_list<std::wstring_view> fields) noexcept;

private:
    kestova::win::UniqueHandle file_;
};

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

} // namespace kestova::standin::win
