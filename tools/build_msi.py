"""Builds KestovaSetup.msi from installer/KestovaSetup.wxs with wixl, then adds what this wixl
cannot write: the condition of the every-user screen saver feature and the public property
that the package's elevated part accepts.

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

# Applied to the built package's tables. A feature's condition, not a component's: Wine's msiexec
# leaves a component whose condition no longer holds in place when the product is removed.
QUERIES = [
    "CREATE TABLE `Condition` (`Feature_` CHAR(38) NOT NULL, `Level` SHORT NOT NULL, "
    "`Condition` CHAR(255) PRIMARY KEY `Feature_`, `Level`)",
    "INSERT INTO `Condition` (`Feature_`, `Level`, `Condition`) "
    "VALUES ('ScreenSaverForEveryone', 1, 'SETSCREENSAVER = \"1\"')",
    "UPDATE `Property` SET `Value` = 'WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED;SETSCREENSAVER' "
    "WHERE `Property` = 'SecureCustomProperties'",
]


def build(version: str, bin64: Path, bin32: Path, out: Path) -> Path:
    out.parent.mkdir(parents=True, exist_ok=True)
    out.unlink(missing_ok=True)
    # wixl takes a file's source relative to the .wxs file's folder.
    rel = lambda p: os.path.relpath(Path(p).resolve(), SOURCE.parent)  # noqa: E731
    subprocess.run(["wixl", "-a", "x64", "-D", f"Version={version}", "-D", f"Bin64={rel(bin64)}",
                    "-D", f"Bin32={rel(bin32)}", "-o", str(out), str(SOURCE)], check=True)
    if not out.exists():  # this wixl reports some failures only by writing nothing
        raise RuntimeError(f"wixl wrote no {out}")
    for query in QUERIES:
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
