#pragma once

// The late-bound caller: an AutomationObject over a real IDispatch, in or out of process.
#include "common/win/unique_handle.h"
#include "screensaver/automation.h"

#include <windows.h>
#include <oleauto.h>

namespace kestova::win {

class DispatchObject final : public AutomationObject {
public:
    explicit DispatchObject(ComPtr<IDispatch> object) noexcept : object_(std::move(object)) {}

    // Sends arguments by reference as VT_BYREF|VT_I4 / VT_BYREF|VT_BSTR on copies of the
    // caller's variables and writes whatever the callee left there back into them; a property
    // read goes out as DISPATCH_METHOD|DISPATCH_PROPERTYGET. The name is looked up every time:
    // the host's DISPIDs differ between its versions.
    AutomationValue Invoke(const std::wstring& member, InvokeKind kind,
                           std::span<const AutomationArgument> arguments,
                           ResultKind result) override;

    [[nodiscard]] IDispatch* get() const noexcept { return object_.Get(); }

private:
    ComPtr<IDispatch> object_;
};

// An automation reference for `object`: empty when it is null.
[[nodiscard]] AutomationRef WrapDispatch(ComPtr<IDispatch> object);

} // namespace kestova::win
