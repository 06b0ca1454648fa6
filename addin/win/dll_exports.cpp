// The exports of a self-registering in-process COM server. Their failures are reported: an
// installer and COM itself act on them. Nothing thrown inside leaves them.
#include "addin/win/class_factory.h"
#include "addin/win/com_boundary.h"
#include "addin/win/host_class.h"
#include "addin/win/module_lock.h"
#include "addin/win/powerpoint_addin.h"
#include "addin/win/registration.h"

#include <cwchar>

using namespace kestova::addin::win;

extern "C" {

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    return Trapped(
        [&] {
            if (!object)
                return E_POINTER;
            *object = nullptr;
            if (clsid == CLSID_PowerPointAddin)
                return GetClassFactory(&kestova::addin::win::PowerPointAddin::CreateInstance, iid,
                                       object);
            if (clsid == CLSID_HostClass)
                return GetClassFactory(&kestova::addin::win::HostClass::CreateInstance, iid,
                                       object);
            return CLASS_E_CLASSNOTAVAILABLE;
        },
        E_UNEXPECTED);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return CanUnloadNow() ? S_OK : S_FALSE;
}

HRESULT STDAPICALLTYPE DllRegisterServer() {
    return Trapped([] { return RegisterServer(RegistrationScope::Machine); }, E_UNEXPECTED);
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return Trapped([] { return UnregisterServer(RegistrationScope::Machine); }, E_UNEXPECTED);
}

// regsvr32 /n /i:user [/u]: the per-user registration, for users without admin rights.
HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR commandLine) {
    return Trapped(
        [&] {
            RegistrationScope scope = RegistrationScope::Machine;
            if (commandLine && *commandLine) {
                if (_wcsicmp(commandLine, L"user") != 0)
                    return E_INVALIDARG;
                scope = RegistrationScope::User;
            }
            return install ? RegisterServer(scope) : UnregisterServer(scope);
        },
        E_UNEXPECTED);
}

} // extern "C"
