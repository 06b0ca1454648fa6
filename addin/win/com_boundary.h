#pragma once

// The one boundary between the add-in and its callers (the host, the screen saver program, COM,
// the system): nothing thrown inside may cross it.
#include <windows.h>

namespace kestova::addin::win {

// Runs `body` (which gives an HRESULT) and gives its result, or `onException` when it threw.
// The add-in's methods and handlers pass S_OK for both: they report success whatever happens.
template <typename Body> HRESULT Trapped(Body&& body, HRESULT onException = S_OK) noexcept {
    try {
        return body();
    } catch (...) {
        return onException;
    }
}

} // namespace kestova::addin::win
