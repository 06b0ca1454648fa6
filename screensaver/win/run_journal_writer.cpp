#include "screensaver/win/run_journal_writer.h"

#include "common/win/journal_folder.h"
#include "screensaver/win/event_log.h"

#include <shellscalingapi.h>

#include <memory>

namespace kestova::win {

namespace {

constexpr int64_t kFileTimeUnitsPerMinute = 600000000; // 100 ns units

int64_t Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) noexcept {
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);
    if (frequency.QuadPart <= 0)
        return 0;
    return (to.QuadPart - from.QuadPart) * 1000 / frequency.QuadPart;
}

int64_t FileTimeValue(const FILETIME& time) noexcept {
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                                time.dwLowDateTime);
}

struct SystemMonitor {
    MonitorRect rect;
    JournalMonitor details;
};

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM context) {
    auto* monitors = reinterpret_cast<std::vector<SystemMonitor>*>(context);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!::GetMonitorInfoW(monitor, &info))
        return TRUE;
    const RECT& r = info.rcMonitor;
    SystemMonitor found;
    found.rect = {r.left, r.top, r.right - r.left, r.bottom - r.top};
    found.details.rect = found.rect;
    found.details.primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    UINT dpiX = 0, dpiY = 0;
    if (SUCCEEDED(::GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpiX, &dpiY)) && dpiX)
        found.details.dpi = dpiX;
    monitors->push_back(found);
    return TRUE;
}

} // namespace

std::optional<uint64_t> JournalFolderFiles::Size() noexcept {
    try {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!::GetFileAttributesExW((folder_ + L"\\" + kJournalFileName).c_str(),
                                    GetFileExInfoStandard, &data))
            return std::nullopt;
        return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    } catch (...) {
        return std::nullopt;
    }
}

bool JournalFolderFiles::Rotate() noexcept {
    try {
        return ::MoveFileExW((folder_ + L"\\" + kJournalFileName).c_str(),
                             (folder_ + L"\\" + kOlderJournalFileName).c_str(),
                             MOVEFILE_REPLACE_EXISTING) != FALSE;
    } catch (...) {
        return false;
    }
}

bool JournalFolderFiles::Append(std::string_view bytes) noexcept {
    try {
        // Append-only access: every write lands at the current end, so a block never overwrites
        // or splits another run's block; readers and other writers may keep the file open.
        UniqueHandle file(::CreateFileW((folder_ + L"\\" + kJournalFileName).c_str(),
                                        FILE_APPEND_DATA | SYNCHRONIZE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE) {
            (void)file.release();
            return false;
        }
        DWORD written = 0;
        return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                           nullptr) &&
               written == bytes.size();
    } catch (...) {
        return false;
    }
}

std::vector<JournalMonitor> JournalMonitors() {
    std::vector<SystemMonitor> system;
    ::EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&system));
    std::vector<MonitorRect> rects;
    for (const SystemMonitor& monitor : system)
        rects.push_back(monitor.rect);
    std::vector<JournalMonitor> ordered;
    for (size_t index : OrderMonitors(rects))
        ordered.push_back(system[index].details);
    return ordered;
}

LocalTime LocalTimeOf(const FILETIME& utc) noexcept {
    SYSTEMTIME utcParts{}, localParts{};
    FILETIME local{};
    if (!::FileTimeToSystemTime(&utc, &utcParts) ||
        !::SystemTimeToTzSpecificLocalTime(nullptr, &utcParts, &localParts) ||
        !::SystemTimeToFileTime(&localParts, &local))
        localParts = utcParts;
    LocalTime time;
    time.year = localParts.wYear;
    time.month = localParts.wMonth;
    time.day = localParts.wDay;
    time.hour = localParts.wHour;
    time.minute = localParts.wMinute;
    time.second = localParts.wSecond;
    if (local.dwLowDateTime || local.dwHighDateTime) {
        // Both sides lose their milliseconds alike; rounding settles the odd second.
        const int64_t difference = FileTimeValue(local) - FileTimeValue(utc);
        const int64_t half = kFileTimeUnitsPerMinute / 2;
        time.offsetMinutes = static_cast<int32_t>((difference + (difference < 0 ? -half : half)) /
                                                  kFileTimeUnitsPerMinute);
    }
    return time;
}

