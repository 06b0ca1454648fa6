#pragma once

// Asks the disk about the settings dialog's rows away from its window's thread: one question per
// row at a time, each on a thread of its own, the answer handed back by a message posted to the
// window. A row's answer is kept until its text changes, so a slow or unreachable path costs one
// wait, never a frozen dialog.
#include "settings/row_validation.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestova::win {

class RowProber {
public:
    // Answers are announced to `window` with `message` (no parameters): call TakeAnswers then.
    RowProber(HWND window, UINT message, RowProbe probe);
    // The window no longer hears of answers; questions still out end on their own threads.
    ~RowProber();
    RowProber(const RowProber&) = delete;
    RowProber& operator=(const RowProber&) = delete;

    // The answer for row `row` holding `text`; nullopt while it is awaited, and then a question
    // is out for it (at most one per row: a newer text is asked once the older answer is in).
    [[nodiscard]] std::optional<PathFacts> Answer(size_t row, const std::wstring& text);

    // Takes the answers that have arrived; true when any is for a row's current question.
    bool TakeAnswers();

    // True while any question is out.
    [[nodiscard]] bool Busy() const noexcept;

private:
    struct Shared;
    struct Row {
        std::wstring text;              // what the row holds, as last asked about
        std::optional<PathFacts> facts; // the disk's answer for `text`
        bool asking = false;            // a question is out (for `text` or an older text)
    };
    void Ask(size_t row, const std::wstring& text);

    std::shared_ptr<Shared> shared_;
    std::vector<Row> rows_;
};

} // namespace kestova::win
