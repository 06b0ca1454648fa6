// Reading the policy values and laying them over the user's settings.
#include "common/product.h"
#include "settings/policy.h"
#include "settings/registry_access.h"
#include "settings/registry_values.h"
#include "settings/session.h"

namespace kestova {

namespace {

// Reads one policy value with `read`; a value the store would refuse is noted and counts as unset,
// so a bad policy never stops a run or the dialog.
template <typename Read>
auto ReadPolicyValue(RegistryKey* key, const std::wstring& name, const wchar_t* hive,
                     std::vector<std::wstring>& messages, Read&& read)
    -> decltype(read(*key, name)) {
    if (!key)
        return std::nullopt;
    try {
        return read(*key, name);
    } catch (const SettingsError& error) {
        messages.push_back(error.message() + L" in policy key '" + hive + L'\\' + kPolicyKeyPath +
                           L"' (ignored)");
        return std::nullopt;
    }
}

} // namespace

PolicySettings ReadPolicies(RegistryAccess& machine, RegistryAccess& user) {
    PolicySettings policies;
    // Opened for reading only: users may read their policy keys but never write them.
    const auto machineKey = machine.OpenKeyForRead(kPolicyKeyPath);
    const auto userKey = user.OpenKeyForRead(kPolicyKeyPath);
    if (!machineKey && !userKey)
        return policies;

    auto each = [&](const std::wstring& name, auto&& read) {
        auto value =
            ReadPolicyValue(machineKey.get(), name, L"HKEY_LOCAL_MACHINE", policies.messages, read);
        if (!value)
            value =
                ReadPolicyValue(userKey.get(), name, L"HKEY_CURRENT_USER", policies.messages, read);
        return value;
    };
    auto flag = [](RegistryKey& key, const std::wstring& name) -> std::optional<bool> {
        if (auto value = ReadStoredDword(key, name))
            return *value != 0;
        return std::nullopt;
    };
    // An empty path sets nothing: the monitor keeps the user's choice.
    auto path = [](RegistryKey& key, const std::wstring& name) -> std::optional<std::wstring> {
        auto text = ReadStoredText(key, name);
        if (text && text->empty())
            return std::nullopt;
        return text;
    };

    policies.enableKeyboard = each(L"EnableKeyboard", flag);
    policies.enableMouse = each(L"EnableMouse", flag);
    for (size_t i = 0; i < kPolicyMonitors; ++i)
        policies.presNames[i] = each(L"Monitor" + std::to_wstring(i + 1), path);
    return policies;
}

void ApplyPolicies(const PolicySettings& policies, TSession& session) {
    if (policies.enableKeyboard)
        session.EnableKeyboard = *policies.enableKeyboard;
    if (policies.enableMouse)
        session.EnableMouse = *policies.enableMouse;
    for (size_t i = 0; i < kPolicyMonitors; ++i) {
        if (!policies.presNames[i])
            continue;
        // Entries added on the way name their own monitor and no presentation, as saved ones do.
        for (size_t k = session.Elements.size(); k <= i; ++k)
            session.Elements.push_back({std::wstring(), static_cast<int32_t>(k + 1)});
        session.Elements[i].PresName = *policies.presNames[i];
        session.Elements[i].MonitorNum = static_cast<int32_t>(i + 1);
    }
}

} // namespace kestova
