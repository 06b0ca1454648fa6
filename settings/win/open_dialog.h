#pragma once

// The one open-file dialog behind every Browse button of the settings dialog. It lives as long
// as the settings dialog and remembers the file and the filter chosen last, so a later Browse
// starts where the previous one ended.
//
// The common dialogs' library (and the printing and control libraries it brings) is loaded at the
// first Browse, rather than imported by the program: a run of the screen saver never shows this
// dialog and must not pay for loading it. Not when the settings dialog is made either: loading a
// library with user-interface start-up code while another thread of the process makes its first
// window has deadlocked Wine's loader (one thread holds the loader lock and waits for the display
// driver, the other loads the display driver and waits for the loader lock); by the first Browse
// the display driver is long in place.
#include "common/win/unique_handle.h"

#include <windows.h>
#include <commdlg.h>

#include <optional>
#include <string>
#include <vector>

namespace kestova::win {

class PresentationOpenDialog {
public:
    PresentationOpenDialog();
    PresentationOpenDialog(const PresentationOpenDialog&) = delete;
    PresentationOpenDialog& operator=(const PresentationOpenDialog&) = delete;

    // Where the first showing starts; later ones start at the file chosen last.
    void SetInitialFolder(std::wstring folder);
    [[nodiscard]] const std::wstring& InitialFolder() const noexcept { return initialFolder_; }

    // Shows the dialog modally over `owner`: the chosen file's full path, or nothing when the
    // user cancelled (the remembered file and filter then stay as they were).
    [[nodiscard]] std::optional<std::wstring> Execute(HWND owner);

private:
    // Loads the common dialogs' library once; false when it can't be had.
    bool Load() noexcept;

    std::wstring title_;
    std::wstring filter_;
    std::wstring initialFolder_;
    std::vector<wchar_t> fileName_;
    OPENFILENAMEW state_{};
    UniqueModule library_;
    decltype(&::GetOpenFileNameW) getOpenFileName_ = nullptr; // null: no dialog can be shown
};

} // namespace kestova::win
