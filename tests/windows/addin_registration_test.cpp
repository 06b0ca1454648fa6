// Paxendo.dll as an installer and COM see it: regsvr32 writes exactly the records the host and
// COM need and removes exactly those; the class objects keep the library loaded while needed.
#include "addin_test_support.h"

#include <gtest/gtest.h>

#include <set>

using namespace kestova::addin::testing;

namespace {

const wchar_t kAddinClsid[] = L"{0241142B-432C-4C3E-AE2A-22CCF0A6291E}";
const wchar_t kHostClassClsid[] = L"{B6D95708-60AC-460E-9CF6-56007B2AD150}";
const wchar_t kLibid[] = L"{B4918A5C-260E-417E-AC1C-4888A85E7DB4}";
const wchar_t kAddinIid[] = L"{029BDF1C-290D-4D95-8921-4254BEE4661B}";
const wchar_t kHostClassIid[] = L"{41CE25F3-88B7-4076-9B99-8D6DDEAD4621}";
const wchar_t kOfficeKey[] =
    L"Software\\Microsoft\\Office\\PowerPoint\\Addins\\Paxendo.PowerPointAddin";

std::wstring DllPath() {
    return BinFolder() + L"Paxendo.dll";
}

long Regsvr32(const std::wstring& switches) {
    return RunProcess(L"regsvr32.exe /s " + switches + L" \"" + DllPath() + L"\"");
}

// The class records under `classes` (HKLM or HKCU "Software\Classes").
RegistrySnapshot ExpectedClasses(const std::wstring& classes) {
    RegistrySnapshot expected;
    const std::pair<const wchar_t*, const wchar_t*> kClasses[] = {
        {kAddinClsid, L"Paxendo.PowerPointAddin"}, {kHostClassClsid, L"Paxendo.HostClass"}};
    for (const auto& [clsid, progId] : kClasses) {
        const std::wstring key = Lower(classes + L"\\CLSID\\" + clsid);
        const std::wstring sz = L"sz:";
        expected[key] = L"";
        expected[key + L"|"] = sz + progId;
        expected[key + L"\\inprocserver32"] = L"";
        expected[key + L"\\inprocserver32|"] = sz + DllPath();
        expected[key + L"\\inprocserver32|threadingmodel"] = L"sz:Apartment";
        expected[key + L"\\progid"] = L"";
        expected[key + L"\\progid|"] = sz + progId;
        expected[key + L"\\typelib"] = L"";
        expected[key + L"\\typelib|"] = sz + kLibid;
        expected[key + L"\\version"] = L"";
        expected[key + L"\\version|"] = L"sz:1.0";
        const std::wstring progIdKey = Lower(classes + L"\\" + progId);
        expected[progIdKey] = L"";
        expected[progIdKey + L"|"] = sz + progId;
        expected[progIdKey + L"\\clsid"] = L"";
        expected[progIdKey + L"\\clsid|"] = sz + clsid;
    }
    return expected;
}

RegistrySnapshot ExpectedOfficeKey() {
    const std::wstring key = Lower(kOfficeKey);
    return {{key, L""},
            {key + L"|friendlyname", L"sz:Kestova Screen Saver"},
            {key + L"|description",
             L"sz:Show PowerPoint presentation as screen saver. Show multiple presentations on "
             L"different monitors as screen savers."},
            {key + L"|loadbehavior", L"dword:3"}};
}

// Splits `added` into the part under `prefix` and the rest.
RegistrySnapshot Take(RegistrySnapshot& added, const std::wstring& prefix) {
    RegistrySnapshot taken;
    const std::wstring lower = Lower(prefix);
    for (auto it = added.begin(); it != added.end();) {
        if (it->first.rfind(lower, 0) == 0) {
            taken.insert(*it);
            it = added.erase(it);
        } else {
            ++it;
        }
    }
    return taken;
}

// A class hive two levels deep (every new ProgID, CLSID, TypeLib or Interface key shows), plus
// everything below the add-in's own keys.
RegistrySnapshot ClassesSnapshot(HKEY root) {
    const std::wstring classes = L"Software\\Classes";
    RegistrySnapshot out = Snapshot(root, classes, 2);
    for (const std::wstring view : {L"", L"\\Wow6432Node"}) {
        for (const std::wstring& key :
             {L"\\CLSID\\" + std::wstring(kAddinClsid),
              L"\\CLSID\\" + std::wstring(kHostClassClsid),
              std::wstring(L"\\Paxendo.PowerPointAddin"), std::wstring(L"\\Paxendo.HostClass"),
              L"\\TypeLib\\" + std::wstring(kLibid), L"\\Interface\\" + std::wstring(kAddinIid),
              L"\\Interface\\" + std::wstring(kHostClassIid)})
            out.merge(Snapshot(root, classes + view + key));
    }
    return out;
}

struct Hives {
    RegistrySnapshot machineClasses = ClassesSnapshot(HKEY_LOCAL_MACHINE);
    RegistrySnapshot userClasses = ClassesSnapshot(HKEY_CURRENT_USER);
    RegistrySnapshot userSoftware = Snapshot(HKEY_CURRENT_USER, L"Software\\Microsoft");
};

// The library and its two interfaces, in the 64-bit view and (as this Wine does, like Windows'
// shared TypeLib key) the 32-bit one.
void ExpectTypeLibraryRegistered(RegistrySnapshot& added, const std::wstring& classes) {
    for (const std::wstring& view : {classes, classes + L"\\Wow6432Node"}) {
        const std::wstring lib = Lower(view + L"\\TypeLib\\" + kLibid);
        RegistrySnapshot typeLib = Take(added, lib);
        EXPECT_EQ(typeLib[lib + L"\\1.0|"], L"sz:Kestova Screen Saver");
        EXPECT_EQ(typeLib[lib + L"\\1.0\\0\\win64|"], L"sz:" + DllPath());
        for (const wchar_t* iid : {kAddinIid, kHostClassIid}) {
            const std::wstring key = Lower(view + L"\\Interface\\" + iid);
            RegistrySnapshot entries = Take(added, key);
            EXPECT_EQ(entries[key + L"\\typelib|"], L"sz:" + std::wstring(kLibid));
            EXPECT_EQ(entries[key + L"\\proxystubclsid32|"],
                      L"sz:{00020424-0000-0000-C000-000000000046}");
        }
    }
}

} // namespace

