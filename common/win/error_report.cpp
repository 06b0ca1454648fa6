#include "common/win/error_report.h"

#include "common/error_text.h"
#include "common/product.h"

#include <windows.h>

namespace kestova::win {

void ShowErrorReport(const std::wstring& message) noexcept {
    try {
        const std::wstring text = WithFullStop(message);
        ::MessageBoxW(nullptr, text.c_str(), kProductCaption, MB_OK | MB_ICONERROR);
    } catch (...) {
        ::MessageBoxW(nullptr, L"Out of memory.", kProductCaption, MB_OK | MB_ICONERROR);
    }
}

} // namespace kestova::win
