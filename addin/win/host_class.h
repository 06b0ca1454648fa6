#pragma once

// HostClass: the receiver of the host Application's events. While its HostApp holds the
// Application it is connected to that Application's EApplication events; the end of any slide
// show in the host is passed on to the session service.
#include "addin/win/com_object.h"
#include "addin/win/dual_dispatch.h"
#include "common/win/unique_handle.h"
#include "paxendo_h.h"

#include <functional>

namespace kestova::addin::win {

using kestova::win::ComPtr;

class ApplicationEvents;

class HostClass final
    : public ComObject<HostClass, DualDispatch<_HostClass, DualInterface::HostClass>> {
public:
    // Null when out of memory.
    static ComPtr<HostClass> Create(std::function<void()> onSlideShowEnd) noexcept;
    // The class object's instance: ends of shows go to the library's session service.
    static HRESULT CreateInstance(REFIID iid, void** object) noexcept;

    // Disconnects from the current Application, then connects to `application` (null: stays
    // disconnected). Holds the Application only while connected to it.
    HRESULT Connect(IDispatch* application) noexcept;

    HRESULT STDMETHODCALLTYPE get_HostApp(IDispatch** application) override;
    HRESULT STDMETHODCALLTYPE putref_HostApp(IDispatch* application) override;

private:
    friend ComObject;
    explicit HostClass(std::function<void()> onSlideShowEnd);
    ~HostClass();
    void* InterfaceFor(REFIID iid) noexcept;
    void Disconnect() noexcept;

    ComPtr<ApplicationEvents> events_;
    ComPtr<IDispatch> hostApp_;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

} // namespace kestova::addin::win
