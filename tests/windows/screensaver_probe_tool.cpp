// ScreensaverProbe.exe: the Wine scenarios' hands and eyes inside the prefix. Runs its commands
// in order and prints one line per answer:
//   keydown VK | keyup VK | key VK      injected key events (VK in decimal or 0x hex)
//   move DX DY                          injected relative mouse move
//   chord                               Ctrl+Alt+Esc pressed and released
//   release                             key-up for the modifiers and Esc (stuck keys)
//   sleep MS
//   tick                                "tick <GetTickCount>"
//   atom NAME                           "atom <value>" (0 when absent)
//   purge NAME                          deletes every reference on the global atom
//   hotkey                              "hotkey free|taken" for Ctrl+Alt+Esc
//   watch NAME MS                       "watching" when atom NAME and Ctrl+Alt+Esc are both in
//                                       place, then polls until both are gone:
//                                       "gone <tick atom last seen> <tick hot key last
//                                       taken>" or "timeout"
//   swallowed MS                        presses F24 until a key press is no longer swallowed by
//                                       a low-level hook: "passed <tick just before the last
//                                       swallowed press>" or "timeout"
//   responds CLASS MS                   sends the window of class CLASS a message and waits up
//                                       to MS for its thread to take it: "responds", "busy" or
//                                       "no window" (a thread that takes sent messages outside
//                                       any modal loop has finished its start-up)
//   focus TITLE                         the control with the keyboard focus in the top-level
//                                       window titled TITLE (or TITLE plus a blank) when that
//                                       window is the foreground one, where typed keys go:
//                                       "focus <class>\t<text>", "focus none" or "no window"
//   close CLASS                         asks every top-level window of CLASS to close (system
//                                       menu's Close, then WM_CLOSE): "asked <count>"
//   hidden CLASS MS                     polls until no visible top-level window of CLASS is
//                                       left: "hidden <tick>" or "timeout"
//   extent TEXT                         "extent W H" of TEXT in "MS Sans Serif" 8 pt
//   dialog TITLE                        texts of the message box titled TITLE: "text <...>"
//   press-ok TITLE                      clicks the OK button of that message box
//   bare PATH                           the run's automation calls without Corvane (attach to
//                                       the host, find the add-in, a one-entry session, begin,
//                                       end): the benchmarks' yardstick; "bare ok" or "bare <hr>"
//   lock PATH MARKER                    holds PATH open, sharing nothing, until MARKER exists
//   shared PATH                         "shared" when PATH opens for appending beside others,
//                                       else "denied <error>"
#include "common/win/com_error.h"
#include "common/win/unique_handle.h"

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <span>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int kProbeHotKey = 0x2345;

void Key(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    ::SendInput(1, &input, sizeof input);
}

void Move(int dx, int dy) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;
    ::SendInput(1, &input, sizeof input);
}

bool HotKeyFree() {
    if (!::RegisterHotKey(nullptr, kProbeHotKey, MOD_ALT | MOD_CONTROL, VK_ESCAPE))
        return false;
    ::UnregisterHotKey(nullptr, kProbeHotKey);
    return true;
}

void Print(const std::wstring& line) {
    // UTF-8, one flushed line per answer.
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, text.data(), size, nullptr, nullptr);
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

