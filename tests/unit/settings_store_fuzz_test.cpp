// Seeded random registries and sessions: loading whatever another program may have left must end
// in a bounded list or one of the store's own errors, and a save must always load back unchanged.
#include "common/product.h"
#include "settings/session.h"
#include "settings_memory_registry.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

using namespace kestova;

namespace {

const std::wstring kProduct = kProductKeyPath;
constexpr size_t kMaxEntries = 4096;

class Generator {
public:
    explicit Generator(uint32_t seed) : engine_(seed) {}

    uint32_t Below(uint32_t bound) {
        return std::uniform_int_distribution<uint32_t>(0, bound - 1)(engine_);
    }
    bool Chance(uint32_t percent) { return Below(100) < percent; }
    uint32_t Any() { return static_cast<uint32_t>(engine_()); }

    std::vector<uint8_t> Bytes(size_t count) {
        std::vector<uint8_t> bytes(count);
        for (auto& b : bytes)
            b = static_cast<uint8_t>(Below(256));
        return bytes;
    }

    // Text of BMP units; `nuls` lets NULs in.
    std::wstring Text(size_t maxLength, bool nuls) {
        std::wstring text(Below(static_cast<uint32_t>(maxLength) + 1), L'a');
        for (auto& c : text) {
            switch (Below(4)) {
            case 0:
                c = static_cast<wchar_t>(L' ' + Below(95));
                break;
            case 1:
                c = static_cast<wchar_t>(1 + Below(0xFFFF));
                break;
            case 2:
                c = nuls ? L'\0' : L'\\';
                break;
            default:
                c = L'x';
            }
        }
        return text;
    }

    // A value as any program could have written it: mostly the expected type, sometimes not.
    RegistryValue Dword(uint32_t value) {
        static constexpr uint32_t kTypes[] = {0, 1, 2, 3, 5, 7, 11, 0x1234};
        if (Chance(80))
            return {static_cast<uint32_t>(RegistryValueType::Dword),
                    MemoryRegistry::DwordBytes(value)};
        uint32_t type = Chance(30) ? static_cast<uint32_t>(RegistryValueType::Dword)
                                   : kTypes[Below(std::size(kTypes))];
        std::vector<uint8_t> data = Bytes(Below(12));
        if (data.size() == 4 && !Chance(5))
            data[3] = data[2] = 0; // keep most counts small enough to load quickly
        return {type, std::move(data)};
    }
    RegistryValue String() {
        static constexpr uint32_t kTypes[] = {0, 3, 4, 7, 11};
        uint32_t type = Chance(85) ? (Chance(70) ? 1u : 2u) : kTypes[Below(std::size(kTypes))];
        std::vector<uint8_t> data = MemoryRegistry::Utf16Bytes(Text(40, true), Chance(80));
        if (Chance(10))
            data.push_back(static_cast<uint8_t>(Below(256))); // odd size
        return {type, std::move(data)};
    }
    uint32_t Count() {
        static constexpr uint32_t kEdges[] = {0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 4095, 4096, 4097};
        // Rare: each large one costs thousands of key probes.
        if (Below(1000) < 4)
            return kEdges[Below(std::size(kEdges))];
        if (Below(1000) < 4)
            return Any();
        return Below(8);
    }

private:
    std::mt19937 engine_;
};

std::set<std::wstring> StoreErrors() {
    std::set<std::wstring> errors{L"Range check error"};
    for (const wchar_t* name :
         {L"EnableKeyboard", L"EnableMouse", L"Count", L"MonitorNum", L"PresName"}) {
        errors.insert(std::wstring(L"Invalid data type for '") + name + L"'");
        errors.insert(std::wstring(L"Failed to get data for '") + name + L"'");
    }
    return errors;
}

TSession RandomSession(Generator& random, bool nuls) {
    TSession session;
    session.Elements.resize(random.Below(7));
    for (auto& element : session.Elements) {
        element.PresName = random.Text(30, nuls);
        element.MonitorNum =
            static_cast<int32_t>(random.Chance(70) ? random.Below(5) : random.Any());
    }
    session.EnableKeyboard = random.Chance(50);
    session.EnableMouse = random.Chance(50);
    return session;
}

void FillRandomRegistry(Generator& random, MemoryRegistry& registry) {
    if (random.Chance(5))
        return;
    MemoryRegistry::Key& product = registry.AddKey(kProduct);
    product.noFullAccess = random.Chance(3);
    product.unreadable = random.Chance(3);
    for (const wchar_t* name : {L"EnableKeyboard", L"EnableMouse"}) {
        if (random.Chance(75)) {
            auto value = random.Dword(random.Below(3));
            registry.SetRaw(kProduct, name, value.type, value.data);
        }
    }
    if (random.Chance(90)) {
        auto value = random.Dword(random.Count());
        registry.SetRaw(kProduct, L"Count", value.type, value.data);
    }
    for (int i = 0; i < 9; ++i) {
        if (random.Chance(30))
            continue;
        std::wstring path = kProduct + L"\\" + std::to_wstring(i);
        MemoryRegistry::Key& entry = registry.AddKey(path);
        entry.noFullAccess = random.Chance(5);
        entry.unreadable = random.Chance(5);
        if (random.Chance(95)) {
            auto value = random.Dword(random.Below(6));
            registry.SetRaw(path, L"MonitorNum", value.type, value.data);
        }
        if (random.Chance(90)) {
            auto value = random.String();
            registry.SetRaw(path, L"PresName", value.type, value.data);
        }
    }
}

} // namespace

