// Figures for tools/bench_addin.py, never assertions on time: how long the add-in itself takes in
// OnConnection + OnStartupComplete (hosts disable add-ins that load slowly), measured on the real
// Paxendo.dll with an in-process host that answers at once. Skipped unless KESTOVA_ADDIN_BENCH
// is set; prints "addin-bench<TAB>name<TAB>microseconds".
#include "addin/win/file_stamp_reader.h"
#include "addin_test_support.h"
#include "extensibility_h.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace kestova::addin::testing;

namespace {

class InstantHost : public FakeDispatch {
public:
    InstantHost() {
        members[L"Version"] = [](WORD, std::vector<VARIANT>&, VARIANT* result) {
            return ReturnString(result, L"16.0");
        };
        members[L"Object"] = [this](WORD flags, std::vector<VARIANT>& args, VARIANT*) {
            if ((flags & DISPATCH_PROPERTYPUT) && args.size() == 1 && V_VT(&args[0]) == VT_DISPATCH)
                object = V_DISPATCH(&args[0]);
            return S_OK;
        };
    }
    ComPtr<IDispatch> object;
};

double Micros(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

} // namespace

TEST(AddinBench, ConnectionAndStartupOwnTime) {
    if (!std::getenv("KESTOVA_ADDIN_BENCH"))
        GTEST_SKIP() << "run by tools/bench_addin.py only";
    kestova::win::ComApartment apartment;
    kestova::win::UniqueModule dll(
        LoadLibraryExW((BinFolder() + L"Paxendo.dll").c_str(), nullptr, 0));
    ASSERT_TRUE(dll);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject = Export<GetClassObject>(dll.get(), "DllGetClassObject");
    CLSID clsid{};
    CLSIDFromString(L"{0241142B-432C-4C3E-AE2A-22CCF0A6291E}", &clsid);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(clsid, IID_IClassFactory, &factory), S_OK);

    InstantHost app, entry;
    std::vector<double> samples;
    for (int i = 0; i < 201; ++i) {
        ComPtr<IDTExtensibility2> addin;
        ASSERT_EQ(factory->CreateInstance(nullptr, __uuidof(IDTExtensibility2), &addin), S_OK);
        auto started = std::chrono::steady_clock::now();
        addin->OnConnection(&app, ext_cm_Startup, &entry, nullptr);
        addin->OnStartupComplete(nullptr);
        samples.push_back(Micros(std::chrono::steady_clock::now() - started));
        addin->OnBeginShutdown(nullptr);
        addin->OnDisconnection(ext_dm_HostShutdown, nullptr);
        entry.object.Reset();
    }
    const double first = samples.front();
    samples.erase(samples.begin());
    std::sort(samples.begin(), samples.end());
    std::printf("addin-bench\tconnect+startup first\t%.1f\n", first);
    std::printf("addin-bench\tconnect+startup median\t%.1f\n", samples[samples.size() / 2]);
    std::printf("addin-bench\tconnect+startup p95\t%.1f\n", samples[samples.size() * 95 / 100]);
}

// The stamp reads of one run with three presentations: each handed to the add-in's reading
// thread and waited for, as PrepareScreenSaver does. Prints "addin-stamps<TAB>name<TAB>µs".
TEST(AddinBench, StampReadsOfThreePresentations) {
    if (!std::getenv("KESTOVA_ADDIN_BENCH"))
        GTEST_SKIP() << "run by tools/bench_addin.py only";
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, folder), 0u);
    std::vector<std::wstring> paths;
    for (int n = 1; n <= 3; ++n) {
        paths.push_back(std::wstring(folder) + L"kestova-stamp-bench-" + std::to_wstring(n) +
                        L".pptx");
        kestova::win::UniqueHandle file(CreateFileW(paths.back().c_str(), GENERIC_WRITE, 0, nullptr,
                                                    CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file);
    }
    std::vector<double> samples;
    for (int i = 0; i < 201; ++i) {
        auto started = std::chrono::steady_clock::now();
        for (const std::wstring& path : paths)
            ASSERT_TRUE(kestova::addin::win::ReadFileStampWithin(path, 1000));
        samples.push_back(Micros(std::chrono::steady_clock::now() - started));
    }
    for (const std::wstring& path : paths)
        DeleteFileW(path.c_str());
    const double first = samples.front(); // starts the reading thread
    samples.erase(samples.begin());
    std::sort(samples.begin(), samples.end());
    std::printf("addin-stamps\tthree reads, first (thread started)\t%.1f\n", first);
    std::printf("addin-stamps\tthree reads, median\t%.1f\n", samples[samples.size() / 2]);
    std::printf("addin-stamps\tthree reads, p95\t%.1f\n", samples[samples.size() * 95 / 100]);
}
