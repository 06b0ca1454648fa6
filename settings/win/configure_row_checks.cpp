// The settings dialog's row checks: the idle check, OK's own check and the refreshes, all
// through the one prober, so each row has one answer, the newest. Nothing here waits for the
// disk on the window's thread.
#include "settings/win/configure_design.h"
#include "settings/win/configure_form.h"
#include "settings/win/handler_guard.h"

namespace kestova {

using namespace configure;

namespace {

// A row the disk said no to, or that did not answer: the answer may change without the row's
// text changing (a share back online, a file copied into place).
bool AskAgain(RowState state) {
    return state == RowState::NotAFile || state == RowState::Unreachable;
}

} // namespace

RowCheck TConfigureForm::CheckAgainstAnswers(const std::vector<std::wstring>& texts) {
    return CheckRows(
        texts, [this](size_t row, const std::wstring& text) { return prober_->Answer(row, text); },
        PresNameEdits.size());
}

void TConfigureForm::ValidateRows() {
    if (!window_ || !prober_)
        return;
    ShowCheck(CheckAgainstAnswers(CheckedTexts()));
    FinishOK();
    UpdateWatch();
}

void TConfigureForm::ShowCheck(const RowCheck& check) {
    for (size_t k = 0; k < check.rowValid.size() && k < rowValid_.size(); ++k) {
        rowStates_[k] = check.states[k];
        // Only a change is repainted: a repaint is a message, and each burst of messages runs
        // this check again.
        if (rowValid_[k] != check.rowValid[k]) {
            rowValid_[k] = check.rowValid[k];
            ::InvalidateRect(MonitorLabels[k], nullptr, TRUE);
        }
    }
    const bool enable = Accepts(check) && rowsReady_;
    if ((::IsWindowEnabled(OKButton) != FALSE) != enable)
        ::EnableWindow(OKButton, enable ? TRUE : FALSE);
    // One hint at a time, in the same place: a path that is not full says more than a location
    // that does not answer.
    const bool reach = check.anyUnreachable && !check.anyNotFullPath;
    if ((::IsWindowVisible(PathHintLabel) != FALSE) != check.anyNotFullPath)
        ::ShowWindow(PathHintLabel, check.anyNotFullPath ? SW_SHOWNA : SW_HIDE);
    if ((::IsWindowVisible(ReachHintLabel) != FALSE) != reach)
        ::ShowWindow(ReachHintLabel, reach ? SW_SHOWNA : SW_HIDE);
}

// What is saved is checked again, against the disk as it is now and including text typed or
// pasted in the same burst of messages as the click. The questions go out like all others, and
// OK finishes when every row has an answer asked since the click, or when the slow ones have been
// given up on as unreachable; the window answers input all the while.
void TConfigureForm::OKButtonClick() {
    if (!rowsReady_ || okWaiting_ || !prober_)
        return;
    okSince_ = prober_->Now();
    okWaiting_ = true;
    const std::vector<std::wstring> texts = CheckedTexts();
    for (size_t k = 0; k < texts.size(); ++k) {
        const std::wstring text = TrimRowText(texts[k]);
        if (!text.empty() && IsFullPath(text))
            prober_->Demand(k, text, okSince_);
    }
    FinishOK();
    UpdateWatch();
}

void TConfigureForm::FinishOK() {
    if (!okWaiting_ || !prober_)
        return;
    const std::vector<std::wstring> texts = CheckedTexts();
    for (size_t k = 0; k < texts.size(); ++k) {
        const std::wstring text = TrimRowText(texts[k]);
        if (!text.empty() && IsFullPath(text) && !prober_->AnsweredSince(k, text, okSince_)) {
            prober_->Demand(k, text, okSince_); // the row changed since the click
            return;
        }
    }
    okWaiting_ = false;
    const RowCheck check = CheckAgainstAnswers(texts);
    ShowCheck(check);
    if (!Accepts(check) || !rowsReady_)
        return;
    // The rows only: the detached monitors' paths were compared, and OK leaves them alone.
    const std::vector<std::wstring> rows(
        texts.begin(), texts.begin() + static_cast<ptrdiff_t>(PresNameEdits.size()));
    win::RunHandler([&] { SaveRows(rows); });
}

void TConfigureForm::RefreshMarkedRows() {
    lastRefresh_ = ::GetTickCount64();
    if (!prober_)
        return;
    for (size_t k = 0; k < rowStates_.size(); ++k) {
        if (AskAgain(rowStates_[k]))
            prober_->Refresh(k);
    }
}

void TConfigureForm::OnWatchTimer() {
    if (!prober_)
        return;
    const bool gaveUp = prober_->GiveUpOn(services_.answerLimitMilliseconds);
    if (services_.refreshMilliseconds != 0 &&
        ::GetTickCount64() - lastRefresh_ >= services_.refreshMilliseconds)
        RefreshMarkedRows();
    if (gaveUp)
        ValidateRows();
    else
        UpdateWatch();
}

// The timer runs only while there is something to watch, so an idle dialog with nothing marked
// gets no messages at all.
void TConfigureForm::UpdateWatch() {
    if (!window_ || !prober_)
        return;
    bool needed = okWaiting_ || prober_->Busy();
    for (RowState state : rowStates_)
        needed = needed || AskAgain(state);
    if (needed == watching_)
        return;
    watching_ = needed;
    if (needed)
        ::SetTimer(window_, kWatchTimer, kWatchPeriodMilliseconds, nullptr);
    else
        ::KillTimer(window_, kWatchTimer);
}

} // namespace kestova
