#include "common/win/journal_folder.h"

#include "common/product.h"
#include "common/win/unique_handle.h"

#include <shlobj.h>

namespace kestova::win {

std::wstring JournalFolder() {
    UniqueCoTaskMem path;
    wchar_t* raw = nullptr;
    const HRESULT hr =
        ::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DONT_VERIFY, nullptr, &raw);
    path.reset(raw);
    if (FAILED(hr) || !raw)
        return {};
    return std::wstring(raw) + L"\\Kestova\\" + kProductCaption;
}

bool CreateJournalFolder(const std::wstring& folder) noexcept {
    if (folder.empty())
        return false;
    const int result = ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (result == ERROR_SUCCESS || result == ERROR_ALREADY_EXISTS || result == ERROR_FILE_EXISTS) {
        const DWORD attributes = ::GetFileAttributesW(folder.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    return false;
}

} // namespace kestova::win
