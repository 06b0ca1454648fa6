#include "settings/win/configure_form.h"

#include "common/product.h"
#include "common/win/error_report.h"
#include "common/win/monitors.h"
#include "settings/browse_folder.h"
#include "settings/dialog_rows.h"
#include "settings/row_validation.h"
#include "settings/win/about_form.h"
#include "settings/win/dialog_window.h"
#include "settings/win/dpi_layout.h"
#include "settings/win/handler_guard.h"
#include "settings/win/message_loop.h"
#include "settings/win/scroll_box.h"
#include "settings/win/shell_paths.h"
#include "settings/win/windows_registry.h"

#include <algorithm>
#include <stdexcept>

namespace kestova {

namespace {

using win::DesignRect;

constexpr wchar_t kClassName[] = L"KestovaConfigureForm";
constexpr wchar_t kCaption[] = L"Kestova Screen Saver Settings";
constexpr wchar_t kFileOpenFolder[] = L"FileOpenFolder";

constexpr wchar_t kNotes[] =
    L"Notes:\r\n"
    L"Kestova Screen Saver allows you to display PowerPoint slide shows as screen savers. It "
    L"allows you to show different slide shows on different monitors as screen savers. Ensure "
    L"that the slide shows are setup with automatic animations and transitions and also that "
    L"they loop forever. If any slide show exits when the screen saver runs, all slide shows "
    L"exit and the screen saver terminates.\r\n"
    L"\r\n"
    L"Keyboard/mouse interactions:\r\n"
    L"You can enable keyboard and/or mouse interaction for the slide shows. If keyboard or mouse "
    L"interaction is enabled, you can use the keyboard or mouse during the slide show as you "
    L"would normally. If keyboard interaction is disabled, pressing any when the slide show "
    L"screen saver is active, exits out of all slide shows and terminates the screen saver. "
    L"Similarly, if mouse interaction is disabled, moving the mouse or pressing any mouse button "
    L"when the slide show screen saver is active, exits out of all running slide shows and "
    L"terminates the screen saver.";

// The design, in pixels at 96 dpi.
constexpr int kClientWidth = 553;
constexpr int kClientHeight = 425;
constexpr DesignRect kHelpLabelRect{8, 8, 537, 161};
constexpr DesignRect kGroupBoxRect{8, 176, 537, 209};
// Inside the group box.
constexpr DesignRect kMonitorLabelRect{16, 24, 0, 0};
constexpr DesignRect kScrollBoxRect{16, 48, 505, 105};
constexpr DesignRect kEnableKeyboardRect{16, 168, 233, 17};
constexpr DesignRect kEnableMouseRect{288, 168, 233, 17};
constexpr DesignRect kHintLabelRect{35, 184, 204, 13};
// On the form again.
constexpr DesignRect kAboutButtonRect{8, 392, 75, 25};
constexpr DesignRect kOKButtonRect{392, 392, 73, 25};
constexpr DesignRect kCancelButtonRect{472, 392, 73, 25};
// Row 0 inside the scroll box; each further row lies kRowPitch lower.
constexpr int kRowPitch = 32;
constexpr DesignRect kRowLabelRect{8, 14, 0, 0};
constexpr DesignRect kRowEditRect{96, 10, 305, 21};
constexpr DesignRect kRowBrowseRect{400, 8, 75, 25};

// Closing is posted, so the window never goes while one of its controls is still in a handler.
constexpr UINT kCloseMessage = WM_APP + 1;

DesignRect RowRect(DesignRect rect, int row) {
    rect.top += kRowPitch * row;
    return rect;
}

// A control of the group box sits at the group box's scaled corner plus its own scaled offset,
// as it would inside a scaled parent.
RECT InGroupBox(const DesignRect& rect, UINT dpi) {
    RECT r = win::ScaleRect(rect, dpi);
    const RECT group = win::ScaleRect(kGroupBoxRect, dpi);
    ::OffsetRect(&r, group.left, group.top);
    return r;
}

void Place(HWND control, const RECT& r, HFONT font) {
    ::SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

// A label sized to its text at the scaled place of `rect`'s corner.
RECT LabelRect(HWND label, const RECT& corner, HFONT font) {
    const int length = ::GetWindowTextLengthW(label);
    std::wstring text(static_cast<size_t>(std::max(length, 0)) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(label, text.data(), length + 1)));
    const SIZE size = win::MeasureText(label, font, text);
    return {corner.left, corner.top, corner.left + size.cx, corner.top + size.cy};
}

std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    if (length <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

bool IsChecked(HWND checkBox) {
    return ::SendMessageW(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND checkBox, bool checked) {
    ::SendMessageW(checkBox, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

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

TConfigureForm::TConfigureForm(HINSTANCE instance) : instance_(instance) {}

TConfigureForm::~TConfigureForm() {
    if (window_)
        ::DestroyWindow(window_);
}

std::unique_ptr<TConfigureForm> TConfigureForm::Create(HINSTANCE instance) {
    std::unique_ptr<TConfigureForm> form(new TConfigureForm(instance));
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
    bool built = false;
    win::RunHandler([&] {
        form->CreateControls();
        form->LayOut();
        win::CentreOnPrimaryMonitor(
            window, win::WindowSizeForClient(window, kClientWidth, kClientHeight, form->dpi_));
        built = true;
    });
    // Without its controls the window is still shown, so that it can be closed; it offers no OK.
    if (built)
        win::RunHandler([&] { form->FormCreate(); });
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
        const int row = ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) - kRowLabelBase;
        if (row < 0 || row >= static_cast<int>(rowValid_.size()))
            return false;
        auto dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, ::GetSysColor(rowValid_[static_cast<size_t>(row)] ? COLOR_WINDOWTEXT
                                                                             : COLOR_HIGHLIGHT));
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
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        LayOut();
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        const SIZE size = win::WindowSizeForClient(window_, kClientWidth, kClientHeight, dpi_);
        ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, size.cx, size.cy,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        return true;
    }
    case WM_DESTROY:
        FormDestroy();
        return false;
    default:
        return false;
    }
}

void TConfigureForm::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED)
        return;
    if (id >= kRowBrowseBase && id < kRowBrowseBase + static_cast<int>(BrowseButtons.size())) {
        win::RunHandler([&] { BrowseButtonClick(id - kRowBrowseBase); });
        return;
    }
    switch (id) {
    case kEnableKeyboardId:
        win::RunHandler([&] { EnableKeyboardCheckBoxClick(); });
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

HWND TConfigureForm::AddControl(const wchar_t* className, const wchar_t* text, DWORD style,
                                DWORD exStyle, int id, HWND parent) {
    HWND control =
        ::CreateWindowExW(exStyle, className, text, WS_CHILD | WS_CLIPSIBLINGS | style, 0, 0, 0, 0,
                          parent ? parent : window_,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (!control)
        throw std::runtime_error("Error creating window");
    return control;
}

// The designed controls, in tab order; the rows come later. A new child window goes below its
// older siblings, so the group box, made after the controls it frames, never covers them.
void TConfigureForm::CreateControls() {
    constexpr DWORD label = WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
    constexpr DWORD tabStop = WS_VISIBLE | WS_TABSTOP | WS_GROUP;
    HelpLabel = AddControl(L"STATIC", L"", label, 0, kHelpLabelId);
    MonitorLabel = AddControl(L"STATIC", L"", label, 0, kMonitorLabelId);
    ScrollBox = win::CreateScrollBox(window_, kScrollBoxId, instance_);
    if (!ScrollBox)
        throw std::runtime_error("Error creating window");
    EnableKeyboardCheckBox = AddControl(L"BUTTON", L"Enable keyboard interaction for slide shows",
                                        tabStop | BS_AUTOCHECKBOX, 0, kEnableKeyboardId);
    EnableMouseCheckBox = AddControl(L"BUTTON", L"Enable mouse interaction for slide shows",
                                     tabStop | BS_AUTOCHECKBOX, 0, kEnableMouseId);
    EnableKeyboardHintLabel = AddControl(L"STATIC", L"Use Ctrl+Alt+Esc to terminate screen saver.",
                                         SS_LEFT | SS_NOPREFIX, 0, kHintLabelId);
    GroupBox1 = AddControl(L"BUTTON", L"Settings", WS_VISIBLE | BS_GROUPBOX, 0, kGroupBoxId);
    AboutButton = AddControl(L"BUTTON", L"&About...", tabStop | BS_PUSHBUTTON, 0, kAboutButtonId);
    OKButton = AddControl(L"BUTTON", L"&OK", tabStop | BS_DEFPUSHBUTTON, 0, kOKButtonId);
    CancelButton = AddControl(L"BUTTON", L"&Cancel", tabStop | BS_PUSHBUTTON, 0, kCancelButtonId);
}

void TConfigureForm::LayOut() {
    win::UniqueGdiObject font = win::CreateDialogFont(dpi_);
    auto hfont = static_cast<HFONT>(font.get());
    if (!hfont)
        hfont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));

    Place(HelpLabel, win::ScaleRect(kHelpLabelRect, dpi_), hfont);
    Place(GroupBox1, win::ScaleRect(kGroupBoxRect, dpi_), hfont);
    Place(MonitorLabel, LabelRect(MonitorLabel, InGroupBox(kMonitorLabelRect, dpi_), hfont), hfont);
    Place(ScrollBox, InGroupBox(kScrollBoxRect, dpi_), hfont);
    Place(EnableKeyboardCheckBox, InGroupBox(kEnableKeyboardRect, dpi_), hfont);
    Place(EnableMouseCheckBox, InGroupBox(kEnableMouseRect, dpi_), hfont);
    // The hint keeps its design size unless the font in use needs more width for its one line
    // (a substitute for "MS Sans Serif" can be wider); it never wraps into a cut-off second line.
    RECT hint = InGroupBox(kHintLabelRect, dpi_);
    hint.right = std::max(hint.right, LabelRect(EnableKeyboardHintLabel, hint, hfont).right);
    Place(EnableKeyboardHintLabel, hint, hfont);
    Place(AboutButton, win::ScaleRect(kAboutButtonRect, dpi_), hfont);
    Place(OKButton, win::ScaleRect(kOKButtonRect, dpi_), hfont);
    Place(CancelButton, win::ScaleRect(kCancelButtonRect, dpi_), hfont);

    // Rows are placed as if unscrolled; the scroll range then follows the new size.
    win::ScrollBoxTo(ScrollBox, 0);
    int contentHeight = 0;
    for (size_t k = 0; k < PresNameEdits.size(); ++k) {
        const int row = static_cast<int>(k);
        Place(MonitorLabels[k],
              LabelRect(MonitorLabels[k], win::ScaleRect(RowRect(kRowLabelRect, row), dpi_), hfont),
              hfont);
        Place(PresNameEdits[k], win::ScaleRect(RowRect(kRowEditRect, row), dpi_), hfont);
        const RECT browse = win::ScaleRect(RowRect(kRowBrowseRect, row), dpi_);
        Place(BrowseButtons[k], browse, hfont);
        contentHeight = std::max(contentHeight, static_cast<int>(browse.bottom));
    }
    win::SetScrollBoxContentHeight(ScrollBox, contentHeight);

    if (font)
        font_ = std::move(font);
}

void TConfigureForm::FormCreate() {
    MonitorLabels.clear();
    PresNameEdits.clear();
    BrowseButtons.clear();
    ::SetWindowTextW(HelpLabel, kNotes);

    // A session that can't be read is reported, and the dialog then shows what could be read:
    // the user can still choose the presentations again and save a readable set of settings.
    win::RunHandler([] { LoadSession(); });

    monitorCount_ = static_cast<int>(win::EnumerateSystemMonitors().size());
    ::SetWindowTextW(MonitorLabel, MonitorCountSentence(monitorCount_).c_str());
    SetupOpenDialog();
    CreateMonitorRows(monitorCount_);
    const int m = std::min(monitorCount_, static_cast<int>(Session.Elements.size()));
    ShowSession(m);
}

void TConfigureForm::SetupOpenDialog() {
    std::wstring folder;
    // A remembered folder of the wrong type is reported and then treated as missing.
    win::RunHandler([&] { RegReadString(kSettingsKeyPath, kFileOpenFolder, L"", folder); });
    OpenDialog.SetInitialFolder(InitialBrowseFolder(folder, win::ProbePath, win::DesktopFolder));
}

void TConfigureForm::CreateMonitorRows(int n) {
    constexpr DWORD tabStop = WS_VISIBLE | WS_TABSTOP | WS_GROUP;
    for (int k = 0; k < n; ++k) {
        MonitorLabels.push_back(AddControl(L"STATIC", MonitorRowCaption(k).c_str(),
                                           WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, kRowLabelBase + k,
                                           ScrollBox));
        PresNameEdits.push_back(AddControl(L"EDIT", L"", tabStop | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
                                           kRowEditBase + k, ScrollBox));
        // BS_NOTIFY: the scroll box learns when a Browse button gets the focus.
        BrowseButtons.push_back(AddControl(L"BUTTON", L"Browse...",
                                           tabStop | BS_PUSHBUTTON | BS_NOTIFY, 0,
                                           kRowBrowseBase + k, ScrollBox));
        rowValid_.push_back(true);
    }
    LayOut();
    rowsReady_ = true;
}

void TConfigureForm::ShowSession(int m) {
    SetChecked(EnableKeyboardCheckBox, Session.EnableKeyboard);
    EnableKeyboardCheckBoxClick();
    SetChecked(EnableMouseCheckBox, Session.EnableMouse);
    for (int k = 0; k < m; ++k)
        ::SetWindowTextW(PresNameEdits[static_cast<size_t>(k)],
                         Session.Elements[static_cast<size_t>(k)].PresName.c_str());
}

std::vector<std::wstring> TConfigureForm::RowTexts() const {
    std::vector<std::wstring> texts;
    texts.reserve(PresNameEdits.size());
    for (HWND edit : PresNameEdits)
        texts.push_back(WindowText(edit));
    return texts;
}

void TConfigureForm::ValidateRows() {
    if (!window_)
        return;
    const RowCheck check =
        CheckRows(RowTexts(), [](const std::wstring& path) { return win::ProbePath(path); });
    for (size_t k = 0; k < check.rowValid.size() && k < rowValid_.size(); ++k) {
        // Only a change is repainted: a repaint is a message, and each burst of messages runs
        // this check again.
        if (rowValid_[k] != check.rowValid[k]) {
            rowValid_[k] = check.rowValid[k];
            ::InvalidateRect(MonitorLabels[k], nullptr, TRUE);
        }
    }
    const bool enable = check.allValid && rowsReady_;
    if ((::IsWindowEnabled(OKButton) != FALSE) != enable)
        ::EnableWindow(OKButton, enable ? TRUE : FALSE);
}

void TConfigureForm::BrowseButtonClick(int row) {
    const std::optional<std::wstring> chosen = OpenDialog.Execute(window_);
    if (!chosen)
        return;
    RegWriteString(kSettingsKeyPath, kFileOpenFolder, FolderOfPath(*chosen));
    ::SetWindowTextW(PresNameEdits[static_cast<size_t>(row)], chosen->c_str());
}

void TConfigureForm::EnableKeyboardCheckBoxClick() {
    ::ShowWindow(EnableKeyboardHintLabel, IsChecked(EnableKeyboardCheckBox) ? SW_SHOW : SW_HIDE);
}

void TConfigureForm::OKButtonClick() {
    // Text typed or pasted in the same burst of messages as the click has not been checked yet.
    ValidateRows();
    if (!::IsWindowEnabled(OKButton))
        return;
    StoreRows(Session, RowTexts(), IsChecked(EnableKeyboardCheckBox),
              IsChecked(EnableMouseCheckBox));
    SaveSession();
    Close();
}

void TConfigureForm::CancelButtonClick() {
    Close();
}

void TConfigureForm::AboutButtonClick() {
    win::ShowAboutBox(instance_);
}

void TConfigureForm::FormDestroy() {
    win::SetIdleHandler(nullptr);
    win::RemoveDialogWindow(window_);
    MonitorLabels.clear();
    PresNameEdits.clear();
    BrowseButtons.clear();
    rowValid_.clear();
}

void TConfigureForm::Close() {
    ::PostMessageW(window_, kCloseMessage, 0, 0);
}

} // namespace kestova
