#include "screensaver/run_journal.h"

namespace kestova {

namespace {

constexpr char kNewLine[] = "\r\n";
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

void AppendCodePoint(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string OneLine(std::wstring_view text) {
    return ToUtf8(OneLineText(text));
}

std::string Number(int64_t value) {
    return std::to_string(value);
}

std::string Padded(int64_t value, int width) {
    std::string text = std::to_string(value);
    if (static_cast<int>(text.size()) < width)
        text.insert(0, static_cast<size_t>(width) - text.size(), '0');
    return text;
}

std::string Duration(int64_t ms) {
    if (ms < 0)
        ms = 0;
    const int64_t seconds = ms / 1000;
    return Number(seconds / 3600) + ":" + Padded(seconds / 60 % 60, 2) + ":" +
           Padded(seconds % 60, 2) + "." + Padded(ms % 1000, 3);
}

std::string HostLine(const RunFacts& facts) {
    std::string line;
    switch (facts.host) {
    case HostContact::NotContacted:
        return "not contacted (no presentation file was found)";
    case HostContact::Unavailable:
        return "could be neither attached nor started";
    case HostContact::Attached:
        line = "attached to the running one";
        break;
    case HostContact::Started:
        line = "started for this run";
        break;
    }
    line += ", version " + (facts.hostVersion.empty() ? "unknown" : OneLine(facts.hostVersion));
    if (!facts.addInFound)
        line += "; the add-in was not found in it";
    return line;
}

std::string EndText(RunEnd end) {
    switch (end) {
    case RunEnd::Closed:
        return "the main window was closed (by the user or another program)";
    case RunEnd::Key:
        return "a key";
    case RunEnd::Mouse:
        return "the mouse";
    case RunEnd::HotKey:
        return "Ctrl+Alt+Esc";
    case RunEnd::ShowEnded:
        return "a slide show ended";
    case RunEnd::HostExited:
        return "the host exited";
    case RunEnd::Failure:
        return "a failure";
    }
    return "an unknown request (" + Number(static_cast<int32_t>(end)) + ")";
}

} // namespace

std::wstring OneLineText(std::wstring_view text) {
    std::wstring flat;
    flat.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            continue; // CR LF makes one blank
        flat.push_back(static_cast<uint32_t>(c) < 0x20 ? L' ' : c);
    }
    while (!flat.empty() && flat.back() == L' ')
        flat.pop_back();
    return flat;
}

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = static_cast<uint32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
                const auto low = static_cast<uint32_t>(text[i + 1]);
                if (low >= 0xDC00 && low < 0xE000) {
                    AppendCodePoint(out, 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00));
                    ++i;
                    continue;
                }
            }
        }
        if ((c >= 0xD800 && c < 0xE000) || c > 0x10FFFF)
            c = 0xFFFD; // a lone surrogate has no UTF-8 form
        AppendCodePoint(out, c);
    }
    return out;
}

std::string FormatIsoTime(const LocalTime& t) {
    const int32_t offset = t.offsetMinutes < 0 ? -t.offsetMinutes : t.offsetMinutes;
    return Padded(t.year, 4) + "-" + Padded(t.month, 2) + "-" + Padded(t.day, 2) + "T" +
           Padded(t.hour, 2) + ":" + Padded(t.minute, 2) + ":" + Padded(t.second, 2) +
           (t.offsetMinutes < 0 ? "-" : "+") + Padded(offset / 60, 2) + ":" +
           Padded(offset % 60, 2);
}

