#pragma once

// The run's calls into the host, seen from the side of a run that is ending: which call is out
// right now (a host that hangs keeps one out), no new call once the user has asked to end, and
// the end of an add-in session handed to the add-in itself when the host does not answer.
#include "common/win/unique_handle.h"

#include <windows.h>

#include <string>

namespace kestova::win {

// DISPID of the add-in's WatchScreenSaverCaller (appended to _PowerPointAddin). Invoked by DISPID
// because a name look-up would itself wait behind the call that hangs.
inline constexpr DISPID kWatchScreenSaverCallerId = 0x6003000e;

// One call that is out, registered by DispatchObject::Invoke for as long as it waits.
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

// True when the call that is out now is one of the add-in's session members.
[[nodiscard]] bool AddInCallOut() noexcept;

// Queues the add-in's WatchScreenSaverCaller(this process) behind the call that is out, from a
// thread of its own in the multithreaded apartment: once the host answers again, the add-in ends
// the session of a caller that is gone. Does nothing when no add-in call is out. Never waits.
void HandSessionToAddIn() noexcept;

} // namespace kestova::win
