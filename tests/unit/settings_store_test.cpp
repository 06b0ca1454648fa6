#include "common/product.h"
#include "settings/policy.h"
#include "settings/session.h"
#include "settings_memory_registry.h"

#include <gtest/gtest.h>

using namespace kestova;

namespace {

const std::wstring kProduct = kProductKeyPath;
const std::wstring kSettings = kSettingsKeyPath;
const std::wstring kPolicy = kPolicyKeyPath;

std::wstring Entry(int index) {
    return kProduct + L"\\" + std::to_wstring(index);
}

constexpr uint32_t kSz = static_cast<uint32_t>(RegistryValueType::String);
constexpr uint32_t kExpandSz = static_cast<uint32_t>(RegistryValueType::ExpandString);
constexpr uint32_t kBinary = static_cast<uint32_t>(RegistryValueType::Binary);
constexpr uint32_t kDword = static_cast<uint32_t>(RegistryValueType::Dword);
constexpr uint32_t kDwordBigEndian = static_cast<uint32_t>(RegistryValueType::DwordBigEndian);
constexpr uint32_t kMultiSz = static_cast<uint32_t>(RegistryValueType::MultiString);
constexpr uint32_t kQword = static_cast<uint32_t>(RegistryValueType::Qword);

// The message of the SettingsError that `action` throws, or "(no error)".
template <typename Action> std::wstring ErrorOf(Action action) {
    try {
        action();
    } catch (const SettingsError& error) {
        return error.message();
    }
    return L"(no error)";
}

TSession SessionWith(std::vector<TSessionElement> elements, bool keyboard = false,
                     bool mouse = false) {
    TSession session;
    session.Elements = std::move(elements);
    session.EnableKeyboard = keyboard;
    session.EnableMouse = mouse;
    return session;
}

uint32_t DwordAt(const MemoryRegistry& registry, const std::wstring& path,
                 const std::wstring& name) {
    const RegistryValue* value = registry.Value(path, name);
    if (!value || value->type != kDword || value->data.size() != 4)
        return 0xDEADBEEF;
    return value->data[0] | value->data[1] << 8 | value->data[2] << 16 |
           static_cast<uint32_t>(value->data[3]) << 24;
}

class SettingsStore : public ::testing::Test {
protected:
    // Loading must never write and must release every key, whatever happens.
    void TearDown() override { EXPECT_EQ(registry.OpenKeys(), 0); }
    std::wstring Load() {
        long writesBefore = registry.Writes();
        std::wstring error = ErrorOf([&] { LoadSession(registry, session); });
        EXPECT_EQ(registry.Writes(), writesBefore) << "loading wrote to the registry";
        return error;
    }

    MemoryRegistry registry;
    TSession session;
};

const TSessionElement kOld{L"C:\\old.ppt", 7};

} // namespace

TEST_F(SettingsStore, MissingOrInaccessibleProductKeyLeavesSessionAsItWas) {
    session = SessionWith({kOld}, true, true);
    EXPECT_EQ(Load(), L"(no error)");
    EXPECT_EQ(session.Elements.size(), 1u);
    EXPECT_TRUE(session.EnableKeyboard);

    // Readable but not writable counts as missing: the existence probe asks for full access.
    registry.SetDword(kProduct, L"Count", 0);
    registry.SetDword(kProduct, L"EnableKeyboard", 0);
    registry.AddKey(kProduct).noFullAccess = true;
    EXPECT_EQ(Load(), L"(no error)");
    EXPECT_EQ(session.Elements.size(), 1u);
    EXPECT_TRUE(session.EnableKeyboard);

    registry.AddKey(kProduct).noFullAccess = false;
    registry.AddKey(kProduct).unreadable = true;
    EXPECT_EQ(Load(), L"(no error)");
    EXPECT_EQ(session.Elements.size(), 1u);
}

TEST_F(SettingsStore, EmptyProductKeyEmptiesListAndKeepsFlags) {
    registry.AddKey(kProduct);
    session = SessionWith({kOld, kOld}, true, false);
    EXPECT_EQ(Load(), L"(no error)");
    EXPECT_TRUE(session.Elements.empty()); // no Count: the list is made empty
    EXPECT_TRUE(session.EnableKeyboard);   // no value: the flag stays
    EXPECT_FALSE(session.EnableMouse);
}

