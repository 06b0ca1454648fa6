"""Helpers for the installer's Wine scenarios: run the setup and the uninstaller silently, read the
prefix's registry as a tree, list installed files.

    with winekit.WineSession("name") as w:
        installer_kit.run_setup(w, "/SETSCREENSAVER=1")
        hkcu = installer_kit.RegistryTree.export(w, r"HKEY_CURRENT_USER\\Software")
        installer_kit.uninstall(w, installer_kit.HKCU)
"""

from __future__ import annotations

import re
import subprocess
from pathlib import Path

import standin
import winekit

SETUP_EXE = "KestovaSetup.exe"
PRODUCT = "Kestova Screen Saver"
HKCU = "HKEY_CURRENT_USER"
HKLM = "HKEY_LOCAL_MACHINE"
UNINSTALL_KEY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\KestovaScreenSaver"
SETTINGS_KEY = r"Software\Kestova\Kestova Screen Saver"
DESKTOP_KEY = r"Control Panel\Desktop"
ADDIN_KEY = r"Software\Microsoft\Office\PowerPoint\Addins\Paxendo.PowerPointAddin"
# 32-bit Office reads the machine's add-ins from the 32-bit view.
ADDIN_KEY32 = r"Software\Wow6432Node\Microsoft\Office\PowerPoint\Addins\Paxendo.PowerPointAddin"
ADDIN_PROGID = "Paxendo.PowerPointAddin"
HOST_PROGID = "Paxendo.HostClass"


class RegistryTree:
    """A registry subtree as regedit exports it: {key path: {value name: data}}, looked up without
    regard to case (as Windows does). The default value's name is ""; REG_SZ data is str,
    REG_DWORD int, REG_EXPAND_SZ str, REG_MULTI_SZ list, anything else bytes."""

    def __init__(self, keys: dict[str, dict[str, object]]):
        self._keys = {k.lower(): (k, v) for k, v in keys.items()}

    @classmethod
    def export(cls, w: winekit.WineSession, key: str) -> "RegistryTree":
        target = w.prefix / "drive_c" / "installer-export.reg"
        target.unlink(missing_ok=True)
        w.run(["regedit", "/E", r"C:\installer-export.reg", key], timeout=60)
        if not target.exists():
            return cls({})  # the key does not exist
        text = target.read_bytes().decode("utf-16")
        target.unlink()
        return cls(parse_reg(text))

    def keys(self) -> list[str]:
        return [k for k, _ in self._keys.values()]

    def has(self, path: str) -> bool:
        return path.lower() in self._keys

    def values(self, path: str) -> dict[str, object] | None:
        found = self._keys.get(path.lower())
        return None if found is None else found[1]

    def value(self, path: str, name: str = ""):
        values = self.values(path) or {}
        for k, v in values.items():
            if k.lower() == name.lower():
                return v
        return None

    def under(self, path: str) -> dict[str, dict[str, object]]:
        """Every key at or below path, named relative to it ("" for path itself)."""
        prefix = path.lower()
        out = {}
        for low, (original, values) in self._keys.items():
            if low == prefix:
                out[""] = values
            elif low.startswith(prefix + "\\"):
                out[original[len(path) + 1:]] = values
        return out

    def mentions(self, needle: str) -> list[str]:
        """Keys whose path, value names or string data contain needle (case-insensitive)."""
        low = needle.lower()
        found = []
        for original, values in self._keys.values():
            texts = [original] + list(values) + [str(v) for v in values.values()]
            if any(low in t.lower() for t in texts):
                found.append(original)
        return found


_NAME = re.compile(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', re.S)


def _unescape(quoted: str) -> str:
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "r": "\r", "0": "\0"}.get(m[1], m[1]),
                  quoted[1:-1])


def _data(text: str):
    if text.startswith('"'):
        return _unescape(text)
    if text.startswith("dword:"):
        return int(text[6:], 16)
    kind, _, body = text.partition(":")
    raw = bytes(int(b, 16) for b in body.replace("\\", "").replace(" ", "").split(",") if b)
    if kind == "hex(2)":
        return raw.decode("utf-16-le").rstrip("\0")
    if kind == "hex(7)":
        return [s for s in raw.decode("utf-16-le").split("\0") if s]
    return raw


