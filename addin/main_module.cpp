#include "addin/main_module.h"

#include "addin/attempt.h"
#include "addin/host_version.h"
#include "addin/monitor_report_text.h"
#include "addin/reopen_rule.h"

#include <utility>

namespace kestova::addin {

ScreenSaverEntry* ScreenSaverSession::Entry(int32_t index) noexcept {
    if (index < 1 || static_cast<std::size_t>(index) > Entries.size())
        return nullptr;
    return &Entries[static_cast<std::size_t>(index) - 1];
}

const ScreenSaverEntry* ScreenSaverSession::Entry(int32_t index) const noexcept {
    return const_cast<ScreenSaverSession*>(this)->Entry(index);
}

MainModule::MainModule(PresentationHost& host, WindowSupport& windowSupport,
                       Desktop& desktop) noexcept
    : host_(host), windowSupport_(windowSupport), desktop_(desktop) {}

bool MainModule::CheckHostVersion(HostRef application) noexcept {
    HostPPTApp_ = std::move(application);
    std::optional<double> number;
    Attempt([&] {
        if (!HostPPTApp_)
            return false;
        auto version = host_.Version(*HostPPTApp_);
        if (!version)
            return false;
        number = LeadingVersionNumber(*version);
        return true;
    });
    if (number && *number >= kOldestHostVersion)
        return true;
    Attempt([&] { desktop_.ShowVersionNotice(); });
    return false;
}

void MainModule::InitializeScreenSaverSession(int32_t count) noexcept {
    // A session whose shows still run belongs to a caller that left without ending it (and the
    // watch has not come round to it yet): once dropped, nothing could exit those shows.
    if (ShowsMayRun())
        EndScreenSaver();
    ForgetCaller();
    CurrentSession_.Count = count;
    // Replacing the array releases the previous entries' references; their presentations stay
    // open.
    Attempt([&] {
        std::vector<ScreenSaverEntry> entries(count > 0 ? static_cast<std::size_t>(count) : 0);
        CurrentSession_.Entries = std::move(entries);
    });
}

void MainModule::AddScreenSaver(int32_t index, const std::wstring& presName,
                                int32_t monitorNum) noexcept {
    Attempt([&] {
        ScreenSaverEntry* entry = CurrentSession_.Entry(index);
        if (!entry)
            return false;
        entry->PresName = presName;
        entry->MonitorNum = monitorNum;
        return true;
    });
}

HostRef MainModule::FindOpenPresentation(const std::wstring& presName) noexcept {
    HostRef found;
    Attempt([&] {
        if (!HostPPTApp_)
            return false;
        auto count = host_.PresentationCount(*HostPPTApp_);
        if (!count)
            return false;
        const int32_t n = *count;
        for (int32_t i = 1; i <= n; ++i) {
            HostRef presentation;
            std::optional<std::wstring> fullName;
            Attempt([&] {
                presentation = host_.PresentationItem(*HostPPTApp_, i);
                if (presentation)
                    fullName = host_.FullName(*presentation);
            });
            // Letter case counts: another spelling may be another file on a case-sensitive share,
            // and the host itself tells the two apart.
            if (presentation && fullName && *fullName == presName) {
                found = std::move(presentation);
                return true;
            }
        }
        return false;
    });
    return found;
}

std::wstring MainModule::PrepareScreenSaver() noexcept {
    Busy busy(*this);
    // Every entry is prepared, also after a refused one: the others' shows still run. The first
    // refused path is what the caller gets, as before.
    std::wstring firstRefused;
    bool refused = false;
    // Stamps are read off the host's thread; all of this call's reads together wait at most this.
    StampBudget stamps(kStampReadLimitMs);
    const int32_t count = CurrentSession_.Count;
    for (int32_t i = 1; i <= count; ++i) {
        ScreenSaverEntry* entry = CurrentSession_.Entry(i);
        if (!entry)
            break;
        entry->Presentation = FindOpenPresentation(entry->PresName);
        std::wstring failure, note;
        if (entry->Presentation)
            entry->Presentation =
                Refreshed(entry->PresName, std::move(entry->Presentation), note, failure, stamps);
        else
            entry->Presentation = OpenAndRemember(entry->PresName, failure, stamps);
        entry->Placed = false;
        Attempt([&] {
            entry->Reason = entry->Presentation ? std::wstring() : OpenFailedText(entry->PresName);
            entry->Detail = entry->Presentation ? std::wstring() : failure;
            entry->FreshnessNote = note;
        });
        if (!entry->Presentation && !refused) {
            refused = true;
            // Only the copy of a path can throw here; the caller gets the success value then.
            Attempt([&] { firstRefused = entry->PresName; });
        }
    }
    return firstRefused;
}

bool MainModule::GetMonitorReport(int32_t monitorNum, std::wstring& reason,
                                  std::wstring& detail) noexcept {
    bool placed = false;
    const bool answered = Attempt([&] {
        const ScreenSaverEntry* first = nullptr;
        const int32_t count = CurrentSession_.Count;
        for (int32_t i = 1; i <= count; ++i) {
            const ScreenSaverEntry* entry = CurrentSession_.Entry(i);
            if (!entry)
                break;
            if (entry->MonitorNum != monitorNum)
                continue;
            if (entry->Placed) {
                reason = entry->PresName;
                // How it came to lie there (a correction), and what was done about a changed file.
                detail = entry->Detail;
                if (!entry->FreshnessNote.empty())
                    detail += (detail.empty() ? L"" : L"; ") + entry->FreshnessNote;
                placed = true;
                return;
            }
            if (!first)
                first = entry;
        }
        reason = first && !first->Reason.empty() ? first->Reason : std::wstring(kNoShowText);
        detail = first ? first->Detail : std::wstring();
        // What became of a changed file comes first: it may be why the monitor is black.
        if (first && !first->FreshnessNote.empty())
            detail = first->FreshnessNote + (detail.empty() ? L"" : L"; " + detail);
    });
    if (!answered) {
        placed = false;
        Attempt([&] {
            reason = kNoShowText;
            detail.clear();
        });
    }
    return placed;
}

void MainModule::ExitScreenSaverSession() noexcept {
    ForgetCaller();
    const int32_t count = CurrentSession_.Count;
    for (int32_t i = 1; i <= count; ++i) {
        ScreenSaverEntry* entry = CurrentSession_.Entry(i);
        if (!entry)
            break;
        entry->ShowWindow.reset();
        entry->Presentation.reset();
        entry->ShowWindowHandle = 0;
        entry->Placed = false;
    }
    CurrentSession_.Count = 0;
    Attempt([&] { CurrentSession_.Entries = std::vector<ScreenSaverEntry>(1); });
}

void MainModule::WatchScreenSaverCaller(int32_t processId) noexcept {
    ForgetCaller();
    // A caller that can't be opened has left already: its call was queued behind one the host
    // kept waiting. Its session is ended at the first check.
    Attempt([&] { Caller_ = desktop_.OpenCallerProcess(processId); });
    CallerWatched_ = true;
    // Never ended from here: this call may arrive in the middle of another operation (the
    // host's own message loop lets queued calls in); the check waits for that to finish.
    Attempt([&] { desktop_.StartCallerChecks(); });
}

bool MainModule::ShowsMayRun() const noexcept {
    if (EventSink_)
        return true;
    for (const ScreenSaverEntry& entry : CurrentSession_.Entries)
        if (entry.ShowWindow || entry.ShowWindowHandle != 0)
            return true;
    return false;
}

void MainModule::CheckScreenSaverCaller() noexcept {
    if (!CallerWatched_ || busy_ > 0)
        return;
    // A caller that can't be opened had ended before its call arrived.
    if (Caller_ && !Caller_->HasEnded())
        return;
    // Inside the host's own dialog, menu or sent message, exiting shows would pull the ground
    // from under the host: the next check after it comes soon enough.
    bool modal = false;
    Attempt([&] { modal = desktop_.HostIsModal(); });
    if (modal)
        return;
    ForgetCaller();
    EndScreenSaver();
    ExitScreenSaverSession();
}

void MainModule::ForgetCaller() noexcept {
    if (!CallerWatched_)
        return;
    CallerWatched_ = false;
    Caller_.reset();
    Attempt([&] { desktop_.StopCallerChecks(); });
}

void MainModule::ReleaseSessionAtShutdown() noexcept {
    // A run whose shows are still up when the host closes is ended as the screen saver would end
    // it, so the event connection (a reference from the host into this library) goes too.
    if (EventSink_)
        EndScreenSaver();
    ExitScreenSaverSession();
    Opened_.Clear();
    Attempt([&] { desktop_.EndFileStampReads(); });
}

void MainModule::ForgetHost() noexcept {
    if (EventSink_) {
        Attempt([&] { return EventSink_->SetHostApp(nullptr); });
        EventSink_.reset();
    }
    for (ScreenSaverEntry& entry : CurrentSession_.Entries) {
        entry.ShowWindow.reset();
        entry.Presentation.reset();
    }
    Opened_.Clear();
    Attempt([&] { desktop_.EndFileStampReads(); });
    HostPPTApp_.reset();
}

} // namespace kestova::addin