TEST(AddinRegistration, Regsvr32WritesTheRecordsAndUnregisteringLeavesNothing) {
    Hives before;
    ASSERT_EQ(Regsvr32(L""), 0);
    Hives after;

    RegistrySnapshot added = Added(before.machineClasses, after.machineClasses);
    for (const auto& [name, value] : ExpectedClasses(L"Software\\Classes"))
        EXPECT_EQ(added[name], value) << std::string(name.begin(), name.end());
    for (const auto& [name, value] : ExpectedClasses(L"Software\\Classes"))
        added.erase(name);
    ExpectTypeLibraryRegistered(added, L"Software\\Classes");
    // Only the host's own interface registration may name IDTExtensibility2.
    for (const auto& [name, value] : added)
        ADD_FAILURE() << "unexpected " << std::string(name.begin(), name.end());

    RegistrySnapshot office = Added(before.userSoftware, after.userSoftware);
    Take(office, L"Software\\Microsoft\\Windows"); // the system's own bookkeeping
    for (const auto& [name, value] : ExpectedOfficeKey())
        EXPECT_EQ(office[name], value) << std::string(name.begin(), name.end());
    EXPECT_TRUE(Added(before.userClasses, after.userClasses).empty());

    ASSERT_EQ(Regsvr32(L"/u"), 0);
    Hives removed;
    EXPECT_EQ(removed.machineClasses, before.machineClasses);
    // Office's keys above the add-in's stay, empty: unregistering cannot tell who made them.
    RegistrySnapshot left = Added(before.userSoftware, removed.userSoftware);
    Take(left, L"Software\\Microsoft\\Windows");
    for (const auto& [name, value] : left)
        EXPECT_TRUE(name.rfind(Lower(L"Software\\Microsoft\\Office"), 0) == 0 && value.empty() &&
                    name.find(L"paxendo") == std::wstring::npos)
            << "left " << std::string(name.begin(), name.end());
}

TEST(AddinRegistration, UnregisteringKeepsOfficesOwnEmptyKeys) {
    // As an installed Office leaves them in a profile: empty.
    const std::wstring addins = L"Software\\Microsoft\\Office\\PowerPoint\\Addins";
    kestova::win::UniqueHkey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, addins.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    key.reset();
    ASSERT_EQ(Regsvr32(L""), 0);
    ASSERT_EQ(Regsvr32(L"/u"), 0);
    EXPECT_TRUE(Snapshot(HKEY_CURRENT_USER, kOfficeKey).empty());
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, addins.c_str(), 0, KEY_READ, key.put()),
              ERROR_SUCCESS);
}

TEST(AddinRegistration, PerUserInstallWritesTheUsersHiveAndRemovesIt) {
    Hives before;
    ASSERT_EQ(Regsvr32(L"/n /i:user"), 0);
    Hives after;

    RegistrySnapshot added = Added(before.userClasses, after.userClasses);
    for (const auto& [name, value] : ExpectedClasses(L"Software\\Classes"))
        EXPECT_EQ(added[name], value) << std::string(name.begin(), name.end());
    RegistrySnapshot office = Added(before.userSoftware, after.userSoftware);
    for (const auto& [name, value] : ExpectedOfficeKey())
        EXPECT_EQ(office[name], value);
    // No class goes machine-wide. (This Wine registers a per-user type library machine-wide.)
    RegistrySnapshot machine = Added(before.machineClasses, after.machineClasses);
    EXPECT_FALSE(machine.count(Lower(std::wstring(L"Software\\Classes\\CLSID\\") + kAddinClsid)));
    EXPECT_FALSE(machine.count(Lower(L"Software\\Classes\\Paxendo.PowerPointAddin")));
    GUID libid{};
    ASSERT_EQ(CLSIDFromString(kLibid, &libid), S_OK);
    kestova::win::UniqueBstr path;
    EXPECT_EQ(QueryPathOfRegTypeLib(libid, 1, 0, LANG_NEUTRAL, path.put()), S_OK);

    ASSERT_EQ(Regsvr32(L"/u /n /i:user"), 0);
    Hives removed;
    EXPECT_EQ(removed.userClasses, before.userClasses);
    EXPECT_EQ(removed.machineClasses, before.machineClasses);
    EXPECT_NE(QueryPathOfRegTypeLib(libid, 1, 0, LANG_NEUTRAL, path.put()), S_OK);
}

