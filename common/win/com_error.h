#pragma once

// Late-bound automation calls by member name, with the failure kept as a value.
#include <windows.h>
#include <oleauto.h>

#include <span>
#include <string>

namespace kestova::win {

struct DispatchFailure {
    HRESULT code = S_OK;
    std::wstring member;        // the name that was called
    bool unknownMember = false; // the object does not know `member`
    std::wstring description;   // the object's own error description, if it raised one
};

// Looks `member` up afresh and invokes it. `arguments` are in natural (left-to-right) order; a
// property put passes the value as its only argument. On failure fills `failure` (if given).
[[nodiscard]] HRESULT InvokeByName(IDispatch* object, const wchar_t* member, WORD flags,
                                   std::span<VARIANT> arguments, VARIANT* result,
                                   DispatchFailure* failure = nullptr) noexcept;

// The system's text for an HRESULT without trailing line breaks; empty when it has none.
std::wstring SystemMessage(HRESULT code);

} // namespace kestova::win
