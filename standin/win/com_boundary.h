#pragma once

// No C++ exception may leave a COM method, a window procedure or a DLL export of the stand-in:
// every such entry point runs its body through one of these.
#include <windows.h>

#include <new>

namespace kestova::standin::win {

template <typename Body> HRESULT ComBoundary(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

template <typename Body> LRESULT WindowBoundary(LRESULT fallback, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return fallback;
    }
}

} // namespace kestova::standin::win
