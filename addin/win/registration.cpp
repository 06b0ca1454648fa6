#include "addin/win/registration.h"

#include "addin/win/own_module.h"
#include "common/product.h"
#include "common/win/unique_handle.h"
#include "paxendo_h.h"

#include <oleauto.h>

#include <algorithm>
#include <string>
#include <vector>

#ifdef __MINGW32__
// In oleaut32's import library but missing from MinGW-w64's oleauto.h.
extern "C" {
WINOLEAUTAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* fullPath, OLECHAR* helpDir);
WINOLEAUTAPI UnRegisterTypeLibForUser(REFGUID libraryId, WORD majorVersion, WORD minorVersion,
                                      LCID lcid, SYSKIND syskind);
}
#endif

namespace kestova::addin::win {

namespace {

using kestova::win::ComPtr;
using kestova::win::UniqueHkey;

constexpr wchar_t kOfficeAddinsPath[] = L"Software\\Microsoft\\Office\\PowerPoint\\Addins";
constexpr wchar_t kAddinProgId[] = L"Paxendo.PowerPointAddin";
constexpr wchar_t kDescription[] =
    L"Show PowerPoint presentation as screen saver. Show multiple presentations on different "
    L"monitors as screen savers.";

struct ClassRecord {
    const CLSID& clsid;
    const wchar_t* progId;
};

const ClassRecord kClasses[] = {{CLSID_PowerPointAddin, kAddinProgId},
                                {CLSID_HostClass, L"Paxendo.HostClass"}};

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    ::StringFromGUID2(guid, text, 40);
    return text;
}

HKEY ScopeRoot(RegistrationScope scope) {
    return scope == RegistrationScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

LSTATUS SetString(HKEY root, const std::wstring& path, const wchar_t* name,
                  const std::wstring& value) {
    UniqueHkey key;
    LSTATUS status = ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    return ::RegSetValueExW(key.get(), name, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LSTATUS SetDword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value) {
    UniqueHkey key;
    LSTATUS status = ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       KEY_SET_VALUE, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    return ::RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                            sizeof value);
}

LSTATUS DeleteTree(HKEY root, const std::wstring& path) {
    LSTATUS status = ::RegDeleteTreeW(root, path.c_str());
    if (status == ERROR_SUCCESS)
        status = ::RegDeleteKeyW(root, path.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// Deletes `path` if it holds neither subkeys nor values.
void DeleteIfEmpty(HKEY root, const std::wstring& path) {
    UniqueHkey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return;
    DWORD subkeys = 0;
    DWORD values = 0;
    if (::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                           &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        subkeys != 0 || values != 0)
        return;
    key.reset();
    ::RegDeleteKeyW(root, path.c_str());
}

LSTATUS RegisterClasses(RegistrationScope scope, const std::wstring& dllPath) {
    HKEY root = ScopeRoot(scope);
    const std::wstring libid = GuidText(LIBID_Paxendo);
    for (const ClassRecord& record : kClasses) {
        const std::wstring clsidKey = L"Software\\Classes\\CLSID\\" + GuidText(record.clsid);
        const std::wstring progIdKey = std::wstring(L"Software\\Classes\\") + record.progId;
        const std::pair<std::wstring, std::pair<const wchar_t*, std::wstring>> values[] = {
            {clsidKey, {nullptr, record.progId}},
            {clsidKey + L"\\InprocServer32", {nullptr, dllPath}},
            {clsidKey + L"\\InprocServer32", {L"ThreadingModel", L"Apartment"}},
            {clsidKey + L"\\ProgID", {nullptr, record.progId}},
            {clsidKey + L"\\TypeLib", {nullptr, libid}},
            {clsidKey + L"\\VERSION", {nullptr, L"1.0"}},
            {progIdKey, {nullptr, record.progId}},
            {progIdKey + L"\\CLSID", {nullptr, GuidText(record.clsid)}},
        };
        for (const auto& [path, value] : values) {
            LSTATUS status = SetString(root, path, value.first, value.second);
            if (status != ERROR_SUCCESS)
                return status;
        }
    }
    return ERROR_SUCCESS;
}

LSTATUS RegisterOfficeAddin() {
    const std::wstring path = std::wstring(kOfficeAddinsPath) + L"\\" + kAddinProgId;
    LSTATUS status = SetString(HKEY_CURRENT_USER, path, L"FriendlyName", kProductCaption);
    if (status == ERROR_SUCCESS)
        status = SetString(HKEY_CURRENT_USER, path, L"Description", kDescription);
    if (status == ERROR_SUCCESS)
        status = SetDword(HKEY_CURRENT_USER, path, L"LoadBehavior", 3); // load at every start
    return status;
}

HRESULT RegisterTypeLibrary(RegistrationScope scope, const std::wstring& dllPath) {
    ComPtr<ITypeLib> library;
    HRESULT hr = ::LoadTypeLibEx(dllPath.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr))
        return hr;
    auto path = const_cast<LPOLESTR>(dllPath.c_str());
    return scope == RegistrationScope::Machine
               ? ::RegisterTypeLib(library.Get(), path, nullptr)
               : ::RegisterTypeLibForUser(library.Get(), path, nullptr);
}

HRESULT UnregisterTypeLibrary(RegistrationScope scope) {
    // The library's own attributes say what it was registered under (win32 or win64, locale).
    ComPtr<ITypeLib> library;
    const std::wstring dllPath = OwnModulePath();
    SYSKIND syskind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
    LCID lcid = LANG_NEUTRAL;
    if (SUCCEEDED(::LoadTypeLibEx(dllPath.c_str(), REGKIND_NONE, &library))) {
        TLIBATTR* attributes = nullptr;
        if (SUCCEEDED(library->GetLibAttr(&attributes))) {
            syskind = attributes->syskind;
            lcid = attributes->lcid;
            library->ReleaseTLibAttr(attributes);
        }
    }
    HRESULT hr = scope == RegistrationScope::Machine
                     ? ::UnRegisterTypeLib(LIBID_Paxendo, 1, 0, lcid, syskind)
                     : ::UnRegisterTypeLibForUser(LIBID_Paxendo, 1, 0, lcid, syskind);
    // Not registered: nothing to remove.
    if (hr == TYPE_E_REGISTRYACCESS || hr == TYPE_E_CANTLOADLIBRARY ||
        hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        return S_OK;
    return hr;
}

// The add-in's records that exist before a registration.
struct Existing {
    std::vector<std::wstring> classKeys; // of this scope's class keys, those already there
    bool typeLibrary = false;            // registered in any scope (Wine keeps per-user ones
                                         // machine-wide)
    bool officeKey = false;
    std::wstring officeCreated; // the outermost of Office's keys above the add-in's that was
                                // missing ("" when all were there)
};

std::wstring OfficeKeyPath() {
    return std::wstring(kOfficeAddinsPath) + L"\\" + kAddinProgId;
}

std::vector<std::wstring> ClassKeys() {
    std::vector<std::wstring> keys;
    for (const ClassRecord& record : kClasses) {
        keys.push_back(L"Software\\Classes\\CLSID\\" + GuidText(record.clsid));
        keys.push_back(std::wstring(L"Software\\Classes\\") + record.progId);
    }
    return keys;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    UniqueHkey key;
    return ::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

Existing ExistingRecords(RegistrationScope scope) {
    Existing existing;
    for (const std::wstring& path : ClassKeys())
        if (KeyExists(ScopeRoot(scope), path))
            existing.classKeys.push_back(path);
    kestova::win::UniqueBstr path;
    existing.typeLibrary =
        SUCCEEDED(::QueryPathOfRegTypeLib(LIBID_Paxendo, 1, 0, LANG_NEUTRAL, path.put()));
    existing.officeKey = KeyExists(HKEY_CURRENT_USER, OfficeKeyPath());
    // Office's keys above the add-in's, innermost first: the last missing one is the outermost.
    for (std::wstring office = kOfficeAddinsPath; office != L"Software\\Microsoft";
         office.resize(office.rfind(L'\\')))
        if (!KeyExists(HKEY_CURRENT_USER, office))
            existing.officeCreated = office;
    return existing;
}

// Removes the add-in's Office key only: the keys above it are Office's (or a setup's, which
// knows whether it made them), and an unregistration cannot tell who made them.
LSTATUS DeleteOfficeKey() {
    return DeleteTree(HKEY_CURRENT_USER, OfficeKeyPath());
}

// Removes, when empty, Office's keys that a failed registration made.
void DeleteCreatedOfficeKeys(const std::wstring& outermost) {
    if (outermost.empty())
        return;
    for (std::wstring path = kOfficeAddinsPath; path.size() >= outermost.size();
         path.resize(path.rfind(L'\\')))
        DeleteIfEmpty(HKEY_CURRENT_USER, path);
}

// Takes back what a failed registration wrote, and only that.
void RollBack(RegistrationScope scope, const Existing& before) noexcept {
    try {
        const HKEY root = ScopeRoot(scope);
        for (const std::wstring& path : ClassKeys())
            if (std::find(before.classKeys.begin(), before.classKeys.end(), path) ==
                before.classKeys.end())
                (void)DeleteTree(root, path);
        if (!before.typeLibrary)
            (void)UnregisterTypeLibrary(scope);
        DeleteIfEmpty(root, L"Software\\Classes\\CLSID");
        DeleteIfEmpty(root, L"Software\\Classes");
        if (!before.officeKey)
            (void)DeleteOfficeKey();
        DeleteCreatedOfficeKeys(before.officeCreated);
    } catch (...) {
    }
}

} // namespace

HRESULT RegisterServer(RegistrationScope scope) noexcept {
    try {
        const std::wstring dllPath = OwnModulePath();
        if (dllPath.empty())
            return HRESULT_FROM_WIN32(::GetLastError());
        // What is there already belongs to another registration (the other scope's, or an
        // earlier one of this scope): a failure takes back only what this one adds.
        const Existing before = ExistingRecords(scope);
        HRESULT hr = HRESULT_FROM_WIN32(RegisterClasses(scope, dllPath));
        if (SUCCEEDED(hr))
            hr = RegisterTypeLibrary(scope, dllPath);
        if (SUCCEEDED(hr))
            hr = HRESULT_FROM_WIN32(RegisterOfficeAddin());
        if (FAILED(hr))
            RollBack(scope, before);
        return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT UnregisterServer(RegistrationScope scope) noexcept {
    try {
        HKEY root = ScopeRoot(scope);
        LSTATUS status = ERROR_SUCCESS;
        auto keep = [&status](LSTATUS result) {
            if (status == ERROR_SUCCESS)
                status = result;
        };
        for (const ClassRecord& record : kClasses) {
            keep(DeleteTree(root, L"Software\\Classes\\CLSID\\" + GuidText(record.clsid)));
            keep(DeleteTree(root, std::wstring(L"Software\\Classes\\") + record.progId));
        }
        HRESULT typeLibrary = UnregisterTypeLibrary(scope);
        // A user's hive may have had no classes before the per-user registration made the keys.
        DeleteIfEmpty(root, L"Software\\Classes\\CLSID");
        DeleteIfEmpty(root, L"Software\\Classes");
        keep(DeleteOfficeKey());
        if (status != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(status);
        return typeLibrary;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

} // namespace kestova::addin::win
