#pragma once

// The few registry operations the settings store needs, relative to one root key (the current
// user's hive in the product). Kept narrow so the store's rules run natively against a fake.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestova {

// The registry's own type numbers, so the Win32 side passes them through unchanged.
enum class RegistryValueType : uint32_t {
    None = 0,
    String = 1,       // REG_SZ
    ExpandString = 2, // REG_EXPAND_SZ
    Binary = 3,
    Dword = 4, // REG_DWORD (little-endian)
    DwordBigEndian = 5,
    Link = 6,
    MultiString = 7,
    Qword = 11,
};

struct RegistryValueInfo {
    uint32_t type = 0; // a RegistryValueType number, or any other the registry holds
    uint32_t size = 0; // bytes of data
};

struct RegistryValue {
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

// An open key; closing it is its destruction.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;

    // Type and size of a value, without its data; nullopt when the value does not exist.
    [[nodiscard]] virtual std::optional<RegistryValueInfo>
    QueryValueInfo(const std::wstring& name) = 0;
    // Type and all data of a value; nullopt when it does not exist.
    [[nodiscard]] virtual std::optional<RegistryValue> ReadValue(const std::wstring& name) = 0;
    // false when the registry refuses to store the value (e.g. a key opened for reading only).
    [[nodiscard]] virtual bool WriteDword(const std::wstring& name, uint32_t value) = 0;
    // Stored as REG_SZ with the text's terminating NUL.
    [[nodiscard]] virtual bool WriteString(const std::wstring& name, const std::wstring& text) = 0;
};

class RegistryAccess {
public:
    virtual ~RegistryAccess() = default;

    // Opens `path` for full access and closes it again: a key the user may read but not write
    // counts as missing.
    [[nodiscard]] virtual bool KeyExists(const std::wstring& path) = 0;
    // nullptr when the key is missing or can't be opened for reading.
    [[nodiscard]] virtual std::unique_ptr<RegistryKey> OpenKeyForRead(const std::wstring& path) = 0;
    // Opens `path` for full access, creating it and any missing parents; nullptr on failure.
    [[nodiscard]] virtual std::unique_ptr<RegistryKey> CreateKey(const std::wstring& path) = 0;
};

} // namespace kestova
