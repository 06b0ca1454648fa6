#include "screensaver/win/break_out.h"
#include "screensaver/win/dispatch_object.h"
#include "screensaver/win/display_form.h"
#include "screensaver/win/main_form.h"
#include "screensaver/win/monitor_order.h"
#include "screensaver_fake_dispatch.h"

#include <gtest/gtest.h>

#include <fstream>

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
    form.reset();
    // Every reference on the host's objects was given back (the host object keeps its own).
    EXPECT_EQ(app->references(), 2u);
    for (auto* object : {list.Get(), entry.Get(), addIn.Get()})
        EXPECT_EQ(object->references(), 1u);
    ::DeleteFileW(file.c_str());
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
