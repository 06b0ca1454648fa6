"""Runs the cross-compiled GoogleTest suites through ctest under Wine, in a private session."""

import subprocess
import sys

import winekit


def main() -> int:
    with winekit.WineSession("ctest", monitors=1) as session:
        env_file = winekit.WINE_DIR / "ctest.env"
        env_file.write_text(f"WINEPREFIX='{session.prefix}'\nDISPLAY='{session.env['DISPLAY']}'\n")
        try:
            result = subprocess.run(
                ["ctest", "--test-dir", str(winekit.BUILD / "windows"), "--output-on-failure",
                 "--timeout", "180", *sys.argv[1:]], env=session.env, check=False)
        finally:
            env_file.unlink(missing_ok=True)
        return result.returncode


if __name__ == "__main__":
    sys.exit(main())
