"""Builds KestovaSetup.msi from installer/KestovaSetup.wxs with wixl, then adds what this wixl
cannot write: the condition of the every-user screen saver feature, the public properties that
the package's elevated part accepts, the same version as an upgrade, the remembered folder, the
screen saver feature on an installed product, and the per-user clean-up that outlives removal.

    build_msi.py --version 1.1.0 --bin64 build/windows/bin --bin32 build/windows32/bin \
                 --out build/windows/bin/KestovaSetup.msi
"""

from __future__ import annotations

import argparse
import os
import subprocess
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SOURCE = ROOT / "installer" / "KestovaSetup.wxs"
ICON = ROOT / "screensaver" / "win" / "corvane.ico"

UPGRADE_CODE = "{0862069C-6840-4E85-9D21-2B137958A1CF}"
FOLLOW_SETUP = (r"Software\Microsoft\Active Setup\Installed Components"
                r"\{5C0E0A51-7E0B-4D43-9F0B-6E2C8B7B3A10}")
# Component attributes: 64-bit (256), key path in the registry (4), never removed (16).
PERMANENT_64_REGISTRY = 256 | 4 | 16
# Upgrade attributes: migrate feature states (1), the maximum version included (512).
UPGRADE_SAME_VERSION = 1 | 512
# Custom action types.
SET_PROPERTY = 51
# The event log's source key, whose message files the log reads as REG_EXPAND_SZ.
EVENT_SOURCE = r"SYSTEM\CurrentControlSet\Services\EventLog\Application\Kestova Screen Saver"
# A program in a folder (34), deferred (1024), as the system (2048), its exit code ignored (64).
DEFERRED_PROGRAM = 34 | 1024 | 2048 | 64


def setup_version(version: str) -> str:
    """Active Setup compares up to four comma-separated numbers; the last one is the build's."""
    parts = (version.split(".") + ["0", "0", "0"])[:3]
    return ",".join(str(int(p)) for p in parts)


def _sequence(action: str, condition: str, number: int, tables=("InstallExecuteSequence",
                                                                 "InstallUISequence")):
    condition = condition.replace("'", "''")
    return [f"INSERT INTO `{t}` (`Action`, `Condition`, `Sequence`) "
            f"VALUES ('{action}', '{condition}', {number})" for t in tables]


def queries(version: str) -> list[str]:
    """Applied to the built package's tables."""
    removed_version = setup_version(version) + ",1"
    raise_version = (f'"[System64Folder]reg.exe" add "HKLM\\{FOLLOW_SETUP}" /v Version '
                     f'/t REG_SZ /d {removed_version} /f')
    return [
        # A feature's condition, not a component's: Wine's msiexec leaves a component whose
        # condition no longer holds in place when the product is removed.
        "CREATE TABLE `Condition` (`Feature_` CHAR(38) NOT NULL, `Level` SHORT NOT NULL, "
        "`Condition` CHAR(255) PRIMARY KEY `Feature_`, `Level`)",
        "INSERT INTO `Condition` (`Feature_`, `Level`, `Condition`) "
        "VALUES ('ScreenSaverForEveryone', 1, "
        "'SETSCREENSAVER = \"1\" OR (KEPTSCREENSAVER AND SETSCREENSAVER <> \"0\")')",
        "UPDATE `Property` SET `Value` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;"
        "SETSCREENSAVER;INSTALLDIR;KESTOVADIR;KEPTSCREENSAVER;SETUPFORALL;SETUPFORME' "
        "WHERE `Property` = 'SecureCustomProperties'",
        # The same version replaces the installed one too (two builds of one version would
        # otherwise share components under two entries).
        "DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'",
        "INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) "
        f"VALUES ('{UPGRADE_CODE}', '{version}', {UPGRADE_SAME_VERSION}, 'WIX_UPGRADE_DETECTED')",
        # The installed version's folder, unless the command line names one.
        "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
        f"VALUES ('KeepFolder', {SET_PROPERTY}, 'INSTALLDIR', '[KESTOVADIR]')",
        *_sequence("KeepFolder", "KESTOVADIR AND NOT INSTALLDIR", 60),
        # Maintenance keeps feature states: SETSCREENSAVER=1 on the installed product adds the
        # feature (feature requests are read when costing ends).
        "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
        f"VALUES ('AddScreenSaver', {SET_PROPERTY}, 'ADDLOCAL', 'ScreenSaverForEveryone')",
        *_sequence("AddScreenSaver",
                   'Installed AND SETSCREENSAVER = "1" AND NOT ADDLOCAL AND NOT REMOVE', 990),
        # Written as REG_EXPAND_SZ ("#%"), as the event log expects its message files.
        "UPDATE `Registry` SET `Value` = '#%[#Corvane.scr]' "
        f"WHERE `Key` = '{EVENT_SOURCE}' AND `Value` = '[#Corvane.scr]'",
        # The clean-up at each user's logon stays after removal, with a higher version so that
        # every user runs it once more.
        f"UPDATE `Component` SET `Attributes` = {PERMANENT_64_REGISTRY} "
        "WHERE `Component` = 'ScreenSaverFollows'",
        "INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) "
        "VALUES ('System64Folder', 'TARGETDIR', '.')",
        "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) "
        f"VALUES ('ScreenSaverFollowsRemoval', {DEFERRED_PROGRAM}, 'System64Folder', "
        f"'{raise_version}')",
        *_sequence("ScreenSaverFollowsRemoval", 'REMOVE = "ALL" AND NOT UPGRADINGPRODUCTCODE',
                   6500, tables=("InstallExecuteSequence",)),
    ]


def build(version: str, bin64: Path, bin32: Path, out: Path) -> Path:
    out.parent.mkdir(parents=True, exist_ok=True)
    out.unlink(missing_ok=True)
    # wixl takes a file's source relative to the .wxs file's folder.
    rel = lambda p: os.path.relpath(Path(p).resolve(), SOURCE.parent)  # noqa: E731
    subprocess.run(["wixl", "-a", "x64", "-D", f"Version={version}", "-D", f"Bin64={rel(bin64)}",
                    "-D", f"Bin32={rel(bin32)}", "-D", f"Icon={rel(ICON)}",
                    "-D", f"SetupVersion={setup_version(version)}", "-o", str(out), str(SOURCE)],
                   check=True)
    if not out.exists():  # this wixl reports some failures only by writing nothing
        raise RuntimeError(f"wixl wrote no {out}")
    for query in queries(version):
        subprocess.run(["msibuild", str(out), "-q", query], check=True)
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--version", required=True)
    parser.add_argument("--bin64", required=True, type=Path)
    parser.add_argument("--bin32", required=True, type=Path)
    parser.add_argument("--out", required=True, type=Path)
    args = parser.parse_args()
    build(args.version, args.bin64, args.bin32, args.out)


if __name__ == "__main__":
    main()
