#pragma once

#include <optional>
#include <string_view>

namespace kestova::addin {

// The number at the start of the host's Version text ("12.0" gives 12): leading blanks skipped,
// then digits with at most one decimal point. None when the text does not start with a number.
[[nodiscard]] std::optional<double> LeadingVersionNumber(std::wstring_view version);

// PowerPoint 2000 is version 9; older hosts lack what the add-in relies on.
inline constexpr double kOldestHostVersion = 9.0;

} // namespace kestova::addin
