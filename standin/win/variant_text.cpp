#include "standin/win/variant_text.h"

#include "common/win/unique_handle.h"
#include "standin/journal_text.h"

#include <charconv>

namespace kestova::standin::win {
namespace {

const wchar_t* BaseTypeName(VARTYPE base) {
    switch (base) {
    case VT_EMPTY:
        return L"VT_EMPTY";
    case VT_NULL:
        return L"VT_NULL";
    case VT_I2:
        return L"VT_I2";
    case VT_I4:
        return L"VT_I4";
    case VT_R4:
        return L"VT_R4";
    case VT_R8:
        return L"VT_R8";
    case VT_CY:
        return L"VT_CY";
    case VT_DATE:
        return L"VT_DATE";
    case VT_BSTR:
        return L"VT_BSTR";
    case VT_DISPATCH:
        return L"VT_DISPATCH";
    case VT_ERROR:
        return L"VT_ERROR";
    case VT_BOOL:
        return L"VT_BOOL";
    case VT_VARIANT:
        return L"VT_VARIANT";
    case VT_UNKNOWN:
        return L"VT_UNKNOWN";
    case VT_DECIMAL:
        return L"VT_DECIMAL";
    case VT_I1:
        return L"VT_I1";
    case VT_UI1:
        return L"VT_UI1";
    case VT_UI2:
        return L"VT_UI2";
    case VT_UI4:
        return L"VT_UI4";
    case VT_I8:
        return L"VT_I8";
    case VT_UI8:
        return L"VT_UI8";
    case VT_INT:
        return L"VT_INT";
    case VT_UINT:
        return L"VT_UINT";
    default:
        return nullptr;
    }
}

std::wstring FloatText(double value) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc{})
        return L"?";
    return std::wstring(buffer, end);
}

std::wstring FloatText(float value) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc{})
        return L"?";
    return std::wstring(buffer, end);
}

// Scalars by value: the VARIANT here never carries VT_BYREF.
std::wstring ScalarText(const VARIANT& v) {
    switch (v.vt) {
    case VT_I2:
        return std::to_wstring(v.iVal);
    case VT_I4:
        return std::to_wstring(v.lVal);
    case VT_INT:
        return std::to_wstring(v.intVal);
    case VT_I1:
        return std::to_wstring(static_cast<int>(v.cVal));
    case VT_UI1:
        return std::to_wstring(v.bVal);
    case VT_UI2:
        return std::to_wstring(v.uiVal);
    case VT_UI4:
        return std::to_wstring(v.ulVal);
    case VT_UINT:
        return std::to_wstring(v.uintVal);
    case VT_I8:
        return std::to_wstring(v.llVal);
    case VT_UI8:
        return std::to_wstring(v.ullVal);
    case VT_R4:
        return FloatText(v.fltVal);
    case VT_R8:
        return FloatText(v.dblVal);
    case VT_BOOL:
        return std::to_wstring(static_cast<int>(v.boolVal));
    case VT_ERROR:
        return HexCode(static_cast<uint32_t>(v.scode));
    case VT_BSTR:
        return v.bstrVal ? std::wstring(v.bstrVal, ::SysStringLen(v.bstrVal)) : L"";
    default: {
        kestova::win::UniqueVariant text;
        if (SUCCEEDED(::VariantChangeType(text.get(), const_cast<VARIANT*>(&v), 0, VT_BSTR)) &&
            text->bstrVal)
            return std::wstring(text->bstrVal, ::SysStringLen(text->bstrVal));
        return L"?";
    }
    }
}

} // namespace

std::wstring VariantTypeName(VARTYPE type) {
    VARTYPE base = type & VT_TYPEMASK;
    const wchar_t* name = BaseTypeName(base);
    std::wstring text = name ? name : L"VT_" + std::to_wstring(base);
    if (type & VT_ARRAY)
        text = L"VT_ARRAY|" + text;
    if (type & VT_BYREF)
        text += L"|BYREF";
    return text;
}

std::wstring VariantText(const VARIANT& value, const std::wstring& objectName) {
    VARTYPE type = value.vt;
    std::wstring name = VariantTypeName(type);
    if (type == VT_EMPTY || type == VT_NULL)
        return name;
    if (type & VT_ARRAY) {
        SAFEARRAY* array =
            (type & VT_BYREF) ? (value.pparray ? *value.pparray : nullptr) : value.parray;
        LONG lower = 0, upper = -1;
        if (array && ::SafeArrayGetDim(array) == 1) {
            (void)::SafeArrayGetLBound(array, 1, &lower);
            (void)::SafeArrayGetUBound(array, 1, &upper);
        }
        return name + L":" + std::to_wstring(array ? upper - lower + 1 : 0) + L" elements";
    }
    VARTYPE base = type & VT_TYPEMASK;
    if (type & VT_BYREF) {
        if (!value.byref)
            return name + L":null";
        if (base == VT_VARIANT)
            return name + L":" + VariantText(*value.pvarVal, objectName);
        VARIANT scalar;
        ::VariantInit(&scalar);
        if (base == VT_DISPATCH || base == VT_UNKNOWN) {
            IUnknown* object = *static_cast<IUnknown**>(value.byref);
            return name + L":" + (object ? (objectName.empty() ? L"object" : objectName) : L"null");
        }
        if (FAILED(::VariantCopyInd(&scalar, const_cast<VARIANT*>(&value))))
            return name + L":?";
        std::wstring text = name + L":" + ScalarText(scalar);
        ::VariantClear(&scalar);
        return text;
    }
    if (base == VT_DISPATCH || base == VT_UNKNOWN)
        return name + L":" +
               (value.punkVal ? (objectName.empty() ? L"object" : objectName) : L"null");
    return name + L":" + ScalarText(value);
}

} // namespace kestova::standin::win
