#pragma once

// A registry held in memory, for the settings store's tests: keys and values as another program
// could have left them, plus refusals the real registry can produce (no write access, no create,
// a value it won't store). Counts opens and writes so tests can see what an operation did.
#include "settings/registry_access.h"
#include "settings/session.h"

#include <cstring>
#include <map>
#include <ostream>
#include <set>
#include <string>

namespace kestova {

// Key and value names compare without regard to case, as in the registry.
struct NoCaseLess {
    using is_transparent = void;
    bool operator()(const std::wstring& a, const std::wstring& b) const {
        // A plain loop: the tests run unoptimised, and every lookup passes a long common prefix.
        const wchar_t* x = a.data();
        const wchar_t* y = b.data();
        const size_t n = a.size() < b.size() ? a.size() : b.size();
        for (size_t i = 0; i < n; ++i) {
            if (x[i] != y[i] && Fold(x[i]) != Fold(y[i]))
                return Fold(x[i]) < Fold(y[i]);
        }
        return a.size() < b.size();
    }
    static wchar_t Fold(wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; }
};

class MemoryRegistry final : public RegistryAccess {
public:
    struct Key {
        std::map<std::wstring, RegistryValue, NoCaseLess> values;
        bool noFullAccess = false; // readable, not writable: probes and creates fail
        bool unreadable = false;
        std::set<std::wstring, NoCaseLess> refusedWrites;
    };

    // --- arranging ---
    Key& AddKey(const std::wstring& path) {
        if (Key* existing = Find(path))
            return *existing;
        std::wstring prefix;
        Key* key = nullptr;
        for (const std::wstring& part : Split(path)) {
            prefix += (prefix.empty() ? L"" : L"\\") + part;
            key = &keys_[prefix];
        }
        return *key;
    }
    void SetRaw(const std::wstring& path, const std::wstring& name, uint32_t type,
                std::vector<uint8_t> data) {
        AddKey(path).values[name] = RegistryValue{type, std::move(data)};
    }
    void SetDword(const std::wstring& path, const std::wstring& name, uint32_t value) {
        SetRaw(path, name, static_cast<uint32_t>(RegistryValueType::Dword), DwordBytes(value));
    }
    // UTF-16LE as the wide API stores it; `withNul` adds the terminating NUL.
    void SetText(const std::wstring& path, const std::wstring& name, const std::wstring& text,
                 RegistryValueType type = RegistryValueType::String, bool withNul = true) {
        SetRaw(path, name, static_cast<uint32_t>(type), Utf16Bytes(text, withNul));
    }
    void RefuseCreate(const std::wstring& path) { refusedCreates_.insert(path); }

    // --- inspecting ---
    [[nodiscard]] bool HasKey(const std::wstring& path) const { return keys_.count(path) != 0; }
    [[nodiscard]] const RegistryValue* Value(const std::wstring& path,
                                             const std::wstring& name) const {
        auto key = keys_.find(path);
        if (key == keys_.end())
            return nullptr;
        auto value = key->second.values.find(name);
        return value == key->second.values.end() ? nullptr : &value->second;
    }
    [[nodiscard]] size_t KeyCount() const { return keys_.size(); }
    // The same keys holding the same values, type and bytes.
    [[nodiscard]] bool SameValues(const MemoryRegistry& other) const {
        if (keys_.size() != other.keys_.size())
            return false;
        for (const auto& [path, key] : keys_) {
            auto it = other.keys_.find(path);
            if (it == other.keys_.end() || it->second.values.size() != key.values.size())
                return false;
            for (const auto& [name, value] : key.values) {
                auto same = it->second.values.find(name);
                if (same == it->second.values.end() || same->second.type != value.type ||
                    same->second.data != value.data)
                    return false;
            }
        }
        return true;
    }
    [[nodiscard]] int OpenKeys() const { return openKeys_; }
    [[nodiscard]] long Writes() const { return writes_; }
    [[nodiscard]] long KeyOpens() const { return keyOpens_; }

