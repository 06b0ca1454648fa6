#pragma once
// Work that runs on a thread of its own and is never waited for.

#include <functional>

namespace kestova::win {

// Starts `work` on a new thread; the thread owns it and ends with it. Returns false when no
// thread could be had. Exceptions that leave `work` are swallowed.
// A Win32 thread rather than a detached std::thread: under load, a detached std::thread of
// MinGW's POSIX thread layer now and then began with a null state and faulted in its first
// instruction, taking the settings dialog down with it.
bool StartDetachedWork(std::function<void()> work) noexcept;

} // namespace kestova::win