std::vector<HWND> TopLevelOf(const std::wstring& className, bool visibleOnly) {
    struct Search {
        std::wstring className;
        bool visibleOnly;
        std::vector<HWND> found;
    } search{className, visibleOnly, {}};
    ::EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(context);
            wchar_t name[256]{};
            ::GetClassNameW(window, name, 256);
            if (s.className == name && (!s.visibleOnly || ::IsWindowVisible(window)))
                s.found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindMessageBox(const wchar_t* title) {
    return ::FindWindowW(L"#32770", title);
}

using kestova::win::ComPtr;
using kestova::win::UniqueBstr;
using kestova::win::UniqueVariant;

// One late-bound call; by-reference arguments as Corvane sends them.
HRESULT Call(IDispatch* object, const wchar_t* member, WORD flags, std::span<VARIANT> arguments,
             VARIANT* result = nullptr) {
    return kestova::win::InvokeByName(object, member, flags, arguments, result);
}

ComPtr<IDispatch> ReadObject(IDispatch* object, const wchar_t* member,
                             VARIANT* argument = nullptr) {
    UniqueVariant result;
    const WORD flags = argument ? DISPATCH_METHOD : DISPATCH_METHOD | DISPATCH_PROPERTYGET;
    if (FAILED(Call(object, member, flags,
                    argument ? std::span<VARIANT>(argument, 1) : std::span<VARIANT>(),
                    result.get())) ||
        result.type() != VT_DISPATCH)
        return nullptr;
    return ComPtr<IDispatch>(result->pdispVal);
}

HRESULT BareSession(const std::wstring& path) {
    CLSID clsid{};
    HRESULT hr = ::CLSIDFromProgID(L"PowerPoint.Application", &clsid);
    if (FAILED(hr))
        return hr;
    ComPtr<IUnknown> running;
    ComPtr<IDispatch> app;
    if (SUCCEEDED(::GetActiveObject(clsid, nullptr, &running)))
        running.As(&app);
    if (!app &&
        FAILED(hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_PPV_ARGS(&app))))
        return hr;
    ComPtr<IDispatch> addIns = ReadObject(app.Get(), L"COMAddIns");
    UniqueVariant count;
    if (!addIns || FAILED(hr = Call(addIns.Get(), L"Count", DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                    {}, count.get())))
        return FAILED(hr) ? hr : E_FAIL;
    VARIANT position{};
    position.vt = VT_I4;
    position.lVal = 1;
    ComPtr<IDispatch> entry =
        ReadObject(ReadObject(app.Get(), L"COMAddIns").Get(), L"Item", &position);
    UniqueVariant description;
    if (!entry || FAILED(hr = Call(entry.Get(), L"Description",
                                   DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, description.get())))
        return FAILED(hr) ? hr : E_FAIL;
    entry = ReadObject(ReadObject(app.Get(), L"COMAddIns").Get(), L"Item", &position);
    ComPtr<IDispatch> addIn = entry ? ReadObject(entry.Get(), L"Object") : nullptr;
    if (!addIn)
        return E_FAIL;

    LONG processId = 0, one = 1, index = 1, monitor = 1;
    UniqueBstr name(path.c_str());
    BSTR nameValue = name.get();
    VARIANT byRef[3]{};
    byRef[0].vt = VT_BYREF | VT_I4;
    byRef[0].plVal = &processId;
    if (FAILED(hr = Call(addIn.Get(), L"GetProcessId", DISPATCH_METHOD, {byRef, 1})))
        return hr;
    kestova::win::UniqueHandle process(
        ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, static_cast<DWORD>(processId)));
    UniqueVariant ready;
    if (FAILED(hr = Call(addIn.Get(), L"IsCOMAddInInitialized", DISPATCH_METHOD, {}, ready.get())))
        return hr;
    byRef[0].plVal = &one;
    if (FAILED(hr =
                   Call(addIn.Get(), L"InitializeScreenSaverSession", DISPATCH_METHOD, {byRef, 1})))
        return hr;
    byRef[0].plVal = &index;
    byRef[1].vt = VT_BYREF | VT_BSTR;
    byRef[1].pbstrVal = &nameValue;
    byRef[2].vt = VT_BYREF | VT_I4;
    byRef[2].plVal = &monitor;
    if (FAILED(hr = Call(addIn.Get(), L"AddScreenSaver", DISPATCH_METHOD, {byRef, 3})))
        return hr;
    name.release();
    name.reset(nameValue);
    for (const wchar_t* member :
         {L"PrepareScreenSaver", L"BeginScreenSaver", L"EndScreenSaver", L"ExitScreenSaverSession"})
        if (FAILED(hr = Call(addIn.Get(), member, DISPATCH_METHOD, {})))
            return hr;
    return S_OK;
}

