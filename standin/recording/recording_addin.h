#pragma once

// KestovaTest.RecordingAddin: a COM add-in for tests that connects like a real one (it sets itself
// as its COMAddIn entry's Object) and answers every member the screen saver calls on the add-in
// without doing their work: it journals each call, with each argument's type and by-reference
// flag, and answers as its knobs say.
#include "standin/win/dispatch_core.h"

#include "common/win/unique_handle.h"

#include <extensibility.h>

namespace kestova::standin::recording {

using kestova::win::ComPtr;
using win::Arguments;
using win::CallOutcome;
using win::MemberInfo;

inline constexpr wchar_t kProgId[] = L"KestovaTest.RecordingAddin";
inline constexpr wchar_t kClsidText[] = L"{6A3C1E52-7B0D-4F8A-9C21-5D4E8B7A1F30}";
inline constexpr CLSID kClsid = {
    0x6A3C1E52, 0x7B0D, 0x4F8A, {0x9C, 0x21, 0x5D, 0x4E, 0x8B, 0x7A, 0x1F, 0x30}};
inline constexpr wchar_t kKnobKey[] = L"Software\\KestovaTest\\RecordingAddin";

// FailConnection knob values.
enum class ConnectionFault : DWORD {
    kNone = 0,
    kConnectionFails = 1,  // OnConnection returns E_FAIL
    kConnectionThrows = 2, // OnConnection throws a C++ exception into the host
    kStartupFails = 3,     // OnStartupComplete returns E_FAIL
    kStartupThrows = 4,    // OnStartupComplete throws
};

class RecordingAddin : public IDTExtensibility2, private win::DispatchHandler {
public:
    RecordingAddin();
    virtual ~RecordingAddin();

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    STDMETHODIMP OnConnection(IDispatch* application, ext_ConnectMode mode, IDispatch* addInInst,
                              SAFEARRAY** custom) override;
    STDMETHODIMP OnDisconnection(ext_DisconnectMode mode, SAFEARRAY** custom) override;
    STDMETHODIMP OnAddInsUpdate(SAFEARRAY** custom) override;
    STDMETHODIMP OnStartupComplete(SAFEARRAY** custom) override;
    STDMETHODIMP OnBeginShutdown(SAFEARRAY** custom) override;

    // Objects alive in this DLL (for DllCanUnloadNow).
    static LONG LiveObjects() noexcept;

private:
    HRESULT Call(const MemberInfo& member, bool isPut, Arguments& args, VARIANT* result,
                 CallOutcome& outcome) override;
    // GetMonitorReport only with the knob MonitorReport=1: without it, an add-in of an earlier
    // release.
    [[nodiscard]] bool Offers(const MemberInfo& member) const override;
    void ReadKnobs() noexcept;
    void JournalHandler(const wchar_t* handler, const std::wstring& args,
                        const std::wstring& result) noexcept;
    ConnectionFault Fault() const noexcept;

    LONG references_ = 1;
    win::Journal journal_;
    win::FaultPlan faults_;
    win::DispatchCore core_;
    ComPtr<IDispatch> application_;
    ComPtr<IDispatch> addInInst_;
    DWORD shouldEndCalls_ = 0;
};

} // namespace kestova::standin::recording
