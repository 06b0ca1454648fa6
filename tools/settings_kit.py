"""Writes Corvane's stored settings into a test prefix, exactly as the settings dialog saves them."""

import winekit

SETTINGS_KEY = r"HKEY_CURRENT_USER\Software\Kestova\Kestova Screen Saver"


def write_settings(w: winekit.WineSession, entries, keyboard=False, mouse=False):
    """The flags, Count, and one key per entry ("0", "1", ...) with MonitorNum and PresName;
    entries are (PresName, MonitorNum), entry i for monitor i + 1. Whatever was stored before is
    removed first."""
    lines = [f"[-{SETTINGS_KEY}]", "", f"[{SETTINGS_KEY}]",
             f'"EnableKeyboard"=dword:{int(keyboard):08x}',
             f'"EnableMouse"=dword:{int(mouse):08x}',
             f'"Count"=dword:{len(entries):08x}', ""]
    for i, (path, monitor) in enumerate(entries):
        lines += [f"[{SETTINGS_KEY}\\{i}]", f'"MonitorNum"=dword:{monitor:08x}',
                  '"PresName"="' + path.replace("\\", "\\\\") + '"', ""]
    w.import_reg("\r\n".join(lines) + "\r\n")
