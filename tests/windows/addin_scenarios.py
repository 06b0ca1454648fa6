"""Paxendo in the presentation-host stand-in under Wine: loaded at the host's start with its
version check, driven by name from a client process and from a script, shows laid exactly over
their monitors at 96 and 120 dpi, SlideShowEnd reaching ShouldEndScreenSaver, and every reference
on the host's objects given back."""

import unittest

import standin
import winekit

CAPTION = "Kestova Screen Saver"
PROGID = "Paxendo.PowerPointAddin"
COLORS = [0xB22222, 0x2E8B57, 0x8A2BE2]
SCRIPT = winekit.ROOT / "tests" / "windows" / "addin_session.vbs"


def near(color: int, tolerance: int = 12):
    rgb = ((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF)
    return lambda p: all(abs(a - b) <= tolerance for a, b in zip(p, rgb))


def install(w: winekit.WineSession, **knobs):
    standin.install_standin(w, **knobs)
    w.run(["regsvr32", "/s", w.exe("Paxendo.dll")], check=True)


def client(w: winekit.WineSession, *commands: str) -> dict[str, str]:
    """Runs the add-in client (wintest_addin's AddinClient) with `commands`; their results by
    command."""
    result = w.run([w.exe("wintest_addin.exe"), "--gtest_filter=AddinClient.*"], timeout=120,
                   extra_env={"KESTOVA_ADDIN_CLIENT": "|".join(commands)})
    if result.returncode != 0:
        raise AssertionError(f"client failed:\n{result.stdout}\n{result.stderr}")
    out = {}
    for line in result.stdout.splitlines():
        parts = line.rstrip("\r").split("\t")
        if parts[0] == "addin-client":
            out[parts[1]] = parts[2]
    return out


def script(w: winekit.WineSession, *args: str) -> list[list[str]]:
    result = w.run(["cscript", "//nologo", winekit.winpath(SCRIPT), *args], timeout=120)
    if result.returncode != 0:
        raise AssertionError(f"script failed:\n{result.stdout}\n{result.stderr}")
    return [line.rstrip("\r").split("\t")[1:] for line in result.stdout.splitlines()
            if line.startswith("vbs\t")]


def host_pid(journal: standin.Journal) -> str:
    return [e for e in journal.events("host") if e.fields[0] == "start"][-1].fields[1]


class AddinScenario(unittest.TestCase):

    def check_placed(self, w: winekit.WineSession, journal: standin.Journal,
                     assignments: dict[str, int], colors: dict[str, int]):
        """Each presentation's show covers exactly its monitor: points in the journal, the
        window's rectangle and the screen's pixels."""
        for name, monitor in assignments.items():
            rect = w.monitor_numbered(monitor)
            with self.subTest(name=name, monitor=monitor):
                points, pixels = journal.placements(name)[-1]
                expected = (rect.left * 72 / w.dpi, rect.top * 72 / w.dpi,
                            rect.width * 72 / w.dpi, rect.height * 72 / w.dpi)
                for got, want in zip(points, expected):
                    self.assertAlmostEqual(got, want, places=3)
                self.assertEqual(pixels, rect)
                windows = standin.show_windows(w, name)
                self.assertEqual([win.rect for win in windows], [rect])
        shot = standin.screenshot(w)
        for name, monitor in assignments.items():
            rect = w.monitor_numbered(monitor)
            x, y = w.to_x(rect.left, rect.top)
            with self.subTest(screen=name):
                area = winekit.Rect(x, y, rect.width, rect.height)
                self.assertGreater(shot.share(area, near(colors[name]), step=8), 0.8)

    def quit_with_balanced_references(self, w: winekit.WineSession, journal: standin.Journal):
        self.assertEqual(standin.quit_standin(w), 0)
        self.assertTrue(journal.wait_for_exit())
        refs = journal.refs()
        self.assertIn("Application#1", refs)
        self.assertEqual({k: v for k, v in refs.items() if v}, {})


class LoadingAndVersion(AddinScenario):

    def test_loaded_at_start_and_initialised_from_version_9(self):
        with winekit.WineSession("addin-version", monitors=1) as w:
            install(w, Version="8.0")
            journal = standin.Journal(w)
            w.start_program([w.exe(standin.STANDIN_EXE)])
            # The notice holds up the host's start until the user closes it.
            notice = standin.wait_for_windows(w, CAPTION, class_name="#32770", timeout=20)
            self.assertEqual(len(notice), 1)
            self.assertEqual(notice[0].title, CAPTION)
            self.assertFalse(journal.events("host")[-1].fields[0] == "ready")
            dismissed = client(w, "dismiss")
            self.assertEqual(dismissed["dismiss"],
                             "Kestova Screen Saver requires Microsoft PowerPoint 2000 or later.")
            self.assertTrue(journal.wait_for(
                lambda j: [e for e in j.events("host") if e.fields[0] == "ready"], 20))
            self.assertEqual(journal.addin_events(PROGID),
                             [(PROGID, "create", "0x00000000"), (PROGID, "OnConnection", "0x00000000"),
                              (PROGID, "OnStartupComplete", "0x00000000")])
            self.assertEqual(client(w, "initialized")["initialized"], "bool:0")
            self.assertEqual(standin.quit_standin(w), 0)

            for version in ("9.0", "12.0", "16.0"):
                with self.subTest(version=version):
                    standin.set_knobs(w, "Standin", Version=version)
                    standin.start_standin(w)
                    self.assertEqual(standin.find_windows(w, CAPTION, class_name="#32770"), [])
                    result = client(w, "initialized", "pptapp")
                    self.assertEqual(result["initialized"], "bool:-1")
                    self.assertEqual(result["pptapp"], "dispatch:host")
                    if version == "16.0":
                        # One monitor: a single show covers it.
                        _, path = standin.write_presentation(w, "Only.pptx", color=COLORS[0])
                        client(w, "init 1", f"add 1 {path} 1", "prepare", "begin")
                        self.check_placed(w, journal, {"Only.pptx": 1}, {"Only.pptx": COLORS[0]})
                        client(w, "end", "exit")
                        self.quit_with_balanced_references(w, journal)
                    else:
                        self.assertEqual(standin.quit_standin(w), 0)


class Session(AddinScenario):

    def test_client_and_script_drive_a_session_by_name(self):
        with winekit.WineSession("addin-session", monitors=2, dpi=120) as w:
            install(w)
            standin.start_standin(w)
            journal = standin.Journal(w)
            paths, colors = {}, {}
            for name, color in zip(("First.pptx", "Second.pptx", "Third.pptx"), COLORS):
                paths[name] = standin.write_presentation(w, name, color=color)[1]
                colors[name] = color

            result = client(w, "pid", "initialized", "init 3",
                            f"add 1 {paths['First.pptx']} 2", f"add 2 {paths['Second.pptx']} 1",
                            f"add 3 {paths['Third.pptx']} 3", "prepare", "begin", "shouldend")
            self.assertEqual(result["pid"], host_pid(journal))
            self.assertEqual(result["initialized"], "bool:-1")
            self.assertEqual(result["prepare"], "bstr:")
            self.assertEqual(result["shouldend"], "bool:0")
            # Opened for editing, under their own names, without windows.
            opens = journal.calls("Presentations.Open")
            self.assertEqual(len(opens), 3)
            for call in opens:
                self.assertEqual([(a.vt, a.value) for a in call.args[1:]],
                                 [("VT_I4", "0")] * 3)
            # Monitor 3 does not exist: that entry gets no show.
            self.assertEqual(journal.calls("SlideShowSettings.Run").__len__(), 2)
            self.check_placed(w, journal, {"First.pptx": 2, "Second.pptx": 1}, colors)

            # The user ends a show (Esc reaches the one started last): the run must end.
            w.xdotool("key", "Escape")
            self.assertTrue(journal.wait_for(
                lambda j: [s for s in j.shows() if s[1] == "end" and s[2] == "escape"], 10))
            self.assertEqual(client(w, "shouldend")["shouldend"], "bool:-1")
            result = client(w, "end", "exit", "shouldend")
            self.assertEqual(result["shouldend"], "bool:-1")  # stays until the next begin
            self.assertEqual(standin.show_windows(w), [])

            # A script's variables arrive as variants by reference. The presentations are still
            # open: found by their full names, not opened again.
            lines = script(w, "start", paths["Second.pptx"], "2", paths["First.pptx"], "1")
            self.assertIn(["GetProcessId", "Long", host_pid(journal)], lines)
            self.assertIn(["IsCOMAddInInitialized", "Boolean", "True"], lines)
            self.assertIn(["PrepareScreenSaver", "String", ""], lines)
            self.assertIn(["ShouldEndScreenSaver", "Boolean", "False"], lines)
            self.assertEqual(len(journal.calls("Presentations.Open")), 3)
            self.check_placed(w, journal, {"Second.pptx": 2, "First.pptx": 1}, colors)
            lines = script(w, "finish")
            self.assertIn(["ExitScreenSaverSession", "String", "done"], lines)
            self.assertEqual(standin.show_windows(w), [])
            self.assertEqual(len(journal.calls("SlideShowView.Exit")), 3)

            self.quit_with_balanced_references(w, journal)


class Placement(AddinScenario):

    def place_on_three_monitors(self, name: str, dpi: int):
        with winekit.WineSession(name, monitors=3, dpi=dpi) as w:
            install(w)
            standin.start_standin(w)
            journal = standin.Journal(w)
            assignments = {"Left.pptx": 2, "Primary.pptx": 1, "Right.pptx": 3}
            commands, colors = [f"init {len(assignments)}"], {}
            for index, ((name_, monitor), color) in enumerate(zip(assignments.items(), COLORS), 1):
                path = standin.write_presentation(w, name_, color=color)[1]
                commands.append(f"add {index} {path} {monitor}")
                colors[name_] = color
            client(w, *commands, "prepare", "begin")
            self.check_placed(w, journal, assignments, colors)
            # Monitor 2 lies left of the primary.
            self.assertLess(journal.placements("Left.pptx")[-1][0][0], 0)
            client(w, "end", "exit")
            self.assertEqual(standin.show_windows(w), [])
            self.quit_with_balanced_references(w, journal)

    def test_three_monitors_at_96_dpi(self):
        self.place_on_three_monitors("addin-place-3-96", 96)

    def test_three_monitors_at_120_dpi(self):
        self.place_on_three_monitors("addin-place-3-120", 120)


if __name__ == "__main__":
    unittest.main()
