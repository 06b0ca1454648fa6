#include "common/win/journal_folder.h"
#include "screensaver/win/break_out.h"
#include "screensaver/win/dispatch_object.h"
#include "screensaver/win/display_form.h"
#include "screensaver/win/main_form.h"
#include "screensaver/win/monitor_order.h"
#include "screensaver/win/run_journal_writer.h"
#include "screensaver_fake_dispatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace kestova;
using kestova::test::FakeDispatch;

namespace {

bool HotKeyTaken() {
    if (!::RegisterHotKey(nullptr, 0x1234, MOD_ALT | MOD_CONTROL, VK_ESCAPE))
        return true;
    ::UnregisterHotKey(nullptr, 0x1234);
    return false;
}

// Pumps this thread's messages until the message loop would end, or `milliseconds` pass.
bool PumpUntilQuit(DWORD milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    for (MSG message{};;) {
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return true;
            ::DispatchMessageW(&message);
        }
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(deadline - now), QS_ALLINPUT);
    }
}

void Hand(VARIANT* v, IDispatch* object) {
    v->vt = VT_DISPATCH;
    v->pdispVal = object;
    object->AddRef();
}

class StaticHost : public PresentationHost {
public:
    explicit StaticHost(win::ComPtr<IDispatch> app) : app_(std::move(app)) {}
    AutomationRef Attach() noexcept override { return win::WrapDispatch(app_); }
    AutomationRef Start() noexcept override { return {}; }

private:
    win::ComPtr<IDispatch> app_;
};

// A whole hot-key run against in-process fakes of the host and our add-in.
TEST(CorvaneMainForm, HotKeyRunStaysHiddenAndDisarmsBeforeTheAddInHearsOfTheEnd) {
    win::ComApartment apartment;
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    const std::wstring file = std::wstring(folder) + L"corvane-main-form.pptx";
    std::ofstream(file.c_str()) << "presentation";

    auto app = FakeDispatch::Make(), list = FakeDispatch::Make(), entry = FakeDispatch::Make(),
         addIn = FakeDispatch::Make();
    app->Answer(L"COMAddIns", [&](VARIANT* v) { Hand(v, list.Get()); });
    list->Answer(L"Count", [](VARIANT* v) {
        v->vt = VT_I4;
        v->lVal = 1;
    });
    list->On(L"Item", [&](auto&, VARIANT* v, EXCEPINFO*) {
        Hand(v, entry.Get());
        return S_OK;
    });
    entry->Answer(L"Description", [](VARIANT* v) {
        v->vt = VT_BSTR;
        v->bstrVal = ::SysAllocString(L"Kestova Screen Saver");
    });
    entry->Answer(L"Object", [&](VARIANT* v) { Hand(v, addIn.Get()); });
    addIn->On(L"GetProcessId", [](std::vector<VARIANT*>& arguments, VARIANT*, EXCEPINFO*) {
        *arguments[0]->plVal = static_cast<LONG>(::GetCurrentProcessId());
        return S_OK;
    });
    addIn->Answer(L"IsCOMAddInInitialized", [](VARIANT* v) {
        v->vt = VT_BOOL;
        v->boolVal = VARIANT_TRUE;
    });
    for (const wchar_t* member :
         {L"InitializeScreenSaverSession", L"AddScreenSaver", L"PrepareScreenSaver",
          L"BeginScreenSaver", L"ExitScreenSaverSession"})
        addIn->Answer(member, [](VARIANT*) {});
    ATOM atomAtEnd = 1;
    bool hotKeyTakenAtEnd = true;
    addIn->On(L"EndScreenSaver", [&](auto&, VARIANT*, EXCEPINFO*) {
        atomAtEnd = ::GlobalFindAtomW(win::kBreakOutAtomName);
        hotKeyTakenAtEnd = HotKeyTaken();
        return S_OK;
    });
    auto members = [&] {
        std::vector<std::wstring> names;
        for (const auto& call : addIn->calls)
            names.push_back(call.member);
        return names;
    };

    StaticHost host(app);
    TSession session;
    auto form = std::make_unique<win::TMainForm>(
        ::GetModuleHandleW(nullptr), host,
        [&](TSession& s) {
            s.Elements = {{file, 1}};
            s.EnableKeyboard = s.EnableMouse = true;
        },
        session);
    ASSERT_TRUE(form->Create());
    ASSERT_TRUE(form->WaitStarted(10000));
    const HWND window = form->handle();
    EXPECT_FALSE(::IsWindowVisible(window));
    const ATOM atom = ::GlobalFindAtomW(win::kBreakOutAtomName);
    EXPECT_NE(atom, 0);
    EXPECT_EQ(form->breakOut()->breakOutAtom(), atom);
    EXPECT_TRUE(HotKeyTaken());
    EXPECT_EQ(members(),
              (std::vector<std::wstring>{L"GetProcessId", L"IsCOMAddInInitialized",
                                         L"InitializeScreenSaverSession", L"AddScreenSaver",
                                         L"PrepareScreenSaver", L"BeginScreenSaver"}));

    // The hot key's message ends the message loop; a second one changes nothing.
    ::PostMessageW(window, WM_HOTKEY, atom, MAKELPARAM(MOD_ALT | MOD_CONTROL, VK_ESCAPE));
    ::PostMessageW(window, WM_HOTKEY, atom, MAKELPARAM(MOD_ALT | MOD_CONTROL, VK_ESCAPE));
    EXPECT_TRUE(PumpUntilQuit(2000));
    form->Destroy();
    EXPECT_EQ(atomAtEnd, 0);
    EXPECT_FALSE(hotKeyTakenAtEnd);
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(members().back(), L"ExitScreenSaverSession");
    form.reset(); // waits for the journal's block
    // The run's block: its show and the hot key that ended it.
    std::ifstream journal((win::JournalFolder() + L"\\runs.log").c_str(), std::ios::binary);
    std::stringstream text;
    text << journal.rdbuf();
    const std::string block = text.str().substr(text.str().rfind("== Run of "));
    EXPECT_NE(block.find("Host: attached to the running one, version unknown\r\n"),
              std::string::npos)
        << block;
    EXPECT_NE(block.find(": slide show of " + ToUtf8(file) + "\r\n"), std::string::npos) << block;
    EXPECT_NE(block.find("Ended by: Ctrl+Alt+Esc; "), std::string::npos) << block;
    // Every reference on the host's objects was given back (the host object keeps its own).
    EXPECT_EQ(app->references(), 2u);
    for (auto* object : {list.Get(), entry.Get(), addIn.Get()})
        EXPECT_EQ(object->references(), 1u);
    ::DeleteFileW(file.c_str());
}

