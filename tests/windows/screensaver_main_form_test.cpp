#include "screensaver/win/break_out.h"
#include "screensaver/win/dispatch_object.h"
#include "screensaver/win/display_form.h"
#include "screensaver/win/main_form.h"
#include "screensaver/win/monitor_order.h"
#include "screensaver_fake_dispatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using namespace kestova;
using kestova::test::FakeDispatch;

namespace {

constexpr int kProbeHotKey = 0x1234;

bool HotKeyTaken() {
    if (!::RegisterHotKey(nullptr, kProbeHotKey, MOD_ALT | MOD_CONTROL, VK_ESCAPE))
        return true;
    ::UnregisterHotKey(nullptr, kProbeHotKey);
    return false;
}

// Pumps this thread's messages until the message loop would end, or `milliseconds` pass.
bool PumpUntilQuit(DWORD milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    for (;;) {
        MSG message{};
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                return true;
            ::DispatchMessageW(&message);
        }
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                                    QS_ALLINPUT);
    }
}

void PutVariantObject(VARIANT* v, IDispatch* object) {
    v->vt = VT_DISPATCH;
    v->pdispVal = object;
    object->AddRef();
}

class StaticHost : public PresentationHost {
public:
    explicit StaticHost(win::ComPtr<IDispatch> application)
        : application_(std::move(application)) {}
    AutomationRef Attach() noexcept override { return win::WrapDispatch(application_); }
    AutomationRef Start() noexcept override { return {}; }

private:
    win::ComPtr<IDispatch> application_;
};

// A host whose one add-in is ours, with a presentation file that exists.
class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t folder[MAX_PATH];
        ::GetTempPathW(MAX_PATH, folder);
        file = std::wstring(folder) + L"corvane-main-form.pptx";
        std::ofstream(file.c_str()) << "presentation";

        app->Answer(L"COMAddIns", [this](VARIANT* v) { PutVariantObject(v, list.Get()); });
        list->Answer(L"Count", [](VARIANT* v) {
            v->vt = VT_I4;
            v->lVal = 1;
        });
        list->On(L"Item", [this](auto&, VARIANT* v, EXCEPINFO*) {
            PutVariantObject(v, entry.Get());
            return S_OK;
        });
        entry->Answer(L"Description", [](VARIANT* v) {
            v->vt = VT_BSTR;
            v->bstrVal = ::SysAllocString(L"Kestova Screen Saver");
        });
        entry->Answer(L"Object", [this](VARIANT* v) { PutVariantObject(v, addIn.Get()); });
        addIn->On(L"GetProcessId", [this](std::vector<VARIANT*>& arguments, VARIANT*, EXCEPINFO*) {
            *arguments[0]->plVal = static_cast<LONG>(hostProcessId);
            return S_OK;
        });
        addIn->Answer(L"IsCOMAddInInitialized", [](VARIANT* v) {
            v->vt = VT_BOOL;
            v->boolVal = VARIANT_TRUE;
        });
        addIn->Answer(L"ShouldEndScreenSaver", [this](VARIANT* v) {
            v->vt = VT_BOOL;
            v->boolVal = shouldEnd ? VARIANT_TRUE : VARIANT_FALSE;
        });
        for (const wchar_t* member :
             {L"InitializeScreenSaverSession", L"AddScreenSaver", L"PrepareScreenSaver",
              L"BeginScreenSaver", L"ExitScreenSaverSession"})
            addIn->Answer(member, [](VARIANT*) {});
        addIn->On(L"EndScreenSaver", [this](auto&, VARIANT*, EXCEPINFO*) {
            atomAtEnd = ::GlobalFindAtomW(win::kBreakOutAtomName);
            hotKeyTakenAtEnd = HotKeyTaken();
            return S_OK;
        });
    }
    void TearDown() override { ::DeleteFileW(file.c_str()); }

    std::unique_ptr<win::TMainForm> Start(bool keyboard, bool mouse) {
        auto form = std::make_unique<win::TMainForm>(
            ::GetModuleHandleW(nullptr), host,
            [this, keyboard, mouse](TSession& s) {
                s.Elements = {{file, 1}};
                s.EnableKeyboard = keyboard;
                s.EnableMouse = mouse;
            },
            session);
        EXPECT_TRUE(form->Create());
        return form;
    }

    std::vector<std::wstring> AddInMembers() const {
        std::vector<std::wstring> members;
        for (const auto& call : addIn->calls)
            members.push_back(call.member);
        return members;
    }

    win::ComApartment apartment;
    std::wstring file;
    win::ComPtr<FakeDispatch> app = FakeDispatch::Make(), list = FakeDispatch::Make(),
                              entry = FakeDispatch::Make(), addIn = FakeDispatch::Make();
    StaticHost host{app};
    TSession session;
    DWORD hostProcessId = ::GetCurrentProcessId();
    bool shouldEnd = false;
    ATOM atomAtEnd = 1;
    bool hotKeyTakenAtEnd = true;
};

