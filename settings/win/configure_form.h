#pragma once

// The settings dialog: one row per monitor to choose the presentation shown there, the two input
// check boxes, and About, OK and Cancel. It is the program's main window in configure mode.
#include "settings/registry_access.h"
#include "settings/row_validation.h"
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
    // waits for the disk: a row's path is asked about once per text, away from this thread.
    void ValidateRows();

    // True while an answer about a row's path is still awaited.
    [[nodiscard]] bool ProbesPending() const noexcept { return prober_ && prober_->Busy(); }

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
    void LayOut();

    void BrowseButtonClick(int row);
    void EnableKeyboardCheckBoxClick();
    void OKButtonClick();
    void CancelButtonClick();
    void AboutButtonClick();
    void FormDestroy();
    void Close();

    [[nodiscard]] std::vector<std::wstring> RowTexts() const;
    void ShowCheck(const RowCheck& check);
    [[nodiscard]] std::unique_ptr<RegistryAccess> OpenRegistry() const;
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
    HWND AboutButton = nullptr;
    HWND OKButton = nullptr;
    HWND CancelButton = nullptr;
    win::PresentationOpenDialog OpenDialog;

    // Not owners: the controls belong to the window.
    std::vector<HWND> MonitorLabels;
    std::vector<HWND> PresNameEdits;
    std::vector<HWND> BrowseButtons;
    std::vector<bool> rowValid_;
    int monitorCount_ = 0;
    bool rowsReady_ = false;
};

} // namespace kestova
