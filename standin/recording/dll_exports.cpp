// RecordingAddin.dll: the self-registering in-process server of KestovaTest.RecordingAddin.
#include "standin/recording/recording_addin.h"

#include "standin/win/com_boundary.h"
#include "standin/win/module_path.h"
#include "standin/win/registry_values.h"

#include <olectl.h>

#include <atomic>
#include <string>

namespace {

using namespace kestova::standin;
using kestova::standin::win::ComBoundary;

HMODULE g_module = nullptr;
std::atomic<LONG> g_locks{0};

class Factory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    // One static factory per DLL; its life is the DLL's.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        return ComBoundary([&]() -> HRESULT {
            if (!out)
                return E_POINTER;
            *out = nullptr;
            if (outer)
                return CLASS_E_NOAGGREGATION;
            auto* addin = new recording::RecordingAddin();
            HRESULT hr = addin->QueryInterface(iid, out);
            addin->Release();
            return hr;
        });
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            ++g_locks;
        else
            --g_locks;
        return S_OK;
    }
};

Factory g_factory;

const std::wstring kClasses = L"Software\\Classes\\";

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return ComBoundary([&]() -> HRESULT {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (clsid != recording::kClsid)
            return CLASS_E_CLASSNOTAVAILABLE;
        return g_factory.QueryInterface(iid, out);
    });
}

STDAPI DllCanUnloadNow() {
    return recording::RecordingAddin::LiveObjects() == 0 && g_locks.load() == 0 ? S_OK : S_FALSE;
}

// Machine-wide, as the test prefixes need it (Wine ignores per-user class registrations).
STDAPI DllRegisterServer() {
    return ComBoundary([&]() -> HRESULT {
        std::wstring path = win::ModulePath(g_module);
        if (path.empty())
            return SELFREG_E_CLASS;
        std::wstring clsidKey = kClasses + L"CLSID\\" + recording::kClsidText;
        bool ok = win::SetRegistryString(HKEY_LOCAL_MACHINE, clsidKey, nullptr,
                                         L"Kestova test recording add-in");
        ok &= win::SetRegistryString(HKEY_LOCAL_MACHINE, clsidKey + L"\\InprocServer32", nullptr,
                                     path);
        ok &= win::SetRegistryString(HKEY_LOCAL_MACHINE, clsidKey + L"\\InprocServer32",
                                     L"ThreadingModel", L"Apartment");
        ok &= win::SetRegistryString(HKEY_LOCAL_MACHINE, clsidKey + L"\\ProgID", nullptr,
                                     recording::kProgId);
        ok &= win::SetRegistryString(HKEY_LOCAL_MACHINE, kClasses + recording::kProgId + L"\\CLSID",
                                     nullptr, recording::kClsidText);
        return ok ? S_OK : SELFREG_E_CLASS;
    });
}

STDAPI DllUnregisterServer() {
    return ComBoundary([&]() -> HRESULT {
        for (const std::wstring& key :
             {kClasses + L"CLSID\\" + recording::kClsidText, kClasses + recording::kProgId})
            ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
        return S_OK;
    });
}

} // extern "C"
