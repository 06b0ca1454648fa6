// The about box, opened from the settings dialog's About button and on its own.
#include "settings/session.h"
#include "common/win/journal_folder.h"
#include "settings/win/about_form.h"
#include "settings/win/configure_form.h"
#include "settings_dialog_driver.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace kestova;
using namespace kestova::test;

namespace {

constexpr wchar_t kAboutTitle[] = L"About Kestova Screen Saver";
const std::wstring kProductText = L"Kestova Screen Saver 1.1";
const std::wstring kJournalText = L"Run journal folder";

class AboutBox : public ::testing::Test {
protected:
    void SetUp() override {
        previousAwareness_ =
            ::SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Kestova");
        Session = TSession{};
        watcher_ = std::make_unique<ErrorReportWatcher>();
    }
    void TearDown() override {
        Settle();
        watcher_.reset();
        ::SetThreadDpiAwarenessContext(previousAwareness_);
    }

    // Shows the box on this thread; `work` runs on a second thread with the box's window.
    INT_PTR Show(
        const std::function<void(HWND box)>& work,
        const win::PageOpener& opener = [](const std::wstring&) {}) {
        const DWORD testThread = ::GetCurrentThreadId();
        ModalDriver driver([&, testThread] {
            HWND box = WaitForWindow(kAboutTitle);
            if (!box) {
                ModalDriver::Abort(testThread);
                return;
            }
            work(box);
            if (!WaitUntil([&] { return !::IsWindow(box); }))
                ModalDriver::Abort(testThread);
        });
        const INT_PTR result = win::ShowAboutBox(::GetModuleHandleW(nullptr), opener);
        driver.Join();
        EXPECT_TRUE(driver.Finished());
        return result;
    }

    void PressIn(HWND box, WPARAM key, DWORD testThread) {
        HWND focus = FocusOf(testThread);
        PostKey(focus && ::GetAncestor(focus, GA_ROOT) == box ? focus : box, key);
    }

    std::unique_ptr<ErrorReportWatcher> watcher_;
    DPI_AWARENESS_CONTEXT previousAwareness_ = nullptr;
};

} // namespace

TEST_F(AboutBox, EnterAndEscCloseWithOKAndTheCloseBoxWithCancel) {
    const DWORD testThread = ::GetCurrentThreadId();
    EXPECT_EQ(Show([&](HWND box) { PressIn(box, VK_RETURN, testThread); }), IDOK);
    EXPECT_EQ(Show([&](HWND box) { PressIn(box, VK_ESCAPE, testThread); }), IDOK);
    EXPECT_EQ(Show([&](HWND box) { ::PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0); }), IDCANCEL);
    EXPECT_EQ(
        Show([&](HWND box) { ::PostMessageW(FindControl(box, L"Button", L"OK"), BM_CLICK, 0, 0); }),
        IDOK);
    EXPECT_FALSE(TopLevelWindow(kAboutTitle));
}

