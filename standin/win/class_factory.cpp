#include "standin/win/class_factory.h"

#include "standin/win/application.h"
#include "standin/win/host.h"

namespace kestova::standin::win {

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    Application* app = host_.App();
    if (!app)
        return CO_E_SERVER_STOPPING;
    return app->QueryInterface(iid, out);
}

} // namespace kestova::standin::win
