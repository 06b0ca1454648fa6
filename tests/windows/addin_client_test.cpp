// A client process of the running host, as the screen saver program is one: it finds the
// add-in's object through the host's list of COM add-ins and calls its members by name, every
// argument by reference. The Wine scenarios run this program with KESTOVA_ADDIN_CLIENT set to
// the commands to run, separated by "|":
//   pid | initialized | init <n> | add <index> <path> <monitor> | prepare | begin | shouldend
//   | end | exit | pptapp | dismiss (closes the add-in's version notice, printing its text)
// Each prints "addin-client<TAB>command<TAB>result<TAB>microseconds". Skipped when unset.
#include "common/product.h"
#include "common/win/com_error.h"
#include "addin_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>

using namespace kestova::addin::testing;
using kestova::win::InvokeByName;
using kestova::win::UniqueBstr;
using kestova::win::UniqueVariant;

namespace {

std::string Narrow(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    return out;
}

std::wstring Widen(const std::string& text) {
    int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(size > 0 ? size - 1 : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), size);
    return out;
}

ComPtr<IDispatch> Member(IDispatch* object, const wchar_t* name, VARIANT* argument = nullptr) {
    UniqueVariant result;
    std::span<VARIANT> args = argument ? std::span<VARIANT>(argument, 1) : std::span<VARIANT>();
    if (FAILED(InvokeByName(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args,
                            result.put())) ||
        V_VT(result.get()) != VT_DISPATCH)
        return nullptr;
    return V_DISPATCH(result.get());
}

// The add-in's object, found as the screen saver program finds it.
ComPtr<IDispatch> FindAddin(ComPtr<IDispatch>& app) {
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(L"PowerPoint.Application", &clsid)))
        return nullptr;
    ComPtr<IUnknown> running;
    if (FAILED(GetActiveObject(clsid, nullptr, &running)) || FAILED(running.As(&app)))
        return nullptr;
    ComPtr<IDispatch> addins = Member(app.Get(), L"COMAddIns");
    UniqueVariant count;
    if (!addins ||
        FAILED(InvokeByName(addins.Get(), L"Count", DISPATCH_PROPERTYGET, {}, count.put())))
        return nullptr;
    for (LONG i = 1; i <= V_I4(count.get()); ++i) {
        VARIANT index{};
        V_VT(&index) = VT_I4;
        V_I4(&index) = i;
        ComPtr<IDispatch> entry = Member(addins.Get(), L"Item", &index);
        UniqueVariant description;
        if (!entry ||
            FAILED(InvokeByName(entry.Get(), L"Description", DISPATCH_PROPERTYGET, {},
                                description.put())) ||
            V_VT(description.get()) != VT_BSTR ||
            wcscmp(V_BSTR(description.get()), kestova::kProductCaption) != 0)
            continue;
        return Member(entry.Get(), L"Object");
    }
    return nullptr;
}

std::wstring ResultText(const VARIANT& value) {
    switch (V_VT(&value)) {
    case VT_BOOL:
        return L"bool:" + std::to_wstring(V_BOOL(&value));
    case VT_BSTR:
        return L"bstr:" + std::wstring(V_BSTR(&value) ? V_BSTR(&value) : L"");
    case VT_I4:
        return L"i4:" + std::to_wstring(V_I4(&value));
    case VT_DISPATCH:
        return V_DISPATCH(&value) ? L"dispatch" : L"dispatch:null";
    case VT_EMPTY:
        return L"empty";
    default:
        return L"vt" + std::to_wstring(V_VT(&value));
    }
}

std::wstring DismissNotice() {
    for (int i = 0; i < 200; ++i) {
        if (HWND box = FindWindowW(L"#32770", kestova::kProductCaption)) {
            wchar_t text[512] = {};
            GetDlgItemTextW(box, 0xFFFF, text, 512);
            SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
            return text;
        }
        Sleep(50);
    }
    return L"<no notice>";
}

} // namespace

