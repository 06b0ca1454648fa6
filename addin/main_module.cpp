#include "addin/main_module.h"

#include "addin/attempt.h"
#include "addin/host_version.h"
#include "addin/monitor_report_text.h"

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
    ForgetCaller();
    CurrentSession_.Count = count;
    // Replacing the array releases the previous entries' references; their presentations stay
    // open and their shows keep running.
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
    const int32_t count = CurrentSession_.Count;
    for (int32_t i = 1; i <= count; ++i) {
        ScreenSaverEntry* entry = CurrentSession_.Entry(i);
        if (!entry)
            break;
        entry->Presentation = FindOpenPresentation(entry->PresName);
        std::wstring failure;
        if (!entry->Presentation) {
            Attempt([&] {
                if (HostPPTApp_)
                    entry->Presentation =
                        host_.OpenPresentation(*HostPPTApp_, entry->PresName, failure);
            });
        }
        entry->Placed = false;
        Attempt([&] {
            entry->Reason = entry->Presentation ? std::wstring() : OpenFailedText(entry->PresName);
            entry->Detail = entry->Presentation ? std::wstring() : failure;
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
                detail = entry->Detail; // how it came to lie there, when that took a correction
                placed = true;
                return;
            }
            if (!first)
                first = entry;
        }
        reason = first && !first->Reason.empty() ? first->Reason : std::wstring(kNoShowText);
        detail = first ? first->Detail : std::wstring();
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
    Attempt([&] { Caller_ = desktop_.OpenCallerProcess(processId); });
    CallerWatched_ = true;
    // Never ended from here: this call may arrive in the middle of another operation (the
    // host's own message loop lets queued calls in); the check waits for that to finish.
    Attempt([&] { desktop_.StartCallerChecks(); });
}

void MainModule::CheckScreenSaverCaller() noexcept {
    if (!CallerWatched_ || busy_ > 0)
        return;
    // A caller that can't be opened has ended before its call arrived: the usual case.
    if (Caller_ && !Caller_->HasEnded())
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
    HostPPTApp_.reset();
}

} // namespace kestova::addin
