"""The settings dialog under Wine: the in-process dialog suites on four monitors and at 120 dpi,
and Corvane.scr's configure mode driven from outside with the X keyboard and mouse, as a user
would, with the about box showing the program's own icon and the README's screenshot taken.
"""

import os
import re
import shutil
import struct
import subprocess
import unittest
from pathlib import Path

import runmode_kit as rk
import winekit

SETTINGS_TITLE = "Kestova Screen Saver Settings"
PRODUCT_KEY = r"HKEY_CURRENT_USER\Software\Kestova\Kestova Screen Saver"
# Four heads side by side, of three sizes; the first is the primary.
FOUR_HEADS = [winekit.Rect(0, 0, 1024, 768), winekit.Rect(1024, 0, 1280, 1024),
              winekit.Rect(2304, 0, 800, 600), winekit.Rect(3104, 0, 1024, 768)]
# The dialog's design (96 dpi): it grows with the font Wine gives, so the places clicked are
# taken from the corners they keep to: the mouse box from the bottom left, OK from the bottom
# right (left, top relative to that corner; width, height).
DESIGN_CLIENT = (553, 425)
MOUSE_BOX = (296, 344 - 425, 233, 17)
OK_BUTTON = (392 - 553, 392 - 425, 73, 25)
# Wine's dialog frame on each side but the caption's (the about box: 346 pixels of client area
# in a 352-pixel frame); a pixel or two off still lands inside the controls clicked.
FRAME = 3
ABOUT_TITLE = "About Kestova Screen Saver"
ABOUT_CLIENT = (346, 217)
ABOUT_ICON = (32, 32)
SCREENSHOT = winekit.ROOT / "docs" / "settings-dialog.png"


def run_dialog_suites(w: winekit.WineSession, gtest_filter: str, monitors: int, dpi: int) -> str:
    result = w.run([w.exe("wintest_settings.exe"), f"--gtest_filter={gtest_filter}"], timeout=300,
                   extra_env={"KESTOVA_EXPECT_MONITORS": str(monitors),
                              "KESTOVA_EXPECT_DPI": str(dpi)})
    if result.returncode != 0:
        raise AssertionError(f"dialog suites failed ({result.returncode}):\n{result.stdout}\n"
                             f"{result.stderr}")
    return result.stdout