    static std::vector<uint8_t> DwordBytes(uint32_t value) {
        return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    }
    static std::vector<uint8_t> Utf16Bytes(const std::wstring& text, bool withNul = true) {
        std::vector<uint8_t> bytes;
        for (wchar_t c : text) {
            bytes.push_back(static_cast<uint8_t>(c & 0xFF));
            bytes.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
        }
        if (withNul)
            bytes.insert(bytes.end(), {0, 0});
        return bytes;
    }

    // --- RegistryAccess ---
    bool KeyExists(const std::wstring& path) override {
        ++keyOpens_;
        Key* key = Find(path);
        return key && !key->noFullAccess;
    }
    std::unique_ptr<RegistryKey> OpenKeyForRead(const std::wstring& path) override {
        ++keyOpens_;
        Key* key = Find(path);
        if (!key || key->unreadable)
            return nullptr;
        return std::make_unique<OpenKey>(*this, *key, false);
    }
    std::unique_ptr<RegistryKey> CreateKey(const std::wstring& path) override {
        ++keyOpens_;
        if (refusedCreates_.count(path))
            return nullptr;
        Key* key = Find(path);
        if (key && key->noFullAccess)
            return nullptr;
        if (!key)
            key = &AddKey(path);
        return std::make_unique<OpenKey>(*this, *key, true);
    }

private:
    class OpenKey final : public RegistryKey {
    public:
        OpenKey(MemoryRegistry& owner, Key& key, bool writable)
            : owner_(owner), key_(key), writable_(writable) {
            ++owner_.openKeys_;
        }
        ~OpenKey() override { --owner_.openKeys_; }

        std::optional<RegistryValueInfo> QueryValueInfo(const std::wstring& name) override {
            auto value = key_.values.find(name);
            if (value == key_.values.end())
                return std::nullopt;
            return RegistryValueInfo{value->second.type,
                                     static_cast<uint32_t>(value->second.data.size())};
        }
        std::optional<RegistryValue> ReadValue(const std::wstring& name) override {
            auto value = key_.values.find(name);
            if (value == key_.values.end())
                return std::nullopt;
            return value->second;
        }
        bool WriteDword(const std::wstring& name, uint32_t value) override {
            return Write(name, RegistryValueType::Dword, DwordBytes(value));
        }
        bool WriteString(const std::wstring& name, const std::wstring& text) override {
            return Write(name, RegistryValueType::String, Utf16Bytes(text));
        }

    private:
        bool Write(const std::wstring& name, RegistryValueType type, std::vector<uint8_t> data) {
            if (!writable_ || key_.refusedWrites.count(name))
                return false;
            ++owner_.writes_;
            key_.values[name] = RegistryValue{static_cast<uint32_t>(type), std::move(data)};
            return true;
        }

        MemoryRegistry& owner_;
        Key& key_;
        bool writable_;
    };

    static std::vector<std::wstring> Split(const std::wstring& path) {
        std::vector<std::wstring> parts;
        size_t start = 0;
        while (start <= path.size()) {
            size_t end = path.find(L'\\', start);
            if (end == std::wstring::npos)
                end = path.size();
            if (end > start)
                parts.push_back(path.substr(start, end - start));
            start = end + 1;
        }
        return parts;
    }
    Key* Find(const std::wstring& path) {
        auto key = keys_.find(path);
        return key == keys_.end() ? nullptr : &key->second;
    }

    std::map<std::wstring, Key, NoCaseLess> keys_; // by full path
    std::set<std::wstring, NoCaseLess> refusedCreates_;
    int openKeys_ = 0;
    long writes_ = 0;
    long keyOpens_ = 0;
};

// Readable failure output for entries (test frameworks find it by argument-dependent lookup).
inline void PrintTo(const TSessionElement& element, std::ostream* out) {
    *out << '"';
    for (wchar_t c : element.PresName) {
        if (c >= 0x20 && c < 0x7F)
            *out << static_cast<char>(c);
        else
            *out << "\\u{" << std::hex << static_cast<uint32_t>(c) << std::dec << '}';
    }
    *out << "\" on " << element.MonitorNum;
}

} // namespace kestova
