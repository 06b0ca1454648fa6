#include "standin/win/addin_loader.h"

#include "standin/journal_text.h"
#include "standin/win/application.h"
#include "standin/win/host.h"
#include "standin/win/powerpoint_ids.h"
#include "standin/win/registry_values.h"

namespace kestova::standin::win {

using kestova::win::ComPtr;
using kestova::win::UniqueSafeArray;

namespace {

// The `custom` argument of every IDTExtensibility2 call: an empty array of variants.
class EmptyCustom {
public:
    EmptyCustom() noexcept
        : array_(::SafeArrayCreateVector(VT_VARIANT, 0, 0)), raw_(array_.get()) {}
    SAFEARRAY** get() noexcept { return &raw_; }

private:
    UniqueSafeArray array_;
    SAFEARRAY* raw_;
};

std::wstring AddinKey(const std::wstring& progId) {
    return std::wstring(kOfficeAddinsKey) + L"\\" + progId;
}

} // namespace

template <typename Handler>
HRESULT AddinLoader::CallHandler(ComAddIn& entry, const wchar_t* stage,
                                 Handler&& handler) noexcept {
    HRESULT hr = E_UNEXPECTED;
    std::wstring outcome;
    try {
        hr = handler();
        outcome = HexCode(static_cast<uint32_t>(hr));
    } catch (...) {
        // An add-in whose exception reached the host: treated like a failure, never fatal.
        hr = E_UNEXPECTED;
        outcome = L"exception";
    }
    try {
        host_.JournalOut().Write({L"addin", entry.ProgId(), stage, outcome});
    } catch (...) {
    }
    return hr;
}

void AddinLoader::Disable(ComAddIn& entry) noexcept {
    // Drop first, then mark: the add-in must not stay half-connected.
    ComPtr<IDTExtensibility2> dropped = entry.Detach();
    dropped.Reset();
    try {
        SetRegistryDword(HKEY_CURRENT_USER, AddinKey(entry.ProgId()), L"LoadBehavior", 2);
        host_.JournalOut().Write({L"addin", entry.ProgId(), L"disabled", L"LoadBehavior=2"});
    } catch (...) {
    }
}

void AddinLoader::LoadAtStartup() {
    auto& entries = host_.AddInEntries();
    // The user's add-ins, then the machine's (every user's; a 32-bit host reads the 32-bit
    // view) that the user's list does not name already.
    std::vector<std::wstring> listed;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (const std::wstring& progId : RegistrySubkeys(root, kOfficeAddinsKey)) {
            bool known = false;
            for (const std::wstring& seen : listed)
                known = known || ::CompareStringOrdinal(seen.c_str(), -1, progId.c_str(), -1,
                                                        TRUE) == CSTR_EQUAL;
            if (known)
                continue;
            listed.push_back(progId);
            std::wstring key = AddinKey(progId);
            std::wstring description = RegistryString(root, key, L"FriendlyName").value_or(progId);
            DWORD behavior = RegistryDword(root, key, L"LoadBehavior").value_or(0);
            entries.push_back(MakeHeld<ComAddIn>(host_, progId, description, behavior));
        }
    }
    // Copies of the holds: a handler may switch another add-in on or off meanwhile.
    std::vector<Held<ComAddIn>> toLoad;
    for (auto& entry : entries)
        if (entry->LoadBehavior() == 3)
            toLoad.push_back(entry);
    for (auto& entry : toLoad)
        (void)Connect(*entry, ext_cm_Startup);
    for (auto& entry : toLoad) {
        IDTExtensibility2* instance = entry->Instance();
        if (!instance)
            continue;
        ComPtr<IDTExtensibility2> keep(instance);
        EmptyCustom custom;
        HRESULT hr = CallHandler(*entry, L"OnStartupComplete",
                                 [&] { return keep->OnStartupComplete(custom.get()); });
        if (FAILED(hr))
            Disable(*entry);
    }
}

HRESULT AddinLoader::Connect(ComAddIn& entry, ext_ConnectMode mode) noexcept {
    if (entry.Connected())
        return S_OK;
    ComPtr<IDTExtensibility2> instance;
    HRESULT hr = CallHandler(entry, L"create", [&] {
        CLSID clsid{};
        HRESULT created = ::CLSIDFromProgID(entry.ProgId().c_str(), &clsid);
        if (SUCCEEDED(created))
            created = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                                         __uuidof(IDTExtensibility2),
                                         reinterpret_cast<void**>(instance.GetAddressOf()));
        return created;
    });
    if (FAILED(hr) || !instance) {
        Disable(entry);
        return FAILED(hr) ? hr : E_NOINTERFACE;
    }
    // Attached before the call: the add-in assigns its Object during OnConnection.
    entry.Attach(instance);
    EmptyCustom custom;
    Application* app = host_.App();
    hr = CallHandler(entry, L"OnConnection", [&] {
        return instance->OnConnection(static_cast<IDispatch*>(app), mode,
                                      static_cast<IDispatch*>(&entry), custom.get());
    });
    if (FAILED(hr)) {
        Disable(entry);
        return hr;
    }
    return S_OK;
}

HRESULT AddinLoader::Disconnect(ComAddIn& entry, ext_DisconnectMode mode) noexcept {
    IDTExtensibility2* raw = entry.Instance();
    if (!raw)
        return S_OK;
    ComPtr<IDTExtensibility2> instance(raw);
    EmptyCustom custom;
    HRESULT hr = CallHandler(entry, L"OnDisconnection",
                             [&] { return instance->OnDisconnection(mode, custom.get()); });
    entry.Detach();
    return hr;
}

void AddinLoader::ShutdownAll() noexcept {
    try {
        std::vector<Held<ComAddIn>> connected;
        for (auto& entry : host_.AddInEntries())
            if (entry->Connected())
                connected.push_back(entry);
        for (auto& entry : connected) {
            IDTExtensibility2* raw = entry->Instance();
            if (!raw)
                continue;
            ComPtr<IDTExtensibility2> instance(raw);
            EmptyCustom custom;
            (void)CallHandler(*entry, L"OnBeginShutdown",
                              [&] { return instance->OnBeginShutdown(custom.get()); });
        }
        for (auto& entry : connected)
            (void)Disconnect(*entry, ext_dm_HostShutdown);
    } catch (...) {
    }
}

} // namespace kestova::standin::win
