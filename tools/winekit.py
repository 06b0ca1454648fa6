"""The Wine harness: a private Xvfb with a chosen monitor layout and DPI, a throwaway Wine prefix
copied from a pristine template, Windows programs run with time limits, screenshots with pixel
checks, and a clean stop of everything it started (also when a test fails or times out).

It never touches another display or another prefix's wineserver.
"""

from __future__ import annotations

import dataclasses
import os
import re
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BUILD = Path(os.environ.get("KESTOVA_BUILD_DIR") or ROOT / "build").resolve()
WINE_DIR = BUILD / "wine"
TEMPLATE = WINE_DIR / "template"
SCENARIOS = WINE_DIR / "scenarios"
WINDOWS_BIN = BUILD / "windows" / "bin"
TOOLS_BUILD = BUILD / "tools"
WINE = "/usr/lib/wine/wine64"
WINE32 = "/usr/lib/wine/wine"  # the 32-bit loader (package wine32)
WINESERVER = "/usr/lib/wine/wineserver"
BACKGROUND = (0x33, 0x66, 0x99)  # painted root window: "black covers the monitor" must mean something


def _fixed_address_space() -> None:
    """Every program started from here on (Wine's loader, its wineserver and services, and all
    that they start in turn) gets an address space laid out without randomisation. Wine needs
    fixed addresses (the shared user data at 0x7ffe0000 among them); now and then a randomised
    layout has already put something there, and the new process dies in its start-up ("failed
    to map the shared user data: c0000018"), which a caller sees as a program that printed
    nothing, or as "ShellExecuteEx failed: Internal error" from start.exe. The setting is
    inherited across fork and exec, so setting it once in this process covers the whole tree."""
    import ctypes
    ADDR_NO_RANDOMIZE = 0x0040000
    try:
        libc = ctypes.CDLL(None, use_errno=True)
        current = libc.personality(0xFFFFFFFF)
        if current != -1 and not current & ADDR_NO_RANDOMIZE:
            libc.personality(current | ADDR_NO_RANDOMIZE)
    except (OSError, AttributeError):
        pass


_fixed_address_space()


@dataclasses.dataclass(frozen=True)
class Rect:
    left: int
    top: int
    width: int
    height: int

    @property
    def right(self) -> int:
        return self.left + self.width

    @property
    def bottom(self) -> int:
        return self.top + self.height


# Layouts in X coordinates (heads of one wide Xvfb screen) and which head is Windows' primary.
LAYOUTS = {
    1: ([Rect(0, 0, 1280, 1024)], 0),
    2: ([Rect(0, 0, 1280, 1024), Rect(1280, 0, 1024, 768)], 0),
    # One monitor left of the primary (negative coordinates) and one right of it, all sizes differ.
    3: ([Rect(0, 0, 1024, 768), Rect(1024, 0, 1280, 1024), Rect(2304, 0, 800, 600)], 1),
}


def _run_quiet(args, env=None, timeout=120):
    return subprocess.run(args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=timeout, check=False)


def fake_xinerama_dir() -> Path:
    """Builds (once) the stand-in libXinerama that turns one Xvfb screen into several monitors."""
    out = TOOLS_BUILD / "xinerama"
    lib = out / "libXinerama.so.1"
    src = ROOT / "tools" / "fake_xinerama.c"
    if not lib.exists() or lib.stat().st_mtime < src.stat().st_mtime:
        out.mkdir(parents=True, exist_ok=True)
        subprocess.run(["gcc", "-shared", "-fPIC", "-O2", "-Wl,-soname,libXinerama.so.1", "-o",
                        str(lib), str(src)], check=True)
    return out


