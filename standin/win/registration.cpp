#include "standin/win/registration.h"

#include "standin/win/module_path.h"
#include "standin/win/powerpoint_ids.h"
#include "standin/win/registry_values.h"

#include <string>

namespace kestova::standin::win {
namespace {

const std::wstring kClasses = L"Software\\Classes\\";

} // namespace

bool RegisterServer() {
    std::wstring exe = ModulePath(nullptr);
    if (exe.empty())
        return false;
    std::wstring clsidKey = kClasses + L"CLSID\\" + kApplicationClsidText;
    bool ok = SetRegistryString(HKEY_LOCAL_MACHINE, clsidKey, nullptr,
                                L"Microsoft PowerPoint Application (Kestova test stand-in)");
    ok &= SetRegistryString(HKEY_LOCAL_MACHINE, clsidKey + L"\\LocalServer32", nullptr,
                            L"\"" + exe + L"\"");
    ok &= SetRegistryString(HKEY_LOCAL_MACHINE, clsidKey + L"\\ProgID", nullptr,
                            kApplicationVersionedProgId);
    ok &= SetRegistryString(HKEY_LOCAL_MACHINE, clsidKey + L"\\VersionIndependentProgID", nullptr,
                            kApplicationProgId);
    for (const wchar_t* progId : {kApplicationProgId, kApplicationVersionedProgId}) {
        std::wstring progKey = kClasses + progId;
        ok &= SetRegistryString(HKEY_LOCAL_MACHINE, progKey, nullptr,
                                L"Microsoft PowerPoint Application");
        ok &= SetRegistryString(HKEY_LOCAL_MACHINE, progKey + L"\\CLSID", nullptr,
                                kApplicationClsidText);
    }
    ok &= SetRegistryString(HKEY_LOCAL_MACHINE, kClasses + kApplicationProgId + L"\\CurVer",
                            nullptr, kApplicationVersionedProgId);
    return ok;
}

void UnregisterServer() {
    for (const std::wstring& key :
         {kClasses + L"CLSID\\" + kApplicationClsidText, kClasses + kApplicationProgId,
          kClasses + kApplicationVersionedProgId})
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
}

} // namespace kestova::standin::win
