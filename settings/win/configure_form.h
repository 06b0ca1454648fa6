#pragma once

// The settings dialog: one row per monitor to choose the presentation shown there, the two input
// check boxes, and About, OK and Cancel. It is the program's main window in configure mode.
#include "settings/policy.h"
#include "settings/registry_access.h"
#include "settings/row_validation.h"
#include "settings/session.h"
#include "settings/win/open_dialog.h"
#include "settings/win/row_prober.h"

#include "common/win/unique_handle.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kestova {

// What the settings dialog asks of the world outside it; the real disk and registry unless a
// test puts something else in.
struct ConfigureFormServices {
    // Asked about a row's path, always away from the dialog's thread.
    RowProbe probeRow;
    // Opens the registry the dialog loads from and saves to (the current user's hive).
    std::function<std::unique_ptr<RegistryAccess>()> openRegistry;
    // Opens the local machine's hive, for its policy key only (read, never written).
    std::function<std::unique_ptr<RegistryAccess>()> openMachineRegistry;
    // A question to the disk unanswered this long counts as "can't be reached" (OK's included).
    DWORD answerLimitMilliseconds = 3000;
    // Marked rows are asked about again this often while the dialog is open (0: only when it is
    // activated).
    DWORD refreshMilliseconds = 5000;
};

// Configure mode: creates the settings dialog as the program's main window and runs the message
// loop (with the dialog's idle processing) until it closes. Returns the program's exit code.
int RunConfigureForm(HINSTANCE instance);

class TConfigureForm {
public:
    // Control identifiers, for the dialog manager and for whoever drives the dialog.
    enum ControlId : int {
        kHelpLabelId = 100,
        kGroupBoxId,
        kMonitorLabelId,
        kScrollBoxId,
        kEnableKeyboardId,
        kEnableMouseId,
        kHintLabelId,
        kPathHintLabelId,
        kReachHintLabelId,
        kAboutButtonId,
        kOKButtonId = IDOK,
        kCancelButtonId = IDCANCEL,
        // Row k's label, edit box and Browse button.
        kRowLabelBase = 1000,
        kRowEditBase = 2000,
        kRowBrowseBase = 3000,
    };

    // Creates, fills and shows the dialog and installs its idle handler. Errors while filling it
    // are reported and leave a usable dialog; nullptr only when no window could be made.
    [[nodiscard]] static std::unique_ptr<TConfigureForm>
    Create(HINSTANCE instance, ConfigureFormServices services = {});
    ~TConfigureForm();
    TConfigureForm(const TConfigureForm&) = delete;
    TConfigureForm& operator=(const TConfigureForm&) = delete;

    [[nodiscard]] HWND Handle() const noexcept { return window_; }
    [[nodiscard]] bool IsOpen() const noexcept { return window_ != nullptr; }

    // Marks bad rows and enables OK only while every row is valid; the idle handler. Never
    // waits for the disk: a row's path is asked about away from this thread.
    void ValidateRows();

    // True while an answer about a row's path is still awaited, or OK waits for its check.
    [[nodiscard]] bool ProbesPending() const noexcept {
        return okWaiting_ || (prober_ && prober_->Busy());
    }

private:
    TConfigureForm(HINSTANCE instance, ConfigureFormServices services);

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void OnCommand(int id, int code, HWND control);

    void CreateControls();
    void FormCreate();
    void SetupOpenDialog();
    void CreateMonitorRows(int n);
    void ShowSession(int m);
    // Shows the policy values in their controls, disabled: the user can't change them.
    void ShowPolicies();
    [[nodiscard]] bool PolicySetsRow(size_t row) const;
    // OK is offered when every row is valid, except that a row the policy sets only has to be
    // answered: the user can't mend it.
    [[nodiscard]] bool Accepts(const RowCheck& check) const;
    // Lays the dialog out at `dpi` and returns its client size; `place` false only measures.
    SIZE LayOut(UINT dpi, bool place = true);
    void LayOut() { (void)LayOut(dpi_, true); }
    bool OnDpiScaledSize(UINT dpi, SIZE& size);
    void OnDpiChanged(UINT dpi, const RECT& suggested);

    void BrowseButtonClick(int row);
    void EnableKeyboardCheckBoxClick();
    void OKButtonClick();
    void CancelButtonClick();
    void AboutButtonClick();
    void FormDestroy();
    void Close();

    [[nodiscard]] std::vector<std::wstring> RowTexts() const;
    // The rows' texts, then the stored paths of the monitors not attached now.
    [[nodiscard]] std::vector<std::wstring> CheckedTexts() const;
    [[nodiscard]] RowCheck CheckAgainstAnswers(const std::vector<std::wstring>& texts);
    void ShowCheck(const RowCheck& check);
    void FinishOK();
    void SaveRows(const std::vector<std::wstring>& rowTexts);
    [[nodiscard]] UnreadValues ValuesToKeep() const;
    void RefreshMarkedRows();
    void OnWatchTimer();
    void UpdateWatch();
    [[nodiscard]] std::unique_ptr<RegistryAccess> OpenRegistry() const;
    [[nodiscard]] std::unique_ptr<RegistryAccess> OpenMachineRegistry() const;
    [[nodiscard]] HWND AddControl(const wchar_t* className, const wchar_t* text, DWORD style,
                                  DWORD exStyle, int id, HWND parent = nullptr);

    HINSTANCE instance_;
    ConfigureFormServices services_;
    HWND window_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    SIZE clientSize_{}; // as laid out last: the design's, or larger for a wider font
    win::UniqueGdiObject font_;
    std::unique_ptr<win::RowProber> prober_;

    HWND HelpLabel = nullptr;
    HWND GroupBox1 = nullptr;
    HWND MonitorLabel = nullptr;
    HWND ScrollBox = nullptr;
    HWND EnableKeyboardCheckBox = nullptr;
    HWND EnableMouseCheckBox = nullptr;
    HWND EnableKeyboardHintLabel = nullptr;
    HWND PathHintLabel = nullptr;
    HWND ReachHintLabel = nullptr;
    HWND AboutButton = nullptr;
    HWND OKButton = nullptr;
    HWND CancelButton = nullptr;
    win::PresentationOpenDialog OpenDialog;

    // Not owners: the controls belong to the window.
    std::vector<HWND> MonitorLabels;
    std::vector<HWND> PresNameEdits;
    std::vector<HWND> BrowseButtons;
    std::vector<bool> rowValid_;
    std::vector<RowState> rowStates_;
    int monitorCount_ = 0;
    bool rowsReady_ = false;

    // What the load could not read, and what the user has changed since (only that is written
    // over it).
    UnreadValues unread_;
    // What the organisation sets: shown, never saved over the user's own values.
    PolicySettings policies_;
    bool keyboardTouched_ = false;
    bool mouseTouched_ = false;
    std::vector<bool> rowTouched_;
    bool sessionShown_ = false;

    // OK's own check: it waits for answers asked at or after okSince_.
    bool okWaiting_ = false;
    uint64_t okSince_ = 0;
    bool watching_ = false; // the watch timer runs
    ULONGLONG lastRefresh_ = 0;
};

} // namespace kestova