TEST_F(SettingsStore, FlagsAreTrueForAnyNonZeroDwordAndSavedAsOne) {
    registry.SetDword(kProduct, L"EnableKeyboard", 5);
    registry.SetDword(kProduct, L"EnableMouse", 0x80000000);
    EXPECT_EQ(Load(), L"(no error)");
    EXPECT_TRUE(session.EnableKeyboard);
    EXPECT_TRUE(session.EnableMouse);

    SaveSession(registry, session);
    EXPECT_EQ(DwordAt(registry, kProduct, L"EnableKeyboard"), 1u);
    EXPECT_EQ(DwordAt(registry, kProduct, L"EnableMouse"), 1u);

    registry.SetDword(kProduct, L"EnableMouse", 0);
    EXPECT_EQ(Load(), L"(no error)");
    EXPECT_FALSE(session.EnableMouse);
}

TEST_F(SettingsStore, ShortDwordUsesTheBytesPresent) {
    registry.SetRaw(kProduct, L"Count", kDword, {2, 0});
    registry.SetRaw(kProduct, L"EnableMouse", kDword, {});
    session.EnableMouse = true;
    EXPECT_EQ(Load(), L"(no error)");
    EXPECT_EQ(session.Elements.size(), 2u);
    EXPECT_FALSE(session.EnableMouse);
}

// Wide strings: one character with its NUL is 4 bytes (fits a DWORD buffer), two are 6.
TEST_F(SettingsStore, DwordOfWrongTypeOrSizeStopsLoadingAtThatValue) {
    struct Case {
        uint32_t type;
        std::vector<uint8_t> data;
        const wchar_t* message;
    };
    const Case cases[] = {
        {kSz, MemoryRegistry::Utf16Bytes(L"1"), L"Invalid data type for 'EnableMouse'"},
        {kSz, MemoryRegistry::Utf16Bytes(L"1234"), L"Failed to get data for 'EnableMouse'"},
        {kBinary, {1, 0, 0, 0}, L"Invalid data type for 'EnableMouse'"},
        {kBinary, {}, L"Invalid data type for 'EnableMouse'"},
        {kDwordBigEndian, {0, 0, 0, 1}, L"Invalid data type for 'EnableMouse'"},
        {kQword, {1, 0, 0, 0, 0, 0, 0, 0}, L"Failed to get data for 'EnableMouse'"},
        {kDword, {1, 0, 0, 0, 0}, L"Failed to get data for 'EnableMouse'"},
    };
    for (const Case& c : cases) {
        MemoryRegistry fresh;
        fresh.SetDword(kProduct, L"EnableKeyboard", 1);
        fresh.SetRaw(kProduct, L"EnableMouse", c.type, c.data);
        fresh.SetDword(kProduct, L"Count", 1);
        fresh.SetDword(Entry(0), L"MonitorNum", 1);
        TSession loaded = SessionWith({kOld, kOld});
        EXPECT_EQ(ErrorOf([&] { LoadSession(fresh, loaded); }), c.message)
            << "type " << c.type << ", " << c.data.size() << " bytes";
        EXPECT_TRUE(loaded.EnableKeyboard);    // read before the failing value
        EXPECT_EQ(loaded.Elements.size(), 2u); // the list is not touched
        EXPECT_EQ(fresh.OpenKeys(), 0);
    }
}

TEST_F(SettingsStore, CountAndMonitorNumErrorsNameTheirValue) {
    registry.SetText(kProduct, L"Count", L"3");
    EXPECT_EQ(Load(), L"Invalid data type for 'Count'");

    registry.SetDword(kProduct, L"Count", 2);
    registry.SetDword(Entry(0), L"MonitorNum", 1);
    registry.SetText(Entry(0), L"PresName", L"C:\\a.ppt");
    registry.SetRaw(Entry(1), L"MonitorNum", kQword, std::vector<uint8_t>(8, 0));
    registry.SetText(Entry(1), L"PresName", L"C:\\b.ppt");
    session = SessionWith({});
    EXPECT_EQ(Load(), L"Failed to get data for 'MonitorNum'");
    // Entry 0 was already loaded; entry 1 stays as the resize made it.
    ASSERT_EQ(session.Elements.size(), 2u);
    EXPECT_EQ(session.Elements[0], (TSessionElement{L"C:\\a.ppt", 1}));
    EXPECT_EQ(session.Elements[1], (TSessionElement{}));
}

