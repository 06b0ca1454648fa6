#pragma once

// IDispatch by a table of members: names looked up without regard to case (as Office does),
// members answering by DISPID, arguments by value or by reference, faults from a FaultPlan,
// and one journal line per call.
#include "standin/win/dispatch_args.h"
#include "standin/win/fault_plan.h"
#include "standin/win/journal.h"

#include <array>
#include <span>
#include <string>

namespace kestova::standin::win {

struct MemberInfo {
    enum Kind { kRead, kReadWrite, kWrite, kMethod };
    const wchar_t* name;
    DISPID id;
    Kind kind;
    std::array<const wchar_t*, 4> params{}; // parameter names, unused ones null

    [[nodiscard]] size_t ParamCount() const noexcept;
    [[nodiscard]] bool Reads() const noexcept { return kind != kWrite; }
    [[nodiscard]] bool Writes() const noexcept { return kind == kReadWrite || kind == kWrite; }
};

// What a member's implementation reports besides its HRESULT.
struct CallOutcome {
    std::wstring description; // for DISP_E_EXCEPTION
    HRESULT scode = E_FAIL;   // for DISP_E_EXCEPTION
    std::wstring resultName;  // how the journal names an object result ("Presentation#2")

    // Records an automation exception; returns DISP_E_EXCEPTION for the implementation to return.
    HRESULT Raise(HRESULT code, std::wstring text);
};

class DispatchHandler {
public:
    // `isPut`: the call assigns PutValue(); otherwise it reads or runs the member.
    virtual HRESULT Call(const MemberInfo& member, bool isPut, Arguments& args, VARIANT* result,
                         CallOutcome& outcome) = 0;
    // Lets an object hide a member at run time (a host without COMAddIns, say).
    [[nodiscard]] virtual bool Offers(const MemberInfo&) const { return true; }

protected:
    ~DispatchHandler() = default;
};

struct DispatchContext {
    Journal* journal = nullptr;
    const FaultPlan* faults = nullptr;
    const wchar_t* source = L""; // EXCEPINFO source
};

class DispatchCore {
public:
    DispatchCore(DispatchContext context, const wchar_t* objectName,
                 std::span<const MemberInfo> members) noexcept
        : context_(context), objectName_(objectName), members_(members) {}

    HRESULT GetIDsOfNames(const DispatchHandler& handler, LPOLESTR* names, UINT count,
                          DISPID* ids) noexcept;
    HRESULT Invoke(DispatchHandler& handler, DISPID id, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept;

    [[nodiscard]] const wchar_t* ObjectName() const noexcept { return objectName_; }

private:
    const MemberInfo* Find(DISPID id) const noexcept;
    void JournalCall(const std::wstring& member, WORD flags, const std::wstring& args,
                     const std::wstring& result) noexcept;

    DispatchContext context_;
    const wchar_t* objectName_;
    std::span<const MemberInfo> members_;
};

// "METHOD|PROPERTYGET" and the like.
std::wstring InvokeFlagsText(WORD flags);

} // namespace kestova::standin::win