TEST_F(MainFormTest, HotKeyRunStaysHiddenAndDisarmsBeforeTheAddInHearsOfTheEnd) {
    auto form = Start(true, true);
    const HWND window = form->handle();
    EXPECT_FALSE(::IsWindowVisible(window));
    const ATOM atom = ::GlobalFindAtomW(win::kBreakOutAtomName);
    EXPECT_NE(atom, 0);
    EXPECT_EQ(form->breakOut()->breakOutAtom(), atom);
    EXPECT_TRUE(HotKeyTaken());
    EXPECT_EQ(AddInMembers(),
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
    auto members = AddInMembers();
    EXPECT_EQ(std::vector<std::wstring>(members.end() - 2, members.end()),
              (std::vector<std::wstring>{L"EndScreenSaver", L"ExitScreenSaverSession"}));
    form.reset();
    // Every reference on the host's objects was given back (the stand-in host keeps its own).
    EXPECT_EQ(app->references(), 2u);
    for (auto* object : {list.Get(), entry.Get(), addIn.Get()})
        EXPECT_EQ(object->references(), 1u);
}

TEST_F(MainFormTest, InjectedInputEndsTheRunThroughEachHook) {
    for (bool keyboardHook : {true, false}) {
        auto form = Start(!keyboardHook, keyboardHook);
        EXPECT_FALSE(HotKeyTaken() && keyboardHook) << "no hot key with the keyboard hook";
        INPUT input[2]{};
        UINT count = 1;
        if (keyboardHook) {
            input[0].type = input[1].type = INPUT_KEYBOARD;
            input[0].ki.wVk = input[1].ki.wVk = VK_F24;
            input[1].ki.dwFlags = KEYEVENTF_KEYUP;
            count = 2;
        } else {
            input[0].type = INPUT_MOUSE;
            input[0].mi.dx = 1;
            input[0].mi.dwFlags = MOUSEEVENTF_MOVE;
        }
        ::SendInput(count, input, sizeof(INPUT));
        EXPECT_TRUE(PumpUntilQuit(3000)) << (keyboardHook ? "keyboard" : "mouse");
        form->Destroy();
    }
}

TEST_F(MainFormTest, TimerEndsTheRunWhenTheHostProcessHasEnded) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    wchar_t command[] = L"cmd.exe /c exit 0";
    ASSERT_TRUE(::CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                                 nullptr, nullptr, &startup, &process));
    win::UniqueHandle child(process.hProcess), thread(process.hThread);
    ASSERT_EQ(::WaitForSingleObject(child.get(), 10000), WAIT_OBJECT_0);
    hostProcessId = process.dwProcessId;

    auto form = Start(true, true);
    EXPECT_TRUE(PumpUntilQuit(3000));
    form->Destroy();
}

