#pragma once

#include "common/win/unique_handle.h"

namespace kestova::addin::win {

// Takes over the one reference a newly made object starts with. MinGW-w64's ComPtr::Attach adds
// a reference of its own (the Windows SDK's does not), so it is never used for this.
template <typename T> kestova::win::ComPtr<T> Adopt(T* object) noexcept {
    kestova::win::ComPtr<T> owner;
    *owner.ReleaseAndGetAddressOf() = object;
    return owner;
}

} // namespace kestova::addin::win
