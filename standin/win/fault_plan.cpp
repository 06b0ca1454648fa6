#include "standin/win/fault_plan.h"

#include "standin/win/registry_values.h"

namespace kestova::standin::win {

FaultPlan ReadFaultPlan(const std::wstring& keyPath) {
    FaultPlan plan;
    auto text = [&](const wchar_t* name) {
        return RegistryString(HKEY_CURRENT_USER, keyPath, name).value_or(L"");
    };
    plan.fail = MemberList(text(L"FailMember"));
    plan.failDescription = text(L"FailDescription");
    if (plan.failDescription.empty())
        plan.failDescription = L"The operation failed.";
    if (auto code = RegistryDword(HKEY_CURRENT_USER, keyPath, L"FailCode"))
        plan.failCode = static_cast<HRESULT>(*code);
    plan.unknown = MemberList(text(L"UnknownMember"));
    plan.exitOn = MemberList(text(L"ExitOnMember"));
    plan.slow = MemberList(text(L"SlowMember"));
    plan.slowMs = RegistryDword(HKEY_CURRENT_USER, keyPath, L"SlowMs").value_or(0);
    plan.slowAt =
        static_cast<int>(RegistryDword(HKEY_CURRENT_USER, keyPath, L"SlowAt").value_or(0));
    plan.prompt = MemberList(text(L"PromptMember"));
    plan.promptAt =
        static_cast<int>(RegistryDword(HKEY_CURRENT_USER, keyPath, L"PromptAt").value_or(0));
    plan.promptTitle = text(L"PromptTitle");
    if (plan.promptTitle.empty())
        plan.promptTitle = L"Password";
    plan.promptMs = RegistryDword(HKEY_CURRENT_USER, keyPath, L"PromptMs").value_or(0);
    return plan;
}

} // namespace kestova::standin::win