def parse_reg(text: str) -> dict[str, dict[str, object]]:
    keys: dict[str, dict[str, object]] = {}
    current = None
    # Binary data continues on the next line after a trailing backslash.
    lines = re.sub(r"\\\r?\n\s*", "", text).splitlines()
    for line in lines:
        line = line.rstrip("\r")
        if line.startswith("[") and line.endswith("]"):
            current = keys.setdefault(line[1:-1], {})
        elif current is not None and (m := _NAME.match(line)):
            name = "" if m[1] == "@" else _unescape(m[1])
            current[name] = _data(m[2])
    return keys


def windows_env(w: winekit.WineSession, name: str) -> str:
    return w.run(["cmd", "/c", f"echo %{name}%"], check=True).stdout.strip()


def user_install_dir(w: winekit.WineSession) -> str:
    return windows_env(w, "LOCALAPPDATA") + "\\Programs\\" + PRODUCT


# In the environment of the setup or the uninstaller: behave as for a standard user (Wine gives
# every user administrator rights).
STANDARD_USER = {"KESTOVA_SETUP_STANDARD_USER": "1"}


def run_setup(w: winekit.WineSession, *args: str, timeout: float = 120,
              extra_env: dict | None = None):
    """Runs the setup silently to its end (its exit code in .returncode)."""
    return w.run([w.exe(SETUP_EXE), "/S", *args], timeout=timeout, extra_env=extra_env)


def uninstall(w: winekit.WineSession, root: str, *args: str, timeout: float = 60,
              extra_env: dict | None = None):
    """Runs the QuietUninstallString of the entry under root, as Apps & Features does, plus args;
    waits until the entry is gone (the uninstaller's last step). Returns the entry it used."""
    entry = RegistryTree.export(w, rf"{root}\{UNINSTALL_KEY}").values(rf"{root}\{UNINSTALL_KEY}")
    if not entry:
        raise AssertionError(f"no uninstall entry under {root}")
    command = entry["QuietUninstallString"]
    m = re.fullmatch(r'"([^"]+)"\s*(.*)', command)
    if not m:
        raise AssertionError(f"QuietUninstallString not a quoted program: {command!r}")
    # The uninstaller copies itself away and starts the copy: its own exit says nothing.
    w.run([m[1], *m[2].split(), *args], timeout=timeout, extra_env=extra_env)
    gone = w.wait_for(lambda: not key_exists(w, rf"{root}\{UNINSTALL_KEY}"), timeout, 0.5)
    if not gone:
        raise AssertionError("the uninstaller did not finish")
    return entry


def key_exists(w: winekit.WineSession, key: str) -> bool:
    return w.run(["reg", "query", key]).returncode == 0


def unix_path(w: winekit.WineSession, windows_path: str) -> Path:
    return standin.unix_path(w, windows_path)


def files_under(folder: Path) -> list[str]:
    """Relative paths of every file and folder below folder, '/'-separated, sorted."""
    if not folder.exists():
        return []
    return sorted(str(p.relative_to(folder)) for p in folder.rglob("*"))


def short_path(w: winekit.WineSession, windows_path: str) -> str:
    """The 8.3 name of an existing path, as Windows reports it (through a batch file: quotes on
    a command line do not survive the trip through Wine's argument quoting)."""
    script = w.prefix / "drive_c" / "installer-short-path.bat"
    script.write_text(f'@for %%I in ("{windows_path}") do @echo %%~sI\r\n')
    try:
        return w.run(["cmd", "/c", r"C:\installer-short-path.bat"], check=True).stdout.strip()
    finally:
        script.unlink()


def build_version() -> str:
    """The project's version, as the top-level CMakeLists.txt states it."""
    text = (winekit.ROOT / "CMakeLists.txt").read_text()
    m = re.search(r"project\(Kestova\s+VERSION\s+([0-9.]+)", text)
    if not m:
        raise AssertionError("no project version in CMakeLists.txt")
    return m[1]


def reg_import_value(key: str, name: str, value) -> str:
    """One value as .reg text for WineSession.import_reg."""
    return f"[{key}]\r\n{standin._reg_value(name, value)}\r\n\r\n"


def x_window(w: winekit.WineSession, title: str) -> str | None:
    """The X window of a shown Wine window with this title (NSIS's uninstaller adds a blank)."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                            f"^{re.escape(title)} ?$"], env=w.env, capture_output=True, text=True,
                           timeout=20, check=False).stdout.split()
    return found[0] if found else None
