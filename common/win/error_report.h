#pragma once

#include <string>

namespace kestova::win {

// The application's general error report: a message box titled with the product caption, with
// the error icon and an OK button; the text gets its full stop by WithFullStop. `aboveTopmost`
// keeps it over topmost windows (the run mode's black monitor windows and slide shows), where it
// could otherwise be neither seen nor closed.
void ShowErrorReport(const std::wstring& message, bool aboveTopmost = false) noexcept;

} // namespace kestova::win
