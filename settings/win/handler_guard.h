#pragma once

// The settings dialogs' rule for errors: one that escapes an event handler ends that handler and
// is shown by the general error report; the dialog goes on. Nothing may leave a window procedure.
#include <utility>

namespace kestova::win {

// Shows the error being handled; call only inside a catch block.
void ReportCurrentError() noexcept;

template <typename Handler> void RunHandler(Handler&& handler) noexcept {
    try {
        std::forward<Handler>(handler)();
    } catch (...) {
        ReportCurrentError();
    }
}

} // namespace kestova::win
