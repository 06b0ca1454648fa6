#include "standin/recording/recording_addin.h"

#include "standin/journal_text.h"
#include "standin/win/com_boundary.h"
#include "standin/win/registry_values.h"
#include "standin/win/variant_text.h"

#include "common/win/com_error.h"

#include <atomic>
#include <stdexcept>

namespace kestova::standin::recording {

using namespace kestova::standin::win;

namespace {

std::atomic<LONG> g_liveObjects{0};

enum : DISPID {
    kPPTApp = 0x40030000,
    kIsCOMAddInInitialized = 0x60030004,
    kInitializeScreenSaverSession = 0x60030005,
    kAddScreenSaver = 0x60030006,
    kPrepareScreenSaver = 0x60030007,
    kBeginScreenSaver = 0x60030008,
    kEndScreenSaver = 0x60030009,
    kExitScreenSaverSession = 0x6003000a,
    kShouldEndScreenSaver = 0x6003000b,
    kGetProcessId = 0x6003000c,
    kGetMonitorReport = 0x6003000d,
    kWatchScreenSaverCaller = 0x6003000e,
};

constexpr MemberInfo kMembers[] = {
    {L"PPTApp", kPPTApp, MemberInfo::kReadWrite},
    {L"IsCOMAddInInitialized", kIsCOMAddInInitialized, MemberInfo::kMethod},
    {L"InitializeScreenSaverSession",
     kInitializeScreenSaverSession,
     MemberInfo::kMethod,
     {L"Count"}},
    {L"AddScreenSaver",
     kAddScreenSaver,
     MemberInfo::kMethod,
     {L"Index", L"PresName", L"MonitorNum"}},
    {L"PrepareScreenSaver", kPrepareScreenSaver, MemberInfo::kMethod},
    {L"BeginScreenSaver", kBeginScreenSaver, MemberInfo::kMethod},
    {L"EndScreenSaver", kEndScreenSaver, MemberInfo::kMethod},
    {L"ExitScreenSaverSession", kExitScreenSaverSession, MemberInfo::kMethod},
    {L"ShouldEndScreenSaver", kShouldEndScreenSaver, MemberInfo::kMethod},
    {L"GetProcessId", kGetProcessId, MemberInfo::kMethod, {L"ProcessId"}},
    {L"GetMonitorReport",
     kGetMonitorReport,
     MemberInfo::kMethod,
     {L"MonitorNum", L"Reason", L"Detail"}},
    {L"WatchScreenSaverCaller", kWatchScreenSaverCaller, MemberInfo::kMethod, {L"ProcessId"}},
};

std::wstring JournalPath() {
    std::wstring path =
        RegistryString(HKEY_CURRENT_USER, L"Software\\KestovaTest\\Standin", L"Journal")
            .value_or(L"");
    return path.empty() ? kDefaultJournalPath : path;
}

DWORD Knob(const wchar_t* name, DWORD fallback) {
    return RegistryDword(HKEY_CURRENT_USER, kKnobKey, name).value_or(fallback);
}

std::wstring ObjectText(IUnknown* object) {
    return object ? L"VT_DISPATCH:object" : L"VT_DISPATCH:null";
}

std::wstring CustomText(SAFEARRAY** custom) {
    VARIANT v;
    v.vt = VT_ARRAY | VT_VARIANT | VT_BYREF;
    v.pparray = custom;
    return custom ? VariantText(v) : L"VT_ARRAY|VT_VARIANT|BYREF:null";
}

// Every argument must convert to the parameter's type, as the type library's dispatch would check.
HRESULT CheckInt(Arguments& args, size_t index) {
    int32_t value = 0;
    return args.At(index) ? ReadInt(args.At(index), value) : DISP_E_PARAMNOTFOUND;
}

} // namespace

RecordingAddin::RecordingAddin()
    : journal_(JournalPath()),
      core_(DispatchContext{&journal_, &faults_, kProgId}, L"Addin", kMembers) {
    ++g_liveObjects;
}

RecordingAddin::~RecordingAddin() {
    --g_liveObjects;
}

LONG RecordingAddin::LiveObjects() noexcept {
    return g_liveObjects.load();
}

STDMETHODIMP RecordingAddin::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IDTExtensibility2)) {
        *out = static_cast<IDTExtensibility2*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) RecordingAddin::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&references_));
}

STDMETHODIMP_(ULONG) RecordingAddin::Release() {
    LONG left = ::InterlockedDecrement(&references_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP RecordingAddin::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP RecordingAddin::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info)
        *info = nullptr;
    return DISP_E_BADINDEX;
}

void RecordingAddin::ReadKnobs() noexcept {
    try {
        faults_ = ReadFaultPlan(kKnobKey);
    } catch (...) {
    }
}

STDMETHODIMP RecordingAddin::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    ReadKnobs();
    return core_.GetIDsOfNames(*this, names, count, ids);
}

STDMETHODIMP RecordingAddin::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                    VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    // Knobs are read afresh at every call so a test can change the answers during a run.
    ReadKnobs();
    return core_.Invoke(*this, id, flags, params, result, exception, argError);
}