class Xvfb:
    """A private X server on a display number it picks itself (-displayfd)."""

    def __init__(self, width: int, height: int):
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)
        os.close(write_fd)
        data = b""
        deadline = time.monotonic() + 20
        with os.fdopen(read_fd, "rb") as pipe:
            while not data.endswith(b"\n") and time.monotonic() < deadline:
                chunk = pipe.read(1)
                if not chunk:
                    break
                data += chunk
        if not data.strip():
            self.stop()
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + data.decode().strip()
        color = "#%02x%02x%02x" % BACKGROUND
        _run_quiet(["xsetroot", "-display", self.display, "-solid", color], timeout=20)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def _base_env(prefix: Path, display: str | None) -> dict:
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": str(prefix),
        # KESTOVA_WINEDEBUG=err+all (say) shows Wine's own error lines when chasing a fault.
        "WINEDEBUG": os.environ.get("KESTOVA_WINEDEBUG", "-all"),
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "WINEARCH": "win64",
    })
    if display:
        env["DISPLAY"] = display
    return env


def _wineserver_stop(env: dict):
    _run_quiet([WINESERVER, "-k"], env=env, timeout=30)
    _run_quiet([WINESERVER, "-w"], env=env, timeout=30)


def wine_program(prefix: Path, name: str) -> str:
    """Wine's own programs by their place in the prefix (C:\\windows\\system32\\regsvr32.exe for
    "regsvr32"). Wine's loader does not search the path for a bare name: it hands the command
    to start.exe, which starts the program through ShellExecuteEx, a second process whose
    failure hides the program's own exit code and error output. Other names pass unchanged."""
    if any(c in name for c in "/\\:"):
        return name
    file = name if name.lower().endswith(".exe") else name + ".exe"
    for folder in ("system32", ""):
        if (prefix / "drive_c" / "windows" / folder / file).is_file():
            return "C:\\windows\\" + (folder + "\\" if folder else "") + file
    return name


def _import_reg(env: dict, text: str):
    with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False, encoding="utf-16") as f:
        f.write("Windows Registry Editor Version 5.00\r\n\r\n" + text)
        path = f.name
    try:
        regedit = wine_program(Path(env["WINEPREFIX"]), "regedit")
        _run_quiet([WINE, regedit, "/S", winpath(path)], env=env, timeout=60)
    finally:
        os.unlink(path)


def _append_user_reg(prefix: Path, keys: dict[str, dict[str, str]]):
    """Sets HKEY_CURRENT_USER values (registry-file syntax: '"text"', 'dword:...') by writing
    them into the prefix's user.reg while no wineserver of the prefix runs. A key named again
    at the end of the file is opened once more when the file is loaded, and its values set
    over the earlier ones."""
    stamp = int(time.time())
    text = ""
    for key, values in keys.items():
        text += f"\n[{key.replace(chr(92), chr(92) * 2)}] {stamp}\n"
        text += "".join(f'"{name}"={value}\n' for name, value in values.items())
    with (prefix / "user.reg").open("a", encoding="ascii", newline="\n") as f:
        f.write(text)


def winpath(unix_path) -> str:
    """The Windows name of a Unix path through Wine's Z: drive."""
    return "Z:" + str(Path(unix_path).resolve()).replace("/", "\\")


def runs_32_bit_programs() -> bool:
    """Whether this machine can run 32-bit Windows programs at all: Wine's 32-bit loader is a
    32-bit Linux program, and some kernels (virtual machines built without 32-bit emulation,
    or with it switched off) refuse it with "Exec format error"; 32-bit Office can't be
    tested on such a machine."""
    global _RUNS_32_BIT
    if _RUNS_32_BIT is None:
        try:
            subprocess.run([WINE32, "--version"], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60, check=False)
            _RUNS_32_BIT = True
        except OSError:
            _RUNS_32_BIT = False
    return _RUNS_32_BIT


_RUNS_32_BIT: bool | None = None
NO_32_BIT = "this machine can't run 32-bit programs (its kernel refuses Wine's 32-bit loader)"


def _wine_version() -> str:
    done = subprocess.run([WINE, "--version"], capture_output=True, text=True, timeout=60,
                          check=False)
    return done.stdout.strip() or "unknown"


