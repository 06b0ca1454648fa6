#pragma once

// The Application's connection point for EApplication. Events go to every sink synchronously, on
// the host's main thread, as PowerPoint raises them.
#include "standin/win/ref_tracker.h"

#include "common/win/unique_handle.h"

#include <ocidl.h>

#include <string>
#include <vector>

namespace kestova::standin::win {

class Host;

class EventPoint : public IConnectionPoint, public TrackedObject {
public:
    explicit EventPoint(Host& host);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefExternal(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseExternal(); }

    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

    // Calls `id` on every sink with one object argument; a failing sink does not stop the others.
    void Raise(DISPID id, const wchar_t* name, IDispatch* argument) noexcept;
    // Lets go of every sink (host shutdown).
    void Clear() noexcept;

private:
    struct Connection {
        DWORD cookie;
        kestova::win::ComPtr<IDispatch> sink;
    };
    Host& host_;
    std::vector<Connection> connections_;
    DWORD nextCookie_ = 1;
};

} // namespace kestova::standin::win
