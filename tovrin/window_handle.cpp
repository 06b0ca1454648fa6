#include "tovrin/window_handle.h"

#include "common/win/com_error.h"
#include "common/win/unique_handle.h"

namespace kestova::tovrin {

namespace {

win::ComPtr<IDispatch> DispatchOf(const VARIANT& value) {
    win::ComPtr<IDispatch> dispatch;
    switch (V_VT(&value)) {
    case VT_DISPATCH:
        dispatch = V_DISPATCH(&value);
        break;
    case VT_DISPATCH | VT_BYREF:
        if (V_DISPATCHREF(&value))
            dispatch = *V_DISPATCHREF(&value);
        break;
    case VT_UNKNOWN:
        if (V_UNKNOWN(&value))
            V_UNKNOWN(&value)->QueryInterface(IID_PPV_ARGS(&dispatch));
        break;
    case VT_VARIANT | VT_BYREF:
        if (V_VARIANTREF(&value) && V_VT(V_VARIANTREF(&value)) != (VT_VARIANT | VT_BYREF))
            return DispatchOf(*V_VARIANTREF(&value));
        break;
    default:
        break;
    }
    return dispatch;
}

} // namespace

int32_t SlideShowWindowHandle(const VARIANT& window) noexcept {
    try {
        win::ComPtr<IDispatch> dispatch = DispatchOf(window);
        if (!dispatch)
            return 0;
        win::UniqueVariant result;
        if (FAILED(
                win::InvokeByName(dispatch.Get(), L"HWND", DISPATCH_PROPERTYGET, {}, result.put())))
            return 0;
        win::UniqueVariant handle;
        if (FAILED(::VariantChangeType(handle.get(), result.get(), 0, VT_I4)))
            return 0;
        return V_I4(handle.get());
    } catch (...) {
        return 0;
    }
}

} // namespace kestova::tovrin
