#include "settings/win/configure_form.h"

#include "common/product.h"
#include "common/win/error_report.h"
#include "settings/browse_folder.h"
#include "settings/registry_access.h"
#include "settings/win/about_form.h"
#include "settings/win/configure_design.h"
#include "settings/win/dialog_window.h"
#include "settings/win/dpi_layout.h"
#include "settings/win/handler_guard.h"
#include "settings/win/message_loop.h"
#include "settings/win/shell_paths.h"
#include "settings/win/windows_registry.h"

#include <algorithm>
#include <stdexcept>

namespace kestova {

using namespace configure;

namespace {

constexpr wchar_t kClassName[] = L"KestovaConfigureForm";
constexpr wchar_t kCaption[] = L"Kestova Screen Saver Settings";
constexpr wchar_t kFileOpenFolder[] = L"FileOpenFolder";

} // namespace

int RunConfigureForm(HINSTANCE instance) {
    try {
        auto form = TConfigureForm::Create(instance);
        if (!form)
            return 1;
        int exitCode = 0;
        while (form->IsOpen()) {
            if (!win::ProcessMessages(exitCode))
                break;
            if (form->IsOpen())
                ::WaitMessage();
        }
        return exitCode;
    } catch (...) {
        win::ReportCurrentError();
        return 1;
    }
}

TConfigureForm::TConfigureForm(HINSTANCE instance, ConfigureFormServices services)
    : instance_(instance), services_(std::move(services)) {
    if (!services_.probeRow)
        services_.probeRow = win::ProbeRowPath;
    if (!services_.openRegistry)
        services_.openRegistry = [] { return std::make_unique<win::WindowsRegistry>(); };
    if (!services_.openMachineRegistry)
        services_.openMachineRegistry = [] {
            return std::make_unique<win::WindowsRegistry>(HKEY_LOCAL_MACHINE);
        };
}

TConfigureForm::~TConfigureForm() {
    if (window_)
        ::DestroyWindow(window_);
}

std::unique_ptr<TConfigureForm> TConfigureForm::Create(HINSTANCE instance,
                                                       ConfigureFormServices services) {
    std::unique_ptr<TConfigureForm> form(new TConfigureForm(instance, std::move(services)));
    if (!win::RegisterDialogClass(instance, kClassName, WindowProc,
                                  ::LoadIconW(instance, MAKEINTRESOURCEW(1)))) {
        win::ShowErrorReport(L"Error creating window class");
        return nullptr;
    }
    // Created on the primary monitor, hidden, so that it knows that monitor's DPI before it is
    // laid out. Not WS_CLIPCHILDREN: the group box draws only its frame and leaves its inside to
    // the form's background.
    POINT centre{::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2};
    HWND window =
        ::CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | WS_EX_APPWINDOW, kClassName,
                          kCaption, WS_POPUP | WS_CAPTION | WS_SYSMENU, centre.x, centre.y, 1, 1,
                          nullptr, nullptr, instance, form.get());
    if (!window) {
        win::ShowErrorReport(L"Error creating window");
        return nullptr;
    }
    form->dpi_ = win::WindowDpi(window);
    form->clientSize_ = {win::ScaleToDpi(kClientWidth, form->dpi_),
                         win::ScaleToDpi(kClientHeight, form->dpi_)};
    form->prober_ =
        std::make_unique<win::RowProber>(window, kProbeAnswerMessage, form->services_.probeRow);
    form->lastRefresh_ = ::GetTickCount64();
    bool built = false;
    win::RunHandler([&] {
        form->CreateControls();
        form->LayOut();
        built = true;
    });
    // Without its controls the window is still shown, so that it can be closed; it offers no OK.
    if (built)
        win::RunHandler([&] { form->FormCreate(); });
    // Laid out again now that the rows and the monitor sentence are in: they may need more room.
    if (built)
        win::RunHandler([&] { form->LayOut(); });
    win::CentreOnPrimaryMonitor(
        window, win::WindowSizeForClientPixels(window, form->clientSize_, form->dpi_));
    win::AddDialogWindow(window);
    TConfigureForm* self = form.get();
    win::SetIdleHandler([self] { self->ValidateRows(); });
    ::SendMessageW(window, DM_SETDEFID, IDOK, 0);
    win::RunHandler([&] { form->ValidateRows(); });
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::SetForegroundWindow(window);
    return form;
}