def ensure_template() -> Path:
    """A pristine, booted prefix with the settings every scenario needs; made once (~15 s)."""
    stamp = TEMPLATE / ".kestova-ready"
    # With wine32 installed the prefix gets a 32-bit side (syswow64): a template made before
    # then is made again. So is one made by another Wine: a prefix older than its Wine is
    # updated in place at its first start, which would write through the files that scenario
    # prefixes share with the template (see _copy_prefix).
    ready = f"ok{' wow64' if Path(WINE32).exists() else ''} {_wine_version()}\n"
    if stamp.exists() and stamp.read_text() == ready:
        return TEMPLATE
    shutil.rmtree(TEMPLATE, ignore_errors=True)
    TEMPLATE.parent.mkdir(parents=True, exist_ok=True)
    xvfb = Xvfb(1024, 768)
    env = _base_env(TEMPLATE, xvfb.display)
    try:
        subprocess.run([WINE, "wineboot", "-i"], env=env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300, check=False)
        _run_quiet([WINESERVER, "-w"], env=env, timeout=120)
        # Without a window manager, Managed=Y stalls hiding/destroying active windows ~2 s.
        _import_reg(env, "[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"
                         "\"Managed\"=\"N\"\r\n\"UseXRandR\"=\"N\"\r\n\"Decorated\"=\"N\"\r\n\r\n")
        _wineserver_stop(env)
    finally:
        _wineserver_stop(env)
        xvfb.stop()
    if not (TEMPLATE / "system.reg").exists():
        raise RuntimeError("wineboot failed to create the template prefix")
    stamp.write_text(ready)
    return TEMPLATE


# Wine's own programs, libraries and tables: over a gigabyte with the 32-bit side, and only ever
# read. A scenario's prefix links to the template's files instead of copying them, which saves
# seconds and a gigabyte of disk writes per scenario.
_SHARED_FOLDERS = ("drive_c/windows/system32/", "drive_c/windows/syswow64/")
_SHARED_SUFFIXES = {".dll", ".exe", ".drv", ".sys", ".nls", ".ocx", ".acm", ".cpl", ".tlb",
                    ".vxd", ".com", ".ax"}


def _copy_prefix(template: Path, prefix: Path) -> None:
    root = str(template) + "/"

    def copy(source: str, target: str) -> str:
        relative = source[len(root):] if source.startswith(root) else ""
        if (relative.startswith(_SHARED_FOLDERS) and
                os.path.splitext(source)[1].lower() in _SHARED_SUFFIXES):
            os.link(source, target)
            return target
        return shutil.copy2(source, target)

    shutil.copytree(template, prefix, symlinks=True, copy_function=copy)


