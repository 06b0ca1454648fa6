#pragma once

// Host objects as the add-in holds them: IDispatch references, called by member name because
// PowerPoint's DISPIDs differ between its versions.
#include "addin/presentation_host.h"
#include "common/win/unique_handle.h"

#include <windows.h>
#include <oleauto.h>

#include <initializer_list>

namespace kestova::addin::win {

using kestova::win::ComPtr;

class DispatchObject : public HostObject {
public:
    explicit DispatchObject(ComPtr<IDispatch> dispatch) noexcept : dispatch_(std::move(dispatch)) {}
    [[nodiscard]] IDispatch* get() const noexcept { return dispatch_.Get(); }

private:
    ComPtr<IDispatch> dispatch_;
};

// Null for a null pointer.
HostRef WrapDispatch(IDispatch* dispatch);
// The IDispatch behind a host reference made by WrapDispatch; null for none.
IDispatch* DispatchOf(const HostObject& object) noexcept;
IDispatch* DispatchOf(const HostRef& object) noexcept;

// The object in an automation result: VT_DISPATCH, or VT_UNKNOWN queried for IDispatch (as
// Presentations.Open gives it), also by reference. Null for anything else.
ComPtr<IDispatch> ObjectFromVariant(const VARIANT& value) noexcept;

// member(arguments...) with `flags`; the result is cleared first. Failures are HRESULTs.
HRESULT Call(IDispatch* object, const wchar_t* member, WORD flags, VARIANT* result,
             std::initializer_list<VARIANT> arguments = {}) noexcept;
// An object-valued property or method result.
ComPtr<IDispatch> ObjectMember(IDispatch* object, const wchar_t* member,
                               std::initializer_list<VARIANT> arguments = {},
                               WORD flags = DISPATCH_PROPERTYGET) noexcept;

} // namespace kestova::addin::win
