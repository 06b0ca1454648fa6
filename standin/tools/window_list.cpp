// StandinWindows.exe: what a test sees on the Windows side, printed as tab-separated UTF-8 lines.
//   windows   one line per top-level window:
//             hwnd(hex) pid visible(0|1) topmost(0|1) style(hex) exstyle(hex)
//             left,top,width,height class title
//   monitors  one line per monitor in the product's numbering: number left,top,width,height
//             dpi-x dpi-y
#include "common/monitor_order.h"
#include "common/win/monitors.h"
#include "common/win/unique_handle.h"
#include "standin/win/journal.h"

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using kestova::standin::win::ToUtf8;

std::string g_output;

void Emit(const std::wstring& line) {
    g_output += ToUtf8(line);
    g_output += "\r\n";
}

std::wstring Hex(unsigned long long value) {
    wchar_t text[32];
    swprintf(text, 32, L"%llX", value);
    return text;
}

std::wstring Sanitized(std::wstring text) {
    for (wchar_t& c : text)
        if (c == L'\t' || c == L'\r' || c == L'\n')
            c = L' ';
    return text;
}

BOOL CALLBACK ListWindow(HWND window, LPARAM) {
    wchar_t className[256] = {};
    ::GetClassNameW(window, className, 256);
    int length = ::GetWindowTextLengthW(window);
    std::wstring title(static_cast<size_t>(length > 0 ? length + 1 : 1), L'\0');
    int copied = ::GetWindowTextW(window, title.data(), static_cast<int>(title.size()));
    title.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    RECT rect{};
    ::GetWindowRect(window, &rect);
    LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    LONG_PTR exStyle = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
    Emit(Hex(reinterpret_cast<ULONG_PTR>(window)) + L"\t" + std::to_wstring(pid) + L"\t" +
         (::IsWindowVisible(window) ? L"1" : L"0") + L"\t" +
         ((exStyle & WS_EX_TOPMOST) ? L"1" : L"0") + L"\t" +
         Hex(static_cast<ULONG_PTR>(style) & 0xFFFFFFFF) + L"\t" +
         Hex(static_cast<ULONG_PTR>(exStyle) & 0xFFFFFFFF) + L"\t" + std::to_wstring(rect.left) +
         L"," + std::to_wstring(rect.top) + L"," + std::to_wstring(rect.right - rect.left) + L"," +
         std::to_wstring(rect.bottom - rect.top) + L"\t" + Sanitized(className) + L"\t" +
         Sanitized(title));
    return TRUE;
}

void ListMonitors() {
    auto monitors = kestova::MonitorsInProductOrder(kestova::win::EnumerateSystemMonitors());
    kestova::win::WindowDc screen(nullptr);
    int dpiX = screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSX) : 96;
    int dpiY = screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    int number = 1;
    for (const auto& m : monitors)
        Emit(std::to_wstring(number++) + L"\t" + std::to_wstring(m.left) + L"," +
             std::to_wstring(m.top) + L"," + std::to_wstring(m.width) + L"," +
             std::to_wstring(m.height) + L"\t" + std::to_wstring(dpiX) + L"\t" +
             std::to_wstring(dpiY));
}

int Run() {
    ::SetProcessDPIAware();
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::wstring command = (args && count > 1) ? args[1] : L"windows";
    if (args)
        ::LocalFree(args);
    if (command == L"windows")
        ::EnumWindows(ListWindow, 0);
    else if (command == L"monitors")
        ListMonitors();
    else
        return 2;
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), g_output.data(),
                static_cast<DWORD>(g_output.size()), &written, nullptr);
    return 0;
}

} // namespace

int wmain() {
    try {
        return Run();
    } catch (...) {
        return 1;
    }
}