LRESULT CALLBACK TConfigureForm::WindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    return win::RouteDialogMessage(window, message, wParam, lParam, &TConfigureForm::window_,
                                   &TConfigureForm::HandleMessage);
}

bool TConfigureForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return true;
    case WM_CTLCOLORSTATIC: {
        const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        const int row = id - kRowLabelBase;
        bool marked = false;
        if (id == kPathHintLabelId || id == kReachHintLabelId)
            marked = true; // in the colour of the rows it speaks of
        else if (row >= 0 && row < static_cast<int>(rowValid_.size()))
            marked = !rowValid_[static_cast<size_t>(row)];
        else
            return false;
        auto dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, ::GetSysColor(marked ? COLOR_HIGHLIGHT : COLOR_WINDOWTEXT));
        ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
        result = reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
        return true;
    }
    case WM_CLOSE:
        CancelButtonClick();
        return true;
    case kCloseMessage:
        ::DestroyWindow(window_);
        return true;
    case kProbeAnswerMessage:
        if (prober_ && prober_->TakeAnswers())
            ValidateRows();
        return true;
    case WM_TIMER:
        if (wParam != kWatchTimer)
            return false;
        OnWatchTimer();
        return true;
    case WM_ACTIVATE:
        // Back to the dialog: what was marked may have changed meanwhile (a share back online).
        if (LOWORD(wParam) != WA_INACTIVE && rowsReady_) {
            RefreshMarkedRows();
            UpdateWatch();
        }
        return false; // the dialog manager restores the focus
    case WM_GETDPISCALEDSIZE:
        result = OnDpiScaledSize(static_cast<UINT>(wParam), *reinterpret_cast<SIZE*>(lParam));
        return true;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return true;
    case WM_DESTROY:
        FormDestroy();
        return false;
    default:
        return false;
    }
}

void TConfigureForm::OnCommand(int id, int code, HWND) {
    const int row = id - kRowEditBase;
    if (code == EN_CHANGE && sessionShown_ && row >= 0 &&
        row < static_cast<int>(rowTouched_.size()))
        rowTouched_[static_cast<size_t>(row)] = true;
    if (code != BN_CLICKED)
        return;
    if (id >= kRowBrowseBase && id < kRowBrowseBase + static_cast<int>(BrowseButtons.size())) {
        win::RunHandler([&] { BrowseButtonClick(id - kRowBrowseBase); });
        return;
    }
    switch (id) {
    case kEnableKeyboardId:
        keyboardTouched_ = true;
        win::RunHandler([&] { EnableKeyboardCheckBoxClick(); });
        break;
    case kEnableMouseId:
        mouseTouched_ = true;
        break;
    case kOKButtonId:
        win::RunHandler([&] { OKButtonClick(); });
        break;
    case kCancelButtonId:
        win::RunHandler([&] { CancelButtonClick(); });
        break;
    case kAboutButtonId:
        win::RunHandler([&] { AboutButtonClick(); });
        break;
    default:
        break;
    }
}

void TConfigureForm::BrowseButtonClick(int row) {
    const std::optional<std::wstring> chosen = OpenDialog.Execute(window_);
    if (!chosen)
        return;
    RegWriteString(*OpenRegistry(), kSettingsKeyPath, kFileOpenFolder, FolderOfPath(*chosen));
    ::SetWindowTextW(PresNameEdits[static_cast<size_t>(row)], chosen->c_str());
}

void TConfigureForm::EnableKeyboardCheckBoxClick() {
    ::ShowWindow(EnableKeyboardHintLabel, IsChecked(EnableKeyboardCheckBox) ? SW_SHOW : SW_HIDE);
}

void TConfigureForm::CancelButtonClick() {
    Close();
}

void TConfigureForm::AboutButtonClick() {
    win::ShowAboutBox(instance_);
}

void TConfigureForm::FormDestroy() {
    win::SetIdleHandler(nullptr);
    ::KillTimer(window_, kWatchTimer);
    watching_ = false;
    okWaiting_ = false;
    prober_.reset();
    win::RemoveDialogWindow(window_);
    MonitorLabels.clear();
    PresNameEdits.clear();
    BrowseButtons.clear();
    rowValid_.clear();
    rowStates_.clear();
    rowTouched_.clear();
}

void TConfigureForm::Close() {
    ::PostMessageW(window_, kCloseMessage, 0, 0);
}

} // namespace kestova
