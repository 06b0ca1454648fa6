#include "screensaver/win/main_form.h"

#include "common/product.h"
#include "common/win/com_error.h"
#include "common/win/error_report.h"
#include "common/win/unique_handle.h"
#include "screensaver/win/boundary.h"
#include "screensaver/win/display_form.h"
#include "screensaver/win/monitor_order.h"
#include "screensaver/win/powerpoint_host.h"
#include "settings/win/windows_registry.h"

namespace kestova::win {

namespace {

// Design bounds at 96 pixels per inch; they matter only when a failed start shows the window.
constexpr int kDesignLeft = 192;
constexpr int kDesignTop = 122;
constexpr int kDesignWidth = 132;
constexpr int kDesignHeight = 80;

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

} // namespace

TMainForm::TMainForm(HINSTANCE instance, PresentationHost& host,
                     SessionDriver::SettingsLoader loadSession, TSession& session)
    : instance_(instance), driver_(*this, host, std::move(loadSession), session) {}

TMainForm::~TMainForm() {
    Destroy();
}

bool TMainForm::Create() {
    journal_.Start();
    RegisterMainFormClass(instance_, WindowProc);
    const UINT dpi = ::GetDpiForSystem();
    window_ =
        ::CreateWindowExW(0, kMainFormClass, kProductCaption, WS_OVERLAPPEDWINDOW,
                          Scale(kDesignLeft, dpi), Scale(kDesignTop, dpi), Scale(kDesignWidth, dpi),
                          Scale(kDesignHeight, dpi), nullptr, nullptr, instance_, this);
    if (!window_)
        return false;
    breakOut_ = std::make_unique<BreakOut>(window_, instance_);
    SetBreakOutWindow(window_);
    driver_.FormCreate();
    if (driver_.MainWindowShown())
        ::ShowWindow(window_, SW_SHOW);
    return true;
}

void TMainForm::Destroy() noexcept {
    if (!window_)
        return;
    closing_ = true;
    // The shows end while the black windows still cover the monitors; they go with the window.
    ::KillTimer(window_, kTimerId);
    driver_.FormDestroy();
    breakOut_.reset();
    HWND window = window_;
    window_ = nullptr;
    ::DestroyWindow(window);
    SetBreakOutWindow(nullptr);
    // The run is over for the user: only now does the journal take its copy.
    journal_.Finish(driver_.Facts(), driver_.Outcomes());
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
    case WM_TIMER:
        if (wParam == kTimerId && !closing_)
            driver_.TimerTimer();
        return 0;
    case WM_CLOSE:
        // The application's main window: closing it ends the message loop, and the window is
        // destroyed after it (Destroy), with the session's end.
        if (!closing_) {
            closing_ = true;
            // The cause rides in wParam; a close from outside the product carries 0, Closed.
            journal_.NoteEnd(static_cast<RunEnd>(static_cast<int32_t>(wParam)));
            ::PostQuitMessage(0);
        }
        return 0;
    case WM_DESTROY:
        // Destroyed from outside (not through Destroy): the session still ends properly.
        if (window_) {
            ::KillTimer(window_, kTimerId);
            driver_.FormDestroy();
            breakOut_.reset();
            window_ = nullptr;
            SetBreakOutWindow(nullptr);
            journal_.Finish(driver_.Facts(), driver_.Outcomes());
            ::PostQuitMessage(0);
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
    // Owned by the main window, which destroys it; nothing else keeps it.
    HWND form = TDisplayForm::Create(window_, instance_);
    if (!form)
        return;
    TDisplayForm::PlaceOnMonitor(form, monitor);
    if (!text.empty())
        TDisplayForm::SetHelpText(form, text);
    TDisplayForm::Show(form);
}

std::unique_ptr<WatchedProcess> TMainForm::OpenProcess(uint32_t processId) {
    UniqueHandle process(::OpenProcess(kHostProcessAccess, FALSE, processId));
    if (!process)
        return nullptr;
    return std::make_unique<WatchedHostProcess>(std::move(process));
}

void TMainForm::EnableTimer() {
    ::SetTimer(window_, kTimerId, kTimerInterval, nullptr);
}

void TMainForm::RequestClose(RunEnd cause) noexcept {
    if (window_)
        ::PostMessageW(window_, WM_CLOSE, static_cast<WPARAM>(cause), 0);
}

void TMainForm::AddBreakOutHotKey() {
    if (breakOut_)
        breakOut_->AddHotKey();
}

void TMainForm::InstallKeyboardHook() {
    if (breakOut_)
        breakOut_->InstallKeyboardHook();
}

void TMainForm::InstallMouseHook() {
    if (breakOut_)
        breakOut_->InstallMouseHook();
}

void TMainForm::DisarmBreakOut() noexcept {
    if (breakOut_)
        breakOut_->Disarm();
}

void TMainForm::ShowErrorReport(const std::wstring& text) {
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
