// The reopen rule and PrepareScreenSaver's use of it: a presentation the add-in opened is opened
// afresh when its file changed, so that an update on the share reaches the screens at the next run.
#include "addin/reopen_rule.h"

#include "addin/attempt.h"
#include "addin/main_module.h"

namespace kestova::addin {

Freshness JudgeFreshness(const OpenedPresentation* opened, FreshnessFacts& facts) {
    if (!opened)
        return Freshness::AsItIs;
    const std::optional<FileStamp> now = facts.StampNow();
    if (!now)
        return Freshness::KeptUnchecked;
    // A stamp unknown at the open can't vouch for the copy: one reopen makes it known.
    if (opened->stamp && *opened->stamp == *now)
        return Freshness::AsItIs;
    const std::optional<int32_t> windows = facts.WindowCount();
    if (!windows)
        return Freshness::KeptInUse;
    if (*windows != 0)
        return Freshness::KeptInWindow;
    const std::optional<bool> saved = facts.Saved();
    if (!saved)
        return Freshness::KeptInUse;
    if (!*saved)
        return Freshness::KeptUnsaved;
    return Freshness::Reopen;
}

std::wstring FreshnessNote(Freshness freshness, bool stampKnownAtOpen) {
    constexpr wchar_t kept[] = L"kept although changed since it was opened: ";
    switch (freshness) {
    case Freshness::AsItIs:
        break;
    case Freshness::Reopen:
        return stampKnownAtOpen ? L"reopened: changed since it was opened"
                                : L"reopened: its file could not be checked when it was opened";
    case Freshness::KeptInWindow:
        return std::wstring(kept) + L"it is open in a window";
    case Freshness::KeptUnsaved:
        return std::wstring(kept) + L"it has unsaved changes";
    case Freshness::KeptInUse:
        return std::wstring(kept) + L"the host did not say whether it is in use";
    case Freshness::KeptUnchecked:
        return L"kept as it is: its file could not be checked for changes";
    }
    return {};
}

namespace {

class HostFacts final : public FreshnessFacts {
public:
    HostFacts(MainModule& module, PresentationHost& host, const HostObject& presentation,
              const std::wstring& path, StampBudget& budget)
        : module_(module), host_(host), presentation_(presentation), path_(path), budget_(budget) {}
    std::optional<FileStamp> StampNow() override { return module_.ReadStamp(path_, budget_); }
    std::optional<int32_t> WindowCount() override { return host_.WindowCount(presentation_); }
    std::optional<bool> Saved() override { return host_.Saved(presentation_); }

private:
    MainModule& module_;
    PresentationHost& host_;
    const HostObject& presentation_;
    const std::wstring& path_;
    StampBudget& budget_;
};

} // namespace

std::optional<FileStamp> MainModule::ReadStamp(const std::wstring& path,
                                               StampBudget& budget) noexcept {
    std::optional<FileStamp> stamp;
    const uint32_t left = budget.LeftMs();
    if (left > 0)
        Attempt([&] { stamp = desktop_.ReadFileStamp(path, left); });
    return stamp;
}

HostRef MainModule::OpenAndRemember(const std::wstring& presName, std::wstring& failure,
                                    StampBudget& budget) noexcept {
    // Read before the open: a file rewritten in between is then seen as changed at the next
    // run, never as current while the older content shows.
    const std::optional<FileStamp> stamp = ReadStamp(presName, budget);
    HostRef presentation;
    Attempt([&] {
        if (HostPPTApp_)
            presentation = host_.OpenPresentation(*HostPPTApp_, presName, failure);
    });
    if (presentation)
        Attempt([&] { Opened_.Remember({presentation, presName, stamp}); });
    return presentation;
}

HostRef MainModule::Refreshed(const std::wstring& presName, HostRef found, std::wstring& note,
                              std::wstring& failure, StampBudget& budget) noexcept {
    const OpenedPresentation* opened = nullptr;
    Freshness freshness = Freshness::AsItIs;
    bool stampKnown = false;
    Attempt([&] {
        opened = Opened_.Find(host_, *found, presName);
        stampKnown = opened && opened->stamp;
        HostFacts facts(*this, host_, *found, presName, budget);
        freshness = JudgeFreshness(opened, facts);
    });
    if (freshness != Freshness::Reopen) {
        Attempt([&] { note = FreshnessNote(freshness, stampKnown); });
        return found;
    }
    if (!Attempt([&] { return host_.ClosePresentation(*found); })) {
        Attempt([&] { note = kCloseRefusedNote; });
        return found;
    }
    // The old copy is gone: what shows now is the file as it is, or nothing.
    Opened_.Forget(opened);
    found.reset();
    HostRef fresh = OpenAndRemember(presName, failure, budget);
    Attempt([&] { note = fresh ? FreshnessNote(freshness, stampKnown) : kReopenRefusedNote; });
    return fresh;
}

} // namespace kestova::addin