// The dialog's load: one bad value costs only itself, and a save told of it leaves it as stored.
TEST_F(SettingsStore, EachValueLoadSkipsOnlyTheBadValuesAndASaveKeepsThem) {
    registry.SetText(kProduct, L"EnableKeyboard", L"1");
    registry.SetDword(kProduct, L"EnableMouse", 1);
    registry.SetDword(kProduct, L"Count", 3);
    registry.SetRaw(Entry(0), L"MonitorNum", kQword, std::vector<uint8_t>(8, 1));
    registry.SetText(Entry(0), L"PresName", L"C:\\a.ppt");
    registry.SetDword(Entry(1), L"MonitorNum", 2);
    registry.SetRaw(Entry(1), L"PresName", kDword, {1, 0, 0, 0});
    registry.SetDword(Entry(2), L"MonitorNum", 3);
    registry.SetText(Entry(2), L"PresName", L"C:\\c.ppt");
    const MemoryRegistry before = registry;
    UnreadValues unread = LoadSessionEachValue(registry, session, 0);
    EXPECT_EQ(unread.messages, (std::vector<std::wstring>{L"Invalid data type for 'EnableKeyboard'",
                                                          L"Failed to get data for 'MonitorNum'",
                                                          L"Invalid data type for 'PresName'"}));
    EXPECT_TRUE(unread.enableKeyboard);
    EXPECT_FALSE(unread.enableMouse || unread.count);
    EXPECT_EQ(unread.monitorNums, std::vector<size_t>{0});
    EXPECT_EQ(unread.presNames, std::vector<size_t>{1});
    EXPECT_TRUE(session.EnableMouse);
    ASSERT_EQ(session.Elements.size(), 3u);
    EXPECT_EQ(session.Elements[0].PresName, L"C:\\a.ppt");
    EXPECT_EQ(session.Elements[2], (TSessionElement{L"C:\\c.ppt", 3}));
    // The run's load still stops at the first.
    TSession strict;
    EXPECT_EQ(ErrorOf([&] { LoadSession(registry, strict); }),
              L"Invalid data type for 'EnableKeyboard'");
    EXPECT_TRUE(strict.Elements.empty());

    // Saved as loaded, told what could not be read: the registry is as it was.
    SaveSession(registry, session, 2, unread);
    EXPECT_TRUE(registry.SameValues(before));

    // Count unreadable: the given number of entries is read without it, and Count is kept.
    MemoryRegistry other;
    other.SetDword(kProduct, L"Count", 0xFFFFFFFF);
    other.SetDword(Entry(0), L"MonitorNum", 1);
    other.SetText(Entry(0), L"PresName", L"C:\\a.ppt");
    TSession rows;
    unread = LoadSessionEachValue(other, rows, 2);
    EXPECT_EQ(unread.messages, std::vector<std::wstring>{L"Range check error"});
    ASSERT_EQ(rows.Elements.size(), 2u);
    EXPECT_EQ(rows.Elements[0], (TSessionElement{L"C:\\a.ppt", 1}));
    SaveSession(other, rows, 2, unread);
    EXPECT_EQ(DwordAt(other, kProduct, L"Count"), 0xFFFFFFFFu);
}

TEST_F(SettingsStore, NegativeCountIsARangeErrorAfterTheFlags) {
    registry.SetDword(kProduct, L"EnableKeyboard", 1);
    registry.SetDword(kProduct, L"Count", 0xFFFFFFFF);
    session = SessionWith({kOld});
    EXPECT_EQ(Load(), L"Range check error");
    EXPECT_TRUE(session.EnableKeyboard);
    EXPECT_EQ(session.Elements.size(), 1u);

    registry.SetDword(kProduct, L"Count", 0x80000000);
    EXPECT_EQ(Load(), L"Range check error");
}

TEST_F(SettingsStore, HugeCountIsCutToABoundedListWithoutFailing) {
    registry.SetDword(kProduct, L"Count", 0x7FFFFFFF);
    registry.SetDword(Entry(0), L"MonitorNum", 1);
    registry.SetText(Entry(0), L"PresName", L"C:\\a.ppt");
    EXPECT_EQ(Load(), L"(no error)");
    EXPECT_EQ(session.Elements.size(), 4096u);
    EXPECT_EQ(session.Elements[0].PresName, L"C:\\a.ppt");
    EXPECT_LT(registry.KeyOpens(), 3 * 4096 + 10);

    registry.SetDword(kProduct, L"Count", 4097);
    EXPECT_EQ(Load(), L"(no error)");
    EXPECT_EQ(session.Elements.size(), 4096u);
    registry.SetDword(kProduct, L"Count", 4095);
    EXPECT_EQ(Load(), L"(no error)");
    EXPECT_EQ(session.Elements.size(), 4095u);
}

