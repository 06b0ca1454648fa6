// Loading and saving `Session` and the dialog's string values, over any RegistryAccess.
#include "common/product.h"
#include "settings/policy.h"
#include "settings/registry_access.h"
#include "settings/registry_values.h"
#include "settings/session.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace kestova {

namespace {

// Only the first MonitorCount entries are ever used, and no system has thousands of monitors; a
// larger stored Count (up to 2^31 - 1) would otherwise cost gigabytes and billions of key probes,
// so the list is cut to this length instead of failing.
constexpr int32_t kMaxEntries = 4096;

constexpr wchar_t kEnableKeyboard[] = L"EnableKeyboard";
constexpr wchar_t kEnableMouse[] = L"EnableMouse";
constexpr wchar_t kCount[] = L"Count";
constexpr wchar_t kMonitorNum[] = L"MonitorNum";
constexpr wchar_t kPresName[] = L"PresName";

[[noreturn]] void ThrowInvalidType(const std::wstring& name) {
    throw SettingsError(L"Invalid data type for '" + name + L"'");
}
[[noreturn]] void ThrowGetFailed(const std::wstring& name) {
    throw SettingsError(L"Failed to get data for '" + name + L"'");
}
[[noreturn]] void ThrowSetFailed(const std::wstring& name) {
    throw SettingsError(L"Failed to set data for '" + name + L"'");
}
[[noreturn]] void ThrowCreateFailed(const std::wstring& path) {
    throw SettingsError(L"Failed to create key 'HKEY_CURRENT_USER\\" + path + L"'");
}

std::wstring EntryKeyPath(size_t index) {
    return std::wstring(kProductKeyPath) + L'\\' + std::to_wstring(index);
}

// A DWORD is read into a 4-byte buffer: anything bigger fails before its type is looked at.
std::optional<uint32_t> ReadDword(RegistryKey& key, const std::wstring& name) {
    auto info = key.QueryValueInfo(name);
    if (!info)
        return std::nullopt;
    if (info->size > 4)
        ThrowGetFailed(name);
    if (info->type != static_cast<uint32_t>(RegistryValueType::Dword))
        ThrowInvalidType(name);
    auto value = key.ReadValue(name);
    if (!value || value->data.size() > 4)
        ThrowGetFailed(name);
    if (value->type != static_cast<uint32_t>(RegistryValueType::Dword))
        ThrowInvalidType(name);
    uint8_t bytes[4] = {};
    if (!value->data.empty())
        std::memcpy(bytes, value->data.data(), value->data.size());
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint32_t ReadRequiredDword(RegistryKey& key, const std::wstring& name) {
    auto value = ReadDword(key, name);
    if (!value)
        ThrowGetFailed(name);
    return *value;
}

// Text of a string value as stored: no environment expansion, cut at the first NUL. A missing
// value gives nullopt; an empty value of any type gives the empty string.
std::optional<std::wstring> ReadText(RegistryKey& key, const std::wstring& name) {
    auto value = key.ReadValue(name);
    if (!value)
        return std::nullopt;
    if (value->data.empty())
        return std::wstring();
    if (value->type != static_cast<uint32_t>(RegistryValueType::String) &&
        value->type != static_cast<uint32_t>(RegistryValueType::ExpandString))
        ThrowInvalidType(name);
    // UTF-16LE code units; an odd trailing byte is not a character.
    const auto& data = value->data;
    std::wstring text;
    text.reserve(data.size() / 2);
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        auto unit = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
        if (unit == L'\0')
            break;
        text += unit;
    }
    return text;
}

void WriteDword(RegistryKey& key, const std::wstring& name, uint32_t value) {
    if (!key.WriteDword(name, value))
        ThrowSetFailed(name);
}

void WriteText(RegistryKey& key, const std::wstring& name, const std::wstring& text) {
    if (!key.WriteString(name, text))
        ThrowSetFailed(name);
}

// Every existence test opens the key for full access first, so a read-only key counts as missing.
std::unique_ptr<RegistryKey> OpenExistingForRead(RegistryAccess& registry,
                                                 const std::wstring& path) {
    if (!registry.KeyExists(path))
        return nullptr;
    return registry.OpenKeyForRead(path);
}

} // namespace

namespace {

// Each stored value read on its own, into its field; a value that can't be read throws the
// store's SettingsError and leaves its field as it was.
void ReadFlag(RegistryKey& product, const std::wstring& name, bool& field) {
    if (auto value = ReadDword(product, name))
        field = *value != 0;
}

int32_t ReadCount(RegistryKey& product) {
    const auto count = static_cast<int32_t>(ReadDword(product, kCount).value_or(0));
    if (count < 0)
        throw SettingsError(L"Range check error");
    return count;
}

void ReadMonitorNum(RegistryKey& entry, int32_t& field) {
    field = static_cast<int32_t>(ReadRequiredDword(entry, kMonitorNum));
}

void ReadPresName(RegistryKey& entry, std::wstring& field) {
    field = ReadText(entry, kPresName).value_or(std::wstring());
}

// The one order in which the values are read. `attempt(value, entry, read)` runs one value's
// reading and says whether it succeeded: the run's load lets the failure pass (and so stops
// there), the dialog's notes it and goes on with the next value. Without a readable Count, the
// first `entriesWithoutCount` entry keys are read where they exist.
template <typename Attempt>
void LoadValues(RegistryAccess& registry, TSession& session, size_t entriesWithoutCount,
                Attempt&& attempt) {
    std::optional<int32_t> count;
    {
        auto product = OpenExistingForRead(registry, kProductKeyPath);
        if (!product)
            return;
        attempt(StoredValue::EnableKeyboard, 0,
                [&] { ReadFlag(*product, kEnableKeyboard, session.EnableKeyboard); });
        attempt(StoredValue::EnableMouse, 0,
                [&] { ReadFlag(*product, kEnableMouse, session.EnableMouse); });
        attempt(StoredValue::Count, 0, [&] { count = ReadCount(*product); });
    }
    session.Elements.resize(count ? static_cast<size_t>(std::min(*count, kMaxEntries))
                                  : std::min(entriesWithoutCount, size_t{kMaxEntries}));

    for (size_t i = 0; i < session.Elements.size(); ++i) {
        auto entryKey = OpenExistingForRead(registry, EntryKeyPath(i));
        if (!entryKey)
            continue;
        TSessionElement& element = session.Elements[i];
        attempt(StoredValue::MonitorNum, i, [&] { ReadMonitorNum(*entryKey, element.MonitorNum); });
        attempt(StoredValue::PresName, i, [&] { ReadPresName(*entryKey, element.PresName); });
    }
}

bool Lists(const std::vector<size_t>& entries, size_t index) {
    return std::find(entries.begin(), entries.end(), index) != entries.end();
}

} // namespace

