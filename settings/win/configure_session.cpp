// The settings dialog's side of the stored settings: what it loads and shows, and what OK writes.
#include "common/product.h"
#include "common/win/monitors.h"
#include "settings/browse_folder.h"
#include "settings/dialog_rows.h"
#include "settings/policy.h"
#include "settings/win/configure_design.h"
#include "settings/win/configure_form.h"
#include "settings/win/handler_guard.h"
#include "settings/win/shell_paths.h"

#include <algorithm>
#include <stdexcept>

namespace kestova {

using namespace configure;

namespace {

constexpr wchar_t kFileOpenFolder[] = L"FileOpenFolder";
constexpr DWORD kFolderProbeBudget = 1500;
constexpr wchar_t kPolicyNote[] = L" Settings shown greyed are set by your organisation.";

// Whether a policy sets a check box or one of the first `rows` rows: only then is the note shown.
bool AnyPolicy(const PolicySettings& policies, size_t rows) {
    if (policies.enableKeyboard || policies.enableMouse)
        return true;
    for (size_t k = 0; k < rows && k < kPolicyMonitors; ++k) {
        if (policies.presNames[k])
            return true;
    }
    return false;
}

void Forget(std::vector<size_t>& entries, size_t index) {
    entries.erase(std::remove(entries.begin(), entries.end(), index), entries.end());
}

} // namespace

void TConfigureForm::FormCreate() {
    MonitorLabels.clear();
    PresNameEdits.clear();
    BrowseButtons.clear();

    monitorCount_ = static_cast<int>(win::EnumerateSystemMonitors().size());
    // Each value is read on its own: one that can't be read is reported (all such in one report)
    // and left exactly as stored by OK, and the dialog shows every other one.
    win::RunHandler([this] {
        auto registry = OpenRegistry();
        unread_ = LoadSessionEachValue(*registry, Session, static_cast<size_t>(monitorCount_));
        policies_ = ReadPolicies(*OpenMachineRegistry(), *registry);
        std::wstring report;
        for (const auto* messages : {&unread_.messages, &policies_.messages}) {
            for (const std::wstring& message : *messages)
                report += (report.empty() ? L"" : L"\r\n") + message;
        }
        if (!report.empty())
            throw SettingsError(report);
    });

    // Set before the rows are laid out, so the label is measured with its note.
    std::wstring sentence = MonitorCountSentence(monitorCount_);
    if (AnyPolicy(policies_, static_cast<size_t>(monitorCount_)))
        sentence += kPolicyNote;
    ::SetWindowTextW(MonitorLabel, sentence.c_str());
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

void TConfigureForm::ShowSession(int m) {
    SetChecked(EnableKeyboardCheckBox, Session.EnableKeyboard);
    EnableKeyboardCheckBoxClick();
    SetChecked(EnableMouseCheckBox, Session.EnableMouse);
    for (int k = 0; k < m; ++k)
        ::SetWindowTextW(PresNameEdits[static_cast<size_t>(k)],
                         Session.Elements[static_cast<size_t>(k)].PresName.c_str());
    ShowPolicies();
    sessionShown_ = true; // from now on a change of a row is the user's
}

void TConfigureForm::ShowPolicies() {
    auto lockFlag = [this](HWND checkBox, const std::optional<bool>& policy) {
        if (!policy)
            return;
        SetChecked(checkBox, *policy);
        ::EnableWindow(checkBox, FALSE);
    };
    lockFlag(EnableKeyboardCheckBox, policies_.enableKeyboard);
    EnableKeyboardCheckBoxClick();
    lockFlag(EnableMouseCheckBox, policies_.enableMouse);
    for (size_t k = 0; k < PresNameEdits.size(); ++k) {
        if (!PolicySetsRow(k))
            continue;
        ::SetWindowTextW(PresNameEdits[k], policies_.presNames[k]->c_str());
        ::EnableWindow(PresNameEdits[k], FALSE);
        ::EnableWindow(BrowseButtons[k], FALSE);
    }
}

bool TConfigureForm::PolicySetsRow(size_t row) const {
    return row < kPolicyMonitors && policies_.presNames[row].has_value();
}

bool TConfigureForm::Accepts(const RowCheck& check) const {
    for (size_t k = 0; k < check.states.size(); ++k) {
        const RowState state = check.states[k];
        if (state != RowState::Valid && (!PolicySetsRow(k) || state == RowState::Pending))
            return false;
    }
    return true;
}

std::vector<std::wstring> TConfigureForm::CheckedTexts() const {
    std::vector<std::wstring> texts = RowTexts();
    for (size_t k = texts.size(); k < Session.Elements.size(); ++k)
        texts.push_back(Session.Elements[k].PresName);
    return texts;
}

// A value that could not be read is written only where the user has changed what stands for it:
// a check box clicked, a row edited. The monitor numbers and Count are not shown, so never.
UnreadValues TConfigureForm::ValuesToKeep() const {
    UnreadValues keep = unread_;
    keep.enableKeyboard = keep.enableKeyboard && !keyboardTouched_;
    keep.enableMouse = keep.enableMouse && !mouseTouched_;
    // The user's own values under a policy stay exactly as stored.
    keep.enableKeyboard = keep.enableKeyboard || policies_.enableKeyboard.has_value();
    keep.enableMouse = keep.enableMouse || policies_.enableMouse.has_value();
    for (size_t k = 0; k < rowTouched_.size(); ++k) {
        if (rowTouched_[k])
            Forget(keep.presNames, k);
    }
    for (size_t k = 0; k < PresNameEdits.size(); ++k) {
        if (PolicySetsRow(k))
            keep.presNames.push_back(k);
    }
    return keep;
}

void TConfigureForm::SaveRows(const std::vector<std::wstring>& rowTexts) {
    StoreRows(Session, rowTexts, IsChecked(EnableKeyboardCheckBox), IsChecked(EnableMouseCheckBox));
    // The entries of monitors not attached now stay in the registry exactly as they are.
    SaveSession(*OpenRegistry(), Session, rowTexts.size(), ValuesToKeep());
    Close();
}

std::unique_ptr<RegistryAccess> TConfigureForm::OpenMachineRegistry() const {
    auto registry = services_.openMachineRegistry();
    if (!registry)
        throw std::runtime_error("Error opening the registry");
    return registry;
}

std::unique_ptr<RegistryAccess> TConfigureForm::OpenRegistry() const {
    auto registry = services_.openRegistry();
    if (!registry)
        throw std::runtime_error("Error opening the registry");
    return registry;
}

} // namespace kestova
