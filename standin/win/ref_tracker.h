#pragma once

// The reference balance of every object the host hands out. COM references (AddRef/Release) are
// counted apart from the host's own holds, so what is left at exit is exactly what others still
// hold: a leak in a client or an add-in shows up as a non-zero balance.
#include "standin/win/journal.h"

#include <deque>
#include <map>
#include <string>
#include <utility>

namespace kestova::standin::win {

class RefTracker {
public:
    struct Record {
        std::wstring name; // "Presentation#2"
        long external = 0;
    };

    Record* Add(const wchar_t* kind);
    // One `refs <object> <balance>` line per object ever created, in creation order.
    void WriteBalances(Journal& journal) const noexcept;

private:
    std::deque<Record> records_; // stable addresses: objects keep a pointer to their record
    std::map<std::wstring, int> counters_;
};

// Base of every host object: counts COM references and the host's own holds separately; the
// object goes when both are gone. Everything runs on the host's one apartment thread.
class TrackedObject {
public:
    TrackedObject(const TrackedObject&) = delete;
    TrackedObject& operator=(const TrackedObject&) = delete;

    void Retain() noexcept { ++internal_; }
    void Drop() noexcept;
    [[nodiscard]] const std::wstring& Identity() const noexcept { return record_->name; }

protected:
    TrackedObject(RefTracker& tracker, const wchar_t* kind) : record_(tracker.Add(kind)) {}
    virtual ~TrackedObject() = default;

    ULONG AddRefExternal() noexcept;
    ULONG ReleaseExternal() noexcept;

private:
    RefTracker::Record* record_;
    ULONG internal_ = 0;
};

// The host's own hold on one of its objects (not a COM reference, so not in the balance).
template <typename T> class Held {
public:
    Held() noexcept = default;
    explicit Held(T* object) noexcept : object_(object) {
        if (object_)
            object_->Retain();
    }
    Held(const Held& other) noexcept : Held(other.object_) {}
    Held(Held&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Held& operator=(Held other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~Held() { reset(); }

    void reset() noexcept {
        if (T* old = std::exchange(object_, nullptr))
            old->Drop();
    }
    [[nodiscard]] T* get() const noexcept { return object_; }
    T* operator->() const noexcept { return object_; }
    T& operator*() const noexcept { return *object_; }
    [[nodiscard]] explicit operator bool() const noexcept { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};

// Creates a host object already held by the host.
template <typename T, typename... Args> Held<T> MakeHeld(Args&&... args) {
    return Held<T>(new T(std::forward<Args>(args)...));
}

} // namespace kestova::standin::win