void LoadSession(RegistryAccess& registry, TSession& session) {
    LoadValues(registry, session, 0, [](StoredValue, size_t, auto&& read) {
        read();
        return true;
    });
}

void LoadSession(RegistryAccess& registry, TSession& session, const PolicySettings& policies) {
    auto setByPolicy = [&policies](StoredValue value, size_t entry) {
        switch (value) {
        case StoredValue::EnableKeyboard:
            return policies.enableKeyboard.has_value();
        case StoredValue::EnableMouse:
            return policies.enableMouse.has_value();
        case StoredValue::MonitorNum: // a policy's path comes with its own monitor number
        case StoredValue::PresName:
            return entry < kPolicyMonitors && policies.presNames[entry].has_value();
        case StoredValue::Count:
            break;
        }
        return false;
    };
    LoadValues(registry, session, 0, [&](StoredValue value, size_t entry, auto&& read) {
        try {
            read();
        } catch (const SettingsError&) {
            if (!setByPolicy(value, entry))
                throw;
        }
        return true;
    });
}

UnreadValues LoadSessionEachValue(RegistryAccess& registry, TSession& session,
                                  size_t entriesWithoutCount) {
    UnreadValues unread;
    LoadValues(registry, session, entriesWithoutCount,
               [&unread](StoredValue value, size_t entry, auto&& read) {
                   try {
                       read();
                       return true;
                   } catch (const SettingsError& error) {
                       unread.Add(value, entry, error.message());
                       return false;
                   }
               });
    return unread;
}

void UnreadValues::Add(StoredValue value, size_t entry, std::wstring message) {
    switch (value) {
    case StoredValue::EnableKeyboard:
        enableKeyboard = true;
        break;
    case StoredValue::EnableMouse:
        enableMouse = true;
        break;
    case StoredValue::Count:
        count = true;
        break;
    case StoredValue::MonitorNum:
        monitorNums.push_back(entry);
        break;
    case StoredValue::PresName:
        presNames.push_back(entry);
        break;
    }
    messages.push_back(std::move(message));
}

void SaveSession(RegistryAccess& registry, const TSession& session, size_t writtenEntries) {
    SaveSession(registry, session, writtenEntries, UnreadValues{});
}

void SaveSession(RegistryAccess& registry, const TSession& session, size_t writtenEntries,
                 const UnreadValues& keep) {
    auto product = registry.CreateKey(kProductKeyPath);
    if (!product)
        ThrowCreateFailed(kProductKeyPath);
    if (!keep.enableKeyboard)
        WriteDword(*product, kEnableKeyboard, session.EnableKeyboard ? 1 : 0);
    if (!keep.enableMouse)
        WriteDword(*product, kEnableMouse, session.EnableMouse ? 1 : 0);
    if (!keep.count)
        WriteDword(*product, kCount, static_cast<uint32_t>(session.Elements.size()));
    product.reset();

    // Entry keys beyond the new Count stay: loading stops at Count, so they are never read.
    const size_t written = std::min(writtenEntries, session.Elements.size());
    for (size_t i = 0; i < written; ++i) {
        const std::wstring path = EntryKeyPath(i);
        auto entryKey = registry.CreateKey(path);
        if (!entryKey)
            ThrowCreateFailed(path);
        const TSessionElement& element = session.Elements[i];
        if (!Lists(keep.monitorNums, i))
            WriteDword(*entryKey, kMonitorNum, static_cast<uint32_t>(element.MonitorNum));
        if (!Lists(keep.presNames, i))
            WriteText(*entryKey, kPresName, element.PresName);
    }
}

std::optional<uint32_t> ReadStoredDword(RegistryKey& key, const std::wstring& name) {
    return ReadDword(key, name);
}

std::optional<std::wstring> ReadStoredText(RegistryKey& key, const std::wstring& name) {
    return ReadText(key, name);
}

void RegReadString(RegistryAccess& registry, const std::wstring& keyPath,
                   const std::wstring& valueName, const std::wstring& defaultValue,
                   std::wstring& result) {
    auto key = OpenExistingForRead(registry, keyPath);
    if (!key)
        return;
    result = ReadText(*key, valueName).value_or(defaultValue);
}

void RegWriteString(RegistryAccess& registry, const std::wstring& keyPath,
                    const std::wstring& valueName, const std::wstring& text) {
    auto key = registry.CreateKey(keyPath);
    if (!key)
        return;
    WriteText(*key, valueName, text);
}

} // namespace kestova
