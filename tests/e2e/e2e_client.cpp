// E2eClient.exe: the end-to-end scenarios' and the benchmark's own automation client of the
// running presentation host. It reaches the host and the add-in exactly as Corvane does (the
// class "PowerPoint.Application", the add-in found by its description) but owns no window.
//   presentations           the open presentations of the running host: "count N", then
//                           "open <FullName>" per presentation (never starts a host)
//   leftover                whether the add-in still holds a session: PrepareScreenSaver,
//                           BeginScreenSaver, EndScreenSaver and ExitScreenSaverSession on the
//                           add-in of the running host; prints "prepare <result>"; a forgotten
//                           session opens and starts nothing (the journal shows it)
//   session <path> <monitor> [<path> <monitor> ...]
//                           a bare run: the calls Corvane makes from start to BeginScreenSaver,
//                           in the same order and with the same argument kinds, then
//                           EndScreenSaver and ExitScreenSaverSession; prints "begun <ms>" with
//                           the time from this process's start to BeginScreenSaver's return
//   labels                  one line per visible monitor message window: "<left,top,width,
//                           height>\t<text of its label>"
//   activate <hwnd>         brings a window (hexadecimal handle) to the foreground
//   open <path>             opens a presentation as someone other than the add-in would (no
//                           document window, like a macro); prints "opened <FullName>"
//   edit <FullName>         marks an open presentation as changed in the host (Saved = msoFalse)
//   window <FullName>       opens a document window on an open presentation (NewWindow)
//   load                    creates the add-in object in this process as a host does at its
//                           start (ProgID lookup, Paxendo.dll loaded, class factory, object);
//                           prints "load <microseconds>"
// Exit code 0 on success; otherwise 1 with "error <what> <hresult> <description>".
#include "common/product.h"
#include "common/win/com_error.h"
#include "common/win/start_trace.h"
#include "common/win/unique_handle.h"

#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

using kestova::win::ComApartment;
using kestova::win::ComPtr;
using kestova::win::DispatchFailure;
using kestova::win::InvokeByName;
using kestova::win::UniqueVariant;

constexpr WORD kRead = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

std::string g_output;

void Emit(const std::wstring& line) {
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, text.data(), size, nullptr, nullptr);
    g_output += text + "\r\n";
}

struct Failed {
    std::wstring what;
    HRESULT code;
    std::wstring description;
};

void Check(HRESULT hr, const std::wstring& what, const DispatchFailure& failure = {}) {
    if (FAILED(hr))
        throw Failed{what, hr, failure.description};
}

// One late-bound call by name; throws on failure.
void Call(IDispatch* object, const wchar_t* member, WORD flags, std::vector<VARIANT> args,
          VARIANT* result) {
    DispatchFailure failure;
    Check(InvokeByName(object, member, flags, args, result, &failure), member, failure);
}

ComPtr<IDispatch> ReadObject(IDispatch* object, const wchar_t* member,
                             std::vector<VARIANT> args = {}, WORD flags = kRead) {
    UniqueVariant value;
    Call(object, member, flags, std::move(args), value.put());
    if (value.type() != VT_DISPATCH || !value->pdispVal)
        throw Failed{member, E_NOINTERFACE, L"no object"};
    return ComPtr<IDispatch>(value->pdispVal);
}

std::wstring ReadText(IDispatch* object, const wchar_t* member) {
    UniqueVariant value;
    Call(object, member, kRead, {}, value.put());
    Check(::VariantChangeType(value.get(), value.get(), 0, VT_BSTR), member);
    return std::wstring(value->bstrVal, ::SysStringLen(value->bstrVal));
}

int32_t ReadInt(IDispatch* object, const wchar_t* member) {
    UniqueVariant value;
    Call(object, member, kRead, {}, value.put());
    Check(::VariantChangeType(value.get(), value.get(), 0, VT_I4), member);
    return value->lVal;
}

VARIANT IntArg(int32_t value) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT IntRef(int32_t* value) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4 | VT_BYREF;
    v.plVal = reinterpret_cast<LONG*>(value);
    return v;
}

VARIANT TextRef(BSTR* value) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BSTR | VT_BYREF;
    v.pbstrVal = value;
    return v;
}

