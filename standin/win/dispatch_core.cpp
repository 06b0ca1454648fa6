#include "standin/win/dispatch_core.h"

#include "standin/journal_text.h"
#include "standin/member_list.h"
#include "standin/win/host_prompt.h"
#include "standin/win/variant_text.h"

namespace kestova::standin::win {

using kestova::win::UniqueVariant;

size_t MemberInfo::ParamCount() const noexcept {
    size_t count = 0;
    while (count < params.size() && params[count])
        ++count;
    return count;
}

HRESULT CallOutcome::Raise(HRESULT code, std::wstring text) {
    scode = code;
    description = std::move(text);
    return DISP_E_EXCEPTION;
}

std::wstring InvokeFlagsText(WORD flags) {
    static constexpr std::pair<WORD, const wchar_t*> kNames[] = {
        {DISPATCH_METHOD, L"METHOD"},
        {DISPATCH_PROPERTYGET, L"PROPERTYGET"},
        {DISPATCH_PROPERTYPUT, L"PROPERTYPUT"},
        {DISPATCH_PROPERTYPUTREF, L"PROPERTYPUTREF"},
    };
    std::wstring text;
    WORD known = 0;
    for (auto [bit, name] : kNames) {
        known |= bit;
        if (flags & bit) {
            if (!text.empty())
                text += L'|';
            text += name;
        }
    }
    if (flags & ~known) {
        if (!text.empty())
            text += L'|';
        text += HexCode(flags & ~known);
    }
    return text.empty() ? L"0" : text;
}

const MemberInfo* DispatchCore::Find(DISPID id) const noexcept {
    for (const MemberInfo& member : members_)
        if (member.id == id)
            return &member;
    return nullptr;
}

HRESULT DispatchCore::GetIDsOfNames(const DispatchHandler& handler, LPOLESTR* names, UINT count,
                                    DISPID* ids) noexcept {
    try {
        if (!names || !ids || count == 0)
            return E_INVALIDARG;
        for (UINT i = 0; i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
        const MemberInfo* found = nullptr;
        std::wstring_view wanted = names[0] ? names[0] : L"";
        for (const MemberInfo& member : members_) {
            if (EqualsNoCase(member.name, wanted)) {
                found = &member;
                break;
            }
        }
        if (found &&
            (!handler.Offers(*found) ||
             (context_.faults && context_.faults->unknown.Contains(objectName_, found->name))))
            found = nullptr;
        if (!found) {
            if (context_.journal)
                context_.journal->Write({L"lookup",
                                         std::wstring(objectName_) + L"." + std::wstring(wanted),
                                         L"unknown"});
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = found->id;
        HRESULT hr = S_OK;
        for (UINT i = 1; i < count; ++i) {
            std::wstring_view param = names[i] ? names[i] : L"";
            for (size_t p = 0; p < found->ParamCount(); ++p)
                if (EqualsNoCase(found->params[p], param))
                    ids[i] = static_cast<DISPID>(p);
            if (ids[i] == DISPID_UNKNOWN)
                hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

namespace {

// The arguments as the caller sent them, before the call can write through a reference.
std::wstring ArgumentsText(const Arguments& args) {
    std::wstring text;
    for (const VARIANT* arg : args.Received()) {
        if (!text.empty())
            text += L';';
        text += VariantText(*arg);
    }
    return text;
}

} // namespace

void DispatchCore::JournalCall(const std::wstring& member, WORD flags, const std::wstring& args,
                               const std::wstring& result) noexcept {
    if (!context_.journal)
        return;
    try {
        context_.journal->Write({L"call", std::wstring(objectName_) + L"." + member,
                                 InvokeFlagsText(flags), args, result,
                                 std::to_wstring(::GetTickCount())});
    } catch (...) {
    }
}

HRESULT DispatchCore::Invoke(DispatchHandler& handler, DISPID id, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept {
    try {
        const MemberInfo* member = Find(id);
        if (member &&
            (!handler.Offers(*member) ||
             (context_.faults && context_.faults->unknown.Contains(objectName_, member->name))))
            member = nullptr;
        std::wstring memberName = member ? member->name : L"#" + std::to_wstring(id);
        auto refuse = [&](HRESULT hr) {
            JournalCall(memberName, flags, {}, L"error:" + HexCode(static_cast<uint32_t>(hr)));
            return hr;
        };
        if (!member)
            return refuse(DISP_E_MEMBERNOTFOUND);

        bool isPut = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
        bool answers = isPut
                           ? member->Writes()
                           : (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) && member->Reads();
        if (!answers)
            return refuse(DISP_E_MEMBERNOTFOUND);

        Arguments args;
        HRESULT hr = args.Bind(params, member->ParamCount(), isPut, argError);
        if (FAILED(hr))
            return refuse(hr);
        const std::wstring argText = ArgumentsText(args);

        const FaultPlan* faults = context_.faults;
        if (faults && faults->exitOn.Contains(objectName_, member->name)) {
            JournalCall(memberName, flags, argText, L"exit");
            // Abruptly, like a host that crashes: no clean-up, no further journal lines.
            ::TerminateProcess(::GetCurrentProcess(), 3);
        }
        if (faults && faults->slowMs && faults->slow.Contains(objectName_, member->name) &&
            (faults->slowAt == 0 || ++faults->slowCalls == faults->slowAt)) {
            // Written before the wait, so a test sees the host hanging while it hangs.
            if (context_.journal)
                context_.journal->Write({L"wait", std::wstring(objectName_) + L"." + memberName,
                                         std::to_wstring(faults->slowMs),
                                         std::to_wstring(::GetTickCount())});
            ::Sleep(faults->slowMs);
        }
        if (faults && faults->prompt.Contains(objectName_, member->name) &&
            (faults->promptAt == 0 || ++faults->promptCalls == faults->promptAt))
            ShowHostPrompt(context_.journal, std::wstring(objectName_) + L"." + memberName,
                           faults->promptTitle, faults->promptMs);

        UniqueVariant value;
        CallOutcome outcome;
        if (faults && faults->fail.Contains(objectName_, member->name)) {
            hr = faults->failCode ? *faults->failCode
                                  : outcome.Raise(faults->failScode, faults->failDescription);
        } else {
            hr = handler.Call(*member, isPut, args, value.get(), outcome);
        }

        if (hr == DISP_E_EXCEPTION) {
            JournalCall(memberName, flags, argText,
                        L"error:" + HexCode(static_cast<uint32_t>(outcome.scode)) + L":" +
                            outcome.description);
            if (!exception)
                return outcome.scode;
            *exception = EXCEPINFO{};
            exception->bstrSource = ::SysAllocString(context_.source);
            exception->bstrDescription = ::SysAllocString(outcome.description.c_str());
            exception->scode = outcome.scode;
            return DISP_E_EXCEPTION;
        }
        if (FAILED(hr)) {
            JournalCall(memberName, flags, argText, L"error:" + HexCode(static_cast<uint32_t>(hr)));
            return hr;
        }
        JournalCall(memberName, flags, argText, VariantText(*value.get(), outcome.resultName));
        if (result) {
            ::VariantInit(result);
            *result = *value.get();
            ::VariantInit(value.get()); // ownership went to the caller
        }
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace kestova::standin::win
