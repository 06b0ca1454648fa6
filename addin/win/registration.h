#pragma once

// Self-registration: the two classes and the type library with COM, and the add-in key that
// makes PowerPoint load the add-in at every start of the current user.
#include <windows.h>

namespace kestova::addin::win {

enum class RegistrationScope {
    Machine, // regsvr32: classes and type library for every user (needs admin rights)
    User,    // regsvr32 /n /i:user: everything in the current user's hive
};

// Writes every record; on failure removes what it wrote and gives the failure.
HRESULT RegisterServer(RegistrationScope scope) noexcept;
// Removes exactly what RegisterServer writes; records already gone are not a failure.
HRESULT UnregisterServer(RegistrationScope scope) noexcept;

} // namespace kestova::addin::win
