#pragma once

// The run journal on Windows: the interface thread only stamps times and hands a copy of what
// the driver saw to a writer thread. The writer starts with the run and does the slow part
// (the monitors' details, the folder, the first use of the shell's folder lookup, the event
// log's source) once the run's start is done or its end has begun, so as not to take time from
// the start; at the end it only formats the block and appends it, then writes the run's events,
// if any, to the event log. A journal or an event that can't be written changes nothing in the
// run.
#include <memory>

#include "common/win/unique_handle.h"
#include "screensaver/run_journal.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace kestova::win {

// How long the ending process waits for the block to reach the file.
inline constexpr DWORD kJournalWaitMs = 2000;

// The two files of the journal in one folder, opened only for the moment of each operation and
// shared with readers (an editor, a tail) and with another run's writer.
class JournalFolderFiles final : public JournalFiles {
public:
    explicit JournalFolderFiles(std::wstring folder) : folder_(std::move(folder)) {}
    std::optional<uint64_t> Size() noexcept override;
    bool Rotate() noexcept override;
    bool Append(std::string_view bytes) noexcept override;

private:
    std::wstring folder_;
};

// The monitors in the product's order with their DPI and which one the system calls primary.
[[nodiscard]] std::vector<JournalMonitor> JournalMonitors();
// Now, as local time with its offset from UTC.
[[nodiscard]] LocalTime LocalTimeOf(const FILETIME& utc) noexcept;

// Formats `record` and appends it to the journal in `folder` (the user's journal folder when
// empty), making the folder when needed. False when nothing was written.
bool WriteRunBlock(RunRecord record, const std::wstring& folder = {}) noexcept;

class RunJournal {
public:
    // `folder` empty: the user's journal folder.
    explicit RunJournal(std::wstring folder = {}) : folder_(std::move(folder)) {}
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;
    ~RunJournal();

    // Interface thread, as the run starts: stamps the time and starts the writer.
    void Start() noexcept;
    // Any thread, once the run's start is done or its end has begun: the writer does its slow
    // part now (or at Finish, if that comes first).
    void StartDone() noexcept;
    // Interface thread, at the first close request.
    void NoteEnd(RunEnd cause) noexcept;
    // Interface thread, once the run's windows and session are gone: copies what the driver saw
    // and leaves the rest to the writer thread. Later calls do nothing.
    // Any thread, once: a run that leaves without the host's answer is `abandoned`.
    // `startUnknown`: the start itself was still waiting, so facts and outcomes are not given.
    void Finish(const RunFacts& facts, const std::vector<MonitorOutcome>& outcomes,
                bool abandoned = false, bool startUnknown = false,
                const HostBusyNotes& hostBusy = {}) noexcept;
    // Waits up to `milliseconds` for the writer; true when it is done (or never started).
    bool Wait(DWORD milliseconds) noexcept;

    struct Shared; // what the writer thread and the interface thread hand each other

private:
    std::wstring folder_;
    std::shared_ptr<Shared> shared_;
    FILETIME startTime_{};
    LARGE_INTEGER startCount_{};
    LARGE_INTEGER closeCount_{};
    std::optional<RunEnd> end_;
    std::atomic<bool> finished_{false}; // the run's end and the watchdog may race for it
    UniqueHandle writer_;
};

} // namespace kestova::win
