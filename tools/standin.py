"""Test helpers for the presentation-host stand-in (PptStandin.exe) inside a winekit.WineSession.

    with winekit.WineSession("name", monitors=2) as w:
        standin.install_standin(w, Version="12.0")
        standin.register_addin(w, standin.RECORDING_PROGID, "Kestova Screen Saver",
                               dll=w.exe(standin.RECORDING_DLL))
        standin.start_standin(w)
        unix, win = standin.write_presentation(w, "deck.pptx", slides=3, loop=False)
        ...
        journal = standin.Journal(w)
        journal.wait_for_call("Addin.AddScreenSaver")
        standin.quit_standin(w)
"""

from __future__ import annotations

import dataclasses
import re
from pathlib import Path, PureWindowsPath

import winekit

STANDIN_EXE = "PptStandin.exe"
WINDOWS_TOOL_EXE = "StandinWindows.exe"
RECORDING_DLL = "RecordingAddin.dll"
RECORDING_PROGID = "KestovaTest.RecordingAddin"
DEFAULT_JOURNAL = r"C:\standin-journal.txt"

KNOB_KEYS = {
    "Standin": r"HKEY_CURRENT_USER\Software\KestovaTest\Standin",
    "RecordingAddin": r"HKEY_CURRENT_USER\Software\KestovaTest\RecordingAddin",
}
ADDINS_KEY = r"HKEY_CURRENT_USER\Software\Microsoft\Office\PowerPoint\Addins"


# ---------------------------------------------------------------------------------------------
# Registry and paths

def _reg_string(text: str) -> str:
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def _reg_value(name: str, value) -> str:
    if value is None:
        return f"{_reg_string(name)}=-"
    if isinstance(value, bool):
        value = int(value)
    if isinstance(value, int):
        return f"{_reg_string(name)}=dword:{value & 0xFFFFFFFF:08x}"
    return f"{_reg_string(name)}={_reg_string(str(value))}"


def set_knobs(w: winekit.WineSession, key: str, **values):
    """Writes knob values: key is "Standin", "RecordingAddin" or a full registry key path.

    str → REG_SZ, int/bool → REG_DWORD (negative HRESULTs welcome), None → the value is deleted.
    """
    if not values:
        return
    path = KNOB_KEYS.get(key, key)
    lines = [f"[{path}]"] + [_reg_value(name, value) for name, value in values.items()]
    w.import_reg("\r\n".join(lines) + "\r\n\r\n")
    if path == KNOB_KEYS["Standin"] and "Journal" in values:
        w.standin_journal = values["Journal"] or DEFAULT_JOURNAL


def unix_path(w: winekit.WineSession, windows_path: str) -> Path:
    """The prefix's file behind a C:\\ (or Z:\\) Windows path."""
    p = PureWindowsPath(windows_path)
    drive = p.drive.upper()
    rest = p.parts[1:]
    if drive == "C:":
        return w.prefix.joinpath("drive_c", *rest)
    if drive == "Z:":
        return Path("/").joinpath(*rest)
    raise ValueError(f"no Unix path for {windows_path}")


# ---------------------------------------------------------------------------------------------
# The host

def install_standin(w: winekit.WineSession, exe: str | None = None, **knobs):
    """Registers PptStandin.exe (or the build given as exe, such as the 32-bit one) as
    PowerPoint.Application (machine-wide) and writes its knobs.

    Knobs (HKCU\\Software\\KestovaTest\\Standin): Journal, Version, NoCOMAddIns, FailMember,
    FailDescription, FailCode, UnknownMember, RefuseOpen, ExitOnMember, SlowMember, SlowMs.
    The journal file is emptied.
    """
    w.run([exe or w.exe(STANDIN_EXE), "/RegServer"], check=True)
    set_knobs(w, "Standin", **knobs)
    path = unix_path(w, journal_path(w))
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(b"")


def journal_path(w: winekit.WineSession) -> str:
    return getattr(w, "standin_journal", DEFAULT_JOURNAL)


def register_addin(w: winekit.WineSession, progid: str, friendly_name: str | None,
                   load_behavior: int | None = 3, dll: str | None = None,
                   description: str | None = None):
    """Writes PowerPoint's add-in key for `progid` (regsvr32 of `dll` first when given).

    friendly_name / load_behavior / description None leave that value out.
    """
    if dll:
        w.run(["regsvr32", "/s", dll], check=True)
    values = {"FriendlyName": friendly_name, "LoadBehavior": load_behavior,
              "Description": description}
    lines = [f"[{ADDINS_KEY}\\{progid}]"]
    lines += [_reg_value(k, v) for k, v in values.items() if v is not None]
    w.import_reg("\r\n".join(lines) + "\r\n\r\n")


