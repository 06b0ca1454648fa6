#include "screensaver/automation.h"

namespace kestova {

namespace {

// The adapter converts results to the asked kind; anything else is its fault, reported like a
// conversion failure of the automation layer.
constexpr int32_t kTypeMismatch = static_cast<int32_t>(0x80020005);

template <typename T> T Take(AutomationValue value, const std::wstring& member) {
    if (auto* typed = std::get_if<T>(&value))
        return std::move(*typed);
    throw AutomationError(kTypeMismatch, member, false, {});
}

} // namespace

AutomationError::AutomationError(int32_t code_, std::wstring member_, bool unknownMember_,
                                 std::wstring description_)
    : std::runtime_error("automation call failed"), code(code_), member(std::move(member_)),
      unknownMember(unknownMember_), description(std::move(description_)) {}

void CallMethod(AutomationObject& object, const std::wstring& member,
                std::span<const AutomationArgument> arguments) {
    object.Invoke(member, InvokeKind::Method, arguments, ResultKind::None);
}

bool CallBoolean(AutomationObject& object, const std::wstring& member) {
    return Take<bool>(object.Invoke(member, InvokeKind::Method, {}, ResultKind::Boolean), member);
}

AutomationRef CallObject(AutomationObject& object, const std::wstring& member,
                         std::span<const AutomationArgument> arguments) {
    return Take<AutomationRef>(
        object.Invoke(member, InvokeKind::Method, arguments, ResultKind::Object), member);
}

int32_t ReadInteger(AutomationObject& object, const std::wstring& member) {
    return Take<int32_t>(object.Invoke(member, InvokeKind::PropertyRead, {}, ResultKind::Integer),
                         member);
}

std::wstring ReadString(AutomationObject& object, const std::wstring& member) {
    return Take<std::wstring>(
        object.Invoke(member, InvokeKind::PropertyRead, {}, ResultKind::String), member);
}

AutomationRef ReadObject(AutomationObject& object, const std::wstring& member) {
    return Take<AutomationRef>(
        object.Invoke(member, InvokeKind::PropertyRead, {}, ResultKind::Object), member);
}

} // namespace kestova