std::string ReadAll(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The journal's files: whole blocks appended while a reader holds the file open, the older file
// replaced on rotation, and a folder that can't be made or written leaves nothing behind.
TEST(CorvaneRunJournal, AppendsWhileReadRotatesAndGivesUpQuietly) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"corvane-journal-test";
    for (const wchar_t* name : {L"\\runs.log", L"\\runs.1.log"})
        ::DeleteFileW((folder + name).c_str());
    ASSERT_TRUE(win::CreateJournalFolder(folder));
    win::JournalFolderFiles files(folder);
    EXPECT_FALSE(files.Size());
    {
        // A reader (an editor, a tail) keeps the file open meanwhile.
        ASSERT_TRUE(files.Append("first\r\n"));
        win::UniqueHandle reader(
            ::CreateFileW((folder + L"\\runs.log").c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, 0, nullptr));
        ASSERT_NE(reader.get(), INVALID_HANDLE_VALUE);
        EXPECT_TRUE(files.Append("second\r\n"));
    }
    EXPECT_EQ(ReadAll(folder + L"\\runs.log"), "first\r\nsecond\r\n");
    std::ofstream((folder + L"\\runs.1.log").c_str()) << "oldest";
    ASSERT_TRUE(files.Rotate());
    EXPECT_EQ(ReadAll(folder + L"\\runs.1.log"), "first\r\nsecond\r\n");
    EXPECT_FALSE(files.Size());

    RunRecord record;
    record.end = RunEnd::Mouse;
    EXPECT_TRUE(win::WriteRunBlock(record, folder));
    const std::string written = ReadAll(folder + L"\\runs.log");
    EXPECT_EQ(written.rfind("\xEF\xBB\xBF== Run of ", 0), 0u);
    EXPECT_NE(written.find("\r\n  1: "), std::string::npos)
        << "the monitors, as the writer found them";
    EXPECT_NE(written.find("Ended by: the mouse;"), std::string::npos);

    // A file where the folder should be: nothing can be written, and nothing fails loudly.
    const std::wstring blocked = folder + L"\\blocked";
    std::ofstream(blocked.c_str()) << "a file";
    EXPECT_FALSE(win::WriteRunBlock(record, blocked));
    EXPECT_FALSE(win::WriteRunBlock(record, blocked + L"\\below"));
}