TEST_F(SettingsStore, ListIsPositionalAndMissingEntriesKeepWhatTheyHad) {
    registry.SetDword(kProduct, L"Count", 4);
    registry.SetDword(Entry(0), L"MonitorNum", 3); // not index + 1: taken as stored
    registry.SetText(Entry(0), L"PresName", L"C:\\zero.ppt");
    registry.SetDword(Entry(2), L"MonitorNum", 3);
    registry.SetText(Entry(2), L"PresName", L"C:\\two.ppt");
    registry.SetDword(Entry(3), L"MonitorNum", 4); // key without write access counts as missing
    registry.AddKey(Entry(3)).noFullAccess = true;
    registry.SetDword(Entry(4), L"MonitorNum", 5); // beyond Count
    registry.SetText(Entry(4), L"PresName", L"C:\\four.ppt");

    session = SessionWith({kOld, kOld});
    EXPECT_EQ(Load(), L"(no error)");
    ASSERT_EQ(session.Elements.size(), 4u);
    EXPECT_EQ(session.Elements[0], (TSessionElement{L"C:\\zero.ppt", 3}));
    EXPECT_EQ(session.Elements[1], kOld); // existing entry, no key: unchanged
    EXPECT_EQ(session.Elements[2], (TSessionElement{L"C:\\two.ppt", 3}));
    EXPECT_EQ(session.Elements[3], (TSessionElement{})); // new entry, inaccessible key

    registry.SetDword(kProduct, L"Count", 1);
    EXPECT_EQ(Load(), L"(no error)");
    EXPECT_EQ(session.Elements.size(), 1u);
}

TEST_F(SettingsStore, EntryKeyWithoutMonitorNumFails) {
    registry.SetDword(kProduct, L"Count", 1);
    registry.SetText(Entry(0), L"PresName", L"C:\\a.ppt");
    EXPECT_EQ(Load(), L"Failed to get data for 'MonitorNum'");
    ASSERT_EQ(session.Elements.size(), 1u);
    EXPECT_EQ(session.Elements[0].PresName, L""); // PresName comes after MonitorNum
}

TEST_F(SettingsStore, PresNameIsTakenAsStoredUpToItsFirstNul) {
    struct Case {
        uint32_t type;
        std::vector<uint8_t> data;
        const wchar_t* name; // nullptr: the value is missing
    };
    auto bytes = [](const std::wstring& text, bool withNul = true) {
        return MemoryRegistry::Utf16Bytes(text, withNul);
    };
    std::vector<uint8_t> odd = bytes(L"C:\\x", false);
    odd.push_back(L'y');
    const Case cases[] = {
        {kExpandSz, bytes(L"%TEMP%\\show.ppt"), L"%TEMP%\\show.ppt"},
        {kSz, bytes(std::wstring(L"C:\\a.ppt\0C:\\b.ppt", 17)), L"C:\\a.ppt"},
        {kSz, bytes(L"C:\\no-nul.ppt", false), L"C:\\no-nul.ppt"},
        {kSz, odd, L"C:\\x"},
        {kSz, {}, L""},
        {kBinary, {}, L""}, // no data: no type check
        {kSz, bytes(L""), L""},
        {kSz, bytes(L"C:\\Pr\u00e9sentations\\\u65e5\u672c.ppt"),
         L"C:\\Pr\u00e9sentations\\\u65e5\u672c.ppt"},
    };
    for (const Case& c : cases) {
        MemoryRegistry fresh;
        fresh.SetDword(kProduct, L"Count", 1);
        fresh.SetDword(Entry(0), L"MonitorNum", 1);
        fresh.SetRaw(Entry(0), L"PresName", c.type, c.data);
        TSession loaded = SessionWith({kOld});
        EXPECT_EQ(ErrorOf([&] { LoadSession(fresh, loaded); }), L"(no error)");
        EXPECT_EQ(loaded.Elements[0].PresName, c.name) << c.data.size() << " bytes";
    }

    // A missing PresName clears what the entry had.
    registry.SetDword(kProduct, L"Count", 1);
    registry.SetDword(Entry(0), L"MonitorNum", 1);
    session = SessionWith({kOld});
    EXPECT_EQ(Load(), L"(no error)");
    EXPECT_EQ(session.Elements[0], (TSessionElement{L"", 1}));
}

