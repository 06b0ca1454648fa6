#include "addin/host_version.h"
#include "addin/main_module.h"
#include "addin_fakes.h"

#include <gtest/gtest.h>

using namespace kestova::addin;
using namespace kestova::addin::testing;

TEST(AddinVersionNumber, ReadsTheNumberAtTheStart) {
    EXPECT_EQ(LeadingVersionNumber(L"12.0"), 12.0);
    EXPECT_EQ(LeadingVersionNumber(L"9.0"), 9.0);
    EXPECT_EQ(LeadingVersionNumber(L"  \t16.0"), 16.0);
    EXPECT_EQ(LeadingVersionNumber(L"8.5 beta"), 8.5);
    EXPECT_EQ(LeadingVersionNumber(L"11.0.5604"), 11.0); // only one decimal point belongs to it
    EXPECT_EQ(LeadingVersionNumber(L"10"), 10.0);
    EXPECT_EQ(LeadingVersionNumber(L".5"), 0.5);
}

TEST(AddinVersionNumber, NoneWithoutLeadingDigits) {
    EXPECT_FALSE(LeadingVersionNumber(L""));
    EXPECT_FALSE(LeadingVersionNumber(L"   "));
    EXPECT_FALSE(LeadingVersionNumber(L"v12.0"));
    EXPECT_FALSE(LeadingVersionNumber(L"."));
    EXPECT_FALSE(LeadingVersionNumber(L"-12.0"));
}

class AddinHostVersionCheck : public ::testing::Test {
protected:
    Journal journal;
    FakeHost host{journal};
    FakeWindowSupport windows{journal};
    FakeDesktop desktop{journal};
    MainModule module{host, windows, desktop};
};

TEST_F(AddinHostVersionCheck, NineAndLaterPassWithoutNotice) {
    // Compared as numbers: "12.0" and "16.0" sort before "9.0" as text.
    for (const wchar_t* version : {L"9.0", L"10.0", L"12.0", L"16.0"}) {
        host.version = version;
        EXPECT_TRUE(module.CheckHostVersion(host.App())) << FakeHost::Narrow(version);
    }
    EXPECT_EQ(desktop.notices, 0);
    EXPECT_EQ(Of(module.HostPPTApp()), &host.app);
}

TEST_F(AddinHostVersionCheck, OlderOrUnreadableVersionShowsTheNoticeOnce) {
    host.version = L"8.0";
    EXPECT_FALSE(module.CheckHostVersion(host.App()));
    EXPECT_EQ(desktop.notices, 1);

    host.version = L"Version 12";
    EXPECT_FALSE(module.CheckHostVersion(host.App()));
    EXPECT_EQ(desktop.notices, 2);

    host.version = L"16.0";
    journal.faultCall = "Version";
    EXPECT_FALSE(module.CheckHostVersion(host.App()));
    EXPECT_EQ(desktop.notices, 3);
    // The host is kept even when it is too old: later calls start from it.
    EXPECT_EQ(Of(module.HostPPTApp()), &host.app);
}

TEST_F(AddinHostVersionCheck, NoHostMeansNoticeAndNoHost) {
    EXPECT_FALSE(module.CheckHostVersion(nullptr));
    EXPECT_EQ(desktop.notices, 1);
    EXPECT_FALSE(module.HostPPTApp());
    // Every host step then fails: the first entry is reported as not opened.
    module.InitializeScreenSaverSession(1);
    module.AddScreenSaver(1, L"C:\\a.pptx", 1);
    EXPECT_EQ(module.PrepareScreenSaver(), L"C:\\a.pptx");
}