def x_window(w: winekit.WineSession, title: str) -> str | None:
    """The X window of a shown Wine window with this title (a window is created hidden first)."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                            f"^{re.escape(title)}$"], env=w.env,
                           capture_output=True, text=True, timeout=20, check=False).stdout.split()
    return found[0] if found else None


def geometry(w: winekit.WineSession, window: str) -> winekit.Rect:
    out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], env=w.env,
                         capture_output=True, text=True, timeout=20, check=True).stdout
    values = dict(line.split("=", 1) for line in out.split())
    return winekit.Rect(int(values["X"]), int(values["Y"]), int(values["WIDTH"]),
                        int(values["HEIGHT"]))


def client_origin(frame: winekit.Rect, client: tuple[int, int]) -> tuple[int, int]:
    """X position of the client area: the same border on the left, right and bottom, the
    caption on top."""
    border = (frame.width - client[0]) // 2
    return frame.left + border, frame.bottom - border - client[1]


def client_corners(frame: winekit.Rect) -> tuple[tuple[int, int], tuple[int, int]]:
    """Bottom-left and bottom-right corners of the client area, in X coordinates."""
    return ((frame.left + FRAME, frame.bottom - FRAME),
            (frame.right - FRAME, frame.bottom - FRAME))


def click(w: winekit.WineSession, origin, place):
    x, y = origin[0] + place[0] + place[2] // 2, origin[1] + place[1] + place[3] // 2
    w.xdotool("mousemove", str(x), str(y))
    w.xdotool("click", "1")


def reg_values(w: winekit.WineSession, key: str) -> dict[str, str]:
    """The values directly under `key` as reg.exe prints them (empty when the key is missing)."""
    out = w.run(["reg", "query", key]).stdout
    values = {}
    for line in out.splitlines():
        parts = re.split(r"\s{4}", line.strip())
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            values[parts[0]] = parts[2] if len(parts) > 2 else ""
    return values


def write_shows(w: winekit.WineSession, *names: str) -> list[str]:
    folder = w.prefix / "drive_c" / "Shows"
    folder.mkdir(parents=True, exist_ok=True)
    for name in names:
        (folder / name).write_bytes(b"slides")
    return [rf"C:\Shows\{name}" for name in names]


def screenshot(w: winekit.WineSession, path: Path) -> winekit.Image:
    """The screen, saved as PNG and read back with 8 bits per channel (the X server's own dump
    can come with 16, which winekit.Image does not read)."""
    w.screenshot(path)
    raw = subprocess.run(["convert", str(path), "-depth", "8", "ppm:-"], stdout=subprocess.PIPE,
                         check=True, timeout=60).stdout
    return winekit.Image.from_ppm(raw)


def capture(w: winekit.WineSession, window: str, name: str) -> Path:
    """The window as it is on the screen, saved under build/screenshots."""
    frame = geometry(w, window)
    shot = winekit.BUILD / "screenshots" / name
    full = shot.with_name("screen-" + name)
    screenshot(w, full)
    subprocess.run(["convert", str(full), "-crop",
                    f"{frame.width}x{frame.height}+{frame.left}+{frame.top}", "+repage", "-strip",
                    str(shot)], check=True, timeout=60)
    return shot


def icon_pixels(path: Path) -> dict[tuple[int, int], tuple[int, int, int]]:
    """Opaque pixels of a 32x32 4-bit icon (the program's .ico), keyed by (x, y) from the top."""
    data = path.read_bytes()
    offset = struct.unpack_from("<I", data, 6 + 12)[0]
    header_size, width, height2, _, bits = struct.unpack_from("<IiiHH", data, offset)
    assert (width, height2, bits) == (32, 64, 4), "not a 32x32 16-colour icon"
    palette_at = offset + header_size
    palette = [struct.unpack_from("<BBBB", data, palette_at + 4 * i)[2::-1] for i in range(16)]
    xor_at = palette_at + 64
    mask_at = xor_at + 32 * 16
    pixels = {}
    for row in range(32):
        y = 31 - row
        for x in range(32):
            byte = data[xor_at + row * 16 + x // 2]
            index = byte >> 4 if x % 2 == 0 else byte & 15
            masked = data[mask_at + row * 4 + x // 8] >> (7 - x % 8) & 1
            if not masked:
                pixels[(x, y)] = tuple(palette[index])
    return pixels


class SettingsDialogScenarios(unittest.TestCase):

    def test_dialog_suites_on_four_monitors(self):
        with winekit.WineSession("settings-dialog-four", monitors=FOUR_HEADS) as w:
            out = run_dialog_suites(w, "ConfigureDialog.*:AboutBox.*:EachKind/UnreadableValue.*",
                                   monitors=4, dpi=96)
            # The cases that need several monitors ran rather than skipped.
            self.assertIn("[       OK ] ConfigureDialog.FourthRowLiesBelowTheVisibleAreaAndScrolls"
                          "IntoView", out)
            self.assertIn("[       OK ] ConfigureDialog.BadRowsColourOnlyTheirLabelAndDisableOK",
                          out)

    def test_dialog_layout_at_120_dpi(self):
        with winekit.WineSession("settings-dialog-120dpi", monitors=FOUR_HEADS, dpi=120) as w:
            out = run_dialog_suites(
                w, "ConfigureDialog.ControlsSit*:ConfigureDialog.EveryText*:ConfigureDialog.FourthRow*:"
                   "ConfigureDialog.Tab*:ConfigureDialog.BadRows*:AboutBox.Layout*", monitors=4,
                dpi=120)
            self.assertIn("[       OK ] ConfigureDialog.ControlsSitAtLeastAtTheDesignScaledToThe"
                          "WindowsDpi", out)
            self.assertIn("[       OK ] ConfigureDialog.EveryTextIsShownWholeAndApartAtThisDpiAnd"
                          "Another", out)
            self.assertIn("[       OK ] AboutBox.LayoutAtTheWindowsDpiCentredWithEveryTextWhole", out)
            # Pictures of both dialogs as Corvane shows them at 120 dpi, for the test output.
            proc = w.start_program([w.exe("Corvane.scr")])
            window = w.wait_until(lambda: x_window(w, SETTINGS_TITLE), 30, "the settings dialog")
            rk.wait_keyboard(w, SETTINGS_TITLE)
            capture(w, window, "settings-dialog-120dpi.png")
            w.xdotool("key", "alt+a")
            about = w.wait_until(lambda: x_window(w, ABOUT_TITLE), 30, "the about box")
            rk.wait_keyboard(w, ABOUT_TITLE)
            capture(w, about, "about-box-120dpi.png")
            w.xdotool("key", "Escape")
            w.wait_until(lambda: x_window(w, ABOUT_TITLE) is None, 30, "the about box to close")
            rk.wait_keyboard(w, SETTINGS_TITLE)
            w.xdotool("key", "Escape")
            self.assertEqual(proc.wait(30), 0)

    def test_corvane_configure_mode_saves_what_the_user_typed_and_clicked(self):
        with winekit.WineSession("settings-dialog-corvane", monitors=2) as w:
            first, second = write_shows(w, "Quarterly results.pptx", "Welcome.ppsx")
            proc = w.start_program([w.exe("Corvane.scr")])
            window = w.wait_until(lambda: x_window(w, SETTINGS_TITLE), 30, "the settings dialog")
            rk.wait_keyboard(w, SETTINGS_TITLE)
            frame = geometry(w, window)
            bottom_left, bottom_right = client_corners(frame)
            self.assertGreaterEqual(frame.width, DESIGN_CLIENT[0] + 2 * FRAME)
            # Centred on the primary monitor (the first head).
            primary = w.monitor_numbered(1)
            self.assertLessEqual(abs(frame.left + frame.width // 2 - primary.width // 2), 2)
            self.assertLessEqual(abs(frame.top + frame.height // 2 - primary.height // 2), 2)

            # The first row has the focus: type its path, Tab over Browse to the second row.
            w.xdotool("type", "--delay", "20", "  " + first + " ")
            w.xdotool("key", "Tab", "Tab")
            w.xdotool("type", "--delay", "20", second)
            click(w, bottom_left, MOUSE_BOX)
            rk.wait_keyboard(w, SETTINGS_TITLE, "mouse interaction")
            click(w, bottom_right, OK_BUTTON)
            self.assertEqual(proc.wait(30), 0)
            self.assertEqual(reg_values(w, PRODUCT_KEY),
                             {"Count": "0x2", "EnableKeyboard": "0x0", "EnableMouse": "0x1"})
            self.assertEqual(reg_values(w, PRODUCT_KEY + r"\0"),
                             {"MonitorNum": "0x1", "PresName": first})
            self.assertEqual(reg_values(w, PRODUCT_KEY + r"\1"),
                             {"MonitorNum": "0x2", "PresName": second})

            # /c: with a window handle opens the same dialog; Esc leaves the settings alone.
            proc = w.start_program([w.exe("Corvane.scr"), "/c:12345"])
            w.wait_until(lambda: x_window(w, SETTINGS_TITLE), 30, "the settings dialog")
            rk.wait_keyboard(w, SETTINGS_TITLE)
            w.xdotool("key", "ctrl+a", "BackSpace", "Escape")
            proc.wait(30)
            self.assertEqual(reg_values(w, PRODUCT_KEY + r"\0")["PresName"], first)

    def test_about_box_shows_the_program_icon_and_readme_screenshot(self):
        with winekit.WineSession("settings-dialog-about", monitors=2) as w:
            first, = write_shows(w, "Quarterly results.pptx")
            w.import_reg(
                "[HKEY_CURRENT_USER\\Software\\Kestova\\Kestova Screen Saver]\r\n"
                "\"EnableKeyboard\"=dword:00000001\r\n\"EnableMouse\"=dword:00000000\r\n"
                "\"Count\"=dword:00000001\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\Kestova\\Kestova Screen Saver\\0]\r\n"
                "\"MonitorNum\"=dword:00000001\r\n"
                f"\"PresName\"=\"{first.replace(chr(92), chr(92) * 2)}\"\r\n\r\n")
            proc = w.start_program([w.exe("Corvane.scr")])
            window = w.wait_until(lambda: x_window(w, SETTINGS_TITLE), 30, "the settings dialog")
            rk.wait_keyboard(w, SETTINGS_TITLE)
            shot = capture(w, window, "settings-dialog.png")
            if os.environ.get("KESTOVA_UPDATE_SCREENSHOTS"):
                SCREENSHOT.parent.mkdir(parents=True, exist_ok=True)
                shutil.copyfile(shot, SCREENSHOT)

            # Alt+A: the About button's mnemonic.
            w.xdotool("key", "alt+a")
            about = w.wait_until(lambda: x_window(w, ABOUT_TITLE), 30, "the about box")
            rk.wait_keyboard(w, ABOUT_TITLE)
            box = geometry(w, about)
            ox, oy = client_origin(box, ABOUT_CLIENT)
            icon = icon_pixels(winekit.ROOT / "screensaver" / "win" / "corvane.ico")

            def icon_shown():
                image = screenshot(w, winekit.BUILD / "screenshots" / "about-box-screen.png")
                same = sum(1 for (x, y), rgb in icon.items()
                           if all(abs(a - b) < 24 for a, b in
                                  zip(image.pixel(ox + ABOUT_ICON[0] + x, oy + ABOUT_ICON[1] + y),
                                      rgb)))
                return same / len(icon) > 0.9
            w.wait_until(icon_shown, 30, "the about box to show the program icon", interval=0.3)
            capture(w, about, "about-box.png")

            w.xdotool("key", "Escape")
            w.wait_until(lambda: x_window(w, ABOUT_TITLE) is None, 30, "the about box to close")
            # Back in the settings dialog, Esc is Cancel and ends the program.
            rk.wait_keyboard(w, SETTINGS_TITLE)
            w.xdotool("key", "Escape")
            self.assertEqual(proc.wait(30), 0)


if __name__ == "__main__":
    unittest.main()
