#include "common/win/error_report.h"

#include "common/error_text.h"
#include "common/product.h"

#include <windows.h>

namespace kestova::win {

void ShowErrorReport(const std::wstring& message, bool aboveTopmost) noexcept {
    const UINT style = MB_OK | MB_ICONERROR | (aboveTopmost ? MB_TOPMOST | MB_SETFOREGROUND : 0u);
    try {
        const std::wstring text = WithFullStop(message);
        ::MessageBoxW(nullptr, text.c_str(), kProductCaption, style);
    } catch (...) {
        ::MessageBoxW(nullptr, L"Out of memory.", kProductCaption, style);
    }
}

} // namespace kestova::win
