#pragma once

#include <windows.h>
#include <unknwn.h>

namespace kestova::addin::win {

using CreateInstanceFunction = HRESULT (*)(REFIID iid, void** object) noexcept;

// The class object of one of the library's classes.
HRESULT GetClassFactory(CreateInstanceFunction create, REFIID iid, void** object) noexcept;

} // namespace kestova::addin::win
