#pragma once

// Faults a test asks an automation object to show, by member name ("Object.Member").
#include "standin/member_list.h"

#include <windows.h>

#include <optional>
#include <string>

namespace kestova::standin::win {

struct FaultPlan {
    MemberList fail; // raise DISP_E_EXCEPTION with `failDescription`
    std::wstring failDescription;
    HRESULT failScode = E_FAIL;      // the exception's code
    std::optional<HRESULT> failCode; // return this HRESULT instead, without a description
    MemberList unknown;              // GetIDsOfNames fails, as if the member did not exist
    MemberList exitOn;               // the process ends abruptly when the member is called
    MemberList slow;                 // the call waits `slowMs` before it runs
    DWORD slowMs = 0;
    int slowAt = 0; // only the n-th such call (1-based) waits; 0: every one
    mutable int slowCalls = 0;
    MemberList prompt;        // the call puts up the host's own prompt before it runs
    int promptAt = 0;         // only the n-th such call (1-based); 0: every one
    std::wstring promptTitle; // "Password" unless set
    DWORD promptMs = 0;       // the prompt answers itself after this; 0: only its button does
    mutable int promptCalls = 0;
};

// Reads the common fault values (FailMember, FailDescription, FailCode, UnknownMember,
// ExitOnMember, SlowMember, SlowMs, SlowAt, PromptMember, PromptAt, PromptTitle, PromptMs) under
// HKCU\`keyPath`.
FaultPlan ReadFaultPlan(const std::wstring& keyPath);

} // namespace kestova::standin::win
