#pragma once

// IDispatch of one dual interface of an object, answered from the embedded type library. An
// object with two dual interfaces derives from one of these per interface, so that each vtable
// gets the IDispatch of its own interface.
#include "addin/win/type_info.h"

namespace kestova::addin::win {

template <typename Interface, DualInterface Which> class DualDispatch : public Interface {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return TypeInfoDispatch::GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        return TypeInfoDispatch::GetTypeInfo(Which, index, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        return TypeInfoDispatch::GetIDsOfNames(Which, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception,
                                     UINT* argError) override {
        return TypeInfoDispatch::Invoke(Which, static_cast<Interface*>(this), id, flags, params,
                                        result, exception, argError);
    }

protected:
    DualDispatch() = default;
    ~DualDispatch() = default;
};

} // namespace kestova::addin::win
