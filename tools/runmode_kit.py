"""Helpers for Corvane's run-mode scenarios and benchmarks inside a winekit.WineSession:
settings in the registry, starting Corvane.scr, the probe program (injected input, atom and hot
key probes, message box texts), and Corvane's windows.
"""

from __future__ import annotations

import dataclasses
import os
import re
import subprocess
import tempfile
import time
from pathlib import Path

import standin
import winekit
from settings_kit import SETTINGS_KEY, write_settings  # noqa: F401 - re-exported

CORVANE = "Corvane.scr"
PROBE = "ScreensaverProbe.exe"
ATOM = "ScreenSaverBreakOut"
CAPTION = "Kestova Screen Saver"
# Corvane's exit code when a run left without the host's answer (main_form.h).
ABANDONED_EXIT_CODE = 3
VK_F24 = 0x87

WS_POPUP = 0x80000000
WS_CAPTION = 0x00C00000
WS_EX_TOPMOST = 0x8
WS_EX_TOOLWINDOW = 0x80
# Probe commands that always print an answer.
ANSWERING = {"tick", "atom", "hotkey", "watch", "swallowed", "responds", "focus", "extent",
             "dialog", "bare"}


# Wine's ReportEventW writes to its debug output, not to a log: the call itself (type, category,
# event id) on the advapi channel, then each of its strings on the eventlog channel.
EVENT_LOG_DEBUG = {"WINEDEBUG": "-all,fixme+advapi,warn+eventlog,err+eventlog"}
EVENT_ERROR, EVENT_WARNING = 1, 2
_REPORT_CALL = re.compile(r":fixme:advapi:ReportEventW \([0-9A-Fa-f]+,0x([0-9a-f]+),0x([0-9a-f]+),"
                          r"0x([0-9a-f]+),")
_REPORT_STRING = re.compile(r":(?:err|warn|trace):eventlog:ReportEventW L\"(.*)\"$")


@dataclasses.dataclass(frozen=True)
class LoggedEvent:
    type: int  # EVENT_ERROR, EVENT_WARNING
    category: int
    id: int
    strings: tuple[str, ...]


def _unescape(text: str) -> str:
    """A string as Wine's debug output quotes it (\\n, \\", \\\\, \\XXXX beyond ASCII)."""
    return re.sub(r"\\(n|r|t|\"|\\|[0-9a-f]{4})",
                  lambda m: {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}.get(
                      m[1]) or chr(int(m[1], 16)), text)


def logged_events(error_file: Path) -> list[LoggedEvent]:
    """The events a program reported, in order, from its error output under EVENT_LOG_DEBUG."""
    events: list[list] = []
    for line in error_file.read_text(errors="replace").splitlines():
        if call := _REPORT_CALL.search(line):
            events.append([int(call[1], 16), int(call[2], 16), int(call[3], 16), []])
        elif (text := _REPORT_STRING.search(line)) and events:
            events[-1][3].append(_unescape(text[1]))
    return [LoggedEvent(t, c, i, tuple(s)) for t, c, i, s in events]


def events_file(w: winekit.WineSession) -> Path:
    """A new file for one run's error output, in the scenario's prefix."""
    handle, name = tempfile.mkstemp(suffix=".events", dir=w.prefix)
    os.close(handle)
    return Path(name)


def start(w: winekit.WineSession, *args: str, events: Path | None = None) -> subprocess.Popen:
    """Corvane with `args` (/s when none); given `events`, its reported events go to that file
    (logged_events reads them)."""
    return w.start_program([w.exe(CORVANE), *(args or ("/s",))],
                           extra_env=EVENT_LOG_DEBUG if events else None, error_file=events)


def probe(w: winekit.WineSession, *commands) -> list[str]:
    """The probe's answer lines; a probe that fails or says nothing fails the scenario here,
    with its exit code and error output."""
    result = w.run([w.exe(PROBE), *[str(c) for c in commands]], timeout=60, check=True)
    lines = [line.rstrip("\r") for line in result.stdout.splitlines()]
    if not lines and any(c in ANSWERING for c in commands):
        raise AssertionError(f"the probe {commands} answered nothing (exit code "
                             f"{result.returncode}); its error output:\n{result.stderr}")
    return lines


