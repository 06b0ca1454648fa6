// Tovrin.dll through its exports as the add-in binds them, and the add-in's loading of it: only
// ever from the add-in's own folder.
#include "addin/win/tovrin_library.h"
#include "common/monitor_order.h"
#include "common/win/monitors.h"
#include "addin_test_support.h"

#include <gtest/gtest.h>

using namespace kestova;
using namespace kestova::addin::testing;

namespace {

using VoidFunction = int32_t(WINAPI*)();
using HandleFunction = int32_t(WINAPI*)(int32_t);
using InfoFunction = int32_t(WINAPI*)(int32_t, int32_t*, int32_t*, int32_t*, int32_t*);
using WindowFunction = int32_t(WINAPI*)(VARIANT);

class AddinTovrinExports : public ::testing::Test {
protected:
    void SetUp() override {
        dll_.reset(LoadLibraryExW((BinFolder() + L"Tovrin.dll").c_str(), nullptr, 0));
        ASSERT_TRUE(dll_);
    }
    template <typename F> F Get(const char* name) {
        F function = Export<F>(dll_.get(), name);
        EXPECT_TRUE(function) << name;
        return function;
    }
    kestova::win::UniqueModule dll_;
};

// A slide show window object whose HWND property answers `handle`.
class FakeShowWindow : public FakeDispatch {
public:
    explicit FakeShowWindow(LONG handle) {
        members[L"HWND"] = [handle](WORD, std::vector<VARIANT>&, VARIANT* result) {
            V_VT(result) = VT_I4;
            V_I4(result) = handle;
            return S_OK;
        };
    }
};

} // namespace

TEST_F(AddinTovrinExports, MonitorsNumberedAsTheScreenSaverNumbersThem) {
    auto count = Get<VoidFunction>("GetMonitorCount");
    auto info = Get<InfoFunction>("GetMonitorInfo");
    ASSERT_TRUE(count && info);
    auto expected = MonitorsInProductOrder(win::EnumerateSystemMonitors());
    ASSERT_EQ(count(), static_cast<int32_t>(expected.size()));
    for (int32_t n = 1; n <= count(); ++n) {
        int32_t left = -7, top = -7, width = -7, height = -7;
        info(n, &left, &top, &width, &height);
        EXPECT_EQ(MonitorRect({left, top, width, height}), expected[static_cast<size_t>(n) - 1]);
    }
    EXPECT_EQ(expected[0],
              MonitorRect({0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}));
    // Outside 1 to the count the outputs stay as they were; missing outputs are no fault.
    for (int32_t n : {0, -1, count() + 1}) {
        int32_t left = -7, top = -7, width = -7, height = -7;
        info(n, &left, &top, &width, &height);
        EXPECT_EQ(MonitorRect({left, top, width, height}), MonitorRect({-7, -7, -7, -7}));
    }
    info(1, nullptr, nullptr, nullptr, nullptr);
}

TEST_F(AddinTovrinExports, WindowHandleFromTheObjectLentByValue) {
    auto handle = Get<WindowFunction>("GetSSWHandle");
    ASSERT_TRUE(handle);
    FakeShowWindow window(0x2345);
    VARIANT lent{};
    V_VT(&lent) = VT_DISPATCH;
    V_DISPATCH(&lent) = &window;
    EXPECT_EQ(handle(lent), 0x2345);
    EXPECT_EQ(window.refs, 1); // only lent: no reference kept

    FakeDispatch noHandle;
    V_DISPATCH(&lent) = &noHandle;
    EXPECT_EQ(handle(lent), 0);
    V_DISPATCH(&lent) = nullptr;
    EXPECT_EQ(handle(lent), 0);
    VARIANT empty{};
    EXPECT_EQ(handle(empty), 0);
}

TEST_F(AddinTovrinExports, SessionNotificationsInAnyOrderAreHarmless) {
    auto start = Get<VoidFunction>("StartScreenSaverSession");
    auto reg = Get<HandleFunction>("RegisterSlideShowWindow");
    auto dereg = Get<HandleFunction>("DeregisterSlideShowWindow");
    auto end = Get<VoidFunction>("EndScreenSaverSession");
    auto count = Get<VoidFunction>("GetMonitorCount");
    ASSERT_TRUE(start && reg && dereg && end && count);
    end();
    dereg(5);
    start();
    reg(0);
    reg(0x1234);
    EXPECT_EQ(count(), static_cast<int32_t>(win::EnumerateSystemMonitors().size()));
    dereg(0x1234);
    dereg(0x9999);
    end();
    end();
}

class AddinTovrinLoading : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        root_ = std::wstring(temp) + L"kestova-tovrin-" + std::to_wstring(GetCurrentProcessId());
        planted_ = root_ + L"\\planted\\";
        empty_ = root_ + L"\\addin\\";
        CreateDirectoryW(root_.c_str(), nullptr);
        CreateDirectoryW(planted_.c_str(), nullptr);
        CreateDirectoryW(empty_.c_str(), nullptr);
        ASSERT_TRUE(CopyFileW((BinFolder() + L"Tovrin.dll").c_str(),
                              (planted_ + L"Tovrin.dll").c_str(), FALSE));
        GetCurrentDirectoryW(MAX_PATH, savedDirectory_);
        SetCurrentDirectoryW(planted_.c_str());
    }
    void TearDown() override {
        SetCurrentDirectoryW(savedDirectory_);
        DeleteFileW((planted_ + L"Tovrin.dll").c_str());
        RemoveDirectoryW(planted_.c_str());
        RemoveDirectoryW(empty_.c_str());
        RemoveDirectoryW(root_.c_str());
    }
    std::wstring root_, planted_, empty_;
    wchar_t savedDirectory_[MAX_PATH] = {};
};

TEST_F(AddinTovrinLoading, ALibraryInTheCurrentFolderIsNeverLoaded) {
    addin::win::TovrinLibrary library(empty_);
    EXPECT_FALSE(library.Module());
    EXPECT_FALSE(library.GetMonitorCount());
    addin::PixelRect rect{1, 2, 3, 4};
    EXPECT_FALSE(library.MonitorInfo(1, rect));
    EXPECT_EQ(rect.left, 1); // a failed call leaves its outputs alone
    EXPECT_FALSE(library.StartScreenSaverSession());
    EXPECT_FALSE(GetModuleHandleW((planted_ + L"Tovrin.dll").c_str()));
}

TEST_F(AddinTovrinLoading, TheLibraryBesideTheAddinIsLoadedByItsFullPath) {
    addin::win::TovrinLibrary library; // this program's folder, where the build puts Tovrin.dll
    HMODULE module = library.Module();
    ASSERT_TRUE(module);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    EXPECT_EQ(Lower(path), Lower(BinFolder() + L"Tovrin.dll"));
    EXPECT_FALSE(GetModuleHandleW((planted_ + L"Tovrin.dll").c_str()));
    auto count = library.GetMonitorCount();
    ASSERT_TRUE(count);
    EXPECT_EQ(*count, static_cast<int32_t>(win::EnumerateSystemMonitors().size()));
}
