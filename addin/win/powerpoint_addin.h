#pragma once

// PowerPointAddin: the object the host connects as a COM add-in and hands to the screen saver
// program as the add-in's Object. Its session methods forward to the library's MainModule.
#include "addin/win/com_object.h"
#include "addin/win/dual_dispatch.h"
#include "common/win/unique_handle.h"
#include "extensibility_h.h"
#include "paxendo_h.h"

namespace kestova::addin::win {

using kestova::win::ComPtr;

// One IUnknown serves both interfaces.
class PowerPointAddin final
    : public ComObject<PowerPointAddin,
                       DualDispatch<_PowerPointAddin, DualInterface::PowerPointAddin>,
                       DualDispatch<IDTExtensibility2, DualInterface::Extensibility>> {
public:
    static HRESULT CreateInstance(REFIID iid, void** object) noexcept;

    // _PowerPointAddin
    HRESULT STDMETHODCALLTYPE get_PPTApp(IDispatch** application) override;
    HRESULT STDMETHODCALLTYPE putref_PPTApp(IDispatch* application) override;
    HRESULT STDMETHODCALLTYPE IsCOMAddInInitialized(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE InitializeScreenSaverSession(LONG count) override;
    HRESULT STDMETHODCALLTYPE AddScreenSaver(LONG index, BSTR presName, LONG monitorNum) override;
    HRESULT STDMETHODCALLTYPE PrepareScreenSaver(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE BeginScreenSaver() override;
    HRESULT STDMETHODCALLTYPE EndScreenSaver() override;
    HRESULT STDMETHODCALLTYPE ExitScreenSaverSession() override;
    HRESULT STDMETHODCALLTYPE ShouldEndScreenSaver(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE GetProcessId(LONG* processId) override;
    HRESULT STDMETHODCALLTYPE GetMonitorReport(LONG monitorNum, BSTR* reason, BSTR* detail,
                                               VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE WatchScreenSaverCaller(LONG processId) override;

    // IDTExtensibility2 (the AddinInstance_ handlers)
    HRESULT STDMETHODCALLTYPE OnConnection(IDispatch* application, ext_ConnectMode connectMode,
                                           IDispatch* addInInst, SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnDisconnection(ext_DisconnectMode removeMode,
                                              SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnAddInsUpdate(SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnStartupComplete(SAFEARRAY** custom) override;
    HRESULT STDMETHODCALLTYPE OnBeginShutdown(SAFEARRAY** custom) override;

private:
    friend ComObject;
    PowerPointAddin() = default;
    ~PowerPointAddin();
    void* InterfaceFor(REFIID iid) noexcept;

    ComPtr<IDispatch> PPTApp_;    // the host, from connection to disconnection
    ComPtr<IDispatch> AddInInst_; // the host's entry for this add-in
    bool Initialized_ = false;    // the start-up check passed
};

} // namespace kestova::addin::win
