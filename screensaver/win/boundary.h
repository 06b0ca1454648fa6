#pragma once

// Corvane's one guard for code the system calls back (window and hook procedures): no C++
// exception may unwind into the system's frames.
#include <utility>

namespace kestova::win {

template <typename Result, typename Body> Result Guarded(Result fallback, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return fallback;
    }
}

} // namespace kestova::win
