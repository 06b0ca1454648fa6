#include "common/error_text.h"
#include "common/win/com_error.h"
#include "common/win/monitors.h"
#include "common/win/unique_handle.h"

#include <gtest/gtest.h>

using namespace kestova;

TEST(Monitors, PrimaryReportedAtOriginWithFullArea) {
    auto monitors = win::EnumerateSystemMonitors();
    ASSERT_FALSE(monitors.empty());
    auto ordered = MonitorsInProductOrder(monitors);
    EXPECT_EQ(ordered[0].left, 0);
    EXPECT_EQ(ordered[0].top, 0);
    EXPECT_EQ(ordered[0].width, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(ordered[0].height, GetSystemMetrics(SM_CYSCREEN));
}

TEST(ErrorText, FullStopOnlyAfterCharactersSortingAfterDot) {
    EXPECT_EQ(WithFullStop(L"File not found"), L"File not found.");
    EXPECT_EQ(WithFullStop(L"Done."), L"Done.");
    EXPECT_EQ(WithFullStop(L"(code 5)"), L"(code 5)");
    EXPECT_EQ(WithFullStop(L"Value 5"), L"Value 5.");
    EXPECT_EQ(WithFullStop(L""), L"");
}

TEST(SystemMessage, KnownCodeHasTextWithoutTrailingBreak) {
    std::wstring text = win::SystemMessage(E_OUTOFMEMORY);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), L'\n');
    EXPECT_TRUE(win::SystemMessage(static_cast<HRESULT>(0xA0041234)).empty());
}

TEST(UniqueHandles, ReleaseOnScopeExitAndMove) {
    HANDLE raw = nullptr;
    {
        win::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(event);
        raw = event.get();
        win::UniqueHandle moved(std::move(event));
        EXPECT_FALSE(event);
        EXPECT_EQ(moved.get(), raw);
        DWORD flags = 0;
        EXPECT_TRUE(GetHandleInformation(raw, &flags));
    }
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(raw, &flags));
}
