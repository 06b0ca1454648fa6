#pragma once

// Late-bound automation as the session driver sees it: objects called by member name, arguments
// handed over by reference to the driver's own variables, failures thrown as AutomationError.
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <variant>

namespace kestova {

class AutomationObject;

// An automation reference: empty (null) or an object.
using AutomationRef = std::shared_ptr<AutomationObject>;

enum class InvokeKind {
    Method,       // a call, with or without arguments
    PropertyRead, // a read without arguments, sent as method and property get at once
};

enum class ResultKind { None, Boolean, Integer, String, Object };

// A 32-bit integer by value, or a 32-bit integer or string by reference (the callee may write
// into it; the new value lands in the caller's variable).
using AutomationArgument = std::variant<int32_t, int32_t*, std::wstring*>;

// The result converted to the kind that was asked for; monostate for ResultKind::None.
using AutomationValue = std::variant<std::monostate, bool, int32_t, std::wstring, AutomationRef>;

// A failed automation call, with what the error report needs to word it.
class AutomationError : public std::runtime_error {
public:
    AutomationError(int32_t code, std::wstring member, bool unknownMember,
                    std::wstring description);

    int32_t code;             // the failure's HRESULT
    std::wstring member;      // the member that was called
    bool unknownMember;       // the object does not know the member
    std::wstring description; // the object's own error description, when it raised one
};

class AutomationObject {
public:
    virtual ~AutomationObject() = default;

    // Looks `member` up and invokes it. Throws AutomationError on failure.
    virtual AutomationValue Invoke(const std::wstring& member, InvokeKind kind,
                                   std::span<const AutomationArgument> arguments,
                                   ResultKind result) = 0;
};

// Typed forms of Invoke for the driver's calls.
void CallMethod(AutomationObject& object, const std::wstring& member,
                std::span<const AutomationArgument> arguments = {});
[[nodiscard]] bool CallBoolean(AutomationObject& object, const std::wstring& member);
[[nodiscard]] AutomationRef CallObject(AutomationObject& object, const std::wstring& member,
                                       std::span<const AutomationArgument> arguments);
[[nodiscard]] int32_t ReadInteger(AutomationObject& object, const std::wstring& member);
[[nodiscard]] std::wstring ReadString(AutomationObject& object, const std::wstring& member);
[[nodiscard]] AutomationRef ReadObject(AutomationObject& object, const std::wstring& member);

} // namespace kestova
