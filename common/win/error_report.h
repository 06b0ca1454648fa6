#pragma once

#include <string>

namespace kestova::win {

// The application's general error report: a message box titled with the product caption, with
// the error icon and an OK button; the text gets its full stop by WithFullStop.
void ShowErrorReport(const std::wstring& message) noexcept;

} // namespace kestova::win