TEST_F(AboutBox, LayoutAtTheWindowsDpiCentredWithEveryTextWhole) {
    const DWORD testThread = ::GetCurrentThreadId();
    UINT dpi = 0;
    RECT client{}, window{}, product{}, copyright{}, ok{};
    LONG productWeight = 0, copyrightWeight = 0;
    bool underlined = false;
    std::wstring copyrightText;
    bool hasOwner = true;
    LONG_PTR style = 0;
    std::vector<std::string> faults;
    Show([&](HWND box) {
        dpi = ::GetDpiForWindow(box);
        ::GetClientRect(box, &client);
        ::GetWindowRect(box, &window);
        hasOwner = ::GetWindow(box, GW_OWNER) != nullptr;
        style = ::GetWindowLongPtrW(box, GWL_STYLE);
        HWND productLabel = FindControl(box, L"Button", kProductText);
        HWND copyrightLabel = FindControlStartingWith(box, L"Button", L"Copyright");
        if (productLabel && copyrightLabel) {
            product = RectIn(productLabel, box);
            copyright = RectIn(copyrightLabel, box);
            copyrightText = TextOf(copyrightLabel);
            LOGFONTW font{};
            ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(productLabel, WM_GETFONT, 0, 0)),
                         sizeof font, &font);
            productWeight = font.lfWeight;
            underlined = font.lfUnderline != 0;
            ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(copyrightLabel, WM_GETFONT, 0, 0)),
                         sizeof font, &font);
            copyrightWeight = font.lfWeight;
            underlined = underlined && font.lfUnderline != 0;
        }
        ok = RectIn(FindControl(box, L"Button", L"OK"), box);
        faults = LayoutFaults(box);
        // Dragged onto a monitor of another scale: the size it asks for holds every text whole.
        const UINT other = dpi == 144 ? 96 : 144;
        SIZE scaled{};
        ::SendMessageW(box, WM_GETDPISCALEDSIZE, other, reinterpret_cast<LPARAM>(&scaled));
        RECT suggested{window.left, window.top, window.left + scaled.cx, window.top + scaled.cy};
        ::SendMessageW(box, WM_DPICHANGED, MAKEWPARAM(other, other),
                       reinterpret_cast<LPARAM>(&suggested));
        RECT moved{};
        ::GetWindowRect(box, &moved);
        if (!::EqualRect(&moved, &suggested))
            faults.push_back("the suggested rectangle was not taken");
        for (const std::string& fault : LayoutFaults(box))
            faults.push_back("after the move to " + std::to_string(other) + " dpi: " + fault);
        PressIn(box, VK_RETURN, testThread);
    });
    if (int expected = ExpectedFromEnvironment("KESTOVA_EXPECT_DPI")) {
        ASSERT_EQ(dpi, static_cast<UINT>(expected));
    }
    auto s = [dpi](int v) { return ::MulDiv(v, static_cast<int>(dpi), 96); };
    // The design is the least: the box grows with texts wider than the design's font.
    EXPECT_GE(client.right, s(346));
    EXPECT_GE(client.bottom, s(217));
    EXPECT_EQ(product.left, s(88));
    EXPECT_EQ(product.top, s(24));
    EXPECT_EQ(copyright.left, s(88));
    EXPECT_EQ(copyright.top, s(56));
    EXPECT_GT(product.right - product.left, copyright.right - copyright.left - s(200));
    EXPECT_GE(productWeight, FW_BOLD);
    EXPECT_EQ(copyrightWeight, FW_NORMAL);
    EXPECT_TRUE(underlined) << "the links do not look like links";
    EXPECT_NE(copyrightText.find(L"Copyright"), std::wstring::npos);
    EXPECT_GE(ok.left, s(264));
    EXPECT_GE(ok.top, s(184));
    EXPECT_GE(ok.right - ok.left, s(73));
    EXPECT_GE(ok.bottom - ok.top, s(25));
    // OK keeps to the bottom right corner (a pixel of rounding either way).
    EXPECT_NEAR(ok.right, client.right - s(9), 1);
    EXPECT_NEAR(ok.bottom, client.bottom - s(8), 1);
    for (const std::string& fault : faults)
        ADD_FAILURE() << "at " << dpi << " dpi: " << fault;
    EXPECT_FALSE(hasOwner);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    MONITORINFO info{};
    info.cbSize = sizeof info;
    ::GetMonitorInfoW(::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
    EXPECT_NEAR((window.left + window.right) / 2, (info.rcWork.left + info.rcWork.right) / 2, 1);
    EXPECT_NEAR((window.top + window.bottom) / 2, (info.rcWork.top + info.rcWork.bottom) / 2, 1);
}

