#include "screensaver/win/host_calls.h"

#include <atomic>

namespace kestova::win {

namespace {

// Short enough that a prompt answered is followed at once, long enough to cost nothing.
constexpr DWORD kRetryPause = 100;

std::atomic<bool> g_refused{false};
std::atomic<bool> g_turnedAway{false};
std::atomic<ULONGLONG> g_outSince{0}; // GetTickCount64 when the call out began; 0: none

} // namespace

HostCallScope::HostCallScope(IDispatch*, const std::wstring&) noexcept {
    g_outSince = ::GetTickCount64();
}

HostCallScope::~HostCallScope() {
    g_outSince = 0;
}

void RefuseHostCalls(bool refuse) noexcept {
    g_refused = refuse;
}

bool HostCallsRefused() noexcept {
    return g_refused;
}

ULONGLONG HostCallWaiting() noexcept {
    const ULONGLONG since = g_outSince;
    return since ? ::GetTickCount64() - since : 0;
}

bool TurnedAway(HRESULT code) noexcept {
    return code == RPC_E_CALL_REJECTED || code == RPC_E_SERVERCALL_RETRYLATER;
}

bool WaitBeforeRetry() noexcept {
    g_turnedAway = true;
    if (g_refused)
        return false;
    ::Sleep(kRetryPause);
    return !g_refused;
}

bool HostTurnedCallsAway() noexcept {
    return g_turnedAway;
}

} // namespace kestova::win
