#include "standin/win/ref_tracker.h"

namespace kestova::standin::win {

RefTracker::Record* RefTracker::Add(const wchar_t* kind) {
    int number = ++counters_[kind];
    records_.push_back(Record{std::wstring(kind) + L"#" + std::to_wstring(number), 0});
    return &records_.back();
}

void RefTracker::WriteBalances(Journal& journal) const noexcept {
    for (const Record& record : records_)
        journal.Write({L"refs", record.name, std::to_wstring(record.external)});
}

void TrackedObject::Drop() noexcept {
    if (--internal_ == 0 && record_->external == 0)
        delete this;
}

ULONG TrackedObject::AddRefExternal() noexcept {
    ++record_->external;
    return static_cast<ULONG>(record_->external) + internal_;
}

ULONG TrackedObject::ReleaseExternal() noexcept {
    if (record_->external <= 0) {
        // A client released more than it took: the balance goes negative so the journal shows
        // it, and the object stays for the host's own holds.
        --record_->external;
        return internal_;
    }
    ULONG left = static_cast<ULONG>(--record_->external) + internal_;
    if (left == 0)
        delete this;
    return left;
}

} // namespace kestova::standin::win
