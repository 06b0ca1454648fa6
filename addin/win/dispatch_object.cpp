#include "addin/win/dispatch_object.h"

#include "common/win/com_error.h"

#include <vector>

namespace kestova::addin::win {

HostRef WrapDispatch(IDispatch* dispatch) {
    if (!dispatch)
        return nullptr;
    return std::make_shared<DispatchObject>(ComPtr<IDispatch>(dispatch));
}

IDispatch* DispatchOf(const HostObject& object) noexcept {
    auto* wrapped = dynamic_cast<const DispatchObject*>(&object);
    return wrapped ? wrapped->get() : nullptr;
}

IDispatch* DispatchOf(const HostRef& object) noexcept {
    return object ? DispatchOf(*object) : nullptr;
}

ComPtr<IDispatch> ObjectFromVariant(const VARIANT& value) noexcept {
    ComPtr<IDispatch> dispatch;
    IUnknown* unknown = nullptr;
    switch (V_VT(&value)) {
    case VT_DISPATCH:
        unknown = V_DISPATCH(&value);
        break;
    case VT_DISPATCH | VT_BYREF:
        unknown = V_DISPATCHREF(&value) ? *V_DISPATCHREF(&value) : nullptr;
        break;
    case VT_UNKNOWN:
        unknown = V_UNKNOWN(&value);
        break;
    case VT_UNKNOWN | VT_BYREF:
        unknown = V_UNKNOWNREF(&value) ? *V_UNKNOWNREF(&value) : nullptr;
        break;
    case VT_VARIANT | VT_BYREF: {
        const VARIANT* inner = V_VARIANTREF(&value);
        if (inner && V_VT(inner) != (VT_VARIANT | VT_BYREF))
            return ObjectFromVariant(*inner);
        break;
    }
    default:
        break;
    }
    if (unknown)
        unknown->QueryInterface(IID_PPV_ARGS(&dispatch));
    return dispatch;
}

HRESULT Call(IDispatch* object, const wchar_t* member, WORD flags, VARIANT* result,
             std::initializer_list<VARIANT> arguments) noexcept {
    try {
        std::vector<VARIANT> args(arguments.begin(), arguments.end());
        if (result)
            ::VariantClear(result);
        return kestova::win::InvokeByName(object, member, flags, args, result);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

ComPtr<IDispatch> ObjectMember(IDispatch* object, const wchar_t* member,
                               std::initializer_list<VARIANT> arguments, WORD flags) noexcept {
    kestova::win::UniqueVariant result;
    if (FAILED(Call(object, member, flags, result.get(), arguments)))
        return nullptr;
    return ObjectFromVariant(*result.get());
}

} // namespace kestova::addin::win
