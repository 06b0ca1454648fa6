"""The stand-in under Wine with several monitors and DPIs: shows placed in points land on the
chosen monitor's pixels, the journal records points and pixels, Esc ends a show, and a host told
to die on a member dies abruptly."""

import unittest

import standin
import winekit

COLORS = [0xB22222, 0x2E8B57, 0x8A2BE2]


def near(color: int, tolerance: int = 12):
    rgb = ((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF)
    return lambda p: all(abs(a - b) <= tolerance for a, b in zip(p, rgb))


class ShowPlacement(unittest.TestCase):

    def place_and_check(self, w: winekit.WineSession, assignments: dict[str, int]):
        """Places one show per presentation name on the given monitor number and checks where
        it landed: journal points and pixels, window rectangle, and the screen's pixels."""
        standin.install_standin(w)
        standin.start_standin(w)
        args, colors = [], {}
        for (name, monitor), color in zip(assignments.items(), COLORS):
            _, win_path = standin.write_presentation(w, name, color=color)
            args += [win_path, str(monitor)]
            colors[name] = color
        result = w.run([w.exe("StandinClient.exe"), "place", *args], timeout=60)
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

        journal = standin.Journal(w)
        dpi = w.dpi
        for name, monitor in assignments.items():
            rect = w.monitor_numbered(monitor)
            with self.subTest(name=name, monitor=monitor):
                points, pixels = journal.placements(name)[-1]
                expected = (rect.left * 72 / dpi, rect.top * 72 / dpi,
                            rect.width * 72 / dpi, rect.height * 72 / dpi)
                for got, want in zip(points, expected):
                    self.assertAlmostEqual(got, want, places=3)
                self.assertEqual(pixels, rect)
                windows = standin.show_windows(w, name)
                self.assertEqual(len(windows), 1)
                self.assertEqual(windows[0].rect, rect)
                self.assertTrue(windows[0].topmost)

        shot = w.screenshot()
        for name, monitor in assignments.items():
            rect = w.monitor_numbered(monitor)
            x, y = w.to_x(rect.left, rect.top)
            area = winekit.Rect(x, y, rect.width, rect.height)
            with self.subTest(screen=name):
                # The name and the counter are drawn in white over the fill.
                self.assertGreater(shot.share(area, near(colors[name]), step=8), 0.8)
        return journal

    def test_three_monitors_at_120_dpi(self):
        with winekit.WineSession("standin-place-3-120", monitors=3, dpi=120) as w:
            # Monitor 2 lies left of the primary: negative points.
            journal = self.place_and_check(w, {"Left.pptx": 2, "Primary.pptx": 1,
                                               "Right.pptx": 3})
            self.assertLess(journal.placements("Left.pptx")[-1][0][0], 0)

            # A real Esc reaches the active show (the last one started) and ends only it.
            w.xdotool("key", "Escape")
            ended = journal.wait_for(lambda j: [s for s in j.shows() if s[1] == "end"], 10)
            self.assertEqual(ended, [("Right.pptx", "end", "escape")])
            self.assertEqual(standin.show_windows(w, "Right.pptx"), [])
            self.assertEqual(len(standin.show_windows(w)), 2)

            self.assertEqual(standin.quit_standin(w), 0)
            self.assertTrue(journal.wait_for_exit())
            reasons = sorted(s[0] + ":" + s[2] for s in journal.shows() if s[1] == "end")
            self.assertEqual(reasons, ["Left.pptx:quit", "Primary.pptx:quit", "Right.pptx:escape"])
            # The client released everything it was handed.
            self.assertEqual({k: v for k, v in journal.refs().items() if v}, {})

    def test_two_monitors_at_96_dpi(self):
        with winekit.WineSession("standin-place-2-96", monitors=2, dpi=96) as w:
            self.place_and_check(w, {"Second.pptx": 2, "First.pptx": 1})
            self.assertEqual(standin.quit_standin(w), 0)


class AbruptExit(unittest.TestCase):

    def test_host_dies_on_the_chosen_member_without_cleaning_up(self):
        with winekit.WineSession("standin-exit-on-member", monitors=1) as w:
            standin.install_standin(w, ExitOnMember="Application.Version")
            standin.register_recording_addin(w)
            proc = standin.start_standin(w)
            result = w.run([w.exe("StandinClient.exe"), "version"], timeout=60)
            self.assertNotEqual(result.returncode, 0)
            self.assertTrue(result.stdout.startswith("error\tApplication.Version"), result.stdout)
            self.assertIsNotNone(w.wait_for(lambda: proc.poll() is not None, 10))

            journal = standin.Journal(w)
            last = journal.calls()[-1]
            self.assertEqual((last.member, last.result), ("Application.Version", "exit"))
            # Abrupt: no shutdown of the add-in, no balance, no exit line.
            self.assertNotIn("OnBeginShutdown", [e for _, e, _ in journal.addin_events()])
            self.assertEqual(journal.refs(), {})
            self.assertFalse([e for e in journal.events("host") if e.fields[0] == "exit"])


if __name__ == "__main__":
    unittest.main()
