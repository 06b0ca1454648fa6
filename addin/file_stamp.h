#pragma once

// What tells that a presentation's file was rewritten: its size and last-write time, read
// without opening the file.
#include <cstdint>

namespace kestova::addin {

struct FileStamp {
    uint64_t size = 0;
    uint64_t lastWrite = 0; // the file system's own ticks (100 ns on Windows)

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

} // namespace kestova::addin
