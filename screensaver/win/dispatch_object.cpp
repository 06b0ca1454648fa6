#include "screensaver/win/dispatch_object.h"

#include "common/win/com_error.h"
#include "screensaver/win/host_calls.h"

#include <vector>

namespace kestova::win {

namespace {

// Storage that by-reference VARIANTs point into; the callee may replace a string, so whatever
// is there at the end is freed.
class ByRefStorage {
public:
    explicit ByRefStorage(size_t count) : numbers_(count, 0), strings_(count, nullptr) {}
    ByRefStorage(const ByRefStorage&) = delete;
    ByRefStorage& operator=(const ByRefStorage&) = delete;
    ~ByRefStorage() {
        for (BSTR text : strings_)
            ::SysFreeString(text);
    }
    LONG& number(size_t i) { return numbers_[i]; }
    BSTR& string(size_t i) { return strings_[i]; }

private:
    std::vector<LONG> numbers_;
    std::vector<BSTR> strings_;
};

[[noreturn]] void ThrowFailure(HRESULT code, const std::wstring& member) {
    throw AutomationError(static_cast<int32_t>(code), member, false, {});
}

AutomationValue Convert(VARIANT& value, ResultKind kind, const std::wstring& member) {
    switch (kind) {
    case ResultKind::None:
        return std::monostate{};
    case ResultKind::Boolean:
    case ResultKind::Integer:
    case ResultKind::String: {
        const VARTYPE target = kind == ResultKind::Boolean   ? VT_BOOL
                               : kind == ResultKind::Integer ? VT_I4
                                                             : VT_BSTR;
        UniqueVariant converted;
        const HRESULT hr = ::VariantChangeType(converted.get(), &value, 0, target);
        if (FAILED(hr))
            ThrowFailure(hr, member);
        if (kind == ResultKind::Boolean)
            return converted->boolVal != VARIANT_FALSE;
        if (kind == ResultKind::Integer)
            return static_cast<int32_t>(converted->lVal);
        return std::wstring(converted->bstrVal, ::SysStringLen(converted->bstrVal));
    }
    case ResultKind::Object:
        break;
    }
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return AutomationRef{};
    case VT_DISPATCH:
        return WrapDispatch(ComPtr<IDispatch>(value.pdispVal));
    case VT_UNKNOWN: {
        ComPtr<IDispatch> dispatch;
        if (value.punkVal) {
            const HRESULT hr = value.punkVal->QueryInterface(IID_PPV_ARGS(&dispatch));
            if (FAILED(hr))
                ThrowFailure(hr, member);
        }
        return WrapDispatch(std::move(dispatch));
    }
    default:
        ThrowFailure(DISP_E_TYPEMISMATCH, member);
    }
}

} // namespace

AutomationValue DispatchObject::Invoke(const std::wstring& member, InvokeKind kind,
                                       std::span<const AutomationArgument> arguments,
                                       ResultKind result) {
    ByRefStorage storage(arguments.size());
    std::vector<VARIANT> variants(arguments.size());
    for (size_t i = 0; i < arguments.size(); ++i) {
        VARIANT& v = variants[i];
        ::VariantInit(&v);
        const AutomationArgument& argument = arguments[i];
        if (auto* value = std::get_if<int32_t>(&argument)) {
            v.vt = VT_I4;
            v.lVal = *value;
        } else if (auto* number = std::get_if<int32_t*>(&argument)) {
            storage.number(i) = **number;
            v.vt = VT_BYREF | VT_I4;
            v.plVal = &storage.number(i);
        } else {
            const std::wstring& text = *std::get<std::wstring*>(argument);
            storage.string(i) = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            if (!storage.string(i))
                ThrowFailure(E_OUTOFMEMORY, member);
            v.vt = VT_BYREF | VT_BSTR;
            v.pbstrVal = &storage.string(i);
        }
    }

    const WORD flags = kind == InvokeKind::PropertyRead
                           ? static_cast<WORD>(DISPATCH_METHOD | DISPATCH_PROPERTYGET)
                           : static_cast<WORD>(DISPATCH_METHOD);
    if (HostCallsRefused())
        ThrowFailure(E_ABORT, member);
    UniqueVariant returned;
    DispatchFailure failure;
    HostCallScope out(object_.Get(), member);
    HRESULT hr = S_OK;
    for (;;) {
        hr = InvokeByName(object_.Get(), member.c_str(), flags, variants,
                          result == ResultKind::None ? nullptr : returned.get(), &failure);
        if (!TurnedAway(hr))
            break;
        // The host is busy (a prompt of its own is up, say): the call never ran, so it is made
        // again until the host takes it, the user ends a start, or the process leaves.
        if (!WaitBeforeRetry())
            ThrowFailure(E_ABORT, member);
    }
    if (FAILED(hr))
        throw AutomationError(static_cast<int32_t>(failure.code), member, failure.unknownMember,
                              failure.description);

    // By reference means the caller's own variables: whatever the callee wrote lands there.
    for (size_t i = 0; i < arguments.size(); ++i) {
        const AutomationArgument& argument = arguments[i];
        if (auto* number = std::get_if<int32_t*>(&argument)) {
            **number = static_cast<int32_t>(storage.number(i));
        } else if (auto* text = std::get_if<std::wstring*>(&argument)) {
            BSTR value = storage.string(i);
            (*text)->assign(value ? value : L"", ::SysStringLen(value));
        }
    }
    return Convert(*returned.get(), result, member);
}

AutomationRef WrapDispatch(ComPtr<IDispatch> object) {
    if (!object)
        return {};
    return std::make_shared<DispatchObject>(std::move(object));
}

} // namespace kestova::win
