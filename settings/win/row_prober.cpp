#include "settings/win/row_prober.h"

#include "common/win/detached_work.h"

#include <functional>
#include <mutex>

namespace kestova::win {

// Lives as long as the longest of the window's prober and the threads still asking.
struct RowProber::Shared {
    struct Done {
        size_t row = 0;
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

std::optional<PathFacts> RowProber::Answer(size_t row, const std::wstring& text) {
    if (rows_.size() <= row)
        rows_.resize(row + 1);
    Row& state = rows_[row];
    if (state.text != text) {
        state.text = text;
        state.facts.reset();
        if (!state.asking)
            Ask(row, text);
    }
    return state.facts;
}

void RowProber::Ask(size_t row, const std::wstring& text) {
    rows_[row].asking = true;
    std::shared_ptr<Shared> shared = shared_;
    auto work = [shared, row, text]() noexcept {
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
            shared->done.push_back({row, text, std::move(facts)});
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
        if (answer.text == state.text) {
            state.facts = std::move(answer.facts);
            current = true;
        } else {
            Ask(answer.row, state.text); // the row changed meanwhile: ask about what it holds now
        }
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
