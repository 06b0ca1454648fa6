#pragma once

// Helpers of the add-in's Windows-side tests: the built binaries' folder, running a program to
// its end, registry snapshots, and a scriptable in-process IDispatch standing in for host objects.
#include "common/win/unique_handle.h"

#include <windows.h>
#include <oleauto.h>
#include <ocidl.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kestova::addin::testing {

using kestova::win::ComPtr;

// bin/ of the build: the test program and the DLLs live there.
inline std::wstring BinFolder() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

// An export of a loaded DLL as a typed function pointer; null when missing.
template <typename Function> Function Export(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// Runs `commandLine` and waits for it; the exit code, or -1 when it could not start.
inline long RunProcess(std::wstring commandLine, DWORD timeoutMs = 60000) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return -1;
    kestova::win::UniqueHandle processHandle(process.hProcess);
    kestova::win::UniqueHandle threadHandle(process.hThread);
    if (::WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    return static_cast<long>(code);
}

inline std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(::towlower(c));
    return text;
}

// Every key and value under a key: "path" for a key, "path|name" for a value (lower case: the
// registry ignores case), with its data as text ("sz:...", "dword:...").
using RegistrySnapshot = std::map<std::wstring, std::wstring>;

inline void SnapshotInto(HKEY key, const std::wstring& path, RegistrySnapshot& out, int depth) {
    out[Lower(path)] = L"";
    for (DWORD i = 0;; ++i) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        DWORD type = 0;
        std::vector<BYTE> data(65536);
        DWORD dataLength = static_cast<DWORD>(data.size());
        if (::RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &dataLength) !=
            ERROR_SUCCESS)
            break;
        std::wstring text;
        if (type == REG_SZ || type == REG_EXPAND_SZ)
            text = L"sz:" + std::wstring(reinterpret_cast<wchar_t*>(data.data()),
                                         wcsnlen(reinterpret_cast<wchar_t*>(data.data()),
                                                 dataLength / sizeof(wchar_t)));
        else if (type == REG_DWORD)
            text = L"dword:" + std::to_wstring(*reinterpret_cast<DWORD*>(data.data()));
        else
            text = L"type" + std::to_wstring(type) + L":" + std::to_wstring(dataLength);
        out[Lower(path + L"|" + name)] = text;
    }
    if (depth == 0)
        return;
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (::RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subkeys.emplace_back(name, nameLength);
    }
    for (const auto& subkey : subkeys) {
        kestova::win::UniqueHkey child;
        if (::RegOpenKeyExW(key, subkey.c_str(), 0, KEY_READ, child.put()) == ERROR_SUCCESS)
            SnapshotInto(child.get(), path + L"\\" + subkey, out, depth - 1);
    }
}

// `depth` levels of subkeys below `path` (-1: all of them).
inline RegistrySnapshot Snapshot(HKEY root, const std::wstring& path, int depth = -1) {
    RegistrySnapshot out;
    kestova::win::UniqueHkey key;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS)
        SnapshotInto(key.get(), path, out, depth);
    return out;
}

// Entries of `after` that are not in `before` or differ there.
inline RegistrySnapshot Added(const RegistrySnapshot& before, const RegistrySnapshot& after) {
    RegistrySnapshot added;
    for (const auto& [name, value] : after) {
        auto it = before.find(name);
        if (it == before.end() || it->second != value)
            added[name] = value;
    }
    return added;
}

// A host object for in-process tests: members by name, each a function of the (natural-order)
// arguments. Counts its references and the calls it receives.
class FakeDispatch : public IDispatch {
public:
    using Member = std::function<HRESULT(WORD flags, std::vector<VARIANT>& args, VARIANT* result)>;

    std::map<std::wstring, Member> members;
    std::vector<std::wstring> calls;
    std::atomic<long> refs{1};
    IConnectionPointContainer* container = nullptr; // answered for QueryInterface when set

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        if (iid == IID_IConnectionPointContainer && container) {
            return container->QueryInterface(iid, object);
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                            DISPID* ids) override {
        DISPID id = 1;
        for (const auto& [name, member] : members) {
            if (_wcsicmp(name.c_str(), names[0]) == 0) {
                *ids = id;
                return S_OK;
            }
            ++id;
        }
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        DISPID n = 1;
        for (auto& [name, member] : members) {
            if (n++ != id)
                continue;
            calls.push_back(name);
            std::vector<VARIANT> args(params->rgvarg, params->rgvarg + params->cArgs);
            std::reverse(args.begin(), args.end());
            return member(flags, args, result);
        }
        return DISP_E_MEMBERNOTFOUND;
    }
};

inline HRESULT ReturnString(VARIANT* result, const wchar_t* text) {
    if (result) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = ::SysAllocString(text);
    }
    return S_OK;
}

inline HRESULT ReturnObject(VARIANT* result, IUnknown* object, VARTYPE type = VT_DISPATCH) {
    if (result) {
        object->AddRef();
        V_VT(result) = type;
        V_UNKNOWN(result) = object;
    }
    return S_OK;
}

} // namespace kestova::addin::testing