TEST(SettingsStoreRandom, LoadingAnyRegistryEndsBoundedOrWithAStoreError) {
    const std::set<std::wstring> allowed = StoreErrors();
    for (uint32_t seed = 1; seed <= 20000; ++seed) {
        Generator random(seed);
        MemoryRegistry registry;
        FillRandomRegistry(random, registry);
        TSession session = RandomSession(random, false);
        const size_t before = session.Elements.size();

        std::wstring error;
        try {
            LoadSession(registry, session);
        } catch (const SettingsError& e) {
            error = e.message();
        }
        ASSERT_TRUE(error.empty() || allowed.count(error)) << "seed " << seed;
        ASSERT_EQ(registry.Writes(), 0) << "seed " << seed;
        ASSERT_EQ(registry.OpenKeys(), 0) << "seed " << seed;
        ASSERT_LE(session.Elements.size(), std::max(before, kMaxEntries)) << "seed " << seed;
        if (error.empty()) {
            for (const auto& element : session.Elements)
                ASSERT_EQ(element.PresName.find(L'\0'), std::wstring::npos) << "seed " << seed;
        }
    }
}

TEST(SettingsStoreRandom, WhatWasSavedLoadsBackWhateverWasThereBefore) {
    for (uint32_t seed = 1; seed <= 2000; ++seed) {
        Generator random(seed);
        MemoryRegistry registry;
        FillRandomRegistry(random, registry);
        auto& product = registry.AddKey(kProduct); // saving needs a writable product key
        product.noFullAccess = product.unreadable = false;
        for (int i = 0; i < 9; ++i)
            if (registry.HasKey(kProduct + L"\\" + std::to_wstring(i))) {
                auto& entry = registry.AddKey(kProduct + L"\\" + std::to_wstring(i));
                entry.noFullAccess = entry.unreadable = false;
            }
        const TSession saved = RandomSession(random, false);
        ASSERT_NO_THROW(SaveSession(registry, saved)) << "seed " << seed;

        TSession loaded = RandomSession(random, true);
        ASSERT_NO_THROW(LoadSession(registry, loaded)) << "seed " << seed;
        ASSERT_EQ(loaded.Elements, saved.Elements) << "seed " << seed;
        ASSERT_EQ(loaded.EnableKeyboard, saved.EnableKeyboard) << "seed " << seed;
        ASSERT_EQ(loaded.EnableMouse, saved.EnableMouse) << "seed " << seed;
    }
}