class WineSession:
    """One scenario: own Xvfb, own prefix (copied from the template), own wineserver.

    with WineSession("name", monitors=3, dpi=120) as w:
        w.run(["Corvane.scr", "/s"]) ...
    """

    def __init__(self, name: str, monitors: int | list[Rect] = 1, primary: int | None = None,
                 dpi: int = 96, register=None):
        if isinstance(monitors, int):
            heads, default_primary = LAYOUTS[monitors]
        else:
            heads, default_primary = list(monitors), 0
        self.heads = heads
        self.primary = default_primary if primary is None else primary
        self.dpi = dpi
        self.name = name
        # Repeated runs (run_scenarios.py --repeat) tag each round's prefix, so that a failed
        # round's prefix stays for a look instead of being replaced by the next round's.
        tag = os.environ.get("KESTOVA_RUN_TAG")
        self.prefix = SCENARIOS / (f"{name}-{tag}" if tag else name)
        self.xvfb: Xvfb | None = None
        self.env: dict = {}
        self._children: list[subprocess.Popen] = []
        self._register = register

    # Windows virtual-screen coordinates put the primary head's corner at (0, 0).
    @property
    def origin(self) -> tuple[int, int]:
        p = self.heads[self.primary]
        return p.left, p.top

    def monitors_windows(self) -> list[Rect]:
        """Heads in Windows coordinates, in the harness's head order."""
        ox, oy = self.origin
        return [Rect(h.left - ox, h.top - oy, h.width, h.height) for h in self.heads]

    def monitor_numbered(self, number: int) -> Rect:
        """Windows rectangle of the product's monitor `number` (primary first, then head order)."""
        mons = self.monitors_windows()
        order = [self.primary] + [i for i in range(len(mons)) if i != self.primary]
        return mons[order[number - 1]]

    def to_x(self, x: int, y: int) -> tuple[int, int]:
        ox, oy = self.origin
        return x + ox, y + oy

    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.stop()
            raise
        return self

    def __exit__(self, exc_type, *exc):
        # A failed scenario keeps its prefix for a look; a good one gives its disk space back.
        self.stop(keep_prefix=exc_type is not None)
        return False

    def start(self):
        ensure_template()
        shutil.rmtree(self.prefix, ignore_errors=True)
        self.prefix.parent.mkdir(parents=True, exist_ok=True)
        _copy_prefix(TEMPLATE, self.prefix)
        width = max(h.right for h in self.heads)
        height = max(h.bottom for h in self.heads)
        self.xvfb = Xvfb(width, height)
        self.env = _base_env(self.prefix, self.xvfb.display)
        layout = ",".join(f"{h.width}x{h.height}+{h.left}+{h.top}" for h in self.heads)
        self.env["KESTOVA_XINERAMA_SCREENS"] = layout
        # Empty until a scenario changes the monitors during a run (change_heads).
        self.heads_file = self.prefix.parent / (self.prefix.name + ".heads")
        self.heads_file.unlink(missing_ok=True)
        self.env["KESTOVA_XINERAMA_FILE"] = str(self.heads_file)
        self.env["LD_LIBRARY_PATH"] = str(fake_xinerama_dir()) + (
            ":" + os.environ["LD_LIBRARY_PATH"] if os.environ.get("LD_LIBRARY_PATH") else "")
        # Monitor layout and DPI are read when the desktop starts: written into the prefix's
        # registry file before anything of Wine starts, which saves a boot of the prefix.
        _append_user_reg(self.prefix, {
            r"Software\Wine\X11 Driver": {"PrimaryMonitor": f'"{self.primary}"'},
            r"Control Panel\Desktop": {"LogPixels": f"dword:{self.dpi:08x}"},
        })
        if self._register:
            self._register(self)
            _wineserver_stop(self.env)
        # A persistent wineserver makes every later program start in tens of milliseconds.
        _run_quiet([WINESERVER, "-p"], env=self.env, timeout=30)
        _run_quiet([WINE, wine_program(self.prefix, "cmd"), "/c", "exit"], env=self.env,
                   timeout=60)

    def import_reg(self, text: str):
        """Imports registry text (without the header line) into this prefix."""
        _import_reg(self.env, text)

    def exe(self, name: str) -> str:
        """Path of a built Windows binary."""
        return str(WINDOWS_BIN / name)

    def run(self, args: list[str], timeout: float = 60, check: bool = False,
            extra_env: dict | None = None) -> subprocess.CompletedProcess:
        """Runs a Windows program to its end; on time-out it is killed and the failure shows its
        output.

        Output goes through files, not pipes: a COM server that the program starts inherits its
        standard handles, and a pipe would stay open for as long as that server runs.
        """
        env = dict(self.env, **(extra_env or {}))
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            proc = subprocess.Popen([WINE, wine_program(self.prefix, args[0]), *args[1:]], env=env,
                                    stdout=out, stderr=err,
                                    stdin=subprocess.DEVNULL, start_new_session=True)
            try:
                proc.wait(timeout=timeout)
            except subprocess.TimeoutExpired:
                _kill_group(proc)
                proc.wait()
                # What it printed tells where it stopped (a test suite names its last test).
                out.seek(0)
                err.seek(0)
                raise AssertionError(
                    f"{args} did not end within {timeout:g} s; the end of its output:\n"
                    f"{out.read()[-3000:].decode(errors='replace')}\n"
                    f"{err.read()[-2000:].decode(errors='replace')}") from None
            out.seek(0)
            err.seek(0)
            result = subprocess.CompletedProcess(args, proc.returncode,
                                                 out.read().decode(errors="replace"),
                                                 err.read().decode(errors="replace"))
        if check and result.returncode != 0:
            raise AssertionError(f"{args} exited {result.returncode}\n{result.stdout}\n"
                                 f"{result.stderr}")
        return result

    def start_program(self, args: list[str], extra_env: dict | None = None,
                      capture_output: bool = False,
                      error_file: Path | None = None) -> subprocess.Popen:
        """Starts a Windows program in the background; stop() ends it if it is still running.
        Its output is discarded unless the caller reads it (capture_output: stdout as a pipe;
        error_file: its error output, Wine's debug lines among it, into that file)."""
        env = dict(self.env, **(extra_env or {}))
        out = subprocess.PIPE if capture_output else subprocess.DEVNULL
        err = open(error_file, "wb") if error_file else subprocess.DEVNULL
        try:
            proc = subprocess.Popen([WINE, wine_program(self.prefix, args[0]), *args[1:]],
                                    env=env, stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                                    start_new_session=True)
        finally:
            if error_file:
                err.close()
        self._children.append(proc)
        return proc

    def wait_for(self, predicate, timeout: float = 10, interval: float = 0.1):
        """Polls until predicate() is truthy; returns its value, or the last falsy one at the time
        limit. Prefer wait_until, which fails with a message saying what was awaited."""
        deadline = time.monotonic() + timeout
        while True:
            value = predicate()
            if value or time.monotonic() >= deadline:
                return value
            time.sleep(interval)

    def wait_until(self, condition, timeout: float, what: str, interval: float = 0.1,
                   details=None):
        """wait_until() of this module; here for the scenarios' convenience."""
        return wait_until(condition, timeout, what, interval, details)

    def x_window(self, title: str) -> str | None:
        """The X window (id as xdotool prints it) of a shown window with exactly this title."""
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                                f"^{re.escape(title)} ?$"], env=self.env, capture_output=True,
                               text=True, timeout=20, check=False).stdout.split()
        return found[0] if found else None

    def wait_screen(self, predicate, timeout: float, what: str, path=None) -> "Image":
        """Takes screenshots until predicate(image) holds (a window is painted, say); returns
        that screenshot (also saved when a path is given)."""
        shots = []

        def painted():
            shots[:] = [self.screenshot()]
            return predicate(shots[0])
        self.wait_until(painted, timeout, what, interval=0.2)
        if path is not None:
            self.screenshot(path)
        return shots[0]

    def xdotool(self, *args: str):
        _run_quiet(["xdotool", *args], env=self.env, timeout=20)

    def screenshot(self, path: str | Path | None = None) -> "Image":
        """The whole X screen; saved as PNG when a path is given."""
        raw = subprocess.run(["import", "-display", self.xvfb.display, "-window", "root", "-depth", "8",
                              "ppm:-"],
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True,
                             timeout=60).stdout
        image = Image.from_ppm(raw)
        if path is not None:
            Path(path).parent.mkdir(parents=True, exist_ok=True)
            subprocess.run(["convert", "ppm:-", str(path)], input=raw, check=True, timeout=60)
        return image

    def stop(self, keep_prefix: bool = False):
        for proc in self._children:
            if proc.poll() is None:
                _kill_group(proc)
        for proc in self._children:
            try:
                proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                pass
        self._children.clear()
        if self.env:
            _wineserver_stop(self.env)
            # A failed round once left its persistent wineserver and services running after
            # "wineserver -k": end whatever still runs on this prefix (by pid, ours only).
            for pid in _processes_of(self.prefix):
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        if self.xvfb:
            self.xvfb.stop()
            self.xvfb = None
        # A prefix is ~700 MB (KESTOVA_KEEP_PREFIX=1 keeps them all).
        if not keep_prefix and not os.environ.get("KESTOVA_KEEP_PREFIX"):
            shutil.rmtree(self.prefix, ignore_errors=True)