// Figures for ./dev bench (KESTOVA_JOURNAL_BENCH=1): what the journal costs the interface thread
// at a run's start and end, and the writer's own time; asserts nothing about them.
TEST(CorvaneRunJournal, Bench) {
    if (!std::getenv("KESTOVA_JOURNAL_BENCH"))
        GTEST_SKIP() << "set KESTOVA_JOURNAL_BENCH=1 for the figures";
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"corvane-journal-bench";
    RunFacts facts;
    std::vector<MonitorOutcome> outcomes;
    for (int32_t i = 1; i <= 3; ++i) {
        const std::wstring path =
            L"C:\\users\\someone\\Presentations\\Deck " + std::to_wstring(i) + L".pptx";
        facts.entries.push_back({i, path, true});
        outcomes.push_back({i, true, path, {}, {}});
    }
    facts.host = HostContact::Attached;
    facts.hostVersion = L"16.0";
    facts.addInFound = true;
    using Clock = std::chrono::steady_clock;
    auto micro = [](Clock::duration d) {
        return std::chrono::duration<double, std::micro>(d).count();
    };
    {
        // The writer's first use in a fresh process (monitors, folder, the shell's folder
        // lookup) and then the block, for a run that ends at once: what a run abandoned soon
        // after its start waits for before it leaves.
        win::RunJournal journal(folder);
        auto t0 = Clock::now();
        journal.Start();
        journal.NoteEnd(RunEnd::Key);
        journal.Finish(facts, outcomes, true);
        EXPECT_TRUE(journal.Wait(5000));
        const double first = micro(Clock::now() - t0);
        std::printf("journal-bench\tfirst\t%.1f\t%.1f\n", first, first);
    }
    std::vector<double> start, end, write;
    for (int run = 0; run < 50; ++run) {
        win::RunJournal journal(folder);
        auto t0 = Clock::now();
        journal.Start();
        auto t1 = Clock::now();
        ::Sleep(300); // the run: the writer gets ready meanwhile
        auto t2 = Clock::now();
        journal.NoteEnd(RunEnd::Key);
        journal.Finish(facts, outcomes);
        auto t3 = Clock::now();
        EXPECT_TRUE(journal.Wait(5000));
        auto t4 = Clock::now();
        start.push_back(micro(t1 - t0));
        end.push_back(micro(t3 - t2));
        write.push_back(micro(t4 - t3));
    }
    for (auto* figures : {&start, &end, &write})
        std::sort(figures->begin(), figures->end());
    std::printf("journal-bench\tstart\t%.1f\t%.1f\n", start[start.size() / 2], start.back());
    std::printf("journal-bench\tend\t%.1f\t%.1f\n", end[end.size() / 2], end.back());
    std::printf("journal-bench\twrite\t%.1f\t%.1f\n", write[write.size() / 2], write.back());
}

TEST(CorvaneDisplayForm, HiddenUntilShownOneUnwrappedLabelAtTheWindowsDpiGoneWithItsOwner) {
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(owner);
    HWND form = win::TDisplayForm::Create(owner, ::GetModuleHandleW(nullptr));
    ASSERT_TRUE(form);
    EXPECT_FALSE(::IsWindowVisible(form));
    EXPECT_EQ(::GetWindow(form, GW_OWNER), owner);
    win::TDisplayForm::PlaceOnMonitor(form, 1);
    RECT placed{}, after{};
    ::GetWindowRect(form, &placed);
    win::TDisplayForm::PlaceOnMonitor(form, win::MonitorCount() + 1); // no such monitor: stays
    ::GetWindowRect(form, &after);
    EXPECT_TRUE(::EqualRect(&placed, &after));
    win::TDisplayForm::SetHelpText(form, L"File \"C:\\x&y.pptx\" not found.");
    win::TDisplayForm::Show(form);

    HWND label = win::TDisplayForm::HelpLabel(form);
    ASSERT_TRUE(label);
    wchar_t text[256]{};
    ::GetWindowTextW(label, text, 256);
    EXPECT_STREQ(text, L"File \"C:\\x&y.pptx\" not found.");
    RECT client{}, labelRect{};
    ::GetClientRect(form, &client);
    ::GetClientRect(label, &labelRect);
    EXPECT_TRUE(::EqualRect(&client, &labelRect));
    LOGFONTW font{};
    ASSERT_TRUE(::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0)),
                             sizeof font, &font));
    EXPECT_EQ(font.lfHeight, -::MulDiv(8, static_cast<int>(::GetDpiForWindow(label)), 72));
    EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
    EXPECT_EQ(win::HelpLabelFontHeight(96), -11);

    ::DestroyWindow(owner);
    EXPECT_FALSE(::IsWindow(form));
}

} // namespace
