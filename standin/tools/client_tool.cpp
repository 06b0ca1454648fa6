// StandinClient.exe: a scriptable client of the running (or started) stand-in, for the Python side
// of the tests and for starting a show "by hand".
//   place <path> <monitor> [<path> <monitor> ...]
//       opens each presentation, runs its show and lays it over monitor <monitor> (the product's
//       numbering) in points at the screen's DPI; prints "<file name> <hwnd> <l,t,w,h pixels>"
//       per show and leaves the shows running
//   version
//       prints Application.Version
// Exit code 0 on success; otherwise 1 with the failure on the output.
#include "common/monitor_order.h"
#include "common/win/monitors.h"
#include "standin/client/standin_client.h"
#include "standin/journal_text.h"
#include "standin/win/journal.h"

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

using namespace kestova::standin::client;

std::string g_output;

void Emit(const std::wstring& line) {
    g_output += kestova::standin::win::ToUtf8(line) + "\r\n";
}

int Fail(const std::wstring& what, HRESULT hr, const std::wstring& description = {}) {
    Emit(L"error\t" + what + L"\t" + kestova::standin::HexCode(static_cast<uint32_t>(hr)) + L"\t" +
         description);
    return 1;
}

HRESULT Application(ComPtr<IDispatch>& app) {
    if (SUCCEEDED(AttachApplication(app)))
        return S_OK;
    return StartApplication(app);
}

int Place(const std::vector<std::wstring>& args) {
    if (args.size() < 2 || args.size() % 2 != 0)
        return Fail(L"usage: place <path> <monitor> ...", E_INVALIDARG);
    ComPtr<IDispatch> app;
    HRESULT hr = Application(app);
    if (FAILED(hr))
        return Fail(L"PowerPoint.Application", hr);
    auto monitors = kestova::MonitorsInProductOrder(kestova::win::EnumerateSystemMonitors());
    for (size_t i = 0; i < args.size(); i += 2) {
        const std::wstring& path = args[i];
        size_t number = static_cast<size_t>(_wtoi(args[i + 1].c_str()));
        if (number < 1 || number > monitors.size())
            return Fail(L"no monitor " + args[i + 1], E_INVALIDARG);
        const auto& m = monitors[number - 1];
        ComPtr<IDispatch> window = OpenAndRun(app.Get(), path, hr);
        if (!window)
            return Fail(L"open and run " + path, hr);
        RECT pixels{m.left, m.top, m.left + m.width, m.top + m.height};
        hr = PlaceInPoints(window.Get(), pixels);
        if (FAILED(hr))
            return Fail(L"place " + path, hr);
        UniqueVariant hwnd;
        (void)Get(window.Get(), L"HWND", hwnd);
        std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
        Emit(name + L"\t" + std::to_wstring(AsInt(*hwnd.get())) + L"\t" + std::to_wstring(m.left) +
             L"," + std::to_wstring(m.top) + L"," + std::to_wstring(m.width) + L"," +
             std::to_wstring(m.height));
    }
    return 0;
}

int Version() {
    ComPtr<IDispatch> app;
    HRESULT hr = Application(app);
    if (FAILED(hr))
        return Fail(L"PowerPoint.Application", hr);
    UniqueVariant version;
    std::wstring description;
    hr = Get(app.Get(), L"Version", version, &description);
    if (FAILED(hr))
        return Fail(L"Application.Version", hr, description);
    Emit(AsString(*version.get()));
    return 0;
}

int Run() {
    ::SetProcessDPIAware();
    kestova::win::ComApartment apartment;
    if (FAILED(apartment.result()))
        return Fail(L"CoInitializeEx", apartment.result());
    int count = 0;
    LPWSTR* raw = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> args;
    for (int i = 1; raw && i < count; ++i)
        args.emplace_back(raw[i]);
    if (raw)
        ::LocalFree(raw);
    if (args.empty())
        return Fail(L"usage: place <path> <monitor> ... | version", E_INVALIDARG);
    std::wstring command = args.front();
    args.erase(args.begin());
    if (command == L"place")
        return Place(args);
    if (command == L"version")
        return Version();
    return Fail(L"unknown command " + command, E_INVALIDARG);
}

} // namespace

int wmain() {
    int code = 1;
    try {
        code = Run();
    } catch (...) {
        Emit(L"error\tunexpected exception");
    }
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), g_output.data(),
                static_cast<DWORD>(g_output.size()), &written, nullptr);
    return code;
}