def register_recording_addin(w: winekit.WineSession, friendly_name="Kestova Screen Saver",
                             load_behavior=3, **knobs):
    """The test add-in under its ProgID, with RecordingAddin knobs (Initialized, ShouldEndAfter,
    FailMember, FailDescription, FailCode, UnknownMember, FailConnection)."""
    register_addin(w, RECORDING_PROGID, friendly_name, load_behavior, dll=w.exe(RECORDING_DLL))
    set_knobs(w, "RecordingAddin", **knobs)


def start_standin(w: winekit.WineSession, timeout: float = 30):
    """Starts the host in advance (as a running PowerPoint) and waits until it is in the ROT."""
    journal = Journal(w)
    before = len(journal.events("host"))
    proc = w.start_program([w.exe(STANDIN_EXE)])
    ready = journal.wait_for(
        lambda j: [e for e in j.events("host")[before:] if e.fields[0] == "ready"],
        timeout=timeout)
    if not ready:
        code = proc.poll()
        state = "still running" if code is None else f"ended with exit code {code}"
        raise AssertionError(f"the stand-in did not come up within {timeout} s ({state}); "
                             f"journal:\n{journal.text()}")
    return proc


def quit_standin(w: winekit.WineSession, timeout: float = 30) -> int:
    """Asks the running host to end and waits for it: 0 ended, 1 none running, 2 still running."""
    return w.run([w.exe(STANDIN_EXE), "/Quit"], timeout=timeout).returncode


# ---------------------------------------------------------------------------------------------
# Presentations

def write_presentation(w: winekit.WineSession, name: str, slides: int = 5, loop: bool = True,
                       advance_ms: int = 1000, damaged: bool = False, color: int | None = None,
                       folder: str = "presentations"):
    """A sample presentation in the prefix's C:\\<folder>; returns (unix path, Windows path)."""
    directory = w.prefix / "drive_c" / folder
    directory.mkdir(parents=True, exist_ok=True)
    lines = ["KESTOVA-STANDIN-PRESENTATION", f"slides={slides}", f"loop={int(loop)}",
             f"advance_ms={advance_ms}", f"damaged={int(damaged)}"]
    if color is not None:
        lines.append(f"color={color:06X}")
    path = directory / name
    path.write_text("\r\n".join(lines) + "\r\n", encoding="utf-8")
    return path, "C:\\" + folder.replace("/", "\\") + "\\" + name


def sample_presentations() -> dict[str, Path]:
    """The build's sample presentations (bin/samples): Harbour, Meadow, Sunset (looping),
    Finale (3 slides, no loop), Damaged (refused by Open). Reach them from Wine through
    winekit.winpath(path), or copy them into the prefix."""
    folder = winekit.WINDOWS_BIN / "samples"
    return {p.name: p for p in sorted(folder.glob("*.pptx"))}


# ---------------------------------------------------------------------------------------------
# The journal

_ARG_SPLIT = re.compile(r";(?=VT_[A-Z0-9_|]+(?::|;|$))")


@dataclasses.dataclass
class Arg:
    vt: str          # "VT_I4", "VT_BSTR", "VT_VARIANT" ... (without |BYREF)
    byref: bool
    value: str | None

    @classmethod
    def parse(cls, text: str) -> "Arg":
        head, sep, value = text.partition(":")
        byref = head.endswith("|BYREF")
        return cls(head[:-len("|BYREF")] if byref else head, byref, value if sep else None)


@dataclasses.dataclass
class Entry:
    kind: str
    fields: list[str]
    line: str

    # call lines: call <Object.Member> <flags> <args> <result> <tick>
    @property
    def member(self) -> str:
        return self.fields[0]

    @property
    def flags(self) -> str:
        return self.fields[1]

    @property
    def args(self) -> list[Arg]:
        text = self.fields[2]
        return [Arg.parse(a) for a in _ARG_SPLIT.split(text)] if text else []

    @property
    def result(self) -> str:
        return self.fields[3]

    @property
    def failed(self) -> bool:
        return self.result.startswith("error:")

    @property
    def tick(self) -> int:
        return int(self.fields[4])


