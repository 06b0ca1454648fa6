#include "standin/win/host_prompt.h"

#include <objidl.h>

namespace kestova::standin::win {

namespace {

// What a busy or modal host answers an incoming call. Windows gives a caller without a message
// filter of its own (any caller in the multithreaded apartment) RPC_E_CALL_REJECTED for
// SERVERCALL_RETRYLATER. Wine 8 does not act on SERVERCALL_RETRYLATER (it runs the call), so
// there the filter answers SERVERCALL_REJECTED, which gives such a caller the same error.
DWORD BusyAnswer() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const bool wine = ntdll && ::GetProcAddress(ntdll, "wine_get_version");
    return wine ? SERVERCALL_REJECTED : SERVERCALL_RETRYLATER;
}

class TurnAwayFilter final : public IMessageFilter {
public:
    explicit TurnAwayFilter(Journal* journal) noexcept : journal_(journal) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IMessageFilter) {
            *object = static_cast<IMessageFilter*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the stack of the prompt, which revokes it before it goes.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
        if (journal_)
            journal_->Write({L"turned-away", std::to_wstring(::GetTickCount())});
        return answer_;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override {
        return static_cast<DWORD>(-1); // the host's own calls out are not retried
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
        return PENDINGMSG_WAITDEFPROCESS;
    }

private:
    Journal* journal_;
    DWORD answer_ = BusyAnswer();
};

struct FrameSearch {
    HWND frame = nullptr;
};

BOOL CALLBACK FindFrame(HWND window, LPARAM context) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    if (::lstrcmpW(name, kHostFrameClass) != 0)
        return TRUE;
    reinterpret_cast<FrameSearch*>(context)->frame = window;
    return FALSE;
}

// The prompt that is up (one at a time), for the time-out to answer.
HWND g_prompt = nullptr;
bool g_timedOut = false;

BOOL CALLBACK FindPrompt(HWND window, LPARAM) {
    wchar_t name[16] = {};
    ::GetClassNameW(window, name, 16);
    if (::lstrcmpW(name, L"#32770") != 0 || !::IsWindowVisible(window))
        return TRUE;
    g_prompt = window;
    return FALSE;
}

void CALLBACK AnswerPrompt(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    g_prompt = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindPrompt, 0);
    if (!g_prompt)
        return;
    g_timedOut = true;
    ::PostMessageW(g_prompt, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(g_prompt, IDOK)));
}

} // namespace

void ShowHostPrompt(Journal* journal, const std::wstring& member, const std::wstring& title,
                    DWORD timeoutMs) noexcept {
    try {
        FrameSearch search;
        ::EnumThreadWindows(::GetCurrentThreadId(), FindFrame, reinterpret_cast<LPARAM>(&search));
        TurnAwayFilter filter(journal);
        IMessageFilter* previous = nullptr;
        const bool filtering = SUCCEEDED(::CoRegisterMessageFilter(&filter, &previous));
        if (journal)
            journal->Write({L"prompt", member, L"up", title, std::to_wstring(::GetTickCount())});
        g_timedOut = false;
        const UINT_PTR timer =
            timeoutMs ? ::SetTimer(nullptr, 0, timeoutMs, AnswerPrompt) : UINT_PTR{0};
        ::MessageBoxW(search.frame, L"Enter password to open the file.", title.c_str(),
                      MB_OK | MB_ICONQUESTION);
        if (timer)
            ::KillTimer(nullptr, timer);
        if (filtering) {
            IMessageFilter* ours = nullptr;
            (void)::CoRegisterMessageFilter(previous, &ours);
            if (previous)
                previous->Release();
        }
        if (journal)
            journal->Write({L"prompt", member, g_timedOut ? L"timeout" : L"answered", title,
                            std::to_wstring(::GetTickCount())});
    } catch (...) {
    }
}

} // namespace kestova::standin::win