bool WriteRunBlock(RunRecord record, const std::wstring& folder) noexcept {
    try {
        record.monitors = JournalMonitors();
        const std::wstring target = folder.empty() ? JournalFolder() : folder;
        if (target.empty())
            return false;
        CreateJournalFolder(target); // a folder that can't be made fails the append below
        JournalFolderFiles files(target);
        return AppendRunBlock(files, FormatRunBlock(record));
    } catch (...) {
        return false;
    }
}

// Filled by the interface thread before it signals `ready`; read by the writer only after.
struct RunJournal::Shared {
    UniqueHandle startDone;
    UniqueHandle ready;
    bool write = false; // false: the run ended without a block (the form never finished)
    RunRecord record;
    FILETIME start{};
    std::wstring folder;
};

namespace {

DWORD WINAPI WriterThread(void* context) {
    std::unique_ptr<std::shared_ptr<RunJournal::Shared>> holder(
        static_cast<std::shared_ptr<RunJournal::Shared>*>(context));
    RunJournal::Shared& shared = **holder;
    try {
        // While the run goes on: everything that may be slow the first time in a process.
        const HANDLE go[] = {shared.startDone.get(), shared.ready.get()};
        ::WaitForMultipleObjects(2, go, FALSE, INFINITE);
        std::vector<JournalMonitor> monitors = JournalMonitors();
        std::wstring folder = shared.folder.empty() ? JournalFolder() : shared.folder;
        CreateJournalFolder(folder); // a folder that can't be made fails the append below
        RunEventLog events;
        ::WaitForSingleObject(shared.ready.get(), INFINITE);
        if (!shared.write)
            return 0;
        RunRecord& record = shared.record;
        record.monitors = std::move(monitors);
        record.start = LocalTimeOf(shared.start);
        std::wstring journalFile;
        if (!folder.empty()) {
            JournalFolderFiles files(folder);
            AppendRunBlock(files, FormatRunBlock(record));
            journalFile = folder + L"\\" + kJournalFileName;
        }
        // After the block, which matters most: a run that went wrong also tells the event log.
        events.Report(RunEvents(record, journalFile));
    } catch (...) {
        // No block for this run; the run itself is not affected.
    }
    return 0;
}

} // namespace

RunJournal::~RunJournal() {
    if (shared_ && !finished_)
        ::SetEvent(shared_->ready.get()); // let the writer go without a block
    Wait(kJournalWaitMs);
}

void RunJournal::Start() noexcept {
    ::GetSystemTimeAsFileTime(&startTime_);
    ::QueryPerformanceCounter(&startCount_);
    try {
        auto shared = std::make_shared<Shared>();
        shared->ready.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        shared->startDone.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        shared->folder = folder_;
        shared->start = startTime_;
        if (!shared->ready || !shared->startDone)
            return;
        auto holder = std::make_unique<std::shared_ptr<Shared>>(shared);
        HANDLE thread = ::CreateThread(nullptr, 0, WriterThread, holder.get(), 0, nullptr);
        if (!thread)
            return;
        (void)holder.release(); // the thread owns it now
        writer_.reset(thread);
        shared_ = std::move(shared);
    } catch (...) {
        // No journal for this run.
    }
}

void RunJournal::StartDone() noexcept {
    if (shared_)
        ::SetEvent(shared_->startDone.get());
}

void RunJournal::NoteEnd(RunEnd cause) noexcept {
    if (end_)
        return;
    end_ = cause;
    ::QueryPerformanceCounter(&closeCount_);
}

void RunJournal::Finish(const RunFacts& facts, const std::vector<MonitorOutcome>& outcomes,
                        bool abandoned, bool startUnknown, const HostBusyNotes& hostBusy) noexcept {
    if (!shared_ || finished_.exchange(true))
        return;
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    try {
        RunRecord& record = shared_->record;
        record.processId = ::GetCurrentProcessId();
        record.facts = facts;
        record.outcomes = outcomes;
        record.end = end_;
        record.endToExitMs = end_ ? Milliseconds(closeCount_, now) : 0;
        record.lengthMs = Milliseconds(startCount_, now);
        record.abandoned = abandoned;
        record.startUnknown = startUnknown;
        record.hostBusy = hostBusy;
        shared_->write = true;
    } catch (...) {
        shared_->write = false;
    }
    ::SetEvent(shared_->ready.get());
}

bool RunJournal::Wait(DWORD milliseconds) noexcept {
    if (!writer_)
        return true;
    return ::WaitForSingleObject(writer_.get(), milliseconds) == WAIT_OBJECT_0;
}

} // namespace kestova::win