class Journal:
    """The stand-in's journal (and the recording add-in's lines in it), read afresh on each call."""

    def __init__(self, w: winekit.WineSession, windows_path: str | None = None):
        self.w = w
        self.path = unix_path(w, windows_path or journal_path(w))

    def text(self) -> str:
        try:
            return self.path.read_bytes().decode("utf-8", errors="replace")
        except FileNotFoundError:
            return ""

    def entries(self) -> list[Entry]:
        out = []
        for line in self.text().splitlines():
            if not line:
                continue
            parts = line.split("\t")
            out.append(Entry(parts[0], parts[1:], line))
        return out

    def events(self, kind: str) -> list[Entry]:
        return [e for e in self.entries() if e.kind == kind]

    def calls(self, member: str | None = None) -> list[Entry]:
        """call lines, optionally only those of "Object.Member" (case-insensitive)."""
        calls = self.events("call")
        if member is None:
            return calls
        return [c for c in calls if c.member.lower() == member.lower()]

    def addin_events(self, progid: str | None = None) -> list[tuple[str, str, str]]:
        """(ProgID, event, outcome) of the host's add-in loading lines."""
        return [(e.fields[0], e.fields[1], e.fields[2] if len(e.fields) > 2 else "")
                for e in self.events("addin") if progid is None or e.fields[0] == progid]

    def shows(self) -> list[tuple[str, str, str]]:
        """(presentation name, "begin"|"end", reason)."""
        return [tuple(e.fields[:3]) for e in self.events("show")]

    def placements(self, name: str | None = None) -> list[tuple[tuple[float, ...], winekit.Rect]]:
        """(points left, top, width, height; pixel rectangle) of each placement step."""
        out = []
        for e in self.events("place"):
            if name is not None and e.fields[0] != name:
                continue
            points = tuple(float(v) for v in e.fields[1].split(","))
            px = [int(v) for v in e.fields[2].split(",")]
            out.append((points, winekit.Rect(*px)))
        return out

    def refs(self) -> dict[str, int]:
        """Reference balance per object ("Presentation#1": 0) written at the host's exit."""
        return {e.fields[0]: int(e.fields[1]) for e in self.events("refs")}

    def wait_for(self, predicate, timeout: float = 10):
        """Polls predicate(journal) until truthy; returns its value (or the last falsy one)."""
        return self.w.wait_for(lambda: predicate(self), timeout=timeout, interval=0.1)

    def wait_for_call(self, member: str, count: int = 1, timeout: float = 30) -> list[Entry]:
        calls = self.wait_for(lambda j: len(j.calls(member)) >= count and j.calls(member),
                              timeout)
        if not calls:
            raise AssertionError(f"no {count}x {member} within {timeout}s; journal:\n{self.text()}")
        return calls

    def wait_for_exit(self, timeout: float = 20) -> bool:
        return bool(self.wait_for(
            lambda j: any(e.fields[0] == "exit" for e in j.events("host")), timeout))


# ---------------------------------------------------------------------------------------------
# Windows on screen

@dataclasses.dataclass
class Window:
    hwnd: int
    pid: int
    visible: bool
    topmost: bool
    style: int
    ex_style: int
    rect: winekit.Rect   # Windows virtual-screen pixels
    class_name: str
    title: str


def list_windows(w: winekit.WineSession) -> list[Window]:
    """Every top-level window, through the stand-in's StandinWindows.exe."""
    result = w.run([w.exe(WINDOWS_TOOL_EXE), "windows"], timeout=30, check=True)
    out = []
    for line in result.stdout.splitlines():
        parts = line.rstrip("\r").split("\t")
        if len(parts) < 9:
            continue
        left, top, width, height = (int(v) for v in parts[6].split(","))
        out.append(Window(int(parts[0], 16), int(parts[1]), parts[2] == "1", parts[3] == "1",
                          int(parts[4], 16), int(parts[5], 16),
                          winekit.Rect(left, top, width, height), parts[7], "\t".join(parts[8:])))
    return out


def find_windows(w: winekit.WineSession, title_part: str | None = None,
                 class_name: str | None = None, visible_only: bool = True) -> list[Window]:
    """Top-level windows whose title contains title_part (case-insensitive) and of class_name."""
    found = []
    for window in list_windows(w):
        if visible_only and not window.visible:
            continue
        if title_part is not None and title_part.lower() not in window.title.lower():
            continue
        if class_name is not None and window.class_name != class_name:
            continue
        found.append(window)
    return found


def show_windows(w: winekit.WineSession, name: str | None = None) -> list[Window]:
    """Visible slide show windows of the stand-in (of one presentation file name if given)."""
    return find_windows(w, name, class_name="screenClass")


def screenshot(w: winekit.WineSession, path=None) -> winekit.Image:
    """The whole X screen (kept for callers written when the harness's own read 16-bit PPM
    wrongly; it reads 8-bit samples now)."""
    return w.screenshot(path)


def wait_for_windows(w: winekit.WineSession, title_part: str | None = None, count: int = 1,
                     timeout: float = 10, **filters) -> list[Window]:
    windows = w.wait_for(lambda: (lambda f: f if len(f) >= count else None)(
        find_windows(w, title_part, **filters)), timeout=timeout, interval=0.2)
    return windows or []
