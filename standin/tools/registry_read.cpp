// StandinRegistry.exe: registry keys for the Python side of the tests, in one process (reg.exe
// takes one process per key, which costs seconds under Wine for the keys a scenario reads).
//   StandinRegistry.exe [/values] <key>...   keys named from their root (HKEY_CURRENT_USER\...)
// Prints, for each key, reg.exe query's layout: the key's name on a line of its own, each value
// as "    name    REG_TYPE    data" ("(Default)" for the default value), and then each subkey the
// same way, unless /values. A missing key prints nothing.
#include "common/win/unique_handle.h"
#include "standin/win/journal.h"

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using kestova::standin::win::ToUtf8;
using kestova::win::UniqueHkey;

std::string g_output;

void Emit(const std::wstring& line) {
    g_output += ToUtf8(line);
    g_output += "\r\n";
}

std::wstring Data(DWORD type, const std::vector<BYTE>& bytes, DWORD size) {
    const auto* text = reinterpret_cast<const wchar_t*>(bytes.data());
    const std::size_t chars = size / sizeof(wchar_t);
    wchar_t number[32];
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return std::wstring(text, chars).c_str(); // up to the terminating null
    case REG_MULTI_SZ: {
        std::wstring joined;
        for (const wchar_t* item = text; item < text + chars && *item; item += wcslen(item) + 1)
            joined += (joined.empty() ? L"" : L"\\0") + std::wstring(item);
        return joined;
    }
    case REG_DWORD:
        swprintf(number, 32, L"0x%lx",
                 size >= 4 ? *reinterpret_cast<const DWORD*>(bytes.data()) : 0ul);
        return number;
    case REG_QWORD:
        swprintf(number, 32, L"0x%llx",
                 size >= 8 ? *reinterpret_cast<const unsigned long long*>(bytes.data()) : 0ull);
        return number;
    default: {
        std::wstring hex;
        for (DWORD i = 0; i < size; ++i) {
            swprintf(number, 32, L"%02X", bytes[i]);
            hex += number;
        }
        return hex;
    }
    }
}

const wchar_t* TypeName(DWORD type) {
    switch (type) {
    case REG_SZ:
        return L"REG_SZ";
    case REG_EXPAND_SZ:
        return L"REG_EXPAND_SZ";
    case REG_MULTI_SZ:
        return L"REG_MULTI_SZ";
    case REG_DWORD:
        return L"REG_DWORD";
    case REG_QWORD:
        return L"REG_QWORD";
    default:
        return L"REG_BINARY";
    }
}

void Dump(HKEY key, const std::wstring& name, bool subkeys) {
    Emit(name);
    DWORD valueCount = 0, nameMax = 0, dataMax = 0, subkeyCount = 0, subkeyMax = 0;
    ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeyCount, &subkeyMax, nullptr,
                       &valueCount, &nameMax, &dataMax, nullptr, nullptr);
    std::vector<wchar_t> valueName(nameMax + 2);
    std::vector<BYTE> data(dataMax + 4);
    for (DWORD i = 0; i < valueCount; ++i) {
        DWORD nameLength = static_cast<DWORD>(valueName.size());
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (::RegEnumValueW(key, i, valueName.data(), &nameLength, nullptr, &type, data.data(),
                            &size) != ERROR_SUCCESS)
            continue;
        std::wstring shown(valueName.data(), nameLength);
        Emit(L"    " + (shown.empty() ? std::wstring(L"(Default)") : shown) + L"    " +
             TypeName(type) + L"    " + Data(type, data, size));
    }
    if (!subkeys)
        return;
    std::vector<wchar_t> subkeyName(subkeyMax + 2);
    for (DWORD i = 0; i < subkeyCount; ++i) {
        DWORD length = static_cast<DWORD>(subkeyName.size());
        if (::RegEnumKeyExW(key, i, subkeyName.data(), &length, nullptr, nullptr, nullptr,
                            nullptr) != ERROR_SUCCESS)
            continue;
        const std::wstring child(subkeyName.data(), length);
        UniqueHkey opened;
        if (::RegOpenKeyExW(key, child.c_str(), 0, KEY_READ, opened.put()) == ERROR_SUCCESS)
            Dump(opened.get(), name + L"\\" + child, true);
    }
}

void Query(const std::wstring& name, bool subkeys) {
    const std::size_t slash = name.find(L'\\');
    const std::wstring rootName = name.substr(0, slash);
    HKEY root = rootName == L"HKEY_LOCAL_MACHINE"  ? HKEY_LOCAL_MACHINE
                : rootName == L"HKEY_CURRENT_USER" ? HKEY_CURRENT_USER
                                                   : nullptr;
    if (!root)
        return;
    UniqueHkey key;
    const std::wstring path = slash == std::wstring::npos ? L"" : name.substr(slash + 1);
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, key.put()) ==
        ERROR_SUCCESS)
        Dump(key.get(), name, subkeys);
}

int Run() {
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!args)
        return 2;
    bool subkeys = true;
    for (int i = 1; i < count; ++i) {
        if (std::wstring(args[i]) == L"/values")
            subkeys = false;
        else
            Query(args[i], subkeys);
    }
    ::LocalFree(args);
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), g_output.data(),
                static_cast<DWORD>(g_output.size()), &written, nullptr);
    return 0;
}

} // namespace

int wmain() {
    try {
        return Run();
    } catch (...) {
        return 1;
    }
}
