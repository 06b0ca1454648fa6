// The settings store against the real registry: values written with the raw API as another program
// would leave them, and what a save leaves behind, read back raw.
#include "common/product.h"
#include "common/win/unique_handle.h"
#include "settings/win/windows_registry.h"

#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <cstring>

using namespace kestova;

namespace {

const std::wstring kProduct = kProductKeyPath;
const std::wstring kSettings = kSettingsKeyPath;
constexpr wchar_t kScratchParent[] = L"Software\\KestovaStoreTests";

std::wstring Entry(int index) {
    return kProduct + L"\\" + std::to_wstring(index);
}

template <typename Action> std::wstring ErrorOf(Action action) {
    try {
        action();
    } catch (const SettingsError& error) {
        return error.message();
    }
    return L"(no error)";
}

std::vector<BYTE> Utf16(const std::wstring& text, bool withNul = true) {
    std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(text.data()),
                            reinterpret_cast<const BYTE*>(text.data() + text.size()));
    if (withNul)
        bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

std::vector<BYTE> DwordBytes(DWORD value) {
    std::vector<BYTE> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

// Each test works below a scratch key of its own, which stands in for HKEY_CURRENT_USER.
class SettingsStoreRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        scratchPath_ = std::wstring(kScratchParent) + L"\\" +
                       std::wstring(info->name(), info->name() + std::strlen(info->name()));
        ::RegDeleteTreeW(HKEY_CURRENT_USER, scratchPath_.c_str());
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, scratchPath_.c_str(), 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, root_.put(), nullptr),
                  ERROR_SUCCESS);
        registry_ = std::make_unique<win::WindowsRegistry>(root_.get());
    }
    void TearDown() override {
        registry_.reset();
        root_.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, scratchPath_.c_str());
    }

    void Put(const std::wstring& path, const std::wstring& name, DWORD type,
             const std::vector<BYTE>& data) {
        win::UniqueHkey key;
        ASSERT_EQ(::RegCreateKeyExW(root_.get(), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(::RegSetValueExW(key.get(), name.c_str(), 0, type, data.data(),
                                   static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }
    void PutDword(const std::wstring& path, const std::wstring& name, DWORD value) {
        Put(path, name, REG_DWORD, DwordBytes(value));
    }

    struct Raw {
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        bool exists = false;
    };
    Raw Get(const std::wstring& path, const std::wstring& name) {
        Raw raw;
        win::UniqueHkey key;
        if (::RegOpenKeyExW(root_.get(), path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
            return raw;
        DWORD size = 0;
        if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &raw.type, nullptr, &size) !=
            ERROR_SUCCESS)
            return raw;
        raw.data.resize(size);
        raw.exists = ::RegQueryValueExW(key.get(), name.c_str(), nullptr, &raw.type,
                                        raw.data.data(), &size) == ERROR_SUCCESS;
        return raw;
    }
    DWORD GetDword(const std::wstring& path, const std::wstring& name) {
        Raw raw = Get(path, name);
        if (!raw.exists || raw.type != REG_DWORD || raw.data.size() != 4)
            return 0xDEADBEEF;
        DWORD value = 0;
        std::memcpy(&value, raw.data.data(), 4);
        return value;
    }
    bool HasKey(const std::wstring& path) {
        win::UniqueHkey key;
        return ::RegOpenKeyExW(root_.get(), path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
    }

    // Lets the user read the key but not change it: what an administrator's policy can do.
    // Returns false when the registry here doesn't enforce it.
    bool MakeReadOnly(const std::wstring& path) {
        win::UniqueHkey key;
        if (::RegOpenKeyExW(root_.get(), path.c_str(), 0, KEY_ALL_ACCESS, key.put()) !=
            ERROR_SUCCESS)
            return false;
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        // Deny set-value and create-subkey to everyone; allow everything else.
        if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
                L"D:(D;;0x6;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr))
            return false;
        win::UniqueResource<void*, LocalFreer> owner(descriptor);
        if (::RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, descriptor) != ERROR_SUCCESS)
            return false;
        win::UniqueHkey probe;
        return ::RegOpenKeyExW(root_.get(), path.c_str(), 0, KEY_ALL_ACCESS, probe.put()) !=
               ERROR_SUCCESS;
    }
    struct LocalFreer {
        void operator()(void* memory) const noexcept { ::LocalFree(memory); }
    };

    std::wstring scratchPath_;
    win::UniqueHkey root_;
    std::unique_ptr<win::WindowsRegistry> registry_;
    TSession session;
};

} // namespace

TEST_F(SettingsStoreRegistry, DwordValuesOfEveryTypeAndSize) {
    struct Case {
        DWORD type;
        std::vector<BYTE> data;
        const wchar_t* error;
        bool mouse;
    };
    const Case cases[] = {
        {REG_DWORD, DwordBytes(5), L"(no error)", true},
        {REG_DWORD, DwordBytes(0), L"(no error)", false},
        {REG_DWORD, {1, 0}, L"(no error)", true},
        {REG_SZ, Utf16(L"1"), L"Invalid data type for 'EnableMouse'", false},
        {REG_SZ, Utf16(L"1234"), L"Failed to get data for 'EnableMouse'", false},
        {REG_SZ, {}, L"Invalid data type for 'EnableMouse'", false},
        {REG_EXPAND_SZ, Utf16(L"1"), L"Invalid data type for 'EnableMouse'", false},
        {REG_BINARY, {1, 0, 0, 0}, L"Invalid data type for 'EnableMouse'", false},
        {REG_BINARY, {1, 0, 0, 0, 0}, L"Failed to get data for 'EnableMouse'", false},
        {REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, L"Failed to get data for 'EnableMouse'", false},
        {REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}, L"Invalid data type for 'EnableMouse'", false},
    };
    PutDword(kProduct, L"EnableKeyboard", 7);
    PutDword(kProduct, L"Count", 1);
    PutDword(Entry(0), L"MonitorNum", 1);
    for (const Case& c : cases) {
        Put(kProduct, L"EnableMouse", c.type, c.data);
        TSession loaded;
        EXPECT_EQ(ErrorOf([&] { LoadSession(*registry_, loaded); }), c.error)
            << "type " << c.type << ", " << c.data.size() << " bytes";
        EXPECT_TRUE(loaded.EnableKeyboard);
        EXPECT_EQ(loaded.EnableMouse, c.mouse);
        // The list is read only when both flags were.
        EXPECT_EQ(loaded.Elements.size(), std::wstring(c.error) == L"(no error)" ? 1u : 0u);
    }
}

TEST_F(SettingsStoreRegistry, PresNameAsAnotherProgramMayHaveStoredIt) {
    const std::wstring longPath = L"C:\\" + std::wstring(32000, L'p') + L".ppt";
    struct Case {
        DWORD type;
        std::vector<BYTE> data;
        std::wstring name;
        const wchar_t* error;
    };
    std::vector<BYTE> odd = Utf16(L"C:\\x", false);
    odd.push_back('y');
    const Case cases[] = {
        {REG_SZ, Utf16(L"C:\\Shows\\a.ppt"), L"C:\\Shows\\a.ppt", L"(no error)"},
        {REG_EXPAND_SZ, Utf16(L"%TEMP%\\a.ppt"), L"%TEMP%\\a.ppt", L"(no error)"},
        {REG_SZ, Utf16(std::wstring(L"C:\\a.ppt\0C:\\b.ppt", 17)), L"C:\\a.ppt", L"(no error)"},
        {REG_SZ, Utf16(L"C:\\no-nul.ppt", false), L"C:\\no-nul.ppt", L"(no error)"},
        {REG_SZ, odd, L"C:\\x", L"(no error)"},
        {REG_SZ, {}, L"", L"(no error)"},
        {REG_SZ, Utf16(L""), L"", L"(no error)"},
        {REG_BINARY, {}, L"", L"(no error)"},
        {REG_SZ, Utf16(longPath), longPath, L"(no error)"},
        {REG_DWORD, DwordBytes(1), L"", L"Invalid data type for 'PresName'"},
        {REG_MULTI_SZ, Utf16(L"C:\\a.ppt\0", true), L"", L"Invalid data type for 'PresName'"},
        {REG_QWORD, std::vector<BYTE>(8, 1), L"", L"Invalid data type for 'PresName'"},
    };
    PutDword(kProduct, L"Count", 1);
    PutDword(Entry(0), L"MonitorNum", 4);
    for (const Case& c : cases) {
        Put(Entry(0), L"PresName", c.type, c.data);
        TSession loaded;
        EXPECT_EQ(ErrorOf([&] { LoadSession(*registry_, loaded); }), c.error)
            << "type " << c.type << ", " << c.data.size() << " bytes";
        ASSERT_EQ(loaded.Elements.size(), 1u);
        EXPECT_EQ(loaded.Elements[0].PresName, c.name) << c.data.size() << " bytes";
        EXPECT_EQ(loaded.Elements[0].MonitorNum, 4);
    }
}

TEST_F(SettingsStoreRegistry, LoadFollowsCountAndKeepsTheListPositional) {
    PutDword(kProduct, L"Count", 3);
    PutDword(Entry(0), L"MonitorNum", 2);
    Put(Entry(0), L"PresName", REG_SZ, Utf16(L"C:\\zero.ppt"));
    PutDword(Entry(2), L"MonitorNum", 3);
    PutDword(Entry(3), L"MonitorNum", 4); // beyond Count
    EXPECT_EQ(ErrorOf([&] { LoadSession(*registry_, session); }), L"(no error)");
    ASSERT_EQ(session.Elements.size(), 3u);
    EXPECT_EQ(session.Elements[0], (TSessionElement{L"C:\\zero.ppt", 2}));
    EXPECT_EQ(session.Elements[1], (TSessionElement{}));
    EXPECT_EQ(session.Elements[2], (TSessionElement{L"", 3}));

    Put(Entry(1), L"PresName", REG_SZ, Utf16(L"C:\\one.ppt")); // key without MonitorNum
    EXPECT_EQ(ErrorOf([&] { LoadSession(*registry_, session); }),
              L"Failed to get data for 'MonitorNum'");

    PutDword(kProduct, L"Count", 0x7FFFFFFF);
    PutDword(Entry(1), L"MonitorNum", 1);
    TSession huge;
    EXPECT_EQ(ErrorOf([&] { LoadSession(*registry_, huge); }), L"(no error)");
    EXPECT_EQ(huge.Elements.size(), 4096u);

    PutDword(kProduct, L"Count", 0x80000000);
    EXPECT_EQ(ErrorOf([&] { LoadSession(*registry_, huge); }), L"Range check error");
}

TEST_F(SettingsStoreRegistry, SaveWritesTypedValuesAndLeavesStaleEntries) {
    PutDword(kProduct, L"EnableKeyboard", 5);
    ASSERT_EQ(ErrorOf([&] { LoadSession(*registry_, session); }), L"(no error)");
    session.Elements = {{L"C:\\a.ppt", 1}, {L"", 2}, {L"C:\\c.ppt", 3}, {L"C:\\d.ppt", 4}};
    ASSERT_EQ(ErrorOf([&] { SaveSession(*registry_, session); }), L"(no error)");
    EXPECT_EQ(GetDword(kProduct, L"EnableKeyboard"), 1u);
    EXPECT_EQ(GetDword(kProduct, L"EnableMouse"), 0u);
    EXPECT_EQ(GetDword(kProduct, L"Count"), 4u);

    Raw path = Get(Entry(0), L"PresName");
    EXPECT_EQ(path.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(path.data, Utf16(L"C:\\a.ppt", true)); // terminating NUL included
    Raw empty = Get(Entry(1), L"PresName");
    EXPECT_TRUE(empty.exists);
    EXPECT_EQ(empty.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(empty.data, (std::vector<BYTE>{0, 0}));
    EXPECT_EQ(GetDword(Entry(1), L"MonitorNum"), 2u);

    session.Elements.resize(2);
    ASSERT_EQ(ErrorOf([&] { SaveSession(*registry_, session); }), L"(no error)");
    EXPECT_EQ(GetDword(kProduct, L"Count"), 2u);
    EXPECT_TRUE(HasKey(Entry(3)));
    EXPECT_EQ(Get(Entry(3), L"PresName").data, Utf16(L"C:\\d.ppt"));
    TSession loaded;
    EXPECT_EQ(ErrorOf([&] { LoadSession(*registry_, loaded); }), L"(no error)");
    EXPECT_EQ(loaded.Elements, session.Elements);
}

TEST_F(SettingsStoreRegistry, NonAsciiPathsRoundTripAsUtf16) {
    const std::wstring name = L"C:\\Pr\u00e4sentationen\\\u65e5\u672c\u8a9e\\\u0161\u00f8w "
                              L"\U0001F600.pptx";
    session.Elements = {{name, 1}};
    ASSERT_EQ(ErrorOf([&] { SaveSession(*registry_, session); }), L"(no error)");
    EXPECT_EQ(Get(Entry(0), L"PresName").data, Utf16(name));
    TSession loaded;
    EXPECT_EQ(ErrorOf([&] { LoadSession(*registry_, loaded); }), L"(no error)");
    ASSERT_EQ(loaded.Elements.size(), 1u);
    EXPECT_EQ(loaded.Elements[0].PresName, name);

    RegWriteString(*registry_, kSettings, L"FileOpenFolder", L"D:\\\u00c9t\u00e9\\");
    std::wstring folder;
    RegReadString(*registry_, kSettings, L"FileOpenFolder", L"", folder);
    EXPECT_EQ(folder, L"D:\\\u00c9t\u00e9\\");
    EXPECT_EQ(Get(kSettings, L"FileOpenFolder").data, Utf16(L"D:\\\u00c9t\u00e9\\"));
}

TEST_F(SettingsStoreRegistry, ReadOnlyKeysCountAsMissingAndCannotBeSaved) {
    PutDword(kProduct, L"EnableKeyboard", 1);
    PutDword(kProduct, L"Count", 1);
    PutDword(Entry(0), L"MonitorNum", 1);
    Put(Entry(0), L"PresName", REG_SZ, Utf16(L"C:\\a.ppt"));
    if (!MakeReadOnly(Entry(0)))
        GTEST_SKIP() << "this registry does not enforce key security";
    EXPECT_EQ(ErrorOf([&] { LoadSession(*registry_, session); }), L"(no error)");
    ASSERT_EQ(session.Elements.size(), 1u);
    EXPECT_EQ(session.Elements[0], (TSessionElement{})); // probed with full access: missing
    EXPECT_TRUE(session.EnableKeyboard);

    session.Elements = {{L"C:\\b.ppt", 1}};
    EXPECT_EQ(ErrorOf([&] { SaveSession(*registry_, session); }),
              L"Failed to create key 'HKEY_CURRENT_USER\\" + Entry(0) + L"'");
    EXPECT_EQ(Get(Entry(0), L"PresName").data, Utf16(L"C:\\a.ppt"));
    EXPECT_EQ(GetDword(kProduct, L"Count"), 1u);
}

// The program's own calls go to HKEY_CURRENT_USER and the global Session.
TEST(SettingsStoreCurrentUser, ConveniencesUseTheRealProductKey) {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kProductKeyPath);
    const TSession saved = Session;
    Session = TSession{};
    Session.EnableMouse = true;
    Session.Elements = {{L"C:\\Shows\\main.ppt", 1}};
    EXPECT_EQ(ErrorOf([] { SaveSession(); }), L"(no error)");

    win::UniqueHkey key;
    ASSERT_EQ(
        ::RegOpenKeyExW(HKEY_CURRENT_USER, (kProduct + L"\\0").c_str(), 0, KEY_READ, key.put()),
        ERROR_SUCCESS);
    Session = TSession{};
    EXPECT_EQ(ErrorOf([] { LoadSession(); }), L"(no error)");
    EXPECT_TRUE(Session.EnableMouse);
    ASSERT_EQ(Session.Elements.size(), 1u);
    EXPECT_EQ(Session.Elements[0].PresName, L"C:\\Shows\\main.ppt");

    RegWriteString(kSettingsKeyPath, L"FileOpenFolder", L"C:\\Shows\\");
    std::wstring folder;
    RegReadString(kSettingsKeyPath, L"FileOpenFolder", L"", folder);
    EXPECT_EQ(folder, L"C:\\Shows\\");

    ::RegDeleteTreeW(HKEY_CURRENT_USER, kProductKeyPath);
    Session = saved;
}