HRESULT RecordingAddin::Call(const MemberInfo& member, bool isPut, Arguments& args, VARIANT* result,
                             CallOutcome&) {
    switch (member.id) {
    case kPPTApp:
        if (isPut)
            return ReadObject(args.PutValue(), application_);
        SetObject(result, application_.Get());
        return S_OK;
    case kIsCOMAddInInitialized:
        SetBool(result, Knob(L"Initialized", 1) != 0);
        return S_OK;
    case kInitializeScreenSaverSession:
        return CheckInt(args, 0);
    case kAddScreenSaver: {
        std::wstring name;
        HRESULT hr = CheckInt(args, 0);
        if (SUCCEEDED(hr))
            hr = args.At(1) ? ReadString(args.At(1), name) : DISP_E_PARAMNOTFOUND;
        if (SUCCEEDED(hr))
            hr = CheckInt(args, 2);
        return hr;
    }
    case kPrepareScreenSaver:
        return SetString(result, L"");
    case kBeginScreenSaver:
    case kEndScreenSaver:
    case kExitScreenSaverSession:
        return S_OK;
    case kShouldEndScreenSaver: {
        ++shouldEndCalls_;
        DWORD after = Knob(L"ShouldEndAfter", 0);
        SetBool(result, after != 0 && shouldEndCalls_ >= after);
        return S_OK;
    }
    case kWatchScreenSaverCaller:
        return CheckInt(args, 0);
    case kGetMonitorReport: // every show placed
        SetBool(result, true);
        return CheckInt(args, 0);
    case kGetProcessId: {
        if (!args.At(0))
            return DISP_E_PARAMNOTFOUND;
        HRESULT hr = WriteInt(args.At(0), static_cast<int32_t>(::GetCurrentProcessId()));
        return FAILED(hr) ? hr : S_OK;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

bool RecordingAddin::Offers(const MemberInfo& member) const {
    return member.id != kGetMonitorReport || Knob(L"MonitorReport", 0) != 0;
}

ConnectionFault RecordingAddin::Fault() const noexcept {
    try {
        return static_cast<ConnectionFault>(Knob(L"FailConnection", 0));
    } catch (...) {
        return ConnectionFault::kNone;
    }
}

void RecordingAddin::JournalHandler(const wchar_t* handler, const std::wstring& args,
                                    const std::wstring& result) noexcept {
    try {
        journal_.Write({L"call", std::wstring(L"Addin.") + handler, L"VTABLE", args, result,
                        std::to_wstring(::GetTickCount())});
    } catch (...) {
    }
}

// The connection handlers below deliberately let a C++ exception escape when a test asks for it
// (FailConnection 2 and 4): that is the host behaviour under test. Nothing else may throw here.
STDMETHODIMP RecordingAddin::OnConnection(IDispatch* application, ext_ConnectMode mode,
                                          IDispatch* addInInst, SAFEARRAY** custom) {
    std::wstring args = ObjectText(application) + L";VT_I4:" +
                        std::to_wstring(static_cast<int>(mode)) + L";" + ObjectText(addInInst) +
                        L";" + CustomText(custom);
    ConnectionFault fault = Fault();
    if (fault == ConnectionFault::kConnectionThrows) {
        JournalHandler(L"OnConnection", args, L"throw");
        throw std::runtime_error("RecordingAddin: OnConnection fails on request");
    }
    if (fault == ConnectionFault::kConnectionFails) {
        JournalHandler(L"OnConnection", args, L"error:" + HexCode(static_cast<uint32_t>(E_FAIL)));
        return E_FAIL;
    }
    return ComBoundary([&]() -> HRESULT {
        application_ = application;
        addInInst_ = addInInst;
        HRESULT hr = S_OK;
        if (addInInst_) {
            VARIANT self;
            self.vt = VT_DISPATCH;
            self.pdispVal = static_cast<IDTExtensibility2*>(this);
            hr = kestova::win::InvokeByName(addInInst_.Get(), L"Object", DISPATCH_PROPERTYPUT,
                                            std::span<VARIANT>(&self, 1), nullptr);
        }
        JournalHandler(L"OnConnection", args,
                       SUCCEEDED(hr) ? L"VT_EMPTY"
                                     : L"object-not-set:" + HexCode(static_cast<uint32_t>(hr)));
        return S_OK;
    });
}

STDMETHODIMP RecordingAddin::OnDisconnection(ext_DisconnectMode mode, SAFEARRAY** custom) {
    return ComBoundary([&]() -> HRESULT {
        JournalHandler(L"OnDisconnection",
                       L"VT_I4:" + std::to_wstring(static_cast<int>(mode)) + L";" +
                           CustomText(custom),
                       L"VT_EMPTY");
        // Nothing of the host is kept past disconnection: its reference balance must come out even.
        application_.Reset();
        addInInst_.Reset();
        return S_OK;
    });
}

STDMETHODIMP RecordingAddin::OnAddInsUpdate(SAFEARRAY** custom) {
    return ComBoundary([&]() -> HRESULT {
        JournalHandler(L"OnAddInsUpdate", CustomText(custom), L"VT_EMPTY");
        return S_OK;
    });
}

STDMETHODIMP RecordingAddin::OnStartupComplete(SAFEARRAY** custom) {
    ConnectionFault fault = Fault();
    if (fault == ConnectionFault::kStartupThrows) {
        JournalHandler(L"OnStartupComplete", CustomText(custom), L"throw");
        throw std::runtime_error("RecordingAddin: OnStartupComplete fails on request");
    }
    return ComBoundary([&]() -> HRESULT {
        bool fails = fault == ConnectionFault::kStartupFails;
        JournalHandler(L"OnStartupComplete", CustomText(custom),
                       fails ? L"error:" + HexCode(static_cast<uint32_t>(E_FAIL)) : L"VT_EMPTY");
        return fails ? E_FAIL : S_OK;
    });
}

STDMETHODIMP RecordingAddin::OnBeginShutdown(SAFEARRAY** custom) {
    return ComBoundary([&]() -> HRESULT {
        JournalHandler(L"OnBeginShutdown", CustomText(custom), L"VT_EMPTY");
        return S_OK;
    });
}

} // namespace kestova::standin::recording
