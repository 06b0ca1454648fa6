#include "screensaver/win/main_form.h"

#include "common/product.h"
#include "common/win/com_error.h"
#include "common/win/error_report.h"
#include "common/win/monitors.h"
#include "common/win/start_trace.h"
#include "common/win/unique_handle.h"
#include "screensaver/win/boundary.h"
#include "screensaver/win/display_form.h"
#include "screensaver/win/host_calls.h"
#include "screensaver/win/monitor_order.h"
#include "screensaver/win/powerpoint_host.h"
#include "screensaver/win/show_windows.h"
#include "settings/win/windows_registry.h"

#include <algorithm>
#include <string_view>

namespace kestova::win {

namespace {

// Design bounds at 96 pixels per inch; they matter only when a failed start shows the window.
constexpr int kDesignLeft = 192;
constexpr int kDesignTop = 122;
constexpr int kDesignWidth = 132;
constexpr int kDesignHeight = 80;

constexpr UINT kRunOnWindowThread = WM_APP + 1; // lParam: std::function<void()>*
constexpr UINT_PTR kHostWatchTimerId = 2;

class WatchedHostProcess final : public WatchedProcess {
public:
    explicit WatchedHostProcess(UniqueHandle process) noexcept : process_(std::move(process)) {}
    bool HasEnded() noexcept override {
        return ::WaitForSingleObject(process_.get(), 0) != WAIT_TIMEOUT;
    }

private:
    UniqueHandle process_;
};

void RegisterMainFormClass(HINSTANCE instance, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (::GetClassInfoExW(instance, kMainFormClass, &windowClass))
        return;
    windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kMainFormClass;
    ::RegisterClassExW(&windowClass);
}

int Scale(int value, UINT dpi) {
    return ::MulDiv(value, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

// The host's visible top-level windows, which are its shows and what it puts up for the user.
struct HostWindows {
    DWORD processId = 0;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectHostWindow(HWND window, LPARAM context) {
    auto& found = *reinterpret_cast<HostWindows*>(context);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId == found.processId && ::IsWindowVisible(window))
        found.windows.push_back(window);
    return TRUE;
}

std::vector<HWND> VisibleHostWindows(DWORD processId) {
    HostWindows found{processId, {}};
    if (processId)
        ::EnumWindows(CollectHostWindow, reinterpret_cast<LPARAM>(&found));
    return found.windows;
}

// A window the host puts up for the user (a prompt, a message): owned by another of its windows,
// or a dialog. Show windows are neither.
bool IsHostPrompt(HWND window) {
    wchar_t className[16] = {};
    ::GetClassNameW(window, className, 16);
    return ::GetWindow(window, GW_OWNER) || std::wstring_view(className) == L"#32770";
}

std::wstring WindowTitle(HWND window) {
    wchar_t title[256] = {};
    const int length = ::GetWindowTextW(window, title, 256);
    return std::wstring(title, length > 0 ? static_cast<size_t>(length) : 0);
}

} // namespace

TMainForm::TMainForm(HINSTANCE instance, PresentationHost& host,
                     SessionDriver::SettingsLoader loadSession, TSession& session)
    : instance_(instance), driver_(
                               *this, host,
                               [this, load = std::move(loadSession)](TSession& loaded) {
                                   load(loaded);
                                   StartTraceMark("settings read");
                                   // Armed as soon as the flags and the window are there,
                                   // never waiting on the host: a host that hangs at start must
                                   // not keep the user from ending the run.
                                   ArmEarly(loaded.EnableKeyboard, loaded.EnableMouse);
                               },
                               session) {}

TMainForm::~TMainForm() {
    Destroy();
}

bool TMainForm::Create() {
    journal_.Start();
    StartTraceMark("journal started");
    windowThread_ = ::GetCurrentThreadId();
    started_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    endRequested_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    sessionEnded_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    windowMade_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ticks_.reset(::CreateWaitableTimerW(nullptr, FALSE, nullptr));
    displayChanged_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    // First: the settings and the host are reached while this thread makes the window.
    if (started_ && endRequested_ && sessionEnded_ && windowMade_ && ticks_ && displayChanged_)
        sessionThread_.reset(::CreateThread(nullptr, 0, SessionMain, this, 0, nullptr));
    if (!sessionThread_)
        return false;
    launched_ = true;
    StartTraceMark("session thread launched");
    const bool made = MakeWindow();
    StartTraceMark("window created");
    if (!made) {
        // Nothing of the run can be shown or ended by input: the start stops at its next call.
        BeginEnd();
        return false;
    }
    ::SetTimer(window_, kHostWatchTimerId, kHostWatchInterval, nullptr);
    return true;
}

bool TMainForm::MakeWindow() noexcept {
    try {
        RegisterMainFormClass(instance_, WindowProc);
        const UINT dpi = ::GetDpiForSystem();
        HWND window = ::CreateWindowExW(0, kMainFormClass, kProductCaption, WS_OVERLAPPEDWINDOW,
                                        Scale(kDesignLeft, dpi), Scale(kDesignTop, dpi),
                                        Scale(kDesignWidth, dpi), Scale(kDesignHeight, dpi),
                                        nullptr, nullptr, instance_, this);
        if (window) {
            try {
                breakOut_ = std::make_unique<BreakOut>(window, instance_);
            } catch (...) {
                ::DestroyWindow(window);
                window = nullptr;
            }
        }
        if (window)
            SetBreakOutWindow(window);
        std::lock_guard guard(armLock_);
        windowTried_ = true;
        window_ = window;
        if (window_ && pendingArm_) {
            ArmOnWindowThread(pendingArm_->first, pendingArm_->second);
            StartTraceMark("armed");
        }
    } catch (...) {
        // No window (the lock could not be had): the run ends below.
    }
    // The session thread waits for this before it touches the window.
    ::SetEvent(windowMade_.get());
    return window_ != nullptr;
}

bool TMainForm::WaitStarted(DWORD milliseconds) {
    const ULONGLONG deadline = ::GetTickCount64() + milliseconds;
    HANDLE started = started_.get();
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline)
            return false;
        const DWORD result =
            ::MsgWaitForMultipleObjects(1, &started, FALSE, DWORD(deadline - now), QS_ALLINPUT);
        if (result == WAIT_OBJECT_0)
            return true;
        for (MSG message{}; ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
            if (message.message == WM_QUIT) {
                ::PostQuitMessage(static_cast<int>(message.wParam));
                return false;
            }
            ::DispatchMessageW(&message);
        }
    }
}

DWORD WINAPI TMainForm::SessionMain(void* form) {
    static_cast<TMainForm*>(form)->SessionLoop();
    return 0;
}

void TMainForm::SessionLoop() noexcept {
    const DWORD windowThread = windowThread_;
    StartTraceMark("session thread");
    {
        // The host's objects live here for the whole run: any thread of this apartment may call
        // them, also while another call of the run is still out.
        ComApartment apartment(COINIT_MULTITHREADED);
        StartTraceMark("session apartment");
        driver_.FormCreate();
        StartTraceMark("start done");
        StartTraceFlush();
        if (driver_.MainWindowShown())
            Guarded(0, [&] {
                OnWindowThread([&] { ::ShowWindow(window_, SW_SHOW); });
                return 0;
            });
        ::SetEvent(started_.get());
        journal_.StartDone();
        const HANDLE events[] = {endRequested_.get(), ticks_.get(), displayChanged_.get()};
        for (;;) {
            const DWORD woken = ::WaitForMultipleObjects(3, events, FALSE, INFINITE);
            if (woken == WAIT_OBJECT_0 + 1)
                driver_.TimerTimer();
            else if (woken == WAIT_OBJECT_0 + 2)
                driver_.DisplayChanged();
            else
                break;
        }
        RefuseHostCalls(false);
        driver_.FormDestroy();
    }
    ::SetEvent(sessionEnded_.get());
    // Ends the message loop, also when the window was destroyed from outside.
    ::PostThreadMessageW(windowThread, WM_QUIT, 0, 0);
}

void TMainForm::OnWindowThread(const std::function<void()>& work) {
    ::WaitForSingleObject(windowMade_.get(), INFINITE);
    if (ending_ || !window_)
        return;
    ::SendMessageW(window_, kRunOnWindowThread, 0,
                   reinterpret_cast<LPARAM>(const_cast<std::function<void()>*>(&work)));
}

void TMainForm::ArmEarly(bool keyboard, bool mouse) {
    {
        std::lock_guard guard(armLock_);
        if (!windowTried_) {
            // The window thread arms as soon as its window is made; the host is reached
            // meanwhile, and nothing is shown before the arming is done (WaitBreakOutArmed).
            pendingArm_.emplace(keyboard, mouse);
            return;
        }
    }
    if (keyboard)
        AddBreakOutHotKey();
    else
        InstallKeyboardHook();
    if (!mouse)
        InstallMouseHook();
    StartTraceMark("armed");
}

void TMainForm::ArmOnWindowThread(bool keyboard, bool mouse) noexcept {
    if (keyboard)
        breakOut_->AddHotKey();
    else
        breakOut_->InstallKeyboardHook();
    if (!mouse)
        breakOut_->InstallMouseHook();
}

void TMainForm::WaitBreakOutArmed() {
    ::WaitForSingleObject(windowMade_.get(), INFINITE);
}

void TMainForm::BeginEnd() noexcept {
    if (ending_.exchange(true))
        return;
    // A start still under way stops at its next call: nothing new begins after the input.
    RefuseHostCalls(true);
    // A start the host keeps waiting never tells the journal it is done: its writer gets ready
    // now, well before the process may have to leave without the host's answer.
    journal_.StartDone();
    for (HWND form : forms_)
        ::DestroyWindow(form);
    forms_.clear();
    for (HWND form : waitingForms_)
        ::DestroyWindow(form);
    waitingForms_.clear();
    if (window_)
        ::ShowWindow(window_, SW_HIDE);
    if (breakOut_)
        breakOut_->Disarm();
    // Whatever the host does, the process leaves: calls left unanswered are abandoned. Joined by
    // Destroy, which waits for the session thread first.
    watchdog_.reset(::CreateThread(nullptr, 0, Watchdog, this, 0, nullptr));
    ::SetEvent(endRequested_.get());
}

// Leaves the process when the session thread has not finished the run's end in time.
DWORD WINAPI TMainForm::Watchdog(void* form) {
    auto& self = *static_cast<TMainForm*>(form);
    if (::WaitForSingleObject(self.sessionEnded_.get(), kLeaveAfter) == WAIT_OBJECT_0)
        return 0;
    HostBusyNotes notes;
    try {
        notes = self.BusyNotes();
    } catch (...) {
    }
    // Once the start has returned, the session thread changes nothing the journal reads; a start
    // still waiting on the host is journalled without what it would have learnt.
    if (::WaitForSingleObject(self.started_.get(), 0) == WAIT_OBJECT_0)
        self.journal_.Finish(self.driver_.Facts(), self.driver_.Outcomes(), true, false, notes);
    else
        self.journal_.Finish({}, {}, true, true, notes);
    (void)self.journal_.Wait(kJournalAbandonWaitMs);
    // The add-in watches this process: its end is what lets the add-in end the session.
    ::TerminateProcess(::GetCurrentProcess(), kAbandonedRunExitCode);
    return 0;
}

HostBusyNotes TMainForm::BusyNotes() {
    HostBusyNotes notes;
    notes.startKeptWaiting = startKeptWaiting_;
    notes.callsTurnedAway = HostTurnedCallsAway();
    std::lock_guard guard(notesLock_);
    notes.window = hostWindow_;
    return notes;
}

void TMainForm::WatchHost() noexcept {
    if (ending_)
        return;
    const bool started = ::WaitForSingleObject(started_.get(), 0) == WAIT_OBJECT_0;
    if (started && !waitingForms_.empty()) {
        // The start has returned: every monitor has its show or its own reason now.
        for (HWND form : waitingForms_)
            ::DestroyWindow(form);
        waitingForms_.clear();
    }
    const ULONGLONG waiting = HostCallWaiting();
    if (waiting < kHostWatchInterval)
        return;
    // A window the host puts up while it keeps a call waiting is for the user: it is never left
    // behind the run's topmost windows, so it can be answered (or the run ended).
    for (HWND window : VisibleHostWindows(hostId_)) {
        if (!IsHostPrompt(window))
            continue;
        ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
        try {
            std::wstring title = WindowTitle(window);
            std::lock_guard guard(notesLock_);
            if (hostWindow_.empty())
                hostWindow_ = std::move(title);
        } catch (...) {
        }
    }
    if (!started && waiting >= kStartWaitNotice && !startKeptWaiting_.exchange(true))
        CoverWaitingMonitors();
}

void TMainForm::CoverWaitingMonitors() noexcept {
    const std::vector<HWND> hostWindows = VisibleHostWindows(hostId_);
    const int32_t count = win::MonitorCount();
    for (int32_t monitor = 1; monitor <= count; ++monitor) {
        if (std::find(covered_.begin(), covered_.end(), monitor) != covered_.end())
            continue;
        RECT bounds{};
        {
            int32_t left = 0, top = 0, width = 0, height = 0;
            GetMonitorBounds(monitor, left, top, width, height);
            bounds = {left, top, left + width, top + height};
        }
        // A show already placed there goes on showing.
        const bool shown = std::any_of(hostWindows.begin(), hostWindows.end(), [&](HWND window) {
            RECT rect{};
            return !IsHostPrompt(window) && ::GetWindowRect(window, &rect) &&
                   rect.left <= bounds.left && rect.top <= bounds.top &&
                   rect.right >= bounds.right && rect.bottom >= bounds.bottom;
        });
        if (shown)
            continue;
        HWND form = TDisplayForm::Create(window_, instance_);
        if (!form)
            continue;
        try {
            waitingForms_.push_back(form);
        } catch (...) {
            ::DestroyWindow(form);
            continue;
        }
        TDisplayForm::PlaceOnMonitor(form, monitor);
        TDisplayForm::SetHelpText(form, kHostBusyText);
        TDisplayForm::Show(form);
    }
}

void TMainForm::Destroy() noexcept {
    if (!launched_)
        return;
    if (window_)
        BeginEnd();
    if (sessionThread_) {
        // Sent messages are still served: the session thread may be handing work over.
        HANDLE thread = sessionThread_.get();
        while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) !=
               WAIT_OBJECT_0) {
            MSG message{};
            ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        sessionThread_.reset();
    }
    // It ends at once now (or has ended the process, when the session thread's end came too
    // late): nothing of this form is left to it afterwards.
    if (watchdog_) {
        ::WaitForSingleObject(watchdog_.get(), INFINITE);
        watchdog_.reset();
    }
    if (window_) {
        ::KillTimer(window_, kHostWatchTimerId);
        breakOut_.reset();
        HWND window = window_;
        window_ = nullptr;
        ::DestroyWindow(window);
        SetBreakOutWindow(nullptr);
    }
    // The run is over for the user: only now does the journal take its copy.
    HostBusyNotes notes;
    try {
        notes = BusyNotes();
    } catch (...) {
    }
    journal_.Finish(driver_.Facts(), driver_.Outcomes(), false, false, notes);
}

