#include "screensaver/win/powerpoint_host.h"

#include "common/win/start_trace.h"
#include "common/win/unique_handle.h"
#include "screensaver/win/dispatch_object.h"
#include "screensaver/win/host_calls.h"

#include <oleauto.h>

namespace kestova::win {

AutomationRef PowerPointHost::Attach() noexcept {
    try {
        StartTraceMark("attach");
        CLSID clsid{};
        if (FAILED(::CLSIDFromProgID(kPowerPointProgId, &clsid)))
            return {};
        StartTraceMark("class found");
        // Reaching a running host is a call into it too (a hung one keeps it waiting).
        HostCallScope out(nullptr, L"GetActiveObject");
        ComPtr<IUnknown> running;
        if (FAILED(::GetActiveObject(clsid, nullptr, &running)) || !running)
            return {};
        StartTraceMark("host reached");
        ComPtr<IDispatch> application;
        if (FAILED(running.As(&application)))
            return {};
        return WrapDispatch(std::move(application));
    } catch (...) {
        return {};
    }
}

AutomationRef PowerPointHost::Start() noexcept {
    try {
        CLSID clsid{};
        if (FAILED(::CLSIDFromProgID(kPowerPointProgId, &clsid)))
            return {};
        HostCallScope out(nullptr, L"CoCreateInstance");
        ComPtr<IDispatch> application;
        if (FAILED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                      IID_PPV_ARGS(&application))))
            return {};
        return WrapDispatch(std::move(application));
    } catch (...) {
        return {};
    }
}

} // namespace kestova::win
