#include "addin/win/powerpoint_addin.h"

#include "addin/win/addin_module.h"
#include "addin/win/adopt.h"
#include "addin/win/com_boundary.h"
#include "addin/win/dispatch_object.h"

#include <new>
#include <string>

namespace kestova::addin::win {

PowerPointAddin::~PowerPointAddin() {
    PPTApp_.Reset();
    AddInInst_.Reset();
}

HRESULT PowerPointAddin::CreateInstance(REFIID iid, void** object) noexcept {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    ComPtr<PowerPointAddin> instance = Adopt(new (std::nothrow) PowerPointAddin());
    if (!instance)
        return E_OUTOFMEMORY;
    return instance->QueryInterface(iid, object);
}

void* PowerPointAddin::InterfaceFor(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__PowerPointAddin)
        return static_cast<_PowerPointAddin*>(this);
    if (iid == IID_IDTExtensibility2)
        return static_cast<IDTExtensibility2*>(this);
    return nullptr;
}

HRESULT PowerPointAddin::get_PPTApp(IDispatch** application) {
    return Trapped([&] {
        if (application)
            PPTApp_.CopyTo(application);
        return S_OK;
    });
}

HRESULT PowerPointAddin::putref_PPTApp(IDispatch* application) {
    return Trapped([&] {
        PPTApp_ = application;
        return S_OK;
    });
}

HRESULT PowerPointAddin::IsCOMAddInInitialized(VARIANT_BOOL* result) {
    return Trapped([&] {
        if (result)
            *result = Initialized_ ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT PowerPointAddin::InitializeScreenSaverSession(LONG count) {
    return Trapped([&] {
        TheMainModule().InitializeScreenSaverSession(count);
        return S_OK;
    });
}

HRESULT PowerPointAddin::AddScreenSaver(LONG index, BSTR presName, LONG monitorNum) {
    return Trapped([&] {
        std::wstring name(presName ? presName : L"", ::SysStringLen(presName));
        TheMainModule().AddScreenSaver(index, name, monitorNum);
        return S_OK;
    });
}

HRESULT PowerPointAddin::PrepareScreenSaver(BSTR* result) {
    return Trapped([&] {
        std::wstring failed = TheMainModule().PrepareScreenSaver();
        if (result)
            *result = ::SysAllocStringLen(failed.data(), static_cast<UINT>(failed.size()));
        return S_OK;
    });
}

HRESULT PowerPointAddin::BeginScreenSaver() {
    return Trapped([&] {
        TheMainModule().BeginScreenSaver();
        return S_OK;
    });
}

HRESULT PowerPointAddin::EndScreenSaver() {
    return Trapped([&] {
        TheMainModule().EndScreenSaver();
        return S_OK;
    });
}

HRESULT PowerPointAddin::ExitScreenSaverSession() {
    return Trapped([&] {
        TheMainModule().ExitScreenSaverSession();
        return S_OK;
    });
}

HRESULT PowerPointAddin::ShouldEndScreenSaver(VARIANT_BOOL* result) {
    return Trapped([&] {
        if (result)
            *result = TheMainModule().ShouldEndScreenSaver() ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT PowerPointAddin::GetProcessId(LONG* processId) {
    return Trapped([&] {
        if (processId)
            *processId = static_cast<LONG>(::GetCurrentProcessId());
        return S_OK;
    });
}

HRESULT PowerPointAddin::GetMonitorReport(LONG monitorNum, BSTR* reason, BSTR* detail,
                                          VARIANT_BOOL* result) {
    return Trapped([&] {
        std::wstring reasonText, detailText;
        const bool placed = TheMainModule().GetMonitorReport(monitorNum, reasonText, detailText);
        // In and out: whatever the caller passed in is replaced.
        auto hand = [](BSTR* out, const std::wstring& text) {
            if (!out)
                return;
            BSTR copy = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            ::SysFreeString(*out);
            *out = copy;
        };
        hand(reason, reasonText);
        hand(detail, detailText);
        if (result)
            *result = placed ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT PowerPointAddin::WatchScreenSaverCaller(LONG processId) {
    return Trapped([&] {
        TheMainModule().WatchScreenSaverCaller(processId);
        return S_OK;
    });
}

HRESULT PowerPointAddin::OnConnection(IDispatch* application, ext_ConnectMode connectMode,
                                      IDispatch* addInInst, SAFEARRAY** custom) {
    return Trapped([&] {
        PPTApp_.Reset();
        if (application)
            application->QueryInterface(IID_PPV_ARGS(&PPTApp_));
        AddInInst_ = addInInst;
        // From now on the host gives this object to whoever asks for the add-in's Object.
        VARIANT self;
        ::VariantInit(&self);
        V_VT(&self) = VT_DISPATCH;
        V_DISPATCH(&self) = static_cast<_PowerPointAddin*>(this);
        (void)Call(AddInInst_.Get(), L"Object", DISPATCH_PROPERTYPUT, nullptr, {self});
        // At start-up the host reports completion itself; switched on later, check now.
        if (connectMode != ext_cm_Startup)
            OnStartupComplete(custom);
        return S_OK;
    });
}

HRESULT PowerPointAddin::OnStartupComplete(SAFEARRAY**) {
    return Trapped([&] {
        Initialized_ = TheMainModule().CheckHostVersion(WrapDispatch(PPTApp_.Get()));
        return S_OK;
    });
}

HRESULT PowerPointAddin::OnBeginShutdown(SAFEARRAY**) {
    return Trapped([&] {
        TheMainModule().ReleaseSessionAtShutdown();
        return S_OK;
    });
}

HRESULT PowerPointAddin::OnDisconnection(ext_DisconnectMode removeMode, SAFEARRAY** custom) {
    return Trapped([&] {
        // Removed by the user: the host does not send its shutdown notice, so run it here.
        if (removeMode != ext_dm_HostShutdown)
            OnBeginShutdown(custom);
        PPTApp_.Reset();
        return S_OK;
    });
}

HRESULT PowerPointAddin::OnAddInsUpdate(SAFEARRAY**) {
    return S_OK;
}

} // namespace kestova::addin::win