def probe_background(w: winekit.WineSession, *commands) -> subprocess.Popen:
    return w.start_program([w.exe(PROBE), *[str(c) for c in commands]], capture_output=True)


def reset_input(w: winekit.WineSession):
    """No stuck modifier and no atom left over from an earlier run."""
    probe(w, "release", "purge", ATOM)


def ended(proc: subprocess.Popen, timeout: float) -> bool:
    try:
        proc.wait(timeout)
        return True
    except subprocess.TimeoutExpired:
        return False


def windows(w: winekit.WineSession, class_name: str, visible_only=True) -> list[standin.Window]:
    return standin.find_windows(w, class_name=class_name, visible_only=visible_only)


def main_window(w: winekit.WineSession):
    found = windows(w, "TMainForm", visible_only=False)
    return found[0] if found else None


def wait_started(w: winekit.WineSession, proc: subprocess.Popen, timeout: float = 30):
    """Waits for the main window; returns it (None if the program ended or never made one)."""
    return w.wait_for(lambda: proc.poll() is None and main_window(w), timeout=timeout,
                      interval=0.1) or None


def wait_display_forms(w: winekit.WineSession, count: int, timeout: float = 30):
    """Waits until `count` black monitor windows are shown; returns them."""
    return w.wait_until(lambda: (lambda f: f if len(f) == count else None)(
        windows(w, "TDisplayForm")), timeout, f"{count} shown monitor window(s) (TDisplayForm)",
        details=lambda: f"shown: {[x.rect for x in windows(w, 'TDisplayForm')]}")


def wait_armed(w: winekit.WineSession, timeout: float = 30):
    """Waits until Corvane's main thread takes sent messages, which it does only once its start
    (windows, hooks, hot key) is over and its message loop runs. Valid when no automation call
    can still be out: a run without a session, or after a failed start's report was closed. A
    run with a session shows it by its first ShouldEndScreenSaver poll instead (the timer is set
    just before the hooks and ticks only in the message loop)."""
    w.wait_until(lambda: probe(w, "responds", "TMainForm", 5000) == ["responds"], timeout,
                 "Corvane's main thread to take messages (its start over, break-out armed)")


def wait_polled(journal: standin.Journal, timeout: float = 30):
    """Waits for the run's next ShouldEndScreenSaver poll: its timer ticks only in the message
    loop, so the break-out hooks and hot key are in place by then."""
    return journal.wait_for_call("Addin.ShouldEndScreenSaver",
                                 count=len(journal.calls("Addin.ShouldEndScreenSaver")) + 1,
                                 timeout=timeout)


def focus(w: winekit.WineSession, title: str) -> str:
    """'<class>\t<text>' of the control with the keyboard focus in the window titled `title`
    while that window is the foreground one (where typed keys go); "" otherwise."""
    line = probe(w, "focus", title)[0]
    return line[len("focus "):] if line.startswith("focus ") and line != "focus none" else ""


def wait_keyboard(w: winekit.WineSession, title: str, control: str | None = None,
                  timeout: float = 30) -> str:
    """Waits until typed keys reach the window titled `title`: it is the foreground window and
    one of its controls has the focus (the one whose '<class>\t<text>' contains `control`,
    when given: a page's default button, say). Returns that control's '<class>\t<text>'."""
    def ready():
        focused = focus(w, title)
        return focused if focused and (control is None or control in focused) else None
    return w.wait_until(ready, timeout, f'the keyboard focus in "{title}"' +
                        (f" on {control!r}" if control else ""),
                        details=lambda: f"focused: {focus(w, title)!r}")


def hot_key_taken(w: winekit.WineSession) -> bool:
    return probe(w, "hotkey") == ["hotkey taken"]
