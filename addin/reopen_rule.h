#pragma once

// Whether a presentation found open is shown as it is or opened afresh: only one the add-in opened
// itself, whose file changed since, and that nobody has in hand (no document window, no unsaved
// change) is closed and opened again. Anything the host or the file system can't answer keeps
// the open copy: an older show beats a black monitor.
#include "addin/file_stamp.h"
#include "addin/opened_presentations.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace kestova::addin {

enum class Freshness {
    AsItIs,        // not the add-in's, or its file is as it was when the add-in opened it
    Reopen,        // the add-in's, changed since, and nobody has it in hand
    KeptInWindow,  // changed, but open in a document window
    KeptUnsaved,   // changed, but the host holds changes not written to the file
    KeptInUse,     // changed, but the host did not say whether it is in use
    KeptUnchecked, // the file's stamp can't be read now
};

// What the rule asks about the presentation, each only when it needs it.
class FreshnessFacts {
public:
    virtual ~FreshnessFacts() = default;
    [[nodiscard]] virtual std::optional<FileStamp> StampNow() = 0;
    [[nodiscard]] virtual std::optional<int32_t> WindowCount() = 0;
    [[nodiscard]] virtual std::optional<bool> Saved() = 0;
};

// `opened`: the add-in's record of the presentation, null when the add-in did not open it.
[[nodiscard]] Freshness JudgeFreshness(const OpenedPresentation* opened, FreshnessFacts& facts);

// The run journal's words for what became of the presentation; empty for AsItIs.
[[nodiscard]] std::wstring FreshnessNote(Freshness freshness, bool stampKnownAtOpen);
// A reopen whose new file the host refused: the old copy is gone.
inline constexpr wchar_t kReopenRefusedNote[] =
    L"changed since it was opened; the new file could not be opened";
// The host would not close the old copy, which is then shown.
inline constexpr wchar_t kCloseRefusedNote[] =
    L"kept although changed since it was opened: the host did not close it";

// How long the stamp reads of one PrepareScreenSaver may keep the host's thread, all together: a
// share that doesn't answer costs one second, not one per presentation.
inline constexpr uint32_t kStampReadLimitMs = 1000;

class StampBudget {
public:
    explicit StampBudget(uint32_t limitMs) noexcept
        : deadline_(std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs)) {}
    [[nodiscard]] uint32_t LeftMs() const noexcept {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline_ - std::chrono::steady_clock::now());
        return left.count() > 0 ? static_cast<uint32_t>(left.count()) : 0;
    }

private:
    std::chrono::steady_clock::time_point deadline_;
};

} // namespace kestova::addin
