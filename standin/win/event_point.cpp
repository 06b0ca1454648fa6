#include "standin/win/event_point.h"

#include "standin/journal_text.h"
#include "standin/win/application.h"
#include "standin/win/com_boundary.h"
#include "standin/win/host.h"
#include "standin/win/powerpoint_ids.h"

#include <olectl.h>

namespace kestova::standin::win {

using kestova::win::ComPtr;

EventPoint::EventPoint(Host& host)
    : TrackedObject(host.Tracker(), L"ConnectionPoint"), host_(host) {}

STDMETHODIMP EventPoint::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP EventPoint::GetConnectionInterface(IID* iid) {
    if (!iid)
        return E_POINTER;
    *iid = kEApplicationIid;
    return S_OK;
}

STDMETHODIMP EventPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
    if (!container)
        return E_POINTER;
    *container = nullptr;
    Application* app = host_.App();
    if (!app)
        return E_UNEXPECTED;
    return app->QueryInterface(IID_PPV_ARGS(container));
}

STDMETHODIMP EventPoint::Advise(IUnknown* sink, DWORD* cookie) {
    return ComBoundary([&]() -> HRESULT {
        if (!cookie)
            return E_POINTER;
        *cookie = 0;
        if (!sink)
            return E_POINTER;
        // A sink in another process may refuse the event interface's IID (its proxy cannot be
        // built without a type library); its IDispatch takes the same calls.
        ComPtr<IDispatch> dispatch;
        HRESULT hr = sink->QueryInterface(
            kEApplicationIid, reinterpret_cast<void**>(dispatch.ReleaseAndGetAddressOf()));
        if (FAILED(hr))
            hr = sink->QueryInterface(IID_PPV_ARGS(&dispatch));
        if (FAILED(hr) || !dispatch) {
            host_.JournalOut().Write({L"advise", L"refused", HexCode(static_cast<uint32_t>(hr))});
            return CONNECT_E_CANNOTCONNECT;
        }
        DWORD assigned = nextCookie_++;
        connections_.push_back({assigned, dispatch});
        *cookie = assigned;
        host_.JournalOut().Write({L"advise", std::to_wstring(assigned), L"connected"});
        return S_OK;
    });
}

STDMETHODIMP EventPoint::Unadvise(DWORD cookie) {
    return ComBoundary([&]() -> HRESULT {
        for (auto it = connections_.begin(); it != connections_.end(); ++it) {
            if (it->cookie == cookie) {
                // Released after leaving the list: the release may call back into the host.
                ComPtr<IDispatch> sink = std::move(it->sink);
                connections_.erase(it);
                host_.JournalOut().Write({L"advise", std::to_wstring(cookie), L"disconnected"});
                return S_OK;
            }
        }
        return CONNECT_E_NOCONNECTION;
    });
}

STDMETHODIMP EventPoint::EnumConnections(IEnumConnections** connections) {
    if (connections)
        *connections = nullptr;
    return E_NOTIMPL;
}

void EventPoint::Raise(DISPID id, const wchar_t* name, IDispatch* argument) noexcept {
    try {
        // A sink may disconnect (or connect another) while it handles the event.
        std::vector<Connection> targets = connections_;
        for (const Connection& target : targets) {
            VARIANT arg;
            ::VariantInit(&arg);
            arg.vt = VT_DISPATCH;
            arg.pdispVal = argument;
            DISPPARAMS params{&arg, nullptr, 1, 0};
            EXCEPINFO exception{};
            UINT argError = 0;
            HRESULT hr = target.sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                             &params, nullptr, &exception, &argError);
            kestova::win::UniqueBstr source(exception.bstrSource);
            kestova::win::UniqueBstr description(exception.bstrDescription);
            kestova::win::UniqueBstr help(exception.bstrHelpFile);
            host_.JournalOut().Write({L"event", name, std::to_wstring(target.cookie),
                                      HexCode(static_cast<uint32_t>(hr))});
        }
    } catch (...) {
    }
}

void EventPoint::Clear() noexcept {
    std::vector<Connection> released;
    released.swap(connections_);
}

} // namespace kestova::standin::win
