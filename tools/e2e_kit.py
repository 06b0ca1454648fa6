"""The whole product inside a winekit.WineSession, as a user's machine would hold it: Corvane.scr,
Paxendo.dll and Tovrin.dll copied into one install folder, the add-in registered by
`regsvr32 Paxendo.dll` (machine-wide classes, the Office add-in key under HKCU), the stand-in host
as PowerPoint, sample presentations, and the settings written as the settings dialog writes them.
Used by the end-to-end scenarios (tests/e2e), the demo (tools/demo.py) and the benchmark
(tools/bench.py).
"""

from __future__ import annotations

import dataclasses
import getpass
import os
import shutil
import subprocess
import threading
import time
from pathlib import Path

import runmode_kit
import standin
import winekit
from settings_kit import SETTINGS_KEY, write_settings  # noqa: F401 - re-exported

INSTALL_DIR = r"C:\Program Files\Kestova Screen Saver"
BINARIES = ("Corvane.scr", "Paxendo.dll", "Tovrin.dll")
ADDIN_PROGID = "Paxendo.PowerPointAddin"
CAPTION = "Kestova Screen Saver"
ATOM = "ScreenSaverBreakOut"
PROBE = "ScreensaverProbe.exe"

TEXT_NO_HOST = "Unable to start Microsoft Office PowerPoint."
TEXT_NO_ADDIN = "Kestova Screen Saver server is not available."
TEXT_NOT_READY = "Kestova Screen Saver server is not accessible."
TEXT_HOST_BUSY = "PowerPoint is busy or waiting for an answer."
# Corvane's exit code when a run left without the host's answer.
ABANDONED_EXIT_CODE = 3
VERSION_NOTICE = "Kestova Screen Saver requires Microsoft PowerPoint 2000 or later."

SHOW_CLASS = "screenClass"
CORVANE_CLASSES = ("TMainForm", "TDisplayForm")

TEXT_ALREADY_SHOWN = "Already shown on monitor {}."


def file_not_found(path: str) -> str:
    return f'File "{path}" not found.'


def opened_failed(name: str) -> str:
    return f"Presentation could not be opened: {name}"


def window_not_found(name: str) -> str:
    return f"Slide show window could not be found: {name}"


def no_such_monitor(number: int) -> str:
    return f"Monitor {number} does not exist."


# ---------------------------------------------------------------------------------------------
# Our own client program (tests/e2e/e2e_client.cpp, built with the Windows tree)

CLIENT_EXE = winekit.WINDOWS_BIN / "E2eClient.exe"


def build_client() -> Path:
    """E2eClient.exe of the Windows tree (./dev build makes it)."""
    if not CLIENT_EXE.exists():
        raise AssertionError(f"{CLIENT_EXE} is missing: run ./dev build")
    return CLIENT_EXE


def client(w: winekit.WineSession, *args: str, timeout: float = 60) -> list[str]:
    result = w.run([str(build_client()), *args], timeout=timeout)
    return [line.rstrip("\r") for line in result.stdout.splitlines()]


def open_presentations(w: winekit.WineSession) -> list[str] | None:
    """FullNames of the running host's presentations; None when no host answers."""
    lines = client(w, "presentations")
    if not lines or not lines[0].startswith("count "):
        return None
    return [line[len("open "):] for line in lines[1:]]


def message_labels(w: winekit.WineSession) -> dict[winekit.Rect, str]:
    """Rectangle → label text of every visible monitor message window."""
    out = {}
    for line in client(w, "labels"):
        rect, _, text = line.partition("\t")
        out[winekit.Rect(*(int(v) for v in rect.split(",")))] = text
    return out


# ---------------------------------------------------------------------------------------------
# Installing

def install_dir_unix(w: winekit.WineSession) -> Path:
    return standin.unix_path(w, INSTALL_DIR)