TEST_F(MainFormTest, TimerEndsTheRunWhenTheAddInAsks) {
    auto form = Start(true, true);
    EXPECT_FALSE(PumpUntilQuit(1500)) << "the add-in has not asked yet";
    shouldEnd = true;
    EXPECT_TRUE(PumpUntilQuit(2500));
    form->Destroy();
    const auto members = AddInMembers();
    EXPECT_EQ(std::count(members.begin(), members.end(), L"ShouldEndScreenSaver"), 2);
}

TEST(DisplayForm, CoversItsMonitorBlackTopmostOwnedWithOneYellowLabel) {
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(owner);
    HWND form = win::TDisplayForm::Create(owner, ::GetModuleHandleW(nullptr));
    ASSERT_TRUE(form);
    EXPECT_FALSE(::IsWindowVisible(form)) << "created hidden";
    win::TDisplayForm::PlaceOnMonitor(form, 1);
    win::TDisplayForm::PlaceOnMonitor(form, win::MonitorCount() + 1); // no such monitor: stays
    win::TDisplayForm::SetHelpText(form, L"File \"C:\\x&y.pptx\" not found.");
    win::TDisplayForm::Show(form);

    int32_t left = -1, top = -1, width = -1, height = -1;
    win::GetMonitorBounds(1, left, top, width, height);
    RECT bounds{};
    ::GetWindowRect(form, &bounds);
    EXPECT_EQ(bounds.left, left);
    EXPECT_EQ(bounds.top, top);
    EXPECT_EQ(bounds.right - bounds.left, width);
    EXPECT_EQ(bounds.bottom - bounds.top, height);

    const LONG_PTR style = ::GetWindowLongPtrW(form, GWL_STYLE);
    const LONG_PTR exStyle = ::GetWindowLongPtrW(form, GWL_EXSTYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_THICKFRAME));
    EXPECT_EQ(exStyle & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW), WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
    EXPECT_EQ(::GetWindow(form, GW_OWNER), owner);
    wchar_t text[256]{};
    ::GetWindowTextW(form, text, 256);
    EXPECT_STREQ(text, L"DisplayForm");

    HWND label = win::TDisplayForm::HelpLabel(form);
    ASSERT_TRUE(label);
    ::GetWindowTextW(label, text, 256);
    EXPECT_STREQ(text, L"File \"C:\\x&y.pptx\" not found.");
    RECT client{}, labelRect{};
    ::GetClientRect(form, &client);
    ::GetClientRect(label, &labelRect);
    EXPECT_EQ(labelRect.right, client.right);
    EXPECT_EQ(labelRect.bottom, client.bottom);
    LOGFONTW font{};
    ASSERT_TRUE(::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0)),
                             sizeof font, &font));
    EXPECT_EQ(font.lfHeight, -::MulDiv(8, static_cast<int>(::GetDpiForWindow(label)), 72));
    EXPECT_STREQ(font.lfFaceName, L"MS Sans Serif");
    EXPECT_EQ(win::HelpLabelFontHeight(96), -11);
    EXPECT_EQ(win::HelpLabelFontHeight(120), -13);

    ::DestroyWindow(owner);
    EXPECT_FALSE(::IsWindow(form)) << "goes with its owner";
}

TEST(MonitorOrder, CountAndBoundsComeFromOneSnapshot) {
    const int32_t count = win::MonitorCount();
    EXPECT_EQ(count, ::GetSystemMetrics(SM_CMONITORS));
    int32_t left = -5, top = -5, width = -5, height = -5;
    win::GetMonitorBounds(count + 1, left, top, width, height);
    EXPECT_EQ(left, -5);
    EXPECT_EQ(height, -5);
    win::GetMonitorBounds(1, left, top, width, height);
    EXPECT_EQ(left, 0);
    EXPECT_EQ(top, 0);
    EXPECT_EQ(width, ::GetSystemMetrics(SM_CXSCREEN));
}

} // namespace