TEST_F(SettingsStore, PresNameOfAnotherTypeWithDataFails) {
    for (uint32_t type : {kDword, kBinary, kMultiSz, kQword}) {
        MemoryRegistry fresh;
        fresh.SetDword(kProduct, L"Count", 2);
        fresh.SetDword(Entry(0), L"MonitorNum", 1);
        fresh.SetText(Entry(0), L"PresName", L"C:\\a.ppt");
        fresh.SetDword(Entry(1), L"MonitorNum", 2);
        fresh.SetRaw(Entry(1), L"PresName", type, {0x41, 0, 0, 0});
        TSession loaded;
        EXPECT_EQ(ErrorOf([&] { LoadSession(fresh, loaded); }), L"Invalid data type for 'PresName'")
            << "type " << type;
        ASSERT_EQ(loaded.Elements.size(), 2u);
        EXPECT_EQ(loaded.Elements[0].PresName, L"C:\\a.ppt");
        EXPECT_EQ(loaded.Elements[1], (TSessionElement{L"", 2})); // MonitorNum came first
        EXPECT_EQ(fresh.OpenKeys(), 0);
    }
}

TEST_F(SettingsStore, SavingEmptySessionWritesZerosAndNoEntryKeys) {
    SaveSession(registry, session);
    EXPECT_EQ(DwordAt(registry, kProduct, L"EnableKeyboard"), 0u);
    EXPECT_EQ(DwordAt(registry, kProduct, L"EnableMouse"), 0u);
    EXPECT_EQ(DwordAt(registry, kProduct, L"Count"), 0u);
    EXPECT_FALSE(registry.HasKey(Entry(0)));
}

TEST_F(SettingsStore, SavedEntriesCarryMonitorNumAndPresNameWithItsNul) {
    session =
        SessionWith({{L"C:\\a.ppt", 1}, {L"", 2}, {L"C:\\\u00e9t\u00e9.pps", -3}}, false, true);
    SaveSession(registry, session);
    EXPECT_EQ(DwordAt(registry, kProduct, L"EnableKeyboard"), 0u);
    EXPECT_EQ(DwordAt(registry, kProduct, L"EnableMouse"), 1u);
    EXPECT_EQ(DwordAt(registry, kProduct, L"Count"), 3u);
    EXPECT_EQ(DwordAt(registry, Entry(0), L"MonitorNum"), 1u);
    EXPECT_EQ(DwordAt(registry, Entry(2), L"MonitorNum"), 0xFFFFFFFDu);

    const RegistryValue* path = registry.Value(Entry(0), L"PresName");
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(path->type, kSz);
    EXPECT_EQ(path->data, MemoryRegistry::Utf16Bytes(L"C:\\a.ppt", true));
    const RegistryValue* empty = registry.Value(Entry(1), L"PresName");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->type, kSz);
    EXPECT_EQ(empty->data, (std::vector<uint8_t>{0, 0})); // just the NUL

    TSession loaded;
    EXPECT_EQ(ErrorOf([&] { LoadSession(registry, loaded); }), L"(no error)");
    ASSERT_EQ(loaded.Elements.size(), 3u);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(loaded.Elements[i], session.Elements[i]) << i;
    EXPECT_TRUE(loaded.EnableMouse);
}

TEST_F(SettingsStore, ShorterSaveLeavesStaleEntryKeysThatLoadingIgnores) {
    registry.SetText(kSettings, L"FileOpenFolder", L"C:\\Shows\\");
    SaveSession(registry, SessionWith({{L"a", 1}, {L"b", 2}, {L"c", 3}, {L"d", 4}}));
    SaveSession(registry, SessionWith({{L"x", 1}, {L"y", 2}}));
    EXPECT_EQ(DwordAt(registry, kProduct, L"Count"), 2u);
    EXPECT_TRUE(registry.HasKey(Entry(2)));
    EXPECT_TRUE(registry.HasKey(Entry(3)));
    EXPECT_EQ(DwordAt(registry, Entry(3), L"MonitorNum"), 4u);
    ASSERT_NE(registry.Value(kSettings, L"FileOpenFolder"), nullptr);

    EXPECT_EQ(Load(), L"(no error)");
    ASSERT_EQ(session.Elements.size(), 2u);
    EXPECT_EQ(session.Elements[1], (TSessionElement{L"y", 2}));
}