std::string FormatRunBlock(const RunRecord& r) {
    const RunFacts& facts = r.facts;
    std::string b;
    auto line = [&b](const std::string& text) { b += text + kNewLine; };

    line("== Run of " + FormatIsoTime(r.start) + ", process " + Number(r.processId));
    line("Monitors:");
    for (size_t i = 0; i < r.monitors.size(); ++i) {
        const JournalMonitor& m = r.monitors[i];
        line("  " + Number(static_cast<int64_t>(i) + 1) + ": " + Number(m.rect.width) + "x" +
             Number(m.rect.height) + " at (" + Number(m.rect.left) + "," + Number(m.rect.top) +
             "), " + Number(m.dpi) + " dpi" + (m.primary ? ", primary" : ""));
    }
    if (r.startUnknown) {
        // The start was still waiting on the host: what it had learnt is not safe to read.
        line("Start: still waiting on the host when the run ended");
    } else if (!facts.settingsError.empty()) {
        line("Settings: could not be read: " + OneLine(facts.settingsError));
    } else {
        line(std::string("Settings: keyboard to the shows ") +
             (facts.enableKeyboard ? "yes" : "no") + ", mouse to the shows " +
             (facts.enableMouse ? "yes" : "no"));
        for (const SettingsEntryFact& entry : facts.entries) {
            const std::string head = "  " + Number(entry.monitor) + ": ";
            // A hand-edited entry may name another monitor than its place: the add-in gets that
            // one.
            const std::string stored = entry.storedMonitor == entry.monitor
                                           ? std::string()
                                           : ", stored for monitor " + Number(entry.storedMonitor);
            if (entry.path.empty())
                line(head + "(none chosen)" + stored);
            else
                line(head + OneLine(entry.path) + (entry.exists ? " (found" : " (not found") +
                     stored + ")");
        }
        if (facts.entriesBeyondMonitors > 0)
            line("  and " + Number(static_cast<int64_t>(facts.entriesBeyondMonitors)) +
                 (facts.entriesBeyondMonitors == 1 ? " stored entry" : " stored entries") +
                 " beyond the last monitor");
        for (const std::wstring& ignored : facts.ignoredPolicies)
            line("  policy value ignored: " + OneLine(ignored));
    }
    if (!r.startUnknown)
        line("Host: " + HostLine(facts));
    line("Shown:");
    for (const MonitorOutcome& outcome : r.outcomes) {
        std::string text = "  " + Number(outcome.monitor) + ": ";
        if (outcome.showRunning)
            text += "slide show of " + OneLine(outcome.presentation);
        else if (outcome.reason.empty())
            text += "black window, no text";
        else
            text += "black window: " + OneLine(outcome.reason);
        if (!outcome.detail.empty())
            text += " (" + OneLine(outcome.detail) + ")";
        line(text);
    }
    auto rect = [](const MonitorRect& m) {
        return Number(m.width) + "x" + Number(m.height) + " at (" + Number(m.left) + "," +
               Number(m.top) + ")";
    };
    for (const DisplayChangeFact& change : facts.displayChanges) {
        std::string monitors;
        for (const MonitorRect& m : change.monitors)
            monitors += (monitors.empty() ? "" : ", ") + rect(m);
        line("Display changed: monitors now " + (monitors.empty() ? "none" : monitors));
        for (const MonitorChange& gone : change.gone)
            line("  gone: " + rect(gone.rect) +
                 (gone.cover == Cover::Black  ? ", its black window taken away"
                  : gone.cover == Cover::Show ? ", its slide show left to the host"
                                              : ""));
        for (const MonitorChange& added : change.added)
            line("  new: " + rect(added.rect) +
                 (added.cover == Cover::Show ? ", a slide show already on it" : ", black window"));
    }
    if (!facts.failure.empty())
        line("Start failed: " + OneLine(facts.failure));
    const HostBusyNotes& busy = r.hostBusy;
    if (busy.startKeptWaiting || busy.callsTurnedAway || !busy.window.empty()) {
        std::string text = "Host busy:";
        auto part = [&](const std::string& said) {
            text += (text.back() == ':' ? " " : "; ") + said;
        };
        if (busy.startKeptWaiting)
            part("kept the start waiting over 3 s");
        if (busy.callsTurnedAway)
            part("turned calls away");
        if (!busy.window.empty())
            part("its own window \"" + OneLine(busy.window) + "\" was up");
        line(text);
    }
    if (r.end) {
        std::string text = "Ended by: " + EndText(*r.end);
        if (facts.endedDuringStart)
            text += " during the start";
        if (*r.end == RunEnd::Failure && !facts.failure.empty())
            text += ": " + OneLine(facts.failure);
        line(text + "; " + Number(r.endToExitMs) + " ms from then to the end");
    } else {
        line("Ended by: nothing asked it to end (the main window was destroyed)");
    }
    if (r.abandoned)
        line("The host did not answer in time: the run left without waiting for it");
    line("Length: " + Duration(r.lengthMs));
    b += kNewLine;
    return b;
}

bool AppendRunBlock(JournalFiles& files, std::string_view block, uint64_t limit) {
    const uint64_t size = files.Size().value_or(0); // none: a new file
    bool newFile = size == 0;
    if (!newFile && size + block.size() > limit) {
        if (files.Rotate()) {
            newFile = true;
        } else if (size >= 2 * limit) {
            // Something holds the full file and won't let it be moved: stop growing it; a later
            // run moves it once it is free.
            return false;
        }
    }
    if (newFile)
        return files.Append(std::string(kByteOrderMark) + std::string(block));
    return files.Append(block);
}

} // namespace kestova
