#pragma once

// The counts behind DllCanUnloadNow: live objects of this library and IClassFactory locks.
namespace kestova::addin::win {

void ObjectCreated() noexcept;
// When the last object goes, no caller can reach the add-in any more: the module lets go of the
// host's objects then (see AddinModule::ForgetHost), not later while the library is unloaded.
void ObjectDestroyed() noexcept;
void LockServer(bool lock) noexcept;
[[nodiscard]] bool CanUnloadNow() noexcept;
[[nodiscard]] long LiveObjects() noexcept;

} // namespace kestova::addin::win
