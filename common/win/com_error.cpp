#include "common/win/com_error.h"

#include "common/win/unique_handle.h"

#include <vector>

namespace kestova::win {

HRESULT InvokeByName(IDispatch* object, const wchar_t* member, WORD flags,
                     std::span<VARIANT> arguments, VARIANT* result,
                     DispatchFailure* failure) noexcept {
    auto fail = [&](HRESULT code, bool unknown, std::wstring description) {
        if (failure) {
            failure->code = code;
            failure->member = member;
            failure->unknownMember = unknown;
            failure->description = std::move(description);
        }
        return code;
    };
    try {
        if (!object)
            return fail(E_POINTER, false, {});
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR name = const_cast<LPOLESTR>(member);
        HRESULT hr = object->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr))
            return fail(hr, hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND, {});

        // IDispatch takes its arguments last-to-first.
        std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
        DISPID putId = DISPID_PROPERTYPUT;
        DISPPARAMS params{};
        params.rgvarg = reversed.empty() ? nullptr : reversed.data();
        params.cArgs = static_cast<UINT>(reversed.size());
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            params.rgdispidNamedArgs = &putId;
            params.cNamedArgs = 1;
        }
        EXCEPINFO exception{};
        UINT argError = 0;
        hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception,
                            &argError);
        if (hr == DISP_E_EXCEPTION) {
            if (exception.pfnDeferredFillIn)
                exception.pfnDeferredFillIn(&exception);
            UniqueBstr description(exception.bstrDescription);
            UniqueBstr source(exception.bstrSource);
            UniqueBstr help(exception.bstrHelpFile);
            HRESULT code = exception.scode ? exception.scode : E_FAIL;
            return fail(code, false,
                        description.get() ? std::wstring(description.get(), description.length())
                                          : std::wstring());
        }
        if (FAILED(hr))
            return fail(hr, hr == DISP_E_MEMBERNOTFOUND, {});
        return S_OK;
    } catch (...) {
        return fail(E_OUTOFMEMORY, false, {});
    }
}

std::wstring SystemMessage(HRESULT code) {
    wchar_t* buffer = nullptr;
    DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (length && buffer) {
        text.assign(buffer, length);
        ::LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

} // namespace kestova::win
