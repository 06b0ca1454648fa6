#pragma once

// Values an organisation sets through Group Policy or Intune, under the policy key of the local
// machine and of the user. They override the user's own settings value by value.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace kestova {

class RegistryAccess;
struct TSession;

// Monitors an administrator can give a presentation: Monitor1 ... Monitor16.
inline constexpr size_t kPolicyMonitors = 16;

struct PolicySettings {
    std::array<std::optional<std::wstring>, kPolicyMonitors> presNames; // [monitor number - 1]
    std::optional<bool> enableKeyboard;
    std::optional<bool> enableMouse;
    // Policy values that could not be read (wrong type or size): ignored, one message each.
    std::vector<std::wstring> messages;
};

// Reads the policy key below each root: per value, the machine's wins over the user's. A value
// of the wrong type counts as not set. The policy keys are opened for reading only.
[[nodiscard]] PolicySettings ReadPolicies(RegistryAccess& machine, RegistryAccess& user);
// Gives each value a policy sets to `session`; the list grows to reach a monitor a policy names.
void ApplyPolicies(const PolicySettings& policies, TSession& session);

} // namespace kestova
