#include "settings/win/handler_guard.h"

#include "common/win/error_report.h"
#include "settings/session.h"

#include <windows.h>

#include <exception>
#include <new>
#include <string>

namespace kestova::win {

namespace {

std::wstring FromUtf8(const char* text) {
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (length <= 1)
        return std::wstring();
    std::wstring result(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text, -1, result.data(), length);
    result.resize(static_cast<size_t>(length - 1));
    return result;
}

} // namespace

void ReportCurrentError() noexcept {
    try {
        throw;
    } catch (const SettingsError& error) {
        ShowErrorReport(error.message());
    } catch (const std::bad_alloc&) {
        ShowErrorReport(L"Out of memory");
    } catch (const std::exception& error) {
        try {
            ShowErrorReport(FromUtf8(error.what()));
        } catch (...) {
            ShowErrorReport(L"Out of memory");
        }
    } catch (...) {
        ShowErrorReport(L"Unexpected error");
    }
}

} // namespace kestova::win
