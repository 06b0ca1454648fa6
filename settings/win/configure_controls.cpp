// The settings dialog's controls: the designed ones and one row per monitor.
#include "settings/dialog_rows.h"
#include "settings/win/configure_design.h"
#include "settings/win/configure_form.h"
#include "settings/win/scroll_box.h"

#include <stdexcept>

namespace kestova {

using namespace configure;

namespace {

constexpr wchar_t kNotes[] =
    L"Notes:\r\n"
    L"Kestova Screen Saver allows you to display PowerPoint slide shows as screen savers. It "
    L"allows you to show different slide shows on different monitors as screen savers. Ensure "
    L"that the slide shows are set up with automatic animations and transitions and also that "
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

} // namespace

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
    HelpLabel = AddControl(L"STATIC", kNotes, label, 0, kHelpLabelId);
    MonitorLabel = AddControl(L"STATIC", L"", label, 0, kMonitorLabelId);
    ScrollBox = win::CreateScrollBox(window_, kScrollBoxId, instance_);
    if (!ScrollBox)
        throw std::runtime_error("Error creating window");
    // Access keys K and M: A, O and C belong to the buttons.
    EnableKeyboardCheckBox = AddControl(L"BUTTON", L"Enable &keyboard interaction for slide shows",
                                        tabStop | BS_AUTOCHECKBOX, 0, kEnableKeyboardId);
    EnableMouseCheckBox = AddControl(L"BUTTON", L"Enable &mouse interaction for slide shows",
                                     tabStop | BS_AUTOCHECKBOX, 0, kEnableMouseId);
    EnableKeyboardHintLabel = AddControl(L"STATIC", L"Use Ctrl+Alt+Esc to terminate screen saver.",
                                         SS_LEFT | SS_NOPREFIX, 0, kHintLabelId);
    PathHintLabel = AddControl(L"STATIC", kPathHint, SS_LEFT | SS_NOPREFIX, 0, kPathHintLabelId);
    ReachHintLabel = AddControl(L"STATIC", kReachHint, SS_LEFT | SS_NOPREFIX, 0, kReachHintLabelId);
    GroupBox1 = AddControl(L"BUTTON", L"Settings", WS_VISIBLE | BS_GROUPBOX, 0, kGroupBoxId);
    AboutButton = AddControl(L"BUTTON", L"&About...", tabStop | BS_PUSHBUTTON, 0, kAboutButtonId);
    OKButton = AddControl(L"BUTTON", L"&OK", tabStop | BS_DEFPUSHBUTTON, 0, kOKButtonId);
    CancelButton = AddControl(L"BUTTON", L"&Cancel", tabStop | BS_PUSHBUTTON, 0, kCancelButtonId);
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
        rowStates_.push_back(RowState::Valid);
        rowTouched_.push_back(false);
    }
    LayOut();
    rowsReady_ = true;
}

std::vector<std::wstring> TConfigureForm::RowTexts() const {
    std::vector<std::wstring> texts;
    texts.reserve(PresNameEdits.size());
    for (HWND edit : PresNameEdits)
        texts.push_back(WindowText(edit));
    return texts;
}

} // namespace kestova
