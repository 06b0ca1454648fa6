#pragma once

#include <windows.h>

namespace kestova {

// Configure mode: creates the settings dialog as the program's main window and runs the message
// loop (with the dialog's idle processing) until it closes. Returns the program's exit code.
int RunConfigureForm(HINSTANCE instance);

} // namespace kestova
