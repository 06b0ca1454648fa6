#pragma once

// The settings store over the real registry, and the calls the program makes with no registry in
// hand: everything under HKEY_CURRENT_USER, `Session` as the record.
#include "settings/registry_access.h"
#include "settings/session.h"

#include <windows.h>

namespace kestova {

namespace win {

// Registry access below one root key. The root is not owned: a predefined key in the product, a
// scratch key in tests.
class WindowsRegistry final : public RegistryAccess {
public:
    explicit WindowsRegistry(HKEY root = HKEY_CURRENT_USER) noexcept : root_(root) {}

    [[nodiscard]] bool KeyExists(const std::wstring& path) override;
    [[nodiscard]] std::unique_ptr<RegistryKey> OpenKeyForRead(const std::wstring& path) override;
    [[nodiscard]] std::unique_ptr<RegistryKey> CreateKey(const std::wstring& path) override;

private:
    HKEY root_;
};

} // namespace win

// Fills `Session` from HKEY_CURRENT_USER, then lays the policy values over it; throws
// SettingsError for a bad user value only.
void LoadSession();
// Writes `Session` to HKEY_CURRENT_USER; throws SettingsError when not everything was written.
void SaveSession();
// RegReadString / RegWriteString under HKEY_CURRENT_USER.
void RegReadString(const std::wstring& keyPath, const std::wstring& valueName,
                   const std::wstring& defaultValue, std::wstring& result);
void RegWriteString(const std::wstring& keyPath, const std::wstring& valueName,
                    const std::wstring& text);

} // namespace kestova