TEST(AddinClient, RunsTheCommandsItIsGiven) {
    const char* commands = std::getenv("KESTOVA_ADDIN_CLIENT");
    if (!commands || !*commands)
        GTEST_SKIP() << "run by the Wine scenarios only";
    kestova::win::ComApartment apartment;
    ComPtr<IDispatch> app, addin;

    std::stringstream all(commands);
    std::string command;
    while (std::getline(all, command, '|')) {
        std::istringstream words(command);
        std::string verb;
        words >> verb;
        auto started = std::chrono::steady_clock::now();
        std::wstring result;
        HRESULT hr = S_OK;
        if (verb == "dismiss") {
            result = DismissNotice();
        } else {
            if (!addin)
                addin = FindAddin(app);
            ASSERT_TRUE(addin) << "the add-in's object was not found";
            UniqueVariant value;
            if (verb == "pid") {
                LONG pid = 0;
                VARIANT arg{};
                V_VT(&arg) = VT_I4 | VT_BYREF;
                V_I4REF(&arg) = &pid;
                hr =
                    InvokeByName(addin.Get(), L"GetProcessId", DISPATCH_METHOD, {&arg, 1}, nullptr);
                result = std::to_wstring(pid);
            } else if (verb == "init") {
                LONG count = 0;
                words >> count;
                VARIANT arg{};
                V_VT(&arg) = VT_I4 | VT_BYREF;
                V_I4REF(&arg) = &count;
                hr = InvokeByName(addin.Get(), L"InitializeScreenSaverSession", DISPATCH_METHOD,
                                  {&arg, 1}, nullptr);
            } else if (verb == "add") {
                std::vector<std::string> rest;
                for (std::string word; words >> word;)
                    rest.push_back(word);
                ASSERT_GE(rest.size(), 3u);
                LONG index = std::stol(rest.front());
                LONG monitor = std::stol(rest.back());
                std::string path;
                for (size_t i = 1; i + 1 < rest.size(); ++i)
                    path += (i > 1 ? " " : "") + rest[i];
                UniqueBstr name(Widen(path).c_str());
                BSTR raw = name.get();
                VARIANT args[3] = {};
                V_VT(&args[0]) = VT_I4 | VT_BYREF;
                V_I4REF(&args[0]) = &index;
                V_VT(&args[1]) = VT_BSTR | VT_BYREF;
                V_BSTRREF(&args[1]) = &raw;
                V_VT(&args[2]) = VT_I4 | VT_BYREF;
                V_I4REF(&args[2]) = &monitor;
                hr = InvokeByName(addin.Get(), L"AddScreenSaver", DISPATCH_METHOD, args, nullptr);
            } else {
                static const std::pair<const char*, const wchar_t*> members[] = {
                    {"initialized", L"IsCOMAddInInitialized"},
                    {"prepare", L"PrepareScreenSaver"},
                    {"begin", L"BeginScreenSaver"},
                    {"end", L"EndScreenSaver"},
                    {"exit", L"ExitScreenSaverSession"},
                    {"shouldend", L"ShouldEndScreenSaver"},
                    {"pptapp", L"PPTApp"}};
                const wchar_t* member = nullptr;
                for (const auto& [name, full] : members)
                    if (verb == name)
                        member = full;
                ASSERT_TRUE(member) << "unknown command " << verb;
                hr = InvokeByName(addin.Get(), member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {},
                                  value.put());
                result = ResultText(*value.get());
                if (verb == "pptapp" && V_VT(value.get()) == VT_DISPATCH) {
                    ComPtr<IUnknown> a, b;
                    app.As(&a);
                    V_DISPATCH(value.get())->QueryInterface(IID_PPV_ARGS(&b));
                    result += a.Get() == b.Get() ? L":host" : L":other";
                }
            }
        }
        auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - started)
                          .count();
        EXPECT_EQ(hr, S_OK) << command;
        std::printf("addin-client\t%s\t%s\t%lld\n", command.c_str(), Narrow(result).c_str(),
                    static_cast<long long>(micros));
        std::fflush(stdout);
    }
}
