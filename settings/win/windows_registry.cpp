#include "settings/win/windows_registry.h"

#include "common/win/unique_handle.h"
#include "settings/policy.h"

#include <limits>

namespace kestova {

namespace win {

namespace {

static_assert(static_cast<DWORD>(RegistryValueType::String) == REG_SZ);
static_assert(static_cast<DWORD>(RegistryValueType::ExpandString) == REG_EXPAND_SZ);
static_assert(static_cast<DWORD>(RegistryValueType::Binary) == REG_BINARY);
static_assert(static_cast<DWORD>(RegistryValueType::Dword) == REG_DWORD);
static_assert(static_cast<DWORD>(RegistryValueType::MultiString) == REG_MULTI_SZ);
static_assert(static_cast<DWORD>(RegistryValueType::Qword) == REG_QWORD);

class WindowsRegistryKey final : public RegistryKey {
public:
    explicit WindowsRegistryKey(UniqueHkey key) noexcept : key_(std::move(key)) {}

    std::optional<RegistryValueInfo> QueryValueInfo(const std::wstring& name) override {
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (::RegQueryValueExW(key_.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            return std::nullopt;
        return RegistryValueInfo{type, size};
    }

    std::optional<RegistryValue> ReadValue(const std::wstring& name) override {
        RegistryValue value;
        DWORD size = 0;
        if (::RegQueryValueExW(key_.get(), name.c_str(), nullptr, nullptr, nullptr, &size) !=
            ERROR_SUCCESS)
            return std::nullopt;
        // Another program may grow the value between the two calls: ask again with its new size.
        for (;;) {
            value.data.resize(size);
            DWORD type = REG_NONE;
            LSTATUS status = ::RegQueryValueExW(key_.get(), name.c_str(), nullptr, &type,
                                                value.data.data(), &size);
            if (status == ERROR_MORE_DATA)
                continue;
            if (status != ERROR_SUCCESS)
                return std::nullopt;
            value.type = type;
            value.data.resize(size);
            return value;
        }
    }

    bool WriteDword(const std::wstring& name, uint32_t value) override {
        DWORD data = value;
        return ::RegSetValueExW(key_.get(), name.c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&data), sizeof data) == ERROR_SUCCESS;
    }

    bool WriteString(const std::wstring& name, const std::wstring& text) override {
        if (text.size() >= std::numeric_limits<DWORD>::max() / sizeof(wchar_t))
            return false;
        auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
        return ::RegSetValueExW(key_.get(), name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(text.c_str()),
                                bytes) == ERROR_SUCCESS;
    }

private:
    UniqueHkey key_;
};

} // namespace

bool WindowsRegistry::KeyExists(const std::wstring& path) {
    UniqueHkey key;
    return ::RegOpenKeyExW(root_, path.c_str(), 0, KEY_ALL_ACCESS, key.put()) == ERROR_SUCCESS;
}

std::unique_ptr<RegistryKey> WindowsRegistry::OpenKeyForRead(const std::wstring& path) {
    UniqueHkey key;
    if (::RegOpenKeyExW(root_, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<WindowsRegistryKey>(std::move(key));
}

std::unique_ptr<RegistryKey> WindowsRegistry::CreateKey(const std::wstring& path) {
    UniqueHkey key;
    if (::RegCreateKeyExW(root_, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                          nullptr, key.put(), nullptr) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<WindowsRegistryKey>(std::move(key));
}

} // namespace win

void LoadSession() {
    win::WindowsRegistry registry;
    // What the organisation set wins over the user's own values, so a user's copy of such a
    // value that can't be read does not stop the run. A policy value of the wrong type is left
    // out and does not stop the run either.
    win::WindowsRegistry machine(HKEY_LOCAL_MACHINE);
    PolicySettings policies = ReadPolicies(machine, registry);
    LoadSession(registry, Session, policies);
    ApplyPolicies(policies, Session);
    Session.IgnoredPolicies = std::move(policies.messages);
}

void SaveSession() {
    win::WindowsRegistry registry;
    SaveSession(registry, Session);
}

void RegReadString(const std::wstring& keyPath, const std::wstring& valueName,
                   const std::wstring& defaultValue, std::wstring& result) {
    win::WindowsRegistry registry;
    RegReadString(registry, keyPath, valueName, defaultValue, result);
}

void RegWriteString(const std::wstring& keyPath, const std::wstring& valueName,
                    const std::wstring& text) {
    win::WindowsRegistry registry;
    RegWriteString(registry, keyPath, valueName, text);
}

} // namespace kestova
