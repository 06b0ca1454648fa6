#include "addin/win/file_stamp_reader.h"

#include "addin/win/module_lock.h"
#include "common/win/detached_work.h"
#include "common/win/unique_handle.h"

#include <windows.h>

#include <memory>

namespace kestova::addin::win {

namespace {

// Shared by the caller and the reading thread: whichever lets go last frees it.
struct StampRead {
    std::wstring path;
    kestova::win::UniqueHandle done; // set once `stamp` holds the answer
    std::optional<FileStamp> stamp;
};

void Read(StampRead& read) noexcept {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (::GetFileAttributesExW(read.path.c_str(), GetFileExInfoStandard, &data) &&
        !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        FileStamp stamp;
        stamp.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        stamp.lastWrite = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                          data.ftLastWriteTime.dwLowDateTime;
        read.stamp = stamp;
    }
    ::SetEvent(read.done.get());
}

} // namespace

std::optional<FileStamp> ReadFileStampWithin(const std::wstring& path, uint32_t limitMs) {
    auto read = std::make_shared<StampRead>();
    read->path = path;
    read->done.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!read->done)
        return std::nullopt;
    // The library must not be unloaded under a read that hangs on a share: it counts as a lock
    // on the server until the thread is done.
    LockServer(true);
    const bool started = kestova::win::StartDetachedWork([read] {
        Read(*read);
        LockServer(false);
    });
    if (!started) {
        LockServer(false);
        return std::nullopt;
    }
    if (::WaitForSingleObject(read->done.get(), limitMs) != WAIT_OBJECT_0)
        return std::nullopt;
    return read->stamp;
}

} // namespace kestova::addin::win
