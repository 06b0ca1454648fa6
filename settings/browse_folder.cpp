#include "settings/browse_folder.h"

namespace kestova {

std::wstring FolderOfPath(std::wstring_view fileName) {
    size_t end = fileName.find_last_of(L"\\:");
    if (end == std::wstring_view::npos)
        return std::wstring();
    return std::wstring(fileName.substr(0, end + 1));
}

std::wstring InitialBrowseFolder(const std::wstring& remembered, const PathProbe& probe,
                                 const std::function<std::wstring()>& desktopFolder) {
    if (!remembered.empty() && probe(remembered) == PathKind::Directory)
        return remembered;
    return desktopFolder();
}

} // namespace kestova
