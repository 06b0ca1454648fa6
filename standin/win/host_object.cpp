#include "standin/win/host_object.h"

#include "standin/win/host.h"

namespace kestova::standin::win {

HostObject::HostObject(Host& host, const wchar_t* kind, std::span<const MemberInfo> members,
                       const IID* dualIid)
    : TrackedObject(host.Tracker(), kind), host_(host),
      core_(host.DispatchContextFor(), kind, members), dualIid_(dualIid) {}

STDMETHODIMP HostObject::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || (dualIid_ && iid == *dualIid_)) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return QueryOther(iid, out);
}

STDMETHODIMP HostObject::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP HostObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info)
        *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP HostObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return core_.GetIDsOfNames(*this, names, count, ids);
}

STDMETHODIMP HostObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    // The call may drop the host's last hold on this object (a show that ends releases its
    // window); the caller's reference keeps it alive only if it has one, so hold it here.
    Held<HostObject> self(this);
    return core_.Invoke(*this, id, flags, params, result, exception, argError);
}

void HostObject::ReturnObject(VARIANT* result, CallOutcome& outcome, HostObject* object,
                              bool asUnknown) noexcept {
    SetObject(result, object, asUnknown);
    if (object) {
        try {
            outcome.resultName = object->Identity();
        } catch (...) {
        }
    }
}

} // namespace kestova::standin::win