def install_product(w: winekit.WineSession, register: bool = True):
    """Copies the three binaries into the install folder and registers the add-in from there."""
    folder = install_dir_unix(w)
    folder.mkdir(parents=True, exist_ok=True)
    for name in BINARIES:
        shutil.copy2(w.exe(name), folder / name)
    if register:
        register_addin(w)


def register_addin(w: winekit.WineSession):
    w.run(["regsvr32", "/s", INSTALL_DIR + r"\Paxendo.dll"], check=True)


def corvane_path() -> str:
    return INSTALL_DIR + r"\Corvane.scr"


def install(w: winekit.WineSession, host: bool = True, addin: bool = True, **knobs):
    """The stand-in (when host) with its knobs, then the product (add-in registered when addin)."""
    if host:
        standin.install_standin(w, **knobs)
    install_product(w, register=addin)


def install_with_setup(w: winekit.WineSession):
    """The product as the setup installs it for every user (KestovaSetup.exe /S /ALLUSERS into
    INSTALL_DIR): 64-bit classes by the add-in's registration, the 32-bit view's by the setup,
    the machine's add-in keys for 64-bit and 32-bit Office."""
    result = w.run([w.exe("KestovaSetup.exe"), "/S", "/ALLUSERS"], timeout=120)
    if result.returncode != 0:
        raise AssertionError(f"the setup ended with {result.returncode}")


# 32-bit Office: a 32-bit host process, which loads the 32-bit add-in.
STANDIN32_EXE = winekit.BUILD / "windows32" / "bin" / "PptStandin.exe"


def install_standin32(w: winekit.WineSession, **knobs):
    standin.install_standin(w, exe=str(STANDIN32_EXE), **knobs)


def processes_mapping(w: winekit.WineSession, windows_path: str) -> list[int]:
    """Linux pids of the Wine processes that have this file of the prefix loaded (a Wine process
    maps its DLLs from their files, so /proc/<pid>/maps names them)."""
    target = str(standin.unix_path(w, windows_path))
    found = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            maps = (entry / "maps").read_text(errors="replace")
        except OSError:
            continue
        if any(line.endswith(" " + target) for line in maps.splitlines()):
            found.append(int(entry.name))
    return found


def is_32_bit_process(pid: int) -> bool:
    """A 32-bit Wine process runs Wine's i386 side (its ntdll and the rest from i386-*)."""
    try:
        maps = Path(f"/proc/{pid}/maps").read_text(errors="replace")
    except OSError:
        return False
    return "/i386-unix/ntdll.so" in maps and "/x86_64-unix/ntdll.so" not in maps


# ---------------------------------------------------------------------------------------------
# Running

def start(w: winekit.WineSession, events: Path | None = None) -> subprocess.Popen:
    """The installed Corvane.scr /s; given `events`, its reported events go to that file
    (runmode_kit.logged_events reads them)."""
    return w.start_program([corvane_path(), "/s"],
                           extra_env=runmode_kit.EVENT_LOG_DEBUG if events else None,
                           error_file=events)


def ended(proc: subprocess.Popen, timeout: float) -> bool:
    try:
        proc.wait(timeout)
        return True
    except subprocess.TimeoutExpired:
        return False


def probe(w: winekit.WineSession, *commands) -> list[str]:
    """The run-mode tests' probe program (tests/windows/screensaver_probe_tool.cpp): injected
    input, atom and hot-key questions, message boxes."""
    result = w.run([w.exe(PROBE), *[str(c) for c in commands]], timeout=60, check=True)
    return [line.rstrip("\r") for line in result.stdout.splitlines()]


def wait_armed(w: winekit.WineSession, timeout: float = 30):
    """Waits until Corvane's main thread takes sent messages: its start (windows, break-out
    hooks, hot key) is over. Valid only when no automation call can still be out after its
    windows appeared: a run that failed to start its shows."""
    w.wait_until(lambda: probe(w, "responds", "TMainForm", 5000) == ["responds"], timeout,
                 "Corvane's main thread to take messages (its start over, break-out armed)")


