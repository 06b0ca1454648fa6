#include "standin/win/journal.h"

#include "standin/journal_text.h"

namespace kestova::standin::win {

Journal::Journal(const std::wstring& path) noexcept {
    HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        file_.reset(file);
}

void Journal::Write(std::initializer_list<std::wstring_view> fields) noexcept {
    if (!file_)
        return;
    try {
        std::string line = ToUtf8(JoinFields(fields));
        line += '\n';
        DWORD written = 0;
        (void)::WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written,
                          nullptr);
    } catch (...) {
        // Out of memory while journalling: the line is lost, the host goes on.
    }
}

std::string ToUtf8(std::wstring_view text) {
    if (text.empty())
        return {};
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                              size, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(std::string_view text) {
    if (text.empty())
        return {};
    int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                              size);
    return out;
}

} // namespace kestova::standin::win