CLSID HostClass() {
    CLSID clsid{};
    Check(::CLSIDFromProgID(L"PowerPoint.Application", &clsid), L"CLSIDFromProgID");
    return clsid;
}

ComPtr<IDispatch> AttachHost() {
    kestova::win::StartTraceMark("attach");
    CLSID clsid = HostClass();
    kestova::win::StartTraceMark("class found");
    ComPtr<IUnknown> unknown;
    Check(::GetActiveObject(clsid, nullptr, unknown.GetAddressOf()), L"GetActiveObject");
    kestova::win::StartTraceMark("host reached");
    ComPtr<IDispatch> app;
    Check(unknown.As(&app), L"IDispatch");
    return app;
}

ComPtr<IDispatch> AttachOrStartHost() {
    try {
        return AttachHost();
    } catch (const Failed&) {
    }
    CLSID clsid = HostClass();
    ComPtr<IDispatch> app;
    Check(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                             IID_IDispatch, reinterpret_cast<void**>(app.GetAddressOf())),
          L"CoCreateInstance");
    return app;
}

// The add-in's object, walked for as Corvane walks for it: the collection fetched afresh for
// every read, descriptions compared byte for byte.
ComPtr<IDispatch> FindAddIn(IDispatch* app) {
    const int32_t count = ReadInt(ReadObject(app, L"COMAddIns").Get(), L"Count");
    for (int32_t i = 1; i <= count; ++i) {
        ComPtr<IDispatch> entry =
            ReadObject(ReadObject(app, L"COMAddIns").Get(), L"Item", {IntArg(i)}, DISPATCH_METHOD);
        if (ReadText(entry.Get(), L"Description") != kestova::kProductCaption)
            continue;
        entry =
            ReadObject(ReadObject(app, L"COMAddIns").Get(), L"Item", {IntArg(i)}, DISPATCH_METHOD);
        return ReadObject(entry.Get(), L"Object");
    }
    throw Failed{L"FindAddIn", E_FAIL, L"the add-in is not in the host's list"};
}

void Method(IDispatch* addIn, const wchar_t* member, std::vector<VARIANT> args = {}) {
    Call(addIn, member, DISPATCH_METHOD, std::move(args), nullptr);
}

int Presentations() {
    ComPtr<IDispatch> app = AttachHost();
    ComPtr<IDispatch> list = ReadObject(app.Get(), L"Presentations");
    const int32_t count = ReadInt(list.Get(), L"Count");
    Emit(L"count " + std::to_wstring(count));
    for (int32_t i = 1; i <= count; ++i) {
        ComPtr<IDispatch> presentation = ReadObject(list.Get(), L"Item", {IntArg(i)});
        Emit(L"open " + ReadText(presentation.Get(), L"FullName"));
    }
    return 0;
}

int Leftover() {
    ComPtr<IDispatch> app = AttachHost();
    ComPtr<IDispatch> addIn = FindAddIn(app.Get());
    UniqueVariant failedPath;
    Call(addIn.Get(), L"PrepareScreenSaver", DISPATCH_METHOD, {}, failedPath.put());
    std::wstring text;
    if (failedPath.type() == VT_BSTR && failedPath->bstrVal)
        text.assign(failedPath->bstrVal, ::SysStringLen(failedPath->bstrVal));
    Emit(L"prepare " + text);
    Method(addIn.Get(), L"BeginScreenSaver");
    Method(addIn.Get(), L"EndScreenSaver");
    Method(addIn.Get(), L"ExitScreenSaverSession");
    return 0;
}

// The running host's open presentation of that full name.
ComPtr<IDispatch> OpenPresentation(IDispatch* app, const std::wstring& fullName) {
    ComPtr<IDispatch> list = ReadObject(app, L"Presentations");
    const int32_t count = ReadInt(list.Get(), L"Count");
    for (int32_t i = 1; i <= count; ++i) {
        ComPtr<IDispatch> presentation = ReadObject(list.Get(), L"Item", {IntArg(i)});
        if (ReadText(presentation.Get(), L"FullName") == fullName)
            return presentation;
    }
    throw Failed{L"Presentations.Item", E_INVALIDARG, fullName + L" is not open"};
}