TEST(AddinRegistration, FailedMachineRegistrationKeepsWhatAnotherRegistrationWrote) {
    ASSERT_EQ(Regsvr32(L"/n /i:user"), 0);
    const RegistrySnapshot userBefore = Snapshot(HKEY_CURRENT_USER, kOfficeKey);
    ASSERT_FALSE(userBefore.empty());
    // A volatile class key takes no lasting subkeys: the machine-wide registration fails after
    // it has written the first class's records.
    const std::wstring blocker = std::wstring(L"Software\\Classes\\CLSID\\") + kHostClassClsid;
    kestova::win::UniqueHkey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, blocker.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    key.reset();
    Hives before;
    EXPECT_NE(Regsvr32(L""), 0);
    Hives after;
    // The per-user registration is whole; the failed one left nothing of its own behind.
    EXPECT_EQ(Snapshot(HKEY_CURRENT_USER, kOfficeKey), userBefore);
    EXPECT_EQ(after.userClasses, before.userClasses);
    // (Values it set in a key that was there already stay: only keys are taken back.)
    RegistrySnapshot left = Added(before.machineClasses, after.machineClasses);
    Take(left, blocker);
    for (const auto& [name, value] : left)
        ADD_FAILURE() << "left behind " << std::string(name.begin(), name.end());
    for (const auto& [name, value] : Added(after.machineClasses, before.machineClasses))
        ADD_FAILURE() << "taken away " << std::string(name.begin(), name.end());
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, blocker.c_str()), ERROR_SUCCESS);
    ASSERT_EQ(Regsvr32(L"/u /n /i:user"), 0);
    EXPECT_TRUE(Snapshot(HKEY_CURRENT_USER, kOfficeKey).empty());
}

TEST(AddinRegistration, VersionResourceMarksTheLibrarySelfRegistering) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(DllPath().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(DllPath().c_str(), 0, size, data.data()));
    auto value = [&](const wchar_t* name) -> std::wstring {
        wchar_t* text = nullptr;
        UINT length = 0;
        std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        if (!VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&text), &length))
            return L"<missing>";
        return text ? std::wstring(text) : L"";
    };
    EXPECT_EQ(value(L"FileVersion"), L"1.00");
    EXPECT_EQ(value(L"ProductVersion"), L"1.00");
    EXPECT_EQ(value(L"FileDescription"), L"Kestova Screen Saver");
    EXPECT_EQ(value(L"ProductName"), L"Kestova Screen Saver");
    EXPECT_EQ(value(L"InternalName"), L"Paxendo");
    EXPECT_EQ(value(L"OriginalFilename"), L"Paxendo.dll");
    EXPECT_NE(value(L"OLESelfRegister"), L"<missing>");
}

TEST(AddinClassObjects, CountsKeepTheLibraryLoadedWhileNeeded) {
    kestova::win::ComApartment apartment;
    kestova::win::UniqueModule dll(LoadLibraryExW(DllPath().c_str(), nullptr, 0));
    ASSERT_TRUE(dll);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
    auto getClassObject = Export<GetClassObject>(dll.get(), "DllGetClassObject");
    auto canUnloadNow = Export<CanUnloadNow>(dll.get(), "DllCanUnloadNow");
    ASSERT_TRUE(getClassObject && canUnloadNow);

    CLSID addin{}, hostClass{}, other{};
    CLSIDFromString(kAddinClsid, &addin);
    CLSIDFromString(kHostClassClsid, &hostClass);
    CLSIDFromString(L"{00000000-1111-2222-3333-444444444444}", &other);
    EXPECT_EQ(canUnloadNow(), S_OK);

    ComPtr<IClassFactory> factory;
    void* none = nullptr;
    EXPECT_EQ(getClassObject(other, IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_EQ(getClassObject(addin, IID_IClassFactory, &factory), S_OK);
    EXPECT_EQ(canUnloadNow(), S_FALSE);

    ComPtr<IUnknown> aggregated;
    factory->CreateInstance(factory.Get(), IID_IUnknown, &aggregated);
    EXPECT_FALSE(aggregated);

    ComPtr<IDispatch> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &object), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(canUnloadNow(), S_FALSE); // the object and the lock
    object.Reset();
    EXPECT_EQ(canUnloadNow(), S_FALSE); // the lock
    ASSERT_EQ(getClassObject(hostClass, IID_IClassFactory, &factory), S_OK);
    factory->LockServer(FALSE);
    ComPtr<IDispatch> host;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &host), S_OK);
    factory.Reset();
    EXPECT_EQ(canUnloadNow(), S_FALSE);
    host.Reset();
    EXPECT_EQ(canUnloadNow(), S_OK);
}