BOOL CALLBACK PrintStatic(HWND child, LPARAM) {
    wchar_t className[64]{};
    ::GetClassNameW(child, className, 64);
    if (_wcsicmp(className, L"Static") == 0) {
        wchar_t text[1024]{};
        ::GetWindowTextW(child, text, 1024);
        if (text[0])
            Print(std::wstring(L"text ") + text);
    }
    return TRUE;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring command = argv[i];
        auto next = [&]() -> std::wstring { return i + 1 < argc ? argv[++i] : L""; };
        auto number = [&]() { return static_cast<int>(std::wcstol(next().c_str(), nullptr, 0)); };
        if (command == L"keydown") {
            Key(static_cast<WORD>(number()), false);
        } else if (command == L"keyup") {
            Key(static_cast<WORD>(number()), true);
        } else if (command == L"key") {
            const WORD vk = static_cast<WORD>(number());
            Key(vk, false);
            Key(vk, true);
        } else if (command == L"move") {
            const int dx = number();
            Move(dx, number());
        } else if (command == L"chord") {
            Key(VK_CONTROL, false);
            Key(VK_MENU, false);
            Key(VK_ESCAPE, false);
            Key(VK_ESCAPE, true);
            Key(VK_MENU, true);
            Key(VK_CONTROL, true);
        } else if (command == L"release") {
            for (WORD vk : {VK_ESCAPE, VK_MENU, VK_CONTROL, VK_SHIFT, VK_LMENU, VK_LCONTROL,
                            VK_LSHIFT, VK_RMENU, VK_RCONTROL, VK_RSHIFT})
                Key(vk, true);
        } else if (command == L"tick") {
            Print(L"tick " + std::to_wstring(::GetTickCount()));
        } else if (command == L"sleep") {
            ::Sleep(static_cast<DWORD>(number()));
        } else if (command == L"atom") {
            Print(L"atom " + std::to_wstring(::GlobalFindAtomW(next().c_str())));
        } else if (command == L"purge") {
            const std::wstring name = next();
            for (int guard = 0; guard < 1000; ++guard) {
                ATOM atom = ::GlobalFindAtomW(name.c_str());
                if (!atom)
                    break;
                ::GlobalDeleteAtom(atom);
            }
        } else if (command == L"close") {
            const auto windows = TopLevelOf(next(), false);
            for (HWND window : windows) {
                ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
                ::PostMessageW(window, WM_CLOSE, 0, 0);
            }
            Print(L"asked " + std::to_wstring(windows.size()));
        } else if (command == L"hidden") {
            const std::wstring name = next();
            const DWORD limit = static_cast<DWORD>(number());
            const DWORD start = ::GetTickCount();
            bool gone = false;
            while (!(gone = TopLevelOf(name, true).empty()) && ::GetTickCount() - start < limit)
                ::Sleep(1);
            Print(gone ? L"hidden " + std::to_wstring(::GetTickCount()) : L"timeout");
        } else if (command == L"hotkey") {
            Print(HotKeyFree() ? L"hotkey free" : L"hotkey taken");
        } else if (command == L"watch") {
            // The last moment each was still seen: a starved poll can only make these earlier,
            // never later, than the removal itself.
            const std::wstring name = next();
            const DWORD limit = static_cast<DWORD>(number());
            const DWORD start = ::GetTickCount();
            DWORD atomSeen = 0, hotKeySeen = 0;
            bool atomGone = false, hotKeyGone = false;
            if (::GlobalFindAtomW(name.c_str()) && !HotKeyFree())
                Print(L"watching"); // both seen in place: the caller may now end the run
            while ((!atomGone || !hotKeyGone) && ::GetTickCount() - start < limit) {
                const DWORD now = ::GetTickCount();
                if (!atomGone) {
                    atomGone = !::GlobalFindAtomW(name.c_str());
                    if (!atomGone)
                        atomSeen = now;
                }
                if (!hotKeyGone) {
                    hotKeyGone = HotKeyFree();
                    if (!hotKeyGone)
                        hotKeySeen = now;
                }
                ::Sleep(0);
            }
            if (atomGone && hotKeyGone)
                Print(L"gone " + std::to_wstring(atomSeen) + L" " + std::to_wstring(hotKeySeen));
            else
                Print(L"timeout");
        } else if (command == L"swallowed") {
            // While a hook swallows them, injected key presses never reach the key state.
            const DWORD limit = static_cast<DWORD>(number());
            const DWORD start = ::GetTickCount();
            DWORD lastSwallowed = 0;
            bool passed = false;
            while (!passed && ::GetTickCount() - start < limit) {
                // The tick before the press: the hook took it at this moment or later, so a
                // probe starved between the press and the tick cannot make a hook that was
                // already gone look alive.
                const DWORD sent = ::GetTickCount();
                Key(VK_F24, false);
                passed = (::GetAsyncKeyState(VK_F24) & 0x8000) != 0;
                Key(VK_F24, true);
                if (!passed) {
                    lastSwallowed = sent;
                    ::Sleep(1);
                }
            }
            Print(passed ? L"passed " + std::to_wstring(lastSwallowed) : std::wstring(L"timeout"));
        } else if (command == L"responds") {
            const std::wstring className = next();
            const UINT limit = static_cast<UINT>(number());
            DWORD_PTR answer = 0;
            if (HWND window = ::FindWindowW(className.c_str(), nullptr))
                Print(::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, limit, &answer)
                          ? L"responds"
                          : L"busy");
            else
                Print(L"no window");
        } else if (command == L"focus") {
            const std::wstring title = next();
            HWND window = ::FindWindowW(nullptr, title.c_str());
            if (!window)
                window = ::FindWindowW(nullptr, (title + L" ").c_str());
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            if (!window) {
                Print(L"no window");
            } else if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) ||
                       !info.hwndFocus || ::GetAncestor(info.hwndFocus, GA_ROOT) != window ||
                       ::GetForegroundWindow() != window) {
                Print(L"focus none");
            } else {
                wchar_t className[64]{};
                wchar_t text[256]{};
                ::GetClassNameW(info.hwndFocus, className, 64);
                ::GetWindowTextW(info.hwndFocus, text, 256);
                Print(std::wstring(L"focus ") + className + L"\t" + text);
            }
        } else if (command == L"extent") {
            const std::wstring text = next();
            HDC dc = ::GetDC(nullptr);
            const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
            HFONT font =
                ::CreateFontW(-::MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                              DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                              DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
            HGDIOBJ old = ::SelectObject(dc, font);
            SIZE size{};
            ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
            ::SelectObject(dc, old);
            ::DeleteObject(font);
            ::ReleaseDC(nullptr, dc);
            Print(L"extent " + std::to_wstring(size.cx) + L" " + std::to_wstring(size.cy));
        } else if (command == L"dialog") {
            const std::wstring title = next();
            if (HWND box = FindMessageBox(title.c_str()))
                ::EnumChildWindows(box, PrintStatic, 0);
            else
                Print(L"no dialog");
        } else if (command == L"press-ok") {
            const std::wstring title = next();
            if (HWND box = FindMessageBox(title.c_str()))
                ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                               reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
        } else if (command == L"lock") {
            // Holds a file as a program that shares nothing would, until `marker` exists.
            const std::wstring path = next();
            const std::wstring marker = next();
            kestova::win::UniqueHandle file(::CreateFileW(
                path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr));
            if (file.get() == INVALID_HANDLE_VALUE) {
                (void)file.release();
                Print(L"lock failed");
                return 1;
            }
            for (int guard = 0; guard < 6000; ++guard) {
                if (::GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES)
                    break;
                ::Sleep(20);
            }
        } else if (command == L"shared") {
            // Whether another program could open the file for appending just now.
            const std::wstring path = next();
            kestova::win::UniqueHandle file(
                ::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
            const bool opened = file.get() != INVALID_HANDLE_VALUE;
            if (!opened)
                (void)file.release();
            Print(opened ? L"shared" : L"denied " + std::to_wstring(::GetLastError()));
        } else if (command == L"bare") {
            const std::wstring path = next();
            kestova::win::ComApartment apartment;
            const HRESULT hr = BareSession(path);
            wchar_t code[16];
            std::swprintf(code, 16, L"%08lx", static_cast<unsigned long>(hr));
            Print(SUCCEEDED(hr) ? std::wstring(L"bare ok") : L"bare " + std::wstring(code));
        } else {
            Print(L"unknown " + command);
            return 2;
        }
    }
    return 0;
}