int InHand(const std::wstring& command, const std::vector<std::wstring>& args) {
    if (args.size() != 1)
        throw Failed{L"usage: " + command + L" <path>", E_INVALIDARG, {}};
    ComPtr<IDispatch> app = AttachHost();
    if (command == L"open") {
        kestova::win::UniqueBstr path(args[0].c_str());
        VARIANT name;
        ::VariantInit(&name);
        name.vt = VT_BSTR;
        name.bstrVal = path.get();
        UniqueVariant opened;
        Call(ReadObject(app.Get(), L"Presentations").Get(), L"Open", DISPATCH_METHOD,
             {name, IntArg(0), IntArg(0), IntArg(0)}, opened.put());
        ComPtr<IDispatch> presentation;
        if (opened.type() == VT_UNKNOWN && opened->punkVal)
            Check(opened->punkVal->QueryInterface(IID_PPV_ARGS(&presentation)), L"IDispatch");
        else if (opened.type() == VT_DISPATCH && opened->pdispVal)
            presentation = opened->pdispVal;
        else
            throw Failed{L"Open", E_NOINTERFACE, L"no presentation"};
        Emit(L"opened " + ReadText(presentation.Get(), L"FullName"));
        return 0;
    }
    ComPtr<IDispatch> presentation = OpenPresentation(app.Get(), args[0]);
    if (command == L"edit")
        Call(presentation.Get(), L"Saved", DISPATCH_PROPERTYPUT, {IntArg(0)}, nullptr);
    else
        Call(presentation.Get(), L"NewWindow", DISPATCH_METHOD, {}, nullptr);
    return 0;
}

double MillisecondsSinceStart() {
    FILETIME created{}, exited{}, kernel{}, user{};
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(now) - ticks(created)) / 10000.0;
}

int Session(const std::vector<std::wstring>& args) {
    if (args.empty() || args.size() % 2 != 0)
        throw Failed{L"usage: session <path> <monitor> ...", E_INVALIDARG, {}};
    ComPtr<IDispatch> app = AttachOrStartHost();
    ComPtr<IDispatch> addIn = FindAddIn(app.Get());

    int32_t processId = 0;
    Method(addIn.Get(), L"GetProcessId", {IntRef(&processId)});
    kestova::win::UniqueHandle process(
        ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, static_cast<DWORD>(processId)));
    UniqueVariant ready;
    Call(addIn.Get(), L"IsCOMAddInInitialized", DISPATCH_METHOD, {}, ready.put());
    Check(::VariantChangeType(ready.get(), ready.get(), 0, VT_BOOL), L"IsCOMAddInInitialized");
    if (ready->boolVal == VARIANT_FALSE)
        throw Failed{L"IsCOMAddInInitialized", E_FAIL, L"the add-in is not initialised"};

    int32_t count = static_cast<int32_t>(args.size() / 2);
    Method(addIn.Get(), L"InitializeScreenSaverSession", {IntRef(&count)});
    for (int32_t i = 0; i < count; ++i) {
        int32_t index = i + 1;
        kestova::win::UniqueBstr path(args[static_cast<size_t>(2 * i)].c_str());
        BSTR raw = path.get();
        int32_t monitor = _wtoi(args[static_cast<size_t>(2 * i + 1)].c_str());
        Method(addIn.Get(), L"AddScreenSaver", {IntRef(&index), TextRef(&raw), IntRef(&monitor)});
    }
    Method(addIn.Get(), L"PrepareScreenSaver");
    Method(addIn.Get(), L"BeginScreenSaver");
    kestova::win::StartTraceMark("start done");
    kestova::win::StartTraceFlush();
    const double begun = MillisecondsSinceStart();
    wchar_t text[64];
    swprintf(text, 64, L"begun %.1f", begun);
    Emit(text);
    Method(addIn.Get(), L"EndScreenSaver");
    Method(addIn.Get(), L"ExitScreenSaverSession");
    return 0;
}

BOOL CALLBACK ListLabel(HWND window, LPARAM) {
    wchar_t className[64] = {};
    ::GetClassNameW(window, className, 64);
    if (std::wstring(className) != L"TDisplayForm" || !::IsWindowVisible(window))
        return TRUE;
    RECT rect{};
    ::GetWindowRect(window, &rect);
    std::wstring text;
    if (HWND label = ::GetDlgItem(window, 1)) {
        text.resize(static_cast<size_t>(::GetWindowTextLengthW(label)) + 1);
        text.resize(static_cast<size_t>(
            ::GetWindowTextW(label, text.data(), static_cast<int>(text.size()))));
    }
    Emit(std::to_wstring(rect.left) + L"," + std::to_wstring(rect.top) + L"," +
         std::to_wstring(rect.right - rect.left) + L"," + std::to_wstring(rect.bottom - rect.top) +
         L"\t" + text);
    return TRUE;
}

