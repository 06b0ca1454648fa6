#include "screensaver/error_report_text.h"

#include "common/error_text.h"

#include <cwchar>

namespace kestova {

std::wstring AutomationFailureText(const AutomationError& error,
                                   const std::function<std::wstring(int32_t)>& systemMessage) {
    if (error.unknownMember)
        return WithFullStop(L"Method '" + error.member + L"' not supported by automation object");
    if (!error.description.empty())
        return WithFullStop(error.description);
    // An object that raises an error without describing it gets the text of its code, so the
    // report never comes up blank.
    std::wstring text = systemMessage ? systemMessage(error.code) : std::wstring();
    if (text.empty()) {
        wchar_t buffer[32];
        std::swprintf(buffer, sizeof buffer / sizeof buffer[0], L"OLE error %.8x",
                      static_cast<unsigned>(error.code));
        text = buffer;
    }
    return WithFullStop(std::move(text));
}

} // namespace kestova
