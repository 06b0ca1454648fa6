"""Helpers for the installer's Wine scenarios: run the setup and the uninstaller silently, read the
prefix's registry keys a test looks at, list installed files.

    with winekit.WineSession("name") as w:
        installer_kit.run_setup(w, "/SETSCREENSAVER=1")
        hkcu = installer_kit.RegistryTree.read(w, r"HKEY_CURRENT_USER\\Software\\Kestova")
        installer_kit.uninstall(w, installer_kit.HKCU)
"""

from __future__ import annotations

import re
import subprocess
from pathlib import Path

import standin
import winekit

SETUP_EXE = "KestovaSetup.exe"
REGISTRY_EXE = "StandinRegistry.exe"
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
    """Registry keys as reg.exe lists them: {key path: {value name: data}}, looked up without
    regard to case (as Windows does). The default value's name is ""; REG_SZ and REG_EXPAND_SZ
    data is str, REG_DWORD and REG_QWORD int, REG_MULTI_SZ list, anything else bytes."""

    def __init__(self, keys: dict[str, dict[str, object]]):
        self._keys = {k.lower(): (k, v) for k, v in keys.items()}

    @classmethod
    def read(cls, w: winekit.WineSession, *keys: str, subkeys: bool = True) -> "RegistryTree":
        """The keys (with everything below them unless subkeys is False) that exist, read in one
        process: only what a test looks at (exporting whole hives with regedit takes many
        seconds each, and so does one reg.exe per key)."""
        args = [] if subkeys else ["/values"]
        out = w.run([w.exe(REGISTRY_EXE), *args, *keys], timeout=60, check=True).stdout
        return cls(parse_query(out))

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


_VALUE = re.compile(r"^    (.*?)    (REG_[A-Z_]+)(?:    (.*))?$")


def _query_data(kind: str, text: str):
    if kind in ("REG_DWORD", "REG_QWORD"):
        return int(text, 16)
    if kind == "REG_MULTI_SZ":
        return [s for s in text.split("\\0") if s]
    if kind in ("REG_SZ", "REG_EXPAND_SZ"):
        return text
    return bytes.fromhex(text)


def parse_query(text: str) -> dict[str, dict[str, object]]:
    """StandinRegistry.exe's output, laid out as reg.exe query's: a key's full name on a line of
    its own, its values indented below it ("(Default)" for the default value)."""
    keys: dict[str, dict[str, object]] = {}
    current = None
    for line in text.splitlines():
        line = line.rstrip("\r")
        if line.startswith("HKEY_"):
            current = keys.setdefault(line.strip(), {})
        elif current is not None and (m := _VALUE.match(line)):
            current["" if m[1] == "(Default)" else m[1]] = _query_data(m[2], m[3] or "")
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
    entry = RegistryTree.read(w, rf"{root}\{UNINSTALL_KEY}").values(rf"{root}\{UNINSTALL_KEY}")
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
