#include "screensaver/win/host_calls.h"

#include <atomic>
#include <mutex>

namespace kestova::win {

namespace {

// The add-in's members as the session driver calls them: a call on any other member (the host's
// own, while the add-in is looked for) leaves no session behind.
constexpr const wchar_t* kAddInMembers[] = {
    L"GetProcessId",         L"IsCOMAddInInitialized", L"InitializeScreenSaverSession",
    L"AddScreenSaver",       L"PrepareScreenSaver",    L"BeginScreenSaver",
    L"ShouldEndScreenSaver", L"EndScreenSaver",        L"ExitScreenSaverSession"};

std::atomic<bool> g_refused{false};

struct CallOut {
    std::mutex lock;
    ComPtr<IDispatch> object;
    bool addIn = false;
};

CallOut& Out() {
    static CallOut out;
    return out;
}

DWORD WINAPI HandOver(void*) {
    ComApartment apartment(COINIT_MULTITHREADED);
    ComPtr<IDispatch> addIn;
    {
        std::lock_guard guard(Out().lock);
        if (Out().addIn)
            addIn = Out().object;
    }
    if (!addIn)
        return 0;
    VARIANT processId;
    ::VariantInit(&processId);
    processId.vt = VT_I4;
    processId.lVal = static_cast<LONG>(::GetCurrentProcessId());
    DISPPARAMS parameters{&processId, nullptr, 1, 0};
    // The answer usually never comes: this process is gone by then. The call only has to be
    // on its way before the process leaves.
    (void)addIn->Invoke(kWatchScreenSaverCallerId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                        &parameters, nullptr, nullptr, nullptr);
    return 0;
}

} // namespace

HostCallScope::HostCallScope(IDispatch* object, const std::wstring& member) noexcept {
    bool addIn = false;
    for (const wchar_t* name : kAddInMembers)
        addIn = addIn || member == name;
    std::lock_guard guard(Out().lock);
    Out().object = object;
    Out().addIn = addIn;
}

HostCallScope::~HostCallScope() {
    ComPtr<IDispatch> released;
    {
        std::lock_guard guard(Out().lock);
        released.Swap(Out().object);
        Out().addIn = false;
    }
}

void RefuseHostCalls(bool refuse) noexcept {
    g_refused = refuse;
}

bool HostCallsRefused() noexcept {
    return g_refused;
}

bool AddInCallOut() noexcept {
    std::lock_guard guard(Out().lock);
    return Out().addIn && Out().object;
}

void HandSessionToAddIn() noexcept {
    if (!AddInCallOut())
        return;
    UniqueHandle thread(::CreateThread(nullptr, 0, HandOver, nullptr, 0, nullptr));
}

} // namespace kestova::win