int Labels() {
    ::EnumWindows(ListLabel, 0);
    return 0;
}

int Activate(const std::vector<std::wstring>& args) {
    if (args.size() != 1)
        throw Failed{L"usage: activate <hwnd>", E_INVALIDARG, {}};
    HWND window =
        reinterpret_cast<HWND>(static_cast<INT_PTR>(std::wcstoull(args[0].c_str(), nullptr, 16)));
    ::SetForegroundWindow(window);
    Emit(::GetForegroundWindow() == window ? L"foreground" : L"not foreground");
    return 0;
}

BOOL CALLBACK ListMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (::GetMonitorInfoW(monitor, &info)) {
        const RECT& r = info.rcMonitor;
        Emit(L"monitor " + std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L"," +
             std::to_wstring(r.right - r.left) + L"," + std::to_wstring(r.bottom - r.top));
    }
    return TRUE;
}

// The display settings applied again (so that the system takes the monitors afresh and tells
// every window), then the monitors as this process now sees them.
int DisplayChange() {
    const LONG applied = ::ChangeDisplaySettingsExW(nullptr, nullptr, nullptr, 0, nullptr);
    Emit(L"applied " + std::to_wstring(applied));
    ::EnumDisplayMonitors(nullptr, nullptr, ListMonitor, 0);
    return 0;
}

int Load() {
    LARGE_INTEGER frequency{}, start{}, done{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    CLSID clsid{};
    Check(::CLSIDFromProgID(L"Paxendo.PowerPointAddin", &clsid), L"CLSIDFromProgID");
    ComPtr<IUnknown> addIn;
    Check(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             reinterpret_cast<void**>(addIn.GetAddressOf())),
          L"CoCreateInstance");
    ::QueryPerformanceCounter(&done);
    wchar_t text[64];
    swprintf(text, 64, L"load %.0f",
             static_cast<double>(done.QuadPart - start.QuadPart) * 1e6 /
                 static_cast<double>(frequency.QuadPart));
    Emit(text);
    return 0;
}

int Run() {
    // Window rectangles in real pixels, as the window lister reports them.
    kestova::win::StartTraceMark("wmain");
    ::SetProcessDPIAware();
    ComApartment apartment;
    Check(apartment.result(), L"CoInitializeEx");
    kestova::win::StartTraceMark("main apartment");
    int count = 0;
    LPWSTR* raw = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> args;
    for (int i = 1; raw && i < count; ++i)
        args.emplace_back(raw[i]);
    if (raw)
        ::LocalFree(raw);
    if (args.empty())
        throw Failed{
            L"usage: presentations | leftover | session ... | labels | activate <hwnd> | load | "
            L"displaychange",
            E_INVALIDARG,
            {}};
    const std::wstring command = args.front();
    args.erase(args.begin());
    if (command == L"presentations")
        return Presentations();
    if (command == L"leftover")
        return Leftover();
    if (command == L"session")
        return Session(args);
    if (command == L"labels")
        return Labels();
    if (command == L"activate")
        return Activate(args);
    if (command == L"load")
        return Load();
    if (command == L"open" || command == L"edit" || command == L"window")
        return InHand(command, args);
    if (command == L"displaychange")
        return DisplayChange();
    throw Failed{L"unknown command " + command, E_INVALIDARG, {}};
}

} // namespace

int wmain() {
    int code = 1;
    try {
        code = Run();
    } catch (const Failed& failed) {
        wchar_t hex[16];
        swprintf(hex, 16, L"%08lX", static_cast<unsigned long>(failed.code));
        Emit(L"error\t" + failed.what + L"\t" + hex + L"\t" + failed.description);
    } catch (...) {
        Emit(L"error\tunexpected exception");
    }
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), g_output.data(),
                static_cast<DWORD>(g_output.size()), &written, nullptr);
    return code;
}