LRESULT CALLBACK TMainForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return Guarded<LRESULT>(0, [&]() -> LRESULT {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
            ::SetWindowLongPtrW(window, GWLP_USERDATA,
                                reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* form = reinterpret_cast<TMainForm*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (form && form->window_ == window)
            return form->Handle(message, wParam, lParam);
        return ::DefWindowProcW(window, message, wParam, lParam);
    });
}

LRESULT TMainForm::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_HOTKEY:
        WMHotKey();
        return 0;
    case WM_DISPLAYCHANGE:
        // Dealt with on the session thread, between its other work: a change during the start
        // waits for the start to be done.
        ::SetEvent(displayChanged_.get());
        break;
    case WM_TIMER:
        if (wParam == kHostWatchTimerId)
            WatchHost();
        return 0;
    case kRunOnWindowThread:
        if (!ending_)
            (*reinterpret_cast<std::function<void()>*>(lParam))();
        return 0;
    case WM_CLOSE:
        // The application's main window: closing it ends the run. The windows go at once; the
        // message loop ends when the session thread has told the add-in (or given up on it).
        // The cause rides in wParam; a close from outside the product carries 0, Closed.
        journal_.NoteEnd(static_cast<RunEnd>(static_cast<int32_t>(wParam)));
        BeginEnd();
        return 0;
    case WM_DESTROY:
        // Destroyed from outside (not through Destroy): the session still ends properly.
        if (window_) {
            BeginEnd();
            ::KillTimer(window_, kHostWatchTimerId);
            breakOut_.reset();
            window_ = nullptr;
            SetBreakOutWindow(nullptr);
        }
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

