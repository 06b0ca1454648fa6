#include "settings/win/configure_form.h"

#include "common/product.h"
#include "common/win/error_report.h"
#include "common/win/monitors.h"
#include "settings/browse_folder.h"
#include "settings/dialog_rows.h"
#include "settings/row_validation.h"
#include "settings/registry_access.h"
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
constexpr DWORD kFolderProbeBudget = 1500;
constexpr wchar_t kPathHint[] = L"Type a full path, such as C:\\Shows\\show.pptx.";

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
    L"would normally. If keyboard interaction is disabled, pressing any key when the slide show "
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
// A row prober has answers (posted from its threads).
constexpr UINT kProbeAnswerMessage = WM_APP + 2;

void Place(HWND control, const RECT& r, HFONT font) {
    ::SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

RECT At(int left, int top, int width, int height) {
    return {left, top, left + width, top + height};
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

TConfigureForm::TConfigureForm(HINSTANCE instance, ConfigureFormServices services)
    : instance_(instance), services_(std::move(services)) {
    if (!services_.probeRow)
        services_.probeRow = win::ProbeRowPath;
    if (!services_.openRegistry)
        services_.openRegistry = [] { return std::make_unique<win::WindowsRegistry>(); };
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
        if (id == kPathHintLabelId)
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
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        LayOut();
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        const SIZE size = win::WindowSizeForClientPixels(window_, clientSize_, dpi_);
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
    PathHintLabel = AddControl(L"STATIC", kPathHint, SS_LEFT | SS_NOPREFIX, 0, kPathHintLabelId);
    GroupBox1 = AddControl(L"BUTTON", L"Settings", WS_VISIBLE | BS_GROUPBOX, 0, kGroupBoxId);
    AboutButton = AddControl(L"BUTTON", L"&About...", tabStop | BS_PUSHBUTTON, 0, kAboutButtonId);
    OKButton = AddControl(L"BUTTON", L"&OK", tabStop | BS_DEFPUSHBUTTON, 0, kOKButtonId);
    CancelButton = AddControl(L"BUTTON", L"&Cancel", tabStop | BS_PUSHBUTTON, 0, kCancelButtonId);
}

// The design is the least each control gets. Every text is measured in the font the system really
// gives for "MS Sans Serif" (a wider substitute, a larger text setting): a control grows to hold
// its text, what lies right of or below it moves along, and the dialog grows to hold them all.
void TConfigureForm::LayOut() {
    win::UniqueGdiObject font = win::CreateDialogFont(dpi_);
    auto hfont = static_cast<HFONT>(font.get());
    if (!hfont)
        hfont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    auto s = [this](int designPixels) { return win::ScaleToDpi(designPixels, dpi_); };
    auto textOf = [hfont](HWND control) {
        return win::MeasureText(control, hfont, WindowText(control));
    };
    auto captionOf = [hfont](HWND control) {
        return win::MeasureCaption(control, hfont, WindowText(control));
    };
    const int line = win::LineHeight(window_, hfont);
    // Room a push button needs around its caption, and a check box beside its text: the box
    // itself and the gap to the text.
    const int buttonHeight = std::max<int>(s(25), line + s(12));
    const int checkGlyph =
        std::max<int>(::GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi_), s(13)) + s(6);
    const int checkHeight = std::max<int>(s(17), line + s(4));

    // Rows, inside the scroll box. The edit boxes of all rows start at one place, right of the
    // widest row label.
    int labelRight = 0;
    for (HWND label : MonitorLabels)
        labelRight =
            std::max<int>(labelRight, static_cast<int>(s(kRowLabelRect.left) + textOf(label).cx));
    const int editLeft = std::max<int>(s(kRowEditRect.left), labelRight + s(4));
    const int editWidth = s(kRowEditRect.width);
    const int editHeight = std::max<int>(s(kRowEditRect.height), line + s(8));
    const int browseLeft = std::max<int>(s(kRowBrowseRect.left), editLeft + editWidth);
    int browseWidth = s(kRowBrowseRect.width);
    for (HWND browse : BrowseButtons)
        browseWidth = std::max<int>(browseWidth, static_cast<int>(captionOf(browse).cx + s(16)));
    const int pitch = std::max<int>(s(kRowPitch), buttonHeight + s(7));
    const int rowsWidth = browseLeft + browseWidth + s(8);
    // Three rows in view, as designed; more scroll.
    const int threeRows = s(kRowBrowseRect.top) + 2 * pitch + buttonHeight + s(4);

    // The group box's contents, relative to the group box.
    const int edges = 2 * ::GetSystemMetricsForDpi(SM_CXEDGE, dpi_);
    const SIZE monitorText = textOf(MonitorLabel);
    const RECT monitorLabel =
        At(s(kMonitorLabelRect.left), s(kMonitorLabelRect.top), monitorText.cx, monitorText.cy);
    const int scrollTop = std::max<int>(s(kScrollBoxRect.top), monitorLabel.bottom + s(8));
    const int scrollWidth = std::max<int>(
        s(kScrollBoxRect.width), rowsWidth + edges + ::GetSystemMetricsForDpi(SM_CXVSCROLL, dpi_));
    const int scrollHeight = std::max<int>(s(kScrollBoxRect.height), threeRows + edges);
    const RECT scroll = At(s(kScrollBoxRect.left), scrollTop, scrollWidth, scrollHeight);
    // The full-path hint shares the monitor sentence's line, ending where the scroll box ends.
    const SIZE pathHintText = textOf(PathHintLabel);
    const int pathHintLeft =
        std::max<int>(monitorLabel.right + s(16), scroll.right - pathHintText.cx);
    const RECT pathHint =
        At(pathHintLeft, monitorLabel.top, pathHintText.cx, std::max<int>(pathHintText.cy, line));
    const int checkTop = std::max<int>(s(kEnableKeyboardRect.top), scroll.bottom + s(15));
    const RECT keyboard = At(
        s(kEnableKeyboardRect.left), checkTop,
        std::max<int>(s(kEnableKeyboardRect.width),
                      static_cast<int>(checkGlyph + captionOf(EnableKeyboardCheckBox).cx + s(2))),
        checkHeight);
    const RECT mouse =
        At(std::max<int>(s(kEnableMouseRect.left), keyboard.right + s(16)), checkTop,
           std::max<int>(s(kEnableMouseRect.width),
                         static_cast<int>(checkGlyph + captionOf(EnableMouseCheckBox).cx + s(2))),
           checkHeight);
    const SIZE hintText = textOf(EnableKeyboardHintLabel);
    const RECT hint =
        At(s(kHintLabelRect.left), std::max<int>(s(kHintLabelRect.top), keyboard.bottom),
           std::max<int>(s(kHintLabelRect.width), hintText.cx),
           std::max<int>(s(kHintLabelRect.height), hintText.cy));
    const int groupWidth =
        std::max<int>({s(kGroupBoxRect.width), scroll.right + s(16), pathHint.right + s(16),
                       mouse.right + s(16), hint.right + s(16)});
    const int groupHeight = std::max<int>(s(kGroupBoxRect.height), hint.bottom + s(12));

    // The form: notes on top, then the group box, then the buttons along the bottom.
    const SIZE aboutText = captionOf(AboutButton);
    const SIZE okText = captionOf(OKButton);
    const SIZE cancelText = captionOf(CancelButton);
    const int aboutWidth = std::max<int>(s(kAboutButtonRect.width), aboutText.cx + s(16));
    const int okWidth = std::max<int>(s(kOKButtonRect.width), okText.cx + s(16));
    const int cancelWidth = std::max<int>(s(kCancelButtonRect.width), cancelText.cx + s(16));
    const int margin = s(kGroupBoxRect.left);
    int clientWidth =
        std::max<int>({s(kClientWidth), margin + groupWidth + margin,
                       margin + aboutWidth + s(16) + okWidth + s(7) + cancelWidth + margin});
    const int helpWidth = clientWidth - 2 * margin;
    const int helpHeight = std::max<int>(
        s(kHelpLabelRect.height),
        win::MeasureWrappedHeight(HelpLabel, hfont, WindowText(HelpLabel), helpWidth));
    const RECT help = At(s(kHelpLabelRect.left), s(kHelpLabelRect.top), helpWidth, helpHeight);
    const RECT group = At(margin, std::max<int>(s(kGroupBoxRect.top), help.bottom + s(7)),
                          clientWidth - 2 * margin, groupHeight);
    const int buttonsTop = std::max<int>(s(kOKButtonRect.top), group.bottom + s(7));
    const int cancelLeft =
        std::max<int>(s(kCancelButtonRect.left), clientWidth - margin - cancelWidth);
    const int okLeft = std::max<int>(s(kOKButtonRect.left), cancelLeft - s(7) - okWidth);
    clientWidth = std::max<int>(clientWidth, cancelLeft + cancelWidth + margin);
    const int clientHeight = std::max<int>(s(kClientHeight), buttonsTop + buttonHeight + margin);
    clientSize_ = {clientWidth, clientHeight};

    auto inGroup = [&group](RECT r) {
        ::OffsetRect(&r, group.left, group.top);
        return r;
    };
    Place(HelpLabel, help, hfont);
    Place(GroupBox1, group, hfont);
    Place(MonitorLabel, inGroup(monitorLabel), hfont);
    Place(PathHintLabel, inGroup(pathHint), hfont);
    Place(ScrollBox, inGroup(scroll), hfont);
    Place(EnableKeyboardCheckBox, inGroup(keyboard), hfont);
    Place(EnableMouseCheckBox, inGroup(mouse), hfont);
    Place(EnableKeyboardHintLabel, inGroup(hint), hfont);
    Place(AboutButton, At(s(kAboutButtonRect.left), buttonsTop, aboutWidth, buttonHeight), hfont);
    Place(OKButton, At(okLeft, buttonsTop, okWidth, buttonHeight), hfont);
    Place(CancelButton, At(cancelLeft, buttonsTop, cancelWidth, buttonHeight), hfont);

    // Rows are placed as if unscrolled; the scroll range then follows the new size.
    win::ScrollBoxTo(ScrollBox, 0);
    int contentHeight = 0;
    for (size_t k = 0; k < PresNameEdits.size(); ++k) {
        // Row k's band starts where the design puts it; controls are centred on its Browse button.
        const int top = s(kRowBrowseRect.top) + pitch * k;
        const SIZE labelText = textOf(MonitorLabels[k]);
        const int labelTop = std::max<int>(s(kRowLabelRect.top) + (top - s(kRowBrowseRect.top)),
                                           top + (buttonHeight - labelText.cy) / 2);
        const int editTop = std::max<int>(s(kRowEditRect.top) + (top - s(kRowBrowseRect.top)),
                                          top + (buttonHeight - editHeight) / 2);
        Place(MonitorLabels[k], At(s(kRowLabelRect.left), labelTop, labelText.cx, labelText.cy),
              hfont);
        Place(PresNameEdits[k], At(editLeft, editTop, editWidth, editHeight), hfont);
        Place(BrowseButtons[k], At(browseLeft, top, browseWidth, buttonHeight), hfont);
        contentHeight = std::max<int>(contentHeight, top + buttonHeight);
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
    win::RunHandler([this] { LoadSession(*OpenRegistry(), Session); });

    monitorCount_ = static_cast<int>(win::EnumerateSystemMonitors().size());
    ::SetWindowTextW(MonitorLabel, MonitorCountSentence(monitorCount_).c_str());
    SetupOpenDialog();
    CreateMonitorRows(monitorCount_);
    const int m = std::min(monitorCount_, static_cast<int>(Session.Elements.size()));
    ShowSession(m);
}

void TConfigureForm::SetupOpenDialog() {
    std::wstring folder;
    // A remembered folder of the wrong type is reported and then treated as missing. (An empty
    // default rather than L"": GCC 12 at -O3 takes the literal's copy for an out-of-bounds one.)
    win::RunHandler([&] {
        RegReadString(*OpenRegistry(), kSettingsKeyPath, kFileOpenFolder, std::wstring(), folder);
    });
    // Asked with a budget: a remembered share that does not answer soon gives the desktop instead.
    OpenDialog.SetInitialFolder(InitialBrowseFolder(
        folder,
        [](const std::wstring& path) { return win::ProbePathWithin(path, kFolderProbeBudget); },
        win::DesktopFolder));
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

std::unique_ptr<RegistryAccess> TConfigureForm::OpenRegistry() const {
    auto registry = services_.openRegistry();
    if (!registry)
        throw std::runtime_error("Error opening the registry");
    return registry;
}

void TConfigureForm::ValidateRows() {
    if (!window_ || !prober_)
        return;
    ShowCheck(CheckRows(RowTexts(), [this](size_t row, const std::wstring& text) {
        return prober_->Answer(row, text);
    }));
}

void TConfigureForm::ShowCheck(const RowCheck& check) {
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
    if ((::IsWindowVisible(PathHintLabel) != FALSE) != check.anyNotFullPath)
        ::ShowWindow(PathHintLabel, check.anyNotFullPath ? SW_SHOWNA : SW_HIDE);
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

void TConfigureForm::OKButtonClick() {
    // What is saved is checked again, against the disk as it is now and including text typed
    // or pasted in the same burst of messages as the click: every row is asked at once, so the
    // wait is that of the slowest single answer.
    const std::vector<std::wstring> texts = RowTexts();
    const auto facts = ProbeRowsTogether(texts, services_.probeRow);
    const RowCheck check =
        CheckRows(texts, [&facts](size_t row, const std::wstring&) { return facts[row]; });
    ShowCheck(check);
    if (!check.allValid || !rowsReady_)
        return;
    StoreRows(Session, texts, IsChecked(EnableKeyboardCheckBox), IsChecked(EnableMouseCheckBox));
    // The entries of monitors not attached now stay in the registry exactly as they are.
    SaveSession(*OpenRegistry(), Session, texts.size());
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
    prober_.reset();
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
