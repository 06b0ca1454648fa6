#include "settings/win/shell_paths.h"

#include "common/win/detached_work.h"
#include "common/win/unique_handle.h"

#include <shlobj.h>

#include <chrono>
#include <cwchar>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace kestova::win {

namespace {

// The calling thread's error mode, quiet for as long as this lives.
class QuietDiskErrors {
public:
    QuietDiskErrors() noexcept {
        ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_);
    }
    ~QuietDiskErrors() { ::SetThreadErrorMode(previous_, nullptr); }
    QuietDiskErrors(const QuietDiskErrors&) = delete;
    QuietDiskErrors& operator=(const QuietDiskErrors&) = delete;

private:
    DWORD previous_ = 0;
};

// The errors of a location that does not answer, as opposed to one that answers "no such file".
bool IsUnreachableError(DWORD error) noexcept {
    switch (error) {
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NETNAME_DELETED:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_HOST_UNREACHABLE:
    case ERROR_NO_NET_OR_BAD_PATH:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETWORK_BUSY:
    case ERROR_REM_NOT_LIST:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_SEM_TIMEOUT:
    case ERROR_NOT_READY:
    case ERROR_CONNECTION_UNAVAIL:
    case ERROR_NOT_CONNECTED:
        return true;
    default:
        return false;
    }
}

PathKind KindOf(const std::wstring& path) noexcept {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return IsUnreachableError(::GetLastError()) ? PathKind::Unreachable : PathKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Directory : PathKind::File;
}

// "volume:file" in hexadecimal for a file that can be opened; empty otherwise. Opened for no
// access at all, sharing everything, so an open presentation does not stand in the way.
std::wstring FileNumber(const std::wstring& path) {
    HANDLE opened =
        ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return std::wstring();
    UniqueHandle file(opened);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info))
        return std::wstring();
    wchar_t text[40] = {};
    ::swprintf(text, 40, L"%08lX:%08lX%08lX", info.dwVolumeSerialNumber, info.nFileIndexHigh,
               info.nFileIndexLow);
    return text;
}

// A path-returning call asked with a growing buffer; empty when it fails.
template <typename Call> std::wstring AskForPath(const std::wstring& path, Call call) {
    std::wstring result(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        const DWORD length = call(path.c_str(), result.data(), static_cast<DWORD>(result.size()));
        if (length == 0)
            return std::wstring();
        if (length < result.size()) {
            result.resize(length);
            return result;
        }
        result.assign(length, L'\0');
    }
    return std::wstring();
}

// Case folded with the invariant upper-case table, as the file systems compare names.
std::wstring Folded(std::wstring text) {
    if (text.empty())
        return text;
    std::wstring folded(text.size(), L'\0');
    const int length = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.c_str(),
                                       static_cast<int>(text.size()), folded.data(),
                                       static_cast<int>(folded.size()), nullptr, nullptr, 0);
    if (length <= 0)
        return text;
    folded.resize(static_cast<size_t>(length));
    return folded;
}

} // namespace

PathKind ProbePath(const std::wstring& path) noexcept {
    QuietDiskErrors quiet;
    return KindOf(path);
}

PathKind ProbePathWithin(const std::wstring& path, DWORD budgetMilliseconds) noexcept {
    struct Answer {
        std::mutex lock;
        std::condition_variable arrived;
        std::optional<PathKind> kind;
    };
    try {
        auto answer = std::make_shared<Answer>();
        if (!StartDetachedWork([answer, path] {
                const PathKind kind = ProbePath(path);
                std::lock_guard<std::mutex> guard(answer->lock);
                answer->kind = kind;
                answer->arrived.notify_all();
            }))
            return PathKind::Missing;
        std::unique_lock<std::mutex> guard(answer->lock);
        answer->arrived.wait_for(guard, std::chrono::milliseconds(budgetMilliseconds),
                                 [&] { return answer->kind.has_value(); });
        return answer->kind.value_or(PathKind::Missing);
    } catch (...) {
        return PathKind::Missing;
    }
}

PathFacts ProbeRowPath(const std::wstring& path) noexcept {
    QuietDiskErrors quiet;
    PathFacts facts;
    try {
        std::wstring full = AskForPath(path, [](const wchar_t* in, wchar_t* out, DWORD size) {
            return ::GetFullPathNameW(in, size, out, nullptr);
        });
        if (full.empty())
            full = path;
        facts.kind = KindOf(full);
        if (facts.kind != PathKind::Missing) {
            std::wstring longName =
                AskForPath(full, [](const wchar_t* in, wchar_t* out, DWORD size) {
                    return ::GetLongPathNameW(in, out, size);
                });
            if (!longName.empty())
                full = std::move(longName);
        }
        std::wstring number = facts.kind == PathKind::File ? FileNumber(full) : std::wstring();
        // A file number never looks like a path (no backslash), so the two never meet.
        facts.identity = number.empty() ? Folded(std::move(full)) : std::move(number);
    } catch (...) {
        facts = PathFacts{}; // out of memory: nothing to compare, and nothing found
    }
    return facts;
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