void TMainForm::WMHotKey() noexcept {
    // The identifier is not compared: the only hot key this window holds is the break-out's.
    RequestClose(RunEnd::HotKey);
}

bool TMainForm::FileExists(const std::wstring& path) {
    if (path.empty())
        return false;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int32_t TMainForm::MonitorCount() {
    return win::MonitorCount();
}

void TMainForm::ShowMessageWindow(int32_t monitor, const std::wstring& text) {
    OnWindowThread([&] {
        // Owned by the main window, which destroys it; kept only to take it away at the end.
        HWND form = TDisplayForm::Create(window_, instance_);
        if (!form)
            return;
        forms_.push_back(form);
        covered_.push_back(monitor);
        const auto& order = win::MonitorOrder();
        if (monitor >= 1 && static_cast<size_t>(monitor) <= order.size())
            formMonitors_.emplace_back(form, order[static_cast<size_t>(monitor) - 1]);
        TDisplayForm::PlaceOnMonitor(form, monitor);
        if (!text.empty())
            TDisplayForm::SetHelpText(form, text);
        TDisplayForm::Show(form);
    });
}

std::vector<MonitorRect> TMainForm::MonitorLayout() {
    return win::MonitorOrder();
}

std::vector<MonitorRect> TMainForm::MonitorsNow() {
    return MonitorsInProductOrder(EnumerateSystemMonitors());
}

void TMainForm::CoverMonitor(const MonitorRect& rect) {
    OnWindowThread([&] {
        HWND form = TDisplayForm::Create(window_, instance_);
        if (!form)
            return;
        forms_.push_back(form);
        formMonitors_.emplace_back(form, rect);
        TDisplayForm::PlaceOnRect(form, rect);
        TDisplayForm::Show(form);
    });
}

void TMainForm::UncoverMonitor(const MonitorRect& rect) {
    OnWindowThread([&] {
        for (auto it = formMonitors_.begin(); it != formMonitors_.end();) {
            if (!(it->second == rect)) {
                ++it;
                continue;
            }
            ::DestroyWindow(it->first);
            forms_.erase(std::remove(forms_.begin(), forms_.end(), it->first), forms_.end());
            it = formMonitors_.erase(it);
        }
    });
}

bool TMainForm::ShowLiesOn(const MonitorRect& rect) {
    return HostShowCovers(hostId_, rect);
}

std::unique_ptr<WatchedProcess> TMainForm::OpenProcess(uint32_t processId) {
    hostId_ = processId; // its windows are looked at while a call waits or the display changes
    UniqueHandle process(::OpenProcess(kHostProcessAccess, FALSE, processId));
    if (!process)
        return nullptr;
    return std::make_unique<WatchedHostProcess>(std::move(process));
}

void TMainForm::EnableTimer() {
    LARGE_INTEGER due{};
    due.QuadPart = -10'000LL * kTimerInterval; // relative, in 100 ns units
    ::SetWaitableTimer(ticks_.get(), &due, kTimerInterval, nullptr, nullptr, FALSE);
}

void TMainForm::RequestClose(RunEnd cause) noexcept {
    if (window_)
        ::PostMessageW(window_, WM_CLOSE, static_cast<WPARAM>(cause), 0);
}

void TMainForm::AddBreakOutHotKey() {
    OnWindowThread([&] { breakOut_->AddHotKey(); });
}

void TMainForm::InstallKeyboardHook() {
    OnWindowThread([&] { breakOut_->InstallKeyboardHook(); });
}

void TMainForm::InstallMouseHook() {
    OnWindowThread([&] { breakOut_->InstallMouseHook(); });
}

void TMainForm::DisarmBreakOut() noexcept {
    Guarded(0, [&] {
        OnWindowThread([&] { breakOut_->Disarm(); });
        return 0;
    });
}

void TMainForm::ShowErrorReport(const std::wstring& text) {
    if (ending_)
        return;
    // Disarmed while the report is up: the input that closes it must not end the run. The
    // driver arms again after it.
    DisarmBreakOut();
    // Above the topmost windows of the run (black monitor windows, slide shows): behind them the
    // report could be neither seen nor closed.
    win::ShowErrorReport(text, true);
}

std::wstring TMainForm::SystemMessage(int32_t code) {
    return win::SystemMessage(static_cast<HRESULT>(code));
}

int RunMainForm(HINSTANCE instance, PresentationHost& host,
                SessionDriver::SettingsLoader loadSession) {
    TMainForm form(instance, host, std::move(loadSession));
    if (!form.Create())
        return 1;
    // The window thread's apartment, for anything of the system's that wants one: only now,
    // so that the session thread, which reaches the host, does not wait behind its making.
    ComApartment apartment(COINIT_APARTMENTTHREADED);
    StartTraceMark("main apartment");
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    form.Destroy();
    return 0; // the form's journal waits for its block on the way out
}

int RunMainForm(HINSTANCE instance) {
    PowerPointHost host;
    return RunMainForm(instance, host, [](TSession&) { LoadSession(); });
}

} // namespace kestova::win
