#include "settings/win/row_prober.h"

#include "common/win/detached_work.h"

#include <algorithm>
#include <functional>
#include <mutex>

namespace kestova::win {

// Lives as long as the longest of the window's prober and the threads still asking.
struct RowProber::Shared {
    struct Done {
        size_t row = 0;
        uint64_t question = 0;
        std::wstring text;
        PathFacts facts;
    };

    std::mutex lock;
    HWND window = nullptr; // null once the prober is gone
    UINT message = 0;
    RowProbe probe;
    std::vector<Done> done;
};

RowProber::RowProber(HWND window, UINT message, RowProbe probe)
    : shared_(std::make_shared<Shared>()) {
    shared_->window = window;
    shared_->message = message;
    shared_->probe = std::move(probe);
}

RowProber::~RowProber() {
    std::lock_guard<std::mutex> guard(shared_->lock);
    shared_->window = nullptr;
    shared_->done.clear();
}

RowProber::Row& RowProber::RowAt(size_t row) {
    if (rows_.size() <= row)
        rows_.resize(row + 1);
    return rows_[row];
}

std::optional<PathFacts> RowProber::Answer(size_t row, const std::wstring& text) {
    Row& state = RowAt(row);
    if (state.text != text) {
        state.text = text;
        state.facts.reset();
        state.factsQuestion = 0;
        if (!state.asking)
            Ask(row);
    }
    return state.facts;
}

void RowProber::Demand(size_t row, const std::wstring& text, uint64_t since) {
    (void)Answer(row, text);
    Row& state = RowAt(row);
    if (state.asking) {
        if (state.askingQuestion < since)
            state.wantedSince = std::max(state.wantedSince, since);
    } else if (state.factsQuestion < since) {
        Ask(row);
    }
}

void RowProber::Refresh(size_t row) {
    Row& state = RowAt(row);
    if (!state.asking && !state.text.empty())
        Ask(row);
}

bool RowProber::AnsweredSince(size_t row, const std::wstring& text, uint64_t since) const {
    if (row >= rows_.size())
        return false;
    const Row& state = rows_[row];
    return state.text == text && state.facts && state.factsQuestion >= since;
}

bool RowProber::GiveUpOn(DWORD limitMilliseconds) {
    const ULONGLONG now = ::GetTickCount64();
    bool changed = false;
    for (Row& state : rows_) {
        // Giving up on a question also answers the newer one wanted after it (OK's, asked while
        // a refresh hangs): waiting for the hung one first would hold OK past its limit.
        const uint64_t answers = std::max(state.askingQuestion, state.wantedSince);
        if (!state.asking || state.factsQuestion >= answers ||
            now - state.askedAt < limitMilliseconds)
            continue;
        state.facts = PathFacts{PathKind::Unreachable, std::wstring()};
        state.factsQuestion = answers;
        changed = true;
    }
    return changed;
}

void RowProber::Ask(size_t row) {
    Row& state = rows_[row];
    const uint64_t question = nextQuestion_++;
    state.asking = true;
    state.askingQuestion = question;
    state.askedAt = ::GetTickCount64();
    std::shared_ptr<Shared> shared = shared_;
    auto work = [shared, row, question, text = state.text]() noexcept {
        PathFacts facts;
        try {
            facts = shared->probe(text);
        } catch (...) {
            facts = PathFacts{}; // a probe that fails found nothing
        }
        std::lock_guard<std::mutex> guard(shared->lock);
        // Posted under the lock: the window cannot be forgotten (and its handle reused) between
        // the check and the post.
        if (!shared->window)
            return;
        try {
            shared->done.push_back({row, question, text, std::move(facts)});
        } catch (...) {
            return;
        }
        ::PostMessageW(shared->window, shared->message, 0, 0);
    };
    try {
        if (StartDetachedWork(work))
            return;
    } catch (...) {
    }
    work(); // no thread to be had: asked here, and answered as if from one
}

bool RowProber::TakeAnswers() {
    std::vector<Shared::Done> done;
    {
        std::lock_guard<std::mutex> guard(shared_->lock);
        done.swap(shared_->done);
    }
    bool current = false;
    for (auto& answer : done) {
        if (answer.row >= rows_.size())
            continue;
        Row& state = rows_[answer.row];
        state.asking = false;
        // Never older than what the row holds: a give-up stands for this same question, and the
        // real answer replaces it.
        if (answer.text == state.text && answer.question >= state.factsQuestion) {
            state.facts = std::move(answer.facts);
            state.factsQuestion = answer.question;
            current = true;
        }
        if (answer.text != state.text || state.wantedSince > answer.question)
            Ask(answer.row); // changed meanwhile, or a newer answer is wanted: asked once more
    }
    return current;
}

bool RowProber::Busy() const noexcept {
    for (const Row& state : rows_) {
        if (state.asking)
            return true;
    }
    return false;
}

} // namespace kestova::win