TEST_F(SettingsStore, EntriesBeyondTheWrittenOnesStayExactlyAsStored) {
    // What the dialog does with one monitor attached and three stored: entry 0 is rewritten,
    // entries 1 (an expandable string, which a rewrite would turn into a plain one) and 2 are
    // not touched, and Count stays 3.
    SaveSession(registry, SessionWith({{L"C:\\a.ppt", 1}, {L"b", 2}, {L"c", 3}}));
    registry.SetText(Entry(1), L"PresName", L"%USERPROFILE%\\b.ppt",
                     RegistryValueType::ExpandString);
    const RegistryValue before = *registry.Value(Entry(1), L"PresName");
    EXPECT_EQ(Load(), L"(no error)");
    session.Elements[0].PresName = L"C:\\new.ppt";
    const long writesBefore = registry.Writes();
    SaveSession(registry, session, 1);
    EXPECT_EQ(registry.Writes() - writesBefore, 5) << "three flags and one entry's two values";
    EXPECT_EQ(DwordAt(registry, kProduct, L"Count"), 3u);
    EXPECT_EQ(registry.Value(Entry(1), L"PresName")->type, before.type);
    EXPECT_EQ(registry.Value(Entry(1), L"PresName")->data, before.data);
    EXPECT_EQ(DwordAt(registry, Entry(2), L"MonitorNum"), 3u);
    TSession loaded;
    EXPECT_EQ(ErrorOf([&] { LoadSession(registry, loaded); }), L"(no error)");
    ASSERT_EQ(loaded.Elements.size(), 3u);
    EXPECT_EQ(loaded.Elements[0].PresName, L"C:\\new.ppt");
}

TEST_F(SettingsStore, SaveThatCannotCreateAKeyFailsNamingIt) {
    registry.RefuseCreate(kProduct);
    EXPECT_EQ(ErrorOf([&] {
                  SaveSession(registry, SessionWith({{L"a", 1}}, true));
              }),
              L"Failed to create key 'HKEY_CURRENT_USER\\" + kProduct + L"'");
    EXPECT_EQ(registry.Writes(), 0);

    MemoryRegistry other;
    other.RefuseCreate(Entry(1));
    EXPECT_EQ(ErrorOf([&] {
                  SaveSession(other, SessionWith({{L"a", 1}, {L"b", 2}, {L"c", 3}}, true));
              }),
              L"Failed to create key 'HKEY_CURRENT_USER\\" + Entry(1) + L"'");
    EXPECT_EQ(DwordAt(other, kProduct, L"Count"), 3u);
    EXPECT_EQ(DwordAt(other, Entry(0), L"MonitorNum"), 1u);
    EXPECT_FALSE(other.HasKey(Entry(2))); // stopped at the failing entry
    EXPECT_EQ(other.OpenKeys(), 0);

    // A product key that may be read but not written can't be saved to either.
    MemoryRegistry readOnly;
    readOnly.AddKey(kProduct).noFullAccess = true;
    EXPECT_NE(ErrorOf([&] { SaveSession(readOnly, SessionWith({})); }), L"(no error)");
}

TEST_F(SettingsStore, RefusedValueStopsSavingAndKeepsWhatWasWritten) {
    registry.AddKey(kProduct).refusedWrites.insert(L"count");
    EXPECT_EQ(ErrorOf([&] {
                  SaveSession(registry, SessionWith({{L"a", 1}}, true, true));
              }),
              L"Failed to set data for 'Count'");
    EXPECT_EQ(DwordAt(registry, kProduct, L"EnableKeyboard"), 1u);
    EXPECT_EQ(DwordAt(registry, kProduct, L"EnableMouse"), 1u);
    EXPECT_FALSE(registry.HasKey(Entry(0)));

    MemoryRegistry other;
    other.AddKey(Entry(0)).refusedWrites.insert(L"presname");
    EXPECT_EQ(ErrorOf([&] {
                  SaveSession(other, SessionWith({{L"a", 5}, {L"b", 2}}));
              }),
              L"Failed to set data for 'PresName'");
    EXPECT_EQ(DwordAt(other, Entry(0), L"MonitorNum"), 5u);
    EXPECT_FALSE(other.HasKey(Entry(1)));
    EXPECT_EQ(other.OpenKeys(), 0);
}

