#pragma once

// The run's calls into the host, seen from the side of a run that is ending or waiting: which
// call is out right now and since when (a host that hangs keeps one out), no new call once the
// user has asked to end, and calls the host turns away while it is busy, retried.
#include "common/win/unique_handle.h"

#include <windows.h>

#include <string>

namespace kestova::win {

// One call that is out, registered by DispatchObject::Invoke for as long as it waits (its
// retries included).
class HostCallScope {
public:
    HostCallScope(IDispatch* object, const std::wstring& member) noexcept;
    HostCallScope(const HostCallScope&) = delete;
    HostCallScope& operator=(const HostCallScope&) = delete;
    ~HostCallScope();
};

// While refused, every new call fails at once with E_ABORT: a start that the user has already
// ended must not go on to begin shows. The run's own end calls are allowed again.
void RefuseHostCalls(bool refuse) noexcept;
[[nodiscard]] bool HostCallsRefused() noexcept;

// How long the call that is out has been waiting, in milliseconds; 0 when none is out.
[[nodiscard]] ULONGLONG HostCallWaiting() noexcept;

// A host that is busy or modal (a prompt of its own is up) turns incoming calls away: its message
// filter answers SERVERCALL_RETRYLATER, which a caller in the multithreaded apartment gets as
// RPC_E_CALL_REJECTED at once. Such a call never ran and is simply made again.
[[nodiscard]] bool TurnedAway(HRESULT code) noexcept;
// Waits a moment before the next try; false (at once) when calls are refused meanwhile. Notes
// that the host turned a call away, for the run journal.
[[nodiscard]] bool WaitBeforeRetry() noexcept;
// True once the host has turned a call of this run away.
[[nodiscard]] bool HostTurnedCallsAway() noexcept;

} // namespace kestova::win