def wait_hot_key(w: winekit.WineSession, timeout: float = 30):
    """Waits for the run's Ctrl+Alt+Esc hot key: with keyboard interaction on, the run is armed
    with it (its mouse hook, when mouse interaction is off, is set in the same breath)."""
    w.wait_until(lambda: probe(w, "hotkey") == ["hotkey taken"], timeout,
                 "the run's Ctrl+Alt+Esc hot key")


def end_by_key(w: winekit.WineSession, proc: subprocess.Popen, vk: int, timeout: float = 30):
    """Presses key `vk` until the run ends (its keyboard hook may not be set when the first press
    comes: a run with shows gives no sign of it outside)."""
    w.wait_until(lambda: (probe(w, "key", vk), ended(proc, 1.0))[1], timeout,
                 f"the run to end on key {vk:#x}")


def wait_picture(w: winekit.WineSession, check, what: str, timeout: float = 30,
                 path=None) -> winekit.Image:
    """Takes screenshots until check(image) passes (check asserts); returns that screenshot
    (saved too when a path is given). At the deadline check's last failure is raised, saying
    what was awaited."""
    deadline = time.monotonic() + timeout
    while True:
        shot = w.screenshot()
        try:
            check(shot)
            break
        except AssertionError as error:
            if time.monotonic() >= deadline:
                raise AssertionError(f"timed out after {timeout:g} s waiting for {what}: "
                                     f"{error}") from error
        time.sleep(0.2)
    if path is not None:
        w.screenshot(path)
    return shot


def reset_input(w: winekit.WineSession):
    """No modifier key left down and no break-out atom left by an earlier (killed) run."""
    probe(w, "release", "purge", ATOM)


def park_pointer(w: winekit.WineSession, x: int, y: int):
    """Moves the X pointer (X screen coordinates) where no window of the run will appear: Wine
    sends a real mouse move to the low-level hooks when a window appears under it."""
    w.xdotool("mousemove", str(x), str(y))


def corvane_windows(w: winekit.WineSession, visible_only: bool = False) -> list[standin.Window]:
    return [x for x in standin.list_windows(w)
            if x.class_name in CORVANE_CLASSES and (x.visible or not visible_only)]


def display_forms(w: winekit.WineSession) -> list[standin.Window]:
    return [x for x in corvane_windows(w, visible_only=True) if x.class_name == "TDisplayForm"]


def show_windows(w: winekit.WineSession) -> list[standin.Window]:
    return standin.find_windows(w, class_name=SHOW_CLASS)


def wait_for_shows(journal: standin.Journal, count: int, after: int = 0,
                   timeout: float = 30) -> list[tuple[str, str, str]]:
    """Waits until `count` shows have begun since journal show event number `after`."""
    def begun(j):
        shows = [s for s in j.shows()[after:] if s[1] == "begin"]
        return shows if len(shows) >= count else None
    found = journal.wait_for(begun, timeout=timeout)
    if not found:
        raise AssertionError(f"{count} shows did not begin; journal:\n{journal.text()}")
    return found


def to_x_rect(w: winekit.WineSession, r: winekit.Rect) -> winekit.Rect:
    x, y = w.to_x(r.left, r.top)
    return winekit.Rect(x, y, r.width, r.height)


def screenshot(w: winekit.WineSession, path=None) -> winekit.Image:
    return w.screenshot(path)


def message_box_texts(w: winekit.WineSession, title: str = CAPTION) -> list[str]:
    return [t[len("text "):] for t in probe(w, "dialog", title) if t.startswith("text ")]


def dismiss_message_box(w: winekit.WineSession, title: str = CAPTION):
    probe(w, "press-ok", title)


# ---------------------------------------------------------------------------------------------
# Pixels

