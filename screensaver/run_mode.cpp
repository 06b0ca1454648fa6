#include "screensaver/run_mode.h"

namespace kestova {

namespace {

// Only ASCII letters: Windows never sends anything else here, and a locale-dependent upper case
// could turn some other letter into 'S' or 'C'.
wchar_t AsciiUpper(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

} // namespace

RunMode ParseRunMode(const std::vector<std::wstring>& arguments) {
    if (arguments.empty())
        return RunMode::Configure;
    const std::wstring& first = arguments.front();
    if (first.size() < 2 || (first[0] != L'/' && first[0] != L'-'))
        return RunMode::None;
    const wchar_t letter = AsciiUpper(first[1]);
    if (first.size() == 2) {
        if (letter == L'S')
            return RunMode::Run;
        if (letter == L'P')
            return RunMode::Preview;
        return RunMode::None;
    }
    // Windows sends /c:<parent window>; a bare /c without the colon is not a configure request.
    return letter == L'C' ? RunMode::Configure : RunMode::None;
}

} // namespace kestova
