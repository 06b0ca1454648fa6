#pragma once

// Base of every automation object the stand-in hands out: IDispatch from a member table, COM
// references counted for the journal's balance, PowerPoint's dual interface IID answered too so a
// caller that asks "is this PowerPoint's Application?" gets the same dispatch interface.
#include "standin/win/dispatch_core.h"
#include "standin/win/ref_tracker.h"

#include <span>

namespace kestova::standin::win {

class Host;

class HostObject : public IDispatch, public TrackedObject, protected DispatchHandler {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefExternal(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseExternal(); }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

protected:
    HostObject(Host& host, const wchar_t* kind, std::span<const MemberInfo> members,
               const IID* dualIid = nullptr);

    // Further interfaces of a derived object (connection points, say).
    virtual HRESULT QueryOther(REFIID, void**) noexcept { return E_NOINTERFACE; }

    // Hands one of the host's objects out as the call's result and names it for the journal.
    static void ReturnObject(VARIANT* result, CallOutcome& outcome, HostObject* object,
                             bool asUnknown = false) noexcept;

    Host& host_;

private:
    DispatchCore core_;
    const IID* dualIid_;
};

} // namespace kestova::standin::win
