#include "addin/win/file_stamp_reader.h"

#include "addin/win/module_lock.h"
#include "common/win/detached_work.h"
#include "common/win/unique_handle.h"

#include <windows.h>

#include <atomic>
#include <memory>

namespace kestova::addin::win {

namespace {

std::optional<FileStamp> StampOf(const std::wstring& path) noexcept {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    FileStamp stamp;
    stamp.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.lastWrite = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                      data.ftLastWriteTime.dwLowDateTime;
    return stamp;
}

// One reading thread, kept for the reads that follow: under Wine on a busy machine, starting a
// thread costs the host's thread about ten milliseconds, handing a read to a waiting one a few
// microseconds. A read that outlasts its caller's limit retires its thread: the next read starts
// another rather than queueing behind a share that doesn't answer.
class StampReader {
public:
    [[nodiscard]] static std::shared_ptr<StampReader> Start() {
        auto reader = std::make_shared<StampReader>();
        reader->request_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        reader->done_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
        if (!reader->request_ || !reader->done_)
            return nullptr;
        // The library must not be unloaded under a thread of its own: the thread counts as a
        // lock on the server until it ends.
        LockServer(true);
        if (!kestova::win::StartDetachedWork([reader] {
                reader->Serve();
                LockServer(false);
            })) {
            LockServer(false);
            return nullptr;
        }
        return reader;
    }

    // Called only while the thread waits for a request: after the answer to the last one, never
    // after a retirement.
    [[nodiscard]] bool Read(const std::wstring& path, uint32_t limitMs,
                            std::optional<FileStamp>& stamp) {
        path_ = path;
        ::SetEvent(request_.get());
        if (::WaitForSingleObject(done_.get(), limitMs) != WAIT_OBJECT_0)
            return false;
        stamp = stamp_;
        return true;
    }

    // The thread ends after the read it may still be in.
    void Retire() noexcept {
        retired_ = true;
        ::SetEvent(request_.get());
    }

private:
    void Serve() noexcept {
        while (::WaitForSingleObject(request_.get(), INFINITE) == WAIT_OBJECT_0 && !retired_) {
            stamp_ = StampOf(path_);
            ::SetEvent(done_.get());
        }
    }

    kestova::win::UniqueHandle request_, done_; // auto-reset
    std::wstring path_;
    std::optional<FileStamp> stamp_;
    std::atomic<bool> retired_{false};
};

// The reader of the host's thread, the only one that reads stamps.
std::shared_ptr<StampReader>& CurrentReader() {
    static std::shared_ptr<StampReader> reader;
    return reader;
}

} // namespace

std::optional<FileStamp> ReadFileStampWithin(const std::wstring& path, uint32_t limitMs) {
    std::shared_ptr<StampReader>& reader = CurrentReader();
    if (!reader)
        reader = StampReader::Start();
    if (!reader)
        return std::nullopt;
    std::optional<FileStamp> stamp;
    if (!reader->Read(path, limitMs, stamp)) {
        reader->Retire();
        reader.reset();
    }
    return stamp;
}

void EndFileStampReads() noexcept {
    std::shared_ptr<StampReader>& reader = CurrentReader();
    if (reader)
        reader->Retire();
    reader.reset();
}

} // namespace kestova::addin::win