TEST_F(AboutBox, EitherLabelOpensTheProductPageAndTheBoxStaysOpen) {
    const DWORD testThread = ::GetCurrentThreadId();
    std::vector<std::wstring> opened;
    bool openAfterClicks = false;
    bool handOverLabel = false;
    Show(
        [&](HWND box) {
            HWND product = FindControl(box, L"Button", kProductText);
            for (HWND label : ControlsOfClass(box, L"Button")) {
                if (label == FindControl(box, L"Button", kJournalText) ||
                    label == FindControl(box, L"Button", L"OK"))
                    continue;
                // A click as the mouse makes it, on each label and again on the first.
                ::PostMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
                ::PostMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
            }
            ::PostMessageW(product, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            ::PostMessageW(product, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
            WaitUntil([&] { return ::GetQueueStatus(QS_ALLINPUT) == 0; }, 1000);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            openAfterClicks = ::IsWindowVisible(box) != FALSE;
            // The pointer over a label: the box asks for the hand.
            handOverLabel = ::SendMessageW(box, WM_SETCURSOR, reinterpret_cast<WPARAM>(product),
                                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)) == TRUE;
            PressIn(box, VK_ESCAPE, testThread);
        },
        [&](const std::wstring& url) { opened.push_back(url); });
    EXPECT_TRUE(openAfterClicks);
    EXPECT_TRUE(handOverLabel);
    ASSERT_EQ(opened.size(), 3u);
    for (const auto& url : opened)
        EXPECT_EQ(url, win::kProductPageUrl);
    const std::wstring address = win::kProductPageUrl;
    EXPECT_EQ(address.rfind(L"https://", 0), 0u);
    EXPECT_EQ(address.substr(address.size() - 29), L"/screensaver/screensaver.html");
}

// The run journal's folder, made when missing, opened like a page; the box stays open.
TEST_F(AboutBox, JournalLinkMakesAndOpensTheJournalFolder) {
    const std::wstring folder = win::JournalFolder();
    ASSERT_FALSE(folder.empty());
    ::RemoveDirectoryW(folder.c_str());
    const DWORD testThread = ::GetCurrentThreadId();
    std::vector<std::wstring> opened;
    bool openAfterClick = false;
    RECT link{};
    Show(
        [&](HWND box) {
            HWND label = FindControl(box, L"Button", kJournalText);
            link = RectIn(label, box);
            ::PostMessageW(label, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            ::PostMessageW(label, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
            WaitUntil([&] { return ::GetQueueStatus(QS_ALLINPUT) == 0; }, 1000);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            openAfterClick = ::IsWindowVisible(box) != FALSE;
            PressIn(box, VK_ESCAPE, testThread);
        },
        [&](const std::wstring& url) { opened.push_back(url); });
    EXPECT_TRUE(openAfterClick);
    EXPECT_EQ(opened, std::vector<std::wstring>{folder});
    EXPECT_EQ(folder.substr(folder.size() - 29), L"\\Kestova\\Kestova Screen Saver");
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_GT(link.right, link.left); // below the frame, left of OK
    EXPECT_GT(link.top, ::MulDiv(177, static_cast<int>(::GetDpiForSystem()), 96));
}

// Tab runs from OK through the links and round again; Enter or Space on a link follows it.
TEST_F(AboutBox, TabReachesTheLinksAndEnterOrSpaceFollowsThem) {
    const DWORD testThread = ::GetCurrentThreadId();
    std::atomic<int> opened{0};
    std::vector<std::string> faults;
    Show(
        [&](HWND box) {
            HWND ok = FindControl(box, L"Button", L"OK");
            const HWND links[] = {FindControl(box, L"Button", kProductText),
                                  FindControlStartingWith(box, L"Button", L"Copyright"),
                                  FindControl(box, L"Button", kJournalText)};
            auto focusOn = [&](HWND control) {
                return WaitUntil([&] { return FocusOf(testThread) == control; }, 5000);
            };
            if (!focusOn(ok))
                faults.push_back("OK does not start with the focus");
            const WPARAM follow[] = {VK_RETURN, VK_SPACE, VK_RETURN};
            for (int i = 0; i < 3; ++i) {
                PressIn(box, VK_TAB, testThread);
                if (!focusOn(links[i])) {
                    faults.push_back("Tab does not reach link " + std::to_string(i));
                    break;
                }
                PressIn(box, follow[i], testThread);
                if (!WaitUntil([&] { return opened == i + 1; }, 5000))
                    faults.push_back("link " + std::to_string(i) + " not followed");
            }
            PressIn(box, VK_TAB, testThread);
            if (!focusOn(ok))
                faults.push_back("Tab does not come back to OK");
            PressIn(box, VK_ESCAPE, testThread);
        },
        [&](const std::wstring&) { ++opened; });
    for (const std::string& fault : faults)
        ADD_FAILURE() << fault;
    EXPECT_EQ(opened.load(), 3);
}

TEST_F(AboutBox, AboutButtonShowsItModallyOverTheSettingsDialog) {
    auto form = TConfigureForm::Create(::GetModuleHandleW(nullptr));
    ASSERT_TRUE(form);
    Settle();
    const DWORD testThread = ::GetCurrentThreadId();
    bool settingsDisabled = false;
    bool idleRanMeanwhile = false;
    HWND edit = ControlsOfClass(
        ::FindWindowExW(form->Handle(), nullptr, L"KestovaScrollBox", nullptr), L"Edit")[0];
    HWND ok = FindControl(form->Handle(), L"Button", L"&OK");
    ModalDriver driver([&] {
        HWND box = WaitForWindow(kAboutTitle);
        if (!box) {
            ModalDriver::Abort(testThread);
            return;
        }
        settingsDisabled = !::IsWindowEnabled(form->Handle());
        // The settings dialog's row check goes on while the box is shown.
        ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"C:\\no such file.ppt"));
        ::PostMessageW(box, WM_NULL, 0, 0);
        idleRanMeanwhile = WaitUntil([&] { return !::IsWindowEnabled(ok); }, 5000);
        PressIn(box, VK_RETURN, testThread);
    });
    Click(FindControl(form->Handle(), L"Button", L"&About..."));
    driver.Join();
    EXPECT_TRUE(driver.Finished());
    EXPECT_TRUE(settingsDisabled);
    EXPECT_TRUE(idleRanMeanwhile);
    EXPECT_TRUE(::IsWindowEnabled(form->Handle()));
    EXPECT_FALSE(TopLevelWindow(kAboutTitle));
    EXPECT_TRUE(form->IsOpen());
    EXPECT_TRUE(watcher_->Texts().empty());
}
