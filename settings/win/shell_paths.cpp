#include "settings/win/shell_paths.h"

#include "common/win/unique_handle.h"

#include <shlobj.h>

namespace kestova::win {

PathKind ProbePath(const std::wstring& path) noexcept {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return PathKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Directory : PathKind::File;
}

std::wstring DesktopFolder() {
    PIDLIST_ABSOLUTE rawList = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, &rawList)))
        return std::wstring();
    UniqueCoTaskMem itemList(rawList);
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetPathFromIDListW(static_cast<PCIDLIST_ABSOLUTE>(itemList.get()), path))
        return std::wstring();
    return path;
}

} // namespace kestova::win