TEST_F(SettingsStore, ReadStringDistinguishesMissingKeyFromMissingValue) {
    std::wstring result = L"untouched";
    RegReadString(registry, kSettings, L"FileOpenFolder", L"default", result);
    EXPECT_EQ(result, L"untouched");

    registry.AddKey(kSettings);
    RegReadString(registry, kSettings, L"FileOpenFolder", L"default", result);
    EXPECT_EQ(result, L"default");

    registry.SetText(kSettings, L"FileOpenFolder", L"%USERPROFILE%\\Shows\\",
                     RegistryValueType::ExpandString);
    RegReadString(registry, kSettings, L"FileOpenFolder", L"default", result);
    EXPECT_EQ(result, L"%USERPROFILE%\\Shows\\");

    registry.SetText(kSettings, L"FileOpenFolder", L"");
    RegReadString(registry, kSettings, L"FileOpenFolder", L"default", result);
    EXPECT_EQ(result, L"");

    result = L"untouched";
    registry.AddKey(kSettings).noFullAccess = true;
    RegReadString(registry, kSettings, L"FileOpenFolder", L"default", result);
    EXPECT_EQ(result, L"untouched");

    registry.AddKey(kSettings).noFullAccess = false;
    registry.SetDword(kSettings, L"FileOpenFolder", 1);
    EXPECT_EQ(
        ErrorOf([&] { RegReadString(registry, kSettings, L"FileOpenFolder", L"default", result); }),
        L"Invalid data type for 'FileOpenFolder'");
}

TEST_F(SettingsStore, WriteStringCreatesKeyOrQuietlyGivesUp) {
    RegWriteString(registry, kSettings, L"FileOpenFolder", L"D:\\Shows\\");
    const RegistryValue* value = registry.Value(kSettings, L"FileOpenFolder");
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->type, kSz);
    EXPECT_EQ(value->data, MemoryRegistry::Utf16Bytes(L"D:\\Shows\\", true));
    EXPECT_TRUE(registry.HasKey(kProduct));

    MemoryRegistry refusing;
    refusing.RefuseCreate(kSettings);
    EXPECT_EQ(ErrorOf([&] { RegWriteString(refusing, kSettings, L"FileOpenFolder", L"x"); }),
              L"(no error)");
    EXPECT_EQ(refusing.Writes(), 0);

    registry.AddKey(kSettings).refusedWrites.insert(L"fileopenfolder");
    EXPECT_EQ(ErrorOf([&] { RegWriteString(registry, kSettings, L"FileOpenFolder", L"x"); }),
              L"Failed to set data for 'FileOpenFolder'");
}

TEST_F(SettingsStore, PoliciesWinValueByValueMachineFirstAndABadOneIsIgnored) {
    registry.SetDword(kProduct, L"EnableKeyboard", 1);
    registry.SetDword(kProduct, L"EnableMouse", 0);
    registry.SetDword(kProduct, L"Count", 2);
    registry.SetDword(Entry(0), L"MonitorNum", 1);
    registry.SetText(Entry(0), L"PresName", L"C:\\a.ppt");
    registry.SetDword(Entry(1), L"MonitorNum", 2);
    registry.SetText(Entry(1), L"PresName", L"C:\\b.ppt");
    ASSERT_EQ(Load(), L"(no error)");

    // The user's policy key is read-only to the user, as Group Policy leaves it.
    MemoryRegistry machine;
    machine.SetText(kPolicy, L"Monitor1", L"\\\\srv\\shows\\lobby.pptx");
    machine.SetText(kPolicy, L"EnableMouse", L"1");
    registry.SetText(kPolicy, L"Monitor1", L"C:\\user-policy.ppt");
    registry.SetText(kPolicy, L"Monitor2", L"");
    registry.SetText(kPolicy, L"Monitor16", L"C:\\p.ppt");
    registry.SetDword(kPolicy, L"EnableMouse", 1);
    registry.AddKey(kPolicy).noFullAccess = true;
    const long writesBefore = registry.Writes();
    const PolicySettings policies = ReadPolicies(machine, registry);
    ApplyPolicies(policies, session);
    EXPECT_EQ(registry.Writes() + machine.Writes(), writesBefore);
    EXPECT_EQ(machine.OpenKeys(), 0);

    EXPECT_EQ(policies.messages,
              std::vector<std::wstring>{L"Invalid data type for 'EnableMouse' in policy key "
                                        L"'HKEY_LOCAL_MACHINE\\" +
                                        kPolicy + L"' (ignored)"});
    EXPECT_TRUE(session.EnableKeyboard);
    EXPECT_TRUE(session.EnableMouse);
    ASSERT_EQ(session.Elements.size(), 16u);
    EXPECT_EQ(session.Elements[0], (TSessionElement{L"\\\\srv\\shows\\lobby.pptx", 1}));
    EXPECT_EQ(session.Elements[1], (TSessionElement{L"C:\\b.ppt", 2}));
    EXPECT_EQ(session.Elements[2], (TSessionElement{L"", 3}));
    EXPECT_EQ(session.Elements[15], (TSessionElement{L"C:\\p.ppt", 16}));
}