def wait_until(condition, timeout: float, what: str, interval: float = 0.1, details=None):
    """Polls condition() until it is truthy and returns its value. At the deadline it fails with
    an AssertionError that says what was awaited (and details(), if given, what was seen).
    Scenarios wait on observable conditions only, never on a fixed time."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            seen = f"; {details()}" if details else ""
            raise AssertionError(f"timed out after {timeout:g} s waiting for {what}{seen}")
        time.sleep(interval)


def _processes_of(prefix: Path) -> list[int]:
    """Processes whose environment names this Wine prefix (every Wine process of it, the
    wineserver included)."""
    wanted = b"WINEPREFIX=" + str(prefix).encode()
    found = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit() or int(entry.name) == os.getpid():
            continue
        try:
            environ = (entry / "environ").read_bytes()
        except OSError:
            continue
        if wanted in environ.split(b"\0"):
            found.append(int(entry.name))
    return found


def _kill_group(proc: subprocess.Popen):
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


class Image:
    """An RGB screenshot with a few pixel checks."""

    def __init__(self, width: int, height: int, data: bytes):
        self.width, self.height, self.data = width, height, data

    @classmethod
    def from_ppm(cls, raw: bytes) -> "Image":
        # P6 header: magic, width, height, maxval, each separated by whitespace.
        fields, pos = [], 0
        while len(fields) < 4:
            while raw[pos:pos + 1].isspace():
                pos += 1
            if raw[pos:pos + 1] == b"#":
                pos = raw.index(b"\n", pos) + 1
                continue
            end = pos
            while not raw[end:end + 1].isspace():
                end += 1
            fields.append(raw[pos:end])
            pos = end
        if fields[0] != b"P6":
            raise ValueError("not a binary PPM")
        width, height, maxval = int(fields[1]), int(fields[2]), int(fields[3])
        body = raw[pos + 1:]
        if maxval > 255:  # 16-bit samples, big-endian: keep the high byte
            body = body[0:width * height * 6:2]
        return cls(width, height, body[:width * height * 3])

    def pixel(self, x: int, y: int) -> tuple[int, int, int]:
        i = (y * self.width + x) * 3
        return self.data[i], self.data[i + 1], self.data[i + 2]

    def share(self, rect: Rect, predicate, step: int = 4) -> float:
        """Share of sampled pixels in rect (X coordinates) for which predicate(rgb) holds."""
        hits = total = 0
        for y in range(max(rect.top, 0), min(rect.bottom, self.height), step):
            for x in range(max(rect.left, 0), min(rect.right, self.width), step):
                total += 1
                hits += bool(predicate(self.pixel(x, y)))
        return hits / total if total else 0.0

    def bounding_box(self, rect: Rect, predicate) -> Rect | None:
        """Smallest rectangle (X coordinates) holding every pixel in rect matching predicate."""
        xs, ys = [], []
        for y in range(max(rect.top, 0), min(rect.bottom, self.height)):
            row = y * self.width
            for x in range(max(rect.left, 0), min(rect.right, self.width)):
                i = (row + x) * 3
                if predicate((self.data[i], self.data[i + 1], self.data[i + 2])):
                    xs.append(x)
                    ys.append(y)
        if not xs:
            return None
        return Rect(min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1)


def is_black(rgb) -> bool:
    return max(rgb) < 16


def is_yellow(rgb) -> bool:
    r, g, b = rgb
    return r > 160 and g > 160 and b < 110


def is_background(rgb) -> bool:
    return all(abs(a - b) < 8 for a, b in zip(rgb, BACKGROUND))
