#pragma once

// The stored settings: one presentation per monitor and the two input flags.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace kestova {

class RegistryAccess;
struct PolicySettings;

struct TSessionElement {
    std::wstring PresName; // full path; empty when nothing was chosen for this monitor
    int32_t MonitorNum = 0;

    friend bool operator==(const TSessionElement&, const TSessionElement&) = default;
};

// Positional: entry i belongs to monitor number i + 1.
using TSessionElements = std::vector<TSessionElement>;

struct TSession {
    TSessionElements Elements;
    bool EnableKeyboard = false;
    bool EnableMouse = false;
    // Policy values the last load could not read (wrong type): not used, told in the run journal.
    std::vector<std::wstring> IgnoredPolicies;
};

// The one process-wide settings record.
extern TSession Session;

// A registry failure with the user-facing text ("Invalid data type for 'Count'", ...).
class SettingsError : public std::runtime_error {
public:
    explicit SettingsError(std::wstring message);
    [[nodiscard]] const std::wstring& message() const noexcept { return message_; }

private:
    std::wstring message_;
};

enum class StoredValue { EnableKeyboard, EnableMouse, Count, MonitorNum, PresName };

// The stored values a load could not read, and the store's message for each, in reading order.
// A save given them leaves each exactly as it stands.
struct UnreadValues {
    bool enableKeyboard = false;
    bool enableMouse = false;
    bool count = false;              // of the wrong type, too long, or negative
    std::vector<size_t> monitorNums; // entry indexes
    std::vector<size_t> presNames;   // entry indexes
    std::vector<std::wstring> messages;

    void Add(StoredValue value, size_t entry, std::wstring message);
};

// Fill `session` from the registry; throws SettingsError at the first value it can't read (the
// values read before it are kept, the rest are not read).
void LoadSession(RegistryAccess& registry, TSession& session = Session);
// The run's load under the organisation's policies: the same, except that a value some policy
// sets is skipped when the user's own copy can't be read, as the policy decides it anyway.
void LoadSession(RegistryAccess& registry, TSession& session, const PolicySettings& policies);
// The settings dialog's load: the same values in the same order, but each read on its own, so
// one bad value costs only itself. Without a readable Count, the first `entriesWithoutCount`
// entries are read where their keys exist.
[[nodiscard]] UnreadValues LoadSessionEachValue(RegistryAccess& registry, TSession& session,
                                                size_t entriesWithoutCount);
// Write `session`; throws SettingsError when nothing or not everything could be written.
// Entry keys from `writtenEntries` on are left as they stand in the registry (the dialog keeps
// the entries of monitors not attached now exactly as stored); Count is still the whole list's.
void SaveSession(RegistryAccess& registry, const TSession& session = Session,
                 size_t writtenEntries = SIZE_MAX);
// The same, except that the values in `keep` are not written.
void SaveSession(RegistryAccess& registry, const TSession& session, size_t writtenEntries,
                 const UnreadValues& keep);

// Reads one string value under HKEY_CURRENT_USER\`keyPath`. Leaves `result` untouched when the
// key is missing; gives `defaultValue` when the key exists but the value does not.
void RegReadString(RegistryAccess& registry, const std::wstring& keyPath,
                   const std::wstring& valueName, const std::wstring& defaultValue,
                   std::wstring& result);
// Writes one REG_SZ value, creating the key; silently does nothing when the key can't be opened.
void RegWriteString(RegistryAccess& registry, const std::wstring& keyPath,
                    const std::wstring& valueName, const std::wstring& text);

} // namespace kestova