TEST_F(SettingsStore, WithoutPolicyKeysOnlyTheirLookupsAreAdded) {
    registry.SetDword(kProduct, L"EnableMouse", 1);
    registry.SetDword(kProduct, L"Count", 1);
    registry.SetDword(Entry(0), L"MonitorNum", 1);
    registry.SetText(Entry(0), L"PresName", L"C:\\a.ppt");
    ASSERT_EQ(Load(), L"(no error)");
    const long opens = registry.KeyOpens();
    const TSession loaded = session;

    MemoryRegistry machine;
    const PolicySettings policies = ReadPolicies(machine, registry);
    ApplyPolicies(policies, session);
    EXPECT_EQ(registry.KeyOpens(), opens + 1);
    EXPECT_EQ(machine.KeyOpens(), 1);
    EXPECT_TRUE(policies.messages.empty());
    EXPECT_EQ(session.Elements, loaded.Elements);
    EXPECT_TRUE(session.EnableMouse);
    EXPECT_FALSE(session.EnableKeyboard);
}

TEST_F(SettingsStore, AValueAPolicySetsNeverFailsOnTheUsersUnreadableCopy) {
    registry.SetText(kProduct, L"EnableMouse", L"yes");
    registry.SetDword(kProduct, L"Count", 2);
    registry.AddKey(Entry(0)); // no MonitorNum
    registry.SetRaw(Entry(0), L"PresName", kBinary, {1, 2, 3});
    registry.SetDword(Entry(1), L"MonitorNum", 2);
    registry.SetText(Entry(1), L"PresName", L"C:\\b.ppt");
    MemoryRegistry machine;
    machine.SetText(kPolicy, L"Monitor1", L"\\\\srv\\lobby.pptx");
    machine.SetDword(kPolicy, L"EnableMouse", 0);
    const PolicySettings policies = ReadPolicies(machine, registry);
    EXPECT_EQ(ErrorOf([&] { LoadSession(registry, session, policies); }), L"(no error)");
    ApplyPolicies(policies, session);
    EXPECT_FALSE(session.EnableMouse);
    ASSERT_EQ(session.Elements.size(), 2u);
    EXPECT_EQ(session.Elements[0], (TSessionElement{L"\\\\srv\\lobby.pptx", 1}));
    EXPECT_EQ(session.Elements[1], (TSessionElement{L"C:\\b.ppt", 2}));

    // What no policy sets still fails the run as before, at the same value.
    registry.SetText(kProduct, L"EnableKeyboard", L"on");
    EXPECT_EQ(ErrorOf([&] { LoadSession(registry, session, policies); }),
              L"Failed to get data for 'EnableKeyboard'");
    registry.SetDword(kProduct, L"EnableKeyboard", 1);
    registry.SetText(Entry(1), L"MonitorNum", L"2");
    EXPECT_EQ(ErrorOf([&] { LoadSession(registry, session, policies); }),
              L"Invalid data type for 'MonitorNum'");
}

TEST(SettingsErrorText, WhatCarriesTheMessageAsUtf8) {
    SettingsError error(L"Failed to create key 'Pr\u00e9sentations\\\u65e5'");
    EXPECT_STREQ(error.what(), "Failed to create key 'Pr\xc3\xa9sentations\\\xe6\x97\xa5'");
    EXPECT_EQ(error.message(), L"Failed to create key 'Pr\u00e9sentations\\\u65e5'");
}
