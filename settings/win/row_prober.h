#pragma once

// Asks the disk about the settings dialog's rows away from its window's thread: at most one
// question per row at a time, each on a thread of its own, the answer handed back by a message
// posted to the window. Each row holds one answer, the newest: the idle check, OK's own check and
// the refreshes all read and write that one, so an older answer never replaces a newer one.
#include "settings/row_validation.h"

#include <windows.h>

#include <cstdint>
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

    // Questions are numbered as they are asked; Now() is the number the next one gets.
    [[nodiscard]] uint64_t Now() const noexcept { return nextQuestion_; }

    // The answer for row `row` holding `text`; nullopt while it is awaited, and then a question
    // is out for it (a newer text is asked once the older question's answer is in).
    [[nodiscard]] std::optional<PathFacts> Answer(size_t row, const std::wstring& text);

    // Makes sure an answer asked at or after `since` comes for the row's `text`: asked now, or,
    // with an older question still out, as soon as that one is answered.
    void Demand(size_t row, const std::wstring& text, uint64_t since);
    // Asks again about the row's text unless a question is already out for it.
    void Refresh(size_t row);
    // True when the row's answer is about `text` and was asked at or after `since`.
    [[nodiscard]] bool AnsweredSince(size_t row, const std::wstring& text, uint64_t since) const;

    // Rows whose question has been out `limitMilliseconds` or longer get "unreachable" as their
    // answer, for that question (and for a newer one wanted after it); a real answer at least as
    // new still replaces it when it comes. True when any row changed.
    bool GiveUpOn(DWORD limitMilliseconds);

    // Takes the answers that have arrived; true when any is for a row's current text.
    bool TakeAnswers();

    // True while any question is out.
    [[nodiscard]] bool Busy() const noexcept;

private:
    struct Shared;
    struct Row {
        std::wstring text;              // what the row holds, as last asked about
        std::optional<PathFacts> facts; // the newest answer for `text`
        uint64_t factsQuestion = 0;     // the question `facts` answers
        bool asking = false;            // a question is out (for `text` or an older text)
        uint64_t askingQuestion = 0;    // its number
        ULONGLONG askedAt = 0;          // its start, in GetTickCount64 milliseconds
        uint64_t wantedSince = 0;       // an answer asked at or after this is wanted
    };
    void Ask(size_t row);
    Row& RowAt(size_t row);

    std::shared_ptr<Shared> shared_;
    std::vector<Row> rows_;
    uint64_t nextQuestion_ = 1;
};

} // namespace kestova::win
