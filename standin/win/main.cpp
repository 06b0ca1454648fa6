// PptStandin.exe: the PowerPoint that tests and the demo run against.
//   PptStandin.exe              start in advance (the harness), registered in the ROT
//   PptStandin.exe -Embedding   started by COM for a client's CoCreateInstance
//   PptStandin.exe /RegServer | /UnregServer
//   PptStandin.exe /Quit        asks the running one to end and waits for it
#include "standin/win/application.h"
#include "standin/win/class_factory.h"
#include "standin/win/host.h"
#include "standin/win/host_prompt.h"
#include "standin/win/powerpoint_ids.h"
#include "standin/win/registration.h"

#include "common/win/unique_handle.h"

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

using namespace kestova::standin::win;
using kestova::win::ComApartment;
using kestova::win::UniqueHandle;
using kestova::win::UniqueWindow;

constexpr wchar_t kControlClass[] = L"KestovaStandinControl";
constexpr DWORD kQuitWaitMs = 20000;

LRESULT CALLBACK ControlProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

// A message-only window that /Quit finds by class and asks to close.
UniqueWindow CreateControlWindow() {
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    info.lpfnWndProc = ControlProcedure;
    info.hInstance = ::GetModuleHandleW(nullptr);
    info.lpszClassName = kControlClass;
    ::RegisterClassExW(&info);
    return UniqueWindow(::CreateWindowExW(0, kControlClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                          nullptr, ::GetModuleHandleW(nullptr), nullptr));
}

// The host's main window: hidden while the host runs for automation, as PowerPoint's is; the
// owner of its prompts, which disable it while they are up. Setup programs find a running
// PowerPoint by its class.
UniqueWindow CreateFrameWindow() {
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    info.lpfnWndProc = ::DefWindowProcW;
    info.hInstance = ::GetModuleHandleW(nullptr);
    info.lpszClassName = kHostFrameClass;
    ::RegisterClassExW(&info);
    return UniqueWindow(::CreateWindowExW(0, kHostFrameClass, L"PowerPoint", WS_OVERLAPPEDWINDOW, 0,
                                          0, 400, 300, nullptr, nullptr,
                                          ::GetModuleHandleW(nullptr), nullptr));
}

int QuitRunning() {
    bool found = false;
    while (HWND control = ::FindWindowExW(HWND_MESSAGE, nullptr, kControlClass, nullptr)) {
        found = true;
        DWORD processId = 0;
        ::GetWindowThreadProcessId(control, &processId);
        UniqueHandle process(
            ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
        ::PostMessageW(control, WM_CLOSE, 0, 0);
        if (!process || ::WaitForSingleObject(process.get(), kQuitWaitMs) != WAIT_OBJECT_0)
            return 2;
    }
    return found ? 0 : 1;
}

int RunHost(bool embedding) {
    // Declared before the apartment: the journal and the balance outlive COM's own clean-up.
    RefTracker tracker;
    Knobs knobs = ReadKnobs();
    Journal journal(knobs.journalPath);
    std::wstring pid = std::to_wstring(::GetCurrentProcessId());
    journal.Write({L"host", L"start", pid, embedding ? L"embedding" : L"direct"});
    Host host(journal, tracker, knobs);
    {
        ComApartment apartment;
        if (FAILED(apartment.result()))
            return 1;
        ::SetProcessDPIAware();
        UniqueWindow control = CreateControlWindow();
        UniqueWindow frame = CreateFrameWindow();

        // Add-ins connect before any client can reach the Application, as in PowerPoint, so a
        // client that starts the host finds their objects at once.
        host.Start();
        ClassFactory factory(host);
        DWORD classCookie = 0, activeCookie = 0;
        HRESULT classResult = ::CoRegisterClassObject(
            kApplicationClsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &classCookie);
        HRESULT activeResult =
            ::RegisterActiveObject(static_cast<IDispatch*>(host.App()), kApplicationClsid,
                                   ACTIVEOBJECT_STRONG, &activeCookie);
        journal.Write({L"host", L"ready", pid,
                       SUCCEEDED(classResult) && SUCCEEDED(activeResult) ? L"ok" : L"partial"});

        MSG message;
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }

        journal.Write({L"host", L"quit", pid});
        if (SUCCEEDED(activeResult))
            ::RevokeActiveObject(activeCookie, nullptr);
        if (SUCCEEDED(classResult))
            ::CoRevokeClassObject(classCookie);
        host.Shutdown();
        tracker.WriteBalances(journal);
    }
    journal.Write({L"host", L"exit", pid});
    return 0;
}

bool IsSwitch(const wchar_t* argument, const wchar_t* name) {
    if (argument[0] != L'/' && argument[0] != L'-')
        return false;
    return ::CompareStringOrdinal(argument + 1, -1, name, -1, TRUE) == CSTR_EQUAL;
}

int Run() {
    int count = 0;
    LPWSTR* raw = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> args;
    if (raw) {
        for (int i = 1; i < count; ++i)
            args.emplace_back(raw[i]);
        ::LocalFree(raw);
    }
    bool embedding = false;
    for (const std::wstring& arg : args) {
        if (IsSwitch(arg.c_str(), L"RegServer"))
            return RegisterServer() ? 0 : 1;
        if (IsSwitch(arg.c_str(), L"UnregServer")) {
            UnregisterServer();
            return 0;
        }
        if (IsSwitch(arg.c_str(), L"Quit"))
            return QuitRunning();
        if (IsSwitch(arg.c_str(), L"Embedding") || IsSwitch(arg.c_str(), L"Automation"))
            embedding = true;
    }
    return RunHost(embedding);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        return Run();
    } catch (...) {
        return 1;
    }
}
