#pragma once

// The stamp of a presentation's file, read on a thread of the add-in's own so that a share that
// doesn't answer keeps the host's thread no longer than the caller allows. Called from the host's
// thread only.
#include "addin/file_stamp.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kestova::addin::win {

// Size and last-write time from the file system's directory entry: the file is not opened, so
// neither a lock nor a share's open-file limits get in the way. None when it can't be read
// within `limitMs`; the read then finishes (or hangs) on its own.
[[nodiscard]] std::optional<FileStamp> ReadFileStampWithin(const std::wstring& path,
                                                           uint32_t limitMs);
// Lets the reading thread go (the host is shutting down, or the add-in was switched off).
void EndFileStampReads() noexcept;

} // namespace kestova::addin::win
