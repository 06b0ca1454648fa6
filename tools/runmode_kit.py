"""Helpers for Corvane's run-mode scenarios and benchmarks inside a winekit.WineSession:
settings in the registry, starting Corvane.scr, the probe program (injected input, atom and hot
key probes, message box texts), and Corvane's windows.
"""

from __future__ import annotations

import subprocess
import time

import standin
import winekit
from settings_kit import SETTINGS_KEY, write_settings  # noqa: F401 - re-exported

CORVANE = "Corvane.scr"
PROBE = "ScreensaverProbe.exe"
ATOM = "ScreenSaverBreakOut"
CAPTION = "Kestova Screen Saver"
VK_F24 = 0x87

WS_POPUP = 0x80000000
WS_CAPTION = 0x00C00000
WS_EX_TOPMOST = 0x8
WS_EX_TOOLWINDOW = 0x80


def start(w: winekit.WineSession, *args: str) -> subprocess.Popen:
    return w.start_program([w.exe(CORVANE), *(args or ("/s",))])


def probe(w: winekit.WineSession, *commands) -> list[str]:
    result = w.run([w.exe(PROBE), *[str(c) for c in commands]], timeout=60)
    return [line.rstrip("\r") for line in result.stdout.splitlines()]


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


def wait_started(w: winekit.WineSession, proc: subprocess.Popen, timeout: float = 20):
    """Waits for the main window; returns it (None if the program ended or never made one)."""
    return w.wait_for(lambda: proc.poll() is None and main_window(w), timeout=timeout,
                      interval=0.1) or None


def hot_key_taken(w: winekit.WineSession) -> bool:
    return probe(w, "hotkey") == ["hotkey taken"]
