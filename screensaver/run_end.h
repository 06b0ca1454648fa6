#pragma once

#include <cstdint>

namespace kestova {

// Why the main window was asked to close. The value travels as the close message's wParam, so a
// close that comes from outside the product (wParam 0) reads as Closed.
enum class RunEnd : int32_t {
    Closed = 0, // the main window was closed by someone else (the system, another program)
    Key,        // the keyboard hook saw a key
    Mouse,      // the mouse hook saw the mouse
    HotKey,     // Ctrl+Alt+Esc
    ShowEnded,  // the add-in said a slide show ended
    HostExited, // the host's process ended
    Failure,    // the run could not go on
};

} // namespace kestova