def colour_box(image: winekit.Image, rgb: tuple[int, int, int]) -> winekit.Rect | None:
    """Exact bounding box (X coordinates) of every pixel of exactly this colour, whole screen."""
    pattern = bytes(rgb)
    stride = image.width * 3
    left, right, top, bottom = image.width, -1, None, None
    for y in range(image.height):
        row = image.data[y * stride:(y + 1) * stride]
        first = _aligned_find(row, pattern)
        if first < 0:
            continue
        last = _aligned_rfind(row, pattern)
        left, right = min(left, first // 3), max(right, last // 3)
        top = y if top is None else top
        bottom = y
    if top is None:
        return None
    return winekit.Rect(left, top, right - left + 1, bottom - top + 1)


def _aligned_find(row: bytes, pattern: bytes) -> int:
    i = row.find(pattern)
    while i >= 0 and i % 3:
        i = row.find(pattern, i + 1)
    return i


def _aligned_rfind(row: bytes, pattern: bytes) -> int:
    i = row.rfind(pattern)
    while i >= 0 and i % 3:
        i = row.rfind(pattern, 0, i + 2)
    return i


def colour_share(image: winekit.Image, rect: winekit.Rect, rgb) -> float:
    return image.share(rect, lambda p: p == tuple(rgb))


# ---------------------------------------------------------------------------------------------
# Process figures from the Unix side (a Wine process is one Linux process)

@dataclasses.dataclass
class ProcessFigures:
    cpu_seconds: float   # user + system
    rss_kib: int         # resident set now
    peak_rss_kib: int    # high-water mark of the resident set


def process_figures(pid: int) -> ProcessFigures | None:
    try:
        stat = Path(f"/proc/{pid}/stat").read_text()
        status = Path(f"/proc/{pid}/status").read_text()
    except (FileNotFoundError, ProcessLookupError):
        return None
    fields = stat[stat.rindex(")") + 2:].split()
    ticks = os.sysconf("SC_CLK_TCK")
    cpu = (int(fields[11]) + int(fields[12])) / ticks
    values = {}
    for line in status.splitlines():
        name, _, rest = line.partition(":")
        if name in ("VmRSS", "VmHWM"):
            values[name] = int(rest.split()[0])
    return ProcessFigures(cpu, values.get("VmRSS", 0), values.get("VmHWM", 0))


# ---------------------------------------------------------------------------------------------
# Clocks

def raw_ms() -> float:
    """The clock of Wine's GetTickCount (and so of the journal's ticks): CLOCK_MONOTONIC_RAW."""
    return time.clock_gettime(time.CLOCK_MONOTONIC_RAW) * 1000


def tick_to_raw(tick: int, near: float) -> float:
    """A 32-bit tick as CLOCK_MONOTONIC_RAW milliseconds, taking the wrap nearest to `near`."""
    base = near - (near % 2**32)
    return min((base + tick + wrap for wrap in (-2**32, 0, 2**32)), key=lambda c: abs(c - near))


def inject_ticked(w: winekit.WineSession, *commands) -> float:
    """Runs probe commands after a "tick"; returns when (CLOCK_MONOTONIC_RAW ms) the probe was
    about to inject them."""
    answer = probe(w, "tick", *commands)
    return tick_to_raw(int(answer[0].split()[1]), raw_ms())


def wait_gone(proc: subprocess.Popen) -> dict:
    """Starts a thread that stamps (CLOCK_MONOTONIC_RAW ms, key "at") the process's end."""
    gone: dict = {}

    def wait():
        try:
            proc.wait(60)
            gone["at"] = raw_ms()
        except subprocess.TimeoutExpired:
            pass

    gone["thread"] = threading.Thread(target=wait, daemon=True)
    gone["thread"].start()
    return gone


# ---------------------------------------------------------------------------------------------
# Timing journal lines as they appear

class JournalTail:
    """Stamps each journal line with time.monotonic() when it appears; polled every few ms on a
    thread of its own, so start → first show and the like are measured from this side alike for
    every program."""

    def __init__(self, journal: standin.Journal, interval: float = 0.004):
        self.path = journal.path
        self.interval = interval
        self.lines: list[tuple[float, standin.Entry]] = []
        self._offset = 0
        self._pending = b""
        self._stop = threading.Event()
        self._changed = threading.Condition()
        self._thread = threading.Thread(target=self._run, daemon=True)

    def __enter__(self):
        self._poll()  # what is there already is not timed: it happened before
        self.lines = [(0.0, e) for _, e in self.lines]
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._stop.set()
        self._thread.join()
        return False

    def _run(self):
        while not self._stop.wait(self.interval):
            self._poll()

    def _poll(self):
        try:
            size = self.path.stat().st_size
        except FileNotFoundError:
            return
        if size < self._offset:  # emptied: start over
            self._offset, self._pending = 0, b""
        if size == self._offset:
            return
        stamp = time.monotonic()
        with self.path.open("rb") as f:
            f.seek(self._offset)
            data = f.read(size - self._offset)
        self._offset += len(data)
        data = self._pending + data
        *complete, self._pending = data.split(b"\n")
        new = []
        for raw in complete:
            line = raw.decode("utf-8", errors="replace").rstrip("\r")
            if line:
                parts = line.split("\t")
                new.append((stamp, standin.Entry(parts[0], parts[1:], line)))
        if new:
            with self._changed:
                self.lines.extend(new)
                self._changed.notify_all()

    def mark(self) -> int:
        with self._changed:
            return len(self.lines)

    def wait(self, predicate, after: int = 0, count: int = 1,
             timeout: float = 30) -> float | None:
        """Time at which the count-th line from index `after` matching predicate(entry)
        appeared; None at the time limit."""
        deadline = time.monotonic() + timeout
        with self._changed:
            while True:
                hits = [t for t, e in self.lines[after:] if predicate(e)]
                if len(hits) >= count:
                    return hits[count - 1]
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self._changed.wait(left)

    def since(self, after: int) -> list[tuple[float, standin.Entry]]:
        with self._changed:
            return list(self.lines[after:])


def is_place(entry: standin.Entry) -> bool:
    return entry.kind == "place"


def is_show(event: str):
    return lambda e: e.kind == "show" and e.fields[1] == event


# ---------------------------------------------------------------------------------------------
# The run journal (%LOCALAPPDATA%\Kestova\Kestova Screen Saver\runs.log)

def journal_dir(w: winekit.WineSession) -> Path:
    return (w.prefix / "drive_c" / "users" / getpass.getuser() / "AppData" / "Local" / "Kestova" /
            CAPTION)


def journal_windows_path(name: str = "runs.log") -> str:
    return rf"C:\users\{getpass.getuser()}\AppData\Local\Kestova\{CAPTION}\{name}"


@dataclasses.dataclass
class JournalBlock:
    """One run's block: a heading, then lines "Name: value", some followed by indented
    "  N: value" lines for each monitor."""
    text: str

    def value(self, name: str) -> str | None:
        for line in self.text.split("\r\n"):
            if line.startswith(name + ": "):
                return line[len(name) + 2:]
        return None

    def per_monitor(self, name: str) -> dict[int, str]:
        lines = self.text.split("\r\n")
        found, inside = {}, False
        for line in lines:
            if not line.startswith("  "):
                inside = line.startswith(name + ":")
            elif inside and line[2:].split(":", 1)[0].isdigit():
                number, _, rest = line[2:].partition(": ")
                found[int(number)] = rest
        return found


def journal_blocks(w: winekit.WineSession, name: str = "runs.log") -> list[JournalBlock]:
    """The blocks of the journal file, oldest first. Every block ends in an empty line, so text
    after the last one would be a half-written block: that fails here."""
    path = journal_dir(w) / name
    if not path.is_file():
        return []
    raw = path.read_bytes()
    text = raw.decode("utf-8-sig")
    if not text:
        return []
    if not text.endswith("\r\n\r\n"):
        raise AssertionError(f"{path} ends inside a block: {text[-200:]!r}")
    blocks = text[:-4].split("\r\n\r\n")
    for block in blocks:
        if not block.startswith("== Run of "):
            raise AssertionError(f"{path} holds a stray piece: {block[:200]!r}")
    return [JournalBlock(b + "\r\n") for b in blocks]
