#include "standin/win/dispatch_args.h"

namespace kestova::standin::win {

using kestova::win::UniqueVariant;

HRESULT Arguments::Bind(DISPPARAMS* params, size_t paramCount, bool isPut,
                        UINT* argError) noexcept {
    try {
        slots_.assign(paramCount, nullptr);
        received_.clear();
        putValue_ = nullptr;
        if (!params)
            return isPut ? DISP_E_PARAMNOTFOUND : S_OK;
        if (params->cArgs && !params->rgvarg)
            return E_INVALIDARG;
        if (params->cNamedArgs > params->cArgs ||
            (params->cNamedArgs && !params->rgdispidNamedArgs))
            return E_INVALIDARG;
        for (UINT i = params->cArgs; i-- > 0;)
            received_.push_back(&params->rgvarg[i]);

        UINT positional = params->cArgs - params->cNamedArgs;
        if (positional > paramCount)
            return DISP_E_BADPARAMCOUNT;
        for (UINT i = 0; i < positional; ++i)
            slots_[i] = &params->rgvarg[params->cArgs - 1 - i];
        for (UINT j = 0; j < params->cNamedArgs; ++j) {
            DISPID id = params->rgdispidNamedArgs[j];
            if (id == DISPID_PROPERTYPUT && isPut) {
                putValue_ = &params->rgvarg[j];
            } else if (id >= 0 && static_cast<size_t>(id) < paramCount) {
                slots_[static_cast<size_t>(id)] = &params->rgvarg[j];
            } else {
                if (argError)
                    *argError = j;
                return DISP_E_PARAMNOTFOUND;
            }
        }
        if (isPut && !putValue_)
            return DISP_E_PARAMNOTFOUND;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

VARIANT* Arguments::At(size_t index) const noexcept {
    if (index >= slots_.size() || IsMissing(slots_[index]))
        return nullptr;
    return slots_[index];
}

bool IsMissing(const VARIANT* value) noexcept {
    return !value || (value->vt == VT_ERROR && value->scode == DISP_E_PARAMNOTFOUND);
}

namespace {

HRESULT Converted(const VARIANT* value, VARTYPE type, UniqueVariant& out) noexcept {
    if (!value)
        return DISP_E_PARAMNOTFOUND;
    UniqueVariant direct;
    HRESULT hr = ::VariantCopyInd(direct.get(), const_cast<VARIANT*>(value));
    if (FAILED(hr))
        return DISP_E_TYPEMISMATCH;
    hr = ::VariantChangeType(out.put(), direct.get(), 0, type);
    return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

} // namespace

HRESULT ReadInt(const VARIANT* value, int32_t& out) noexcept {
    UniqueVariant v;
    HRESULT hr = Converted(value, VT_I4, v);
    if (SUCCEEDED(hr))
        out = v->lVal;
    return hr;
}

HRESULT ReadDouble(const VARIANT* value, double& out) noexcept {
    UniqueVariant v;
    HRESULT hr = Converted(value, VT_R8, v);
    if (SUCCEEDED(hr))
        out = v->dblVal;
    return hr;
}

HRESULT ReadBool(const VARIANT* value, bool& out) noexcept {
    int32_t number = 0;
    HRESULT hr = ReadInt(value, number);
    if (SUCCEEDED(hr))
        out = number != 0;
    return hr;
}

HRESULT ReadString(const VARIANT* value, std::wstring& out) noexcept {
    try {
        UniqueVariant v;
        HRESULT hr = Converted(value, VT_BSTR, v);
        if (SUCCEEDED(hr))
            out.assign(v->bstrVal ? v->bstrVal : L"", v->bstrVal ? ::SysStringLen(v->bstrVal) : 0);
        return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT ReadObject(const VARIANT* value, ComPtr<IDispatch>& out) noexcept {
    out.Reset();
    if (!value)
        return DISP_E_PARAMNOTFOUND;
    const VARIANT* v = value;
    if (v->vt == (VT_BYREF | VT_VARIANT))
        v = v->pvarVal;
    if (!v)
        return DISP_E_TYPEMISMATCH;
    IUnknown* object = nullptr;
    switch (v->vt) {
    case VT_EMPTY:
    case VT_NULL:
        return S_OK;
    case VT_DISPATCH:
    case VT_UNKNOWN:
        object = v->punkVal;
        break;
    case VT_BYREF | VT_DISPATCH:
    case VT_BYREF | VT_UNKNOWN:
        object = v->ppunkVal ? *v->ppunkVal : nullptr;
        break;
    default:
        return DISP_E_TYPEMISMATCH;
    }
    if (!object)
        return S_OK;
    return FAILED(object->QueryInterface(IID_PPV_ARGS(&out))) ? DISP_E_TYPEMISMATCH : S_OK;
}

HRESULT WriteInt(VARIANT* target, int32_t value) noexcept {
    if (!target)
        return DISP_E_PARAMNOTFOUND;
    if (target->vt == (VT_BYREF | VT_I4)) {
        if (!target->plVal)
            return E_POINTER;
        *target->plVal = value;
        return S_OK;
    }
    if (target->vt == (VT_BYREF | VT_VARIANT)) {
        if (!target->pvarVal)
            return E_POINTER;
        ::VariantClear(target->pvarVal);
        target->pvarVal->vt = VT_I4;
        target->pvarVal->lVal = value;
        return S_OK;
    }
    if (target->vt & VT_BYREF)
        return DISP_E_TYPEMISMATCH;
    return S_FALSE;
}

void SetInt(VARIANT* result, int32_t value) noexcept {
    ::VariantClear(result);
    result->vt = VT_I4;
    result->lVal = value;
}

void SetBool(VARIANT* result, bool value) noexcept {
    ::VariantClear(result);
    result->vt = VT_BOOL;
    result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void SetFloat(VARIANT* result, float value) noexcept {
    ::VariantClear(result);
    result->vt = VT_R4;
    result->fltVal = value;
}

HRESULT SetString(VARIANT* result, const std::wstring& value) noexcept {
    ::VariantClear(result);
    BSTR text = ::SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    if (!text)
        return E_OUTOFMEMORY;
    result->vt = VT_BSTR;
    result->bstrVal = text;
    return S_OK;
}

void SetObject(VARIANT* result, IDispatch* object, bool asUnknown) noexcept {
    ::VariantClear(result);
    if (object)
        object->AddRef();
    if (asUnknown) {
        result->vt = VT_UNKNOWN;
        result->punkVal = object;
    } else {
        result->vt = VT_DISPATCH;
        result->pdispVal = object;
    }
}

} // namespace kestova::standin::win
