#include "addin/host_version.h"

#include <charconv>
#include <string>

namespace kestova::addin {

std::optional<double> LeadingVersionNumber(std::wstring_view version) {
    std::size_t pos = 0;
    while (pos < version.size() && (version[pos] == L' ' || version[pos] == L'\t'))
        ++pos;
    // Narrow copy of the numeric prefix; from_chars reads it independently of the user's locale.
    std::string digits;
    bool point = false;
    bool anyDigit = false;
    for (; pos < version.size(); ++pos) {
        wchar_t c = version[pos];
        if (c >= L'0' && c <= L'9') {
            digits.push_back(static_cast<char>(c));
            anyDigit = true;
        } else if (c == L'.' && !point) {
            digits.push_back('.');
            point = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    if (digits.front() == '.')
        digits.insert(digits.begin(), '0');
    double value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc())
        return std::nullopt;
    (void)end;
    return value;
}

} // namespace kestova::addin
