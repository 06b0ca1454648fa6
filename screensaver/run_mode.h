#pragma once

#include <string>
#include <vector>

namespace kestova {

// What the screen saver command line asks for.
enum class RunMode {
    None,      // no valid request: nothing is created
    Configure, // the settings dialog
    Run,       // the screen saver itself
    Preview,   // the control panel's preview: nothing is drawn
};

// Chooses the mode from the arguments after the program name. Only the first argument decides;
// the window handle that Windows adds after /p or /c: is never used.
[[nodiscard]] RunMode ParseRunMode(const std::vector<std::wstring>& arguments);

} // namespace kestova
