"""The whole product under Wine: Corvane.scr /s, the real Paxendo.dll (registered by regsvr32 from
the install folder, Tovrin.dll beside it) inside the stand-in host, sample presentations, settings
as the dialog writes them. Simulated layouts of 1, 2 and 3 monitors at 96 and 120 dpi.

Each scenario is one Wine session (about ten seconds to set up), so related checks share one:
placement and message windows on every layout, one or two ways of ending per session, and all the
failure displays in one session. After each run the scenario also reads the run's block in the
user's run journal.
"""

import os
import signal
import time
import unittest

import e2e_kit as k
import runmode_kit as rk
import standin
import winekit

VK_ESCAPE = 0x1B
VK_F24 = 0x87

# Show colours: each presentation fills its window with its own, so a screenshot tells them apart.
AZURE = 0x1E64C8
CORAL = 0xE0603A
OLIVE = 0x6A8A22
PURPLE = 0x8040C0
GOLD = 0xC8A028
TEAL = 0x208080
SAND = 0xB08850


def rgb(colour: int) -> tuple[int, int, int]:
    return (colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF


def points(pixels: int, dpi: int) -> float:
    return pixels * 72 / dpi


class Run:
    """One Corvane.scr /s run and the journal lines that belong to it."""

    def __init__(self, w, journal):
        self.w, self.journal = w, journal
        self.mark = len(journal.entries())
        self.show_mark = len(journal.shows())
        self.block_mark = len(k.journal_blocks(w))
        k.reset_input(w)
        self.events_file = rk.events_file(w)
        self.proc = k.start(w, events=self.events_file)

    def entries(self):
        return self.journal.entries()[self.mark:]

    def calls(self, member=None):
        return [e for e in self.entries() if e.kind == "call" and
                (member is None or e.member == member)]

    def shows(self):
        return self.journal.shows()[self.show_mark:]

    def wait_for_shows(self, count):
        return k.wait_for_shows(self.journal, count, after=self.show_mark)

    def block(self) -> k.JournalBlock:
        """The one block this run added to the run journal; Corvane writes it before it exits."""
        new = k.journal_blocks(self.w)[self.block_mark:]
        if len(new) != 1:
            raise AssertionError(f"{len(new)} journal blocks from one run: {new}")
        return new[0]

    def events(self) -> list[rk.LoggedEvent]:
        """What the run told the event log; complete once it has ended."""
        return rk.logged_events(self.events_file)

    def wait_started(self, timeout=20):
        """The main window exists (message-only runs begin nothing the journal would show)."""
        return self.w.wait_for(lambda: any(x.class_name == "TMainForm"
                                           for x in k.corvane_windows(self.w)),
                               timeout=timeout, interval=0.1)


class SystemScenarios(unittest.TestCase):

    # -----------------------------------------------------------------------------------------
    # What a screen looks like

    def assertShowOver(self, w, run, shot, name, monitor, colour):
        """The show of `name` lies exactly over product monitor `monitor`: window rectangle,
        the points the add-in gave the host at the screen's DPI, and the pixels on screen."""
        expected = w.monitor_numbered(monitor)
        windows = [x for x in k.show_windows(w) if x.title.endswith(" - " + name)]
        self.assertEqual(len(windows), 1, f"show windows of {name}: {windows}")
        self.assertEqual(windows[0].rect, expected, name)
        self.assertTrue(windows[0].topmost, name)
        placed = [e for e in run.entries() if e.kind == "place" and e.fields[0] == name]
        self.assertTrue(placed, f"{name} was never placed")
        got = [float(v) for v in placed[-1].fields[1].split(",")]
        want = [points(expected.left, w.dpi), points(expected.top, w.dpi),
                points(expected.width, w.dpi), points(expected.height, w.dpi)]
        for g, e in zip(got, want):
            self.assertAlmostEqual(g, e, places=2, msg=f"{name} points {got} != {want}")
        self.assertEqual(k.colour_box(shot, rgb(colour)), k.to_x_rect(w, expected),
                         f"{name}'s pixels on screen")

    def assertMessageWindow(self, w, shot, labels, monitor, text):
        """A black topmost window covers `monitor`; its centred yellow text is `text` ('' none)."""
        expected = w.monitor_numbered(monitor)
        self.assertIn(expected, labels, f"no message window on monitor {monitor}: {labels}")
        self.assertEqual(labels[expected], text, f"monitor {monitor}")
        forms = [x for x in k.display_forms(w) if x.rect == expected]
        self.assertTrue(forms and forms[0].topmost, f"monitor {monitor} window not topmost")
        area = k.to_x_rect(w, expected)
        self.assertGreater(shot.share(area, winekit.is_black), 0.97, f"monitor {monitor} black")
        box = shot.bounding_box(area, winekit.is_yellow)
        if not text:
            self.assertIsNone(box, f"monitor {monitor} should have no text")
            return
        self.assertIsNotNone(box, f"monitor {monitor}: no yellow text")
        self.assertLessEqual(abs((box.left + box.right) / 2 - (area.left + area.right) / 2), 3)
        self.assertLessEqual(abs((box.top + box.bottom) / 2 - (area.top + area.bottom) / 2), 4)
        self.assertLess(box.height, 24, "one line")

    def assertCovered(self, w, run, texts, placed, colours):
        """Every monitor is covered: those in `placed` (name → monitor) by their show, those in
        `texts` (monitor → text) by a black window with that text, and none by both."""
        def covered(shot):
            labels = k.message_labels(w)
            self.assertEqual(len(labels), len(texts), labels)
            for monitor, text in texts.items():
                self.assertMessageWindow(w, shot, labels, monitor, text)
            for name, monitor in placed.items():
                self.assertShowOver(w, run, shot, name, monitor, colours[name])
        k.wait_picture(w, covered, "every monitor covered by its show or its reason")
        self.assertEqual(sorted(list(texts) + list(placed.values())),
                         list(range(1, len(w.heads) + 1)), "a monitor left bare")

    # -----------------------------------------------------------------------------------------
    # What the end of a run leaves

    def assertEndedEverything(self, w, run, exited=(), user_ended=None, still_open=(),
                              timeout=10):
        """Corvane gone with no window left; the shows it began were exited by the add-in (those
        in user_ended ended by themselves, with that reason); the add-in's session is empty; the
        presentations stay open; nobody asked the host to quit."""
        user_ended = user_ended or {}
        self.assertTrue(k.ended(run.proc, timeout), "Corvane did not end")
        self.assertEqual(k.corvane_windows(w), [], "Corvane windows left")
        ends = {}
        for name, event, reason in run.shows():
            if event == "end":
                ends.setdefault(name, reason)
        want = dict({name: "exit" for name in exited}, **user_ended)
        self.assertEqual(ends, want, "how each show ended")
        self.assertEqual(k.show_windows(w), [], "show windows left")
        self.assertNoQuit(run.entries())

        # A forgotten session opens and starts nothing when it is prepared and begun again.
        mark = len(run.journal.entries())
        self.assertEqual(k.client(w, "leftover"), ["prepare "])
        touched = [e.member for e in run.journal.entries()[mark:] if e.kind == "call" and
                   e.member.split(".")[0] in ("Presentations", "Presentation", "SlideShowSettings",
                                              "SlideShowWindow", "SlideShowView")]
        self.assertEqual(touched, [], "the add-in still held a session")

        opened = k.open_presentations(w)
        self.assertIsNotNone(opened, "the host no longer answers")
        for path in still_open:
            self.assertIn(path, opened)

    def assertJournal(self, run, shown, ended, host=None):
        """The run's journal block: what each monitor showed, how the run ended (and, given,
        how the host was reached)."""
        block = run.block()
        self.assertEqual(block.per_monitor("Shown"), shown, block.text)
        self.assertTrue((block.value("Ended by") or "").startswith(ended + "; "), block.text)
        if host is not None:
            self.assertTrue((block.value("Host") or "").startswith(host), block.text)
        return block

    def assertNoQuit(self, entries):
        host = [e.fields[0] for e in entries if e.kind == "host"]
        self.assertNotIn("quit", host, "the host was asked to quit")
        self.assertNotIn("exit", host, "the host exited")

    # -----------------------------------------------------------------------------------------

    def test_one_monitor_key_end_then_second_run_reuses_and_hot_key_end(self):
        with winekit.WineSession("e2e-one-96", monitors=1) as w:
            k.install(w)
            deck = standin.write_presentation(w, "Harbour.pptx", color=AZURE)[1]
            journal = standin.Journal(w)
            # One monitor fills the screen: every new window is under the pointer, so mouse
            # interaction stays on and the keyboard ends the run.
            k.write_settings(w, [(deck, 1)], keyboard=False, mouse=True)
            run = Run(w, journal)
            run.wait_for_shows(1)
            self.assertEqual([e.fields[-1] for e in journal.events("host")][:1], ["embedding"],
                             "Corvane starts the host when none runs")
            self.assertEqual(len(run.calls("Presentations.Open")), 1)
            k.wait_picture(w, lambda shot: self.assertShowOver(w, run, shot, "Harbour.pptx", 1,
                                                               AZURE), "Harbour's show")
            self.assertEqual(k.message_labels(w), {})
            k.end_by_key(w, run.proc, VK_F24)
            self.assertEndedEverything(w, run, exited=["Harbour.pptx"], still_open=[deck])
            block = self.assertJournal(run, {1: "slide show of " + deck}, "a key",
                                       host="started for this run, version 16.0")
            self.assertEqual(block.per_monitor("Settings"), {1: deck + " (found)"})
            self.assertEqual(block.value("Settings"),
                             "keyboard to the shows no, mouse to the shows yes")
            self.assertEqual(block.per_monitor("Monitors"), {1: "1280x1024 at (0,0), 96 dpi, "
                                                                "primary"}, block.text)
            self.assertEqual(run.events(), [], "a good run told the event log")

            # The same host again: the open presentation is found by its full name, not opened
            # a second time. Keyboard interaction on: only Ctrl+Alt+Esc ends the run, and the
            # hot key and its atom are gone afterwards.
            # Another program holds the journal meanwhile and shares nothing: the run goes on as
            # ever and its block is lost, quietly.
            k.write_settings(w, [(deck, 1)], keyboard=True, mouse=True)
            marker = k.journal_dir(w) / "release-lock"
            locker = w.start_program([w.exe(k.PROBE), "lock", k.journal_windows_path(),
                                      k.journal_windows_path("release-lock")])
            self.assertTrue(w.wait_for(lambda: k.probe(w, "shared", k.journal_windows_path())[0]
                                       .startswith("denied"), timeout=20), "journal not locked")
            run = Run(w, journal)
            run.wait_for_shows(1)
            self.assertEqual(run.calls("Presentations.Open"), [])
            self.assertIn(deck, [c.result.partition(":")[2]
                                 for c in run.calls("Presentation.FullName")])
            self.assertEqual(len(journal.events("host")), 2, "one host start, ready")
            k.wait_hot_key(w)
            k.probe(w, "key", VK_F24)
            self.assertFalse(k.ended(run.proc, 0.5), "a key ended the run")
            k.probe(w, "chord")
            self.assertEndedEverything(w, run, exited=["Harbour.pptx"], still_open=[deck])
            self.assertEqual(k.probe(w, "atom", k.ATOM), ["atom 0"])
            self.assertEqual(k.probe(w, "hotkey"), ["hotkey free"])
            marker.write_text("")
            self.assertTrue(k.ended(locker, 20), "the lock holder did not let go")
            self.assertEqual(len(k.journal_blocks(w)), 1, "a block went past the lock")

            # Free again: the next run writes its block.
            run = Run(w, journal)
            run.wait_for_shows(1)
            k.probe(w, "chord")
            self.assertEndedEverything(w, run, exited=["Harbour.pptx"], still_open=[deck])
            self.assertJournal(run, {1: "slide show of " + deck}, "Ctrl+Alt+Esc",
                               host="attached to the running one, version 16.0")

    def test_two_monitors_120dpi_show_reaching_its_end_and_mouse_end(self):
        with winekit.WineSession("e2e-two-120", monitors=2, dpi=120) as w:
            k.install(w)
            harbour = standin.write_presentation(w, "Harbour.pptx", color=AZURE)[1]
            # Not looped: five slides, then the show ends by itself.
            short = standin.write_presentation(w, "Short.pptx", slides=5, loop=False,
                                               advance_ms=1000, color=CORAL)[1]
            journal = standin.Journal(w)

            # A show reaching its end ends the whole run, and the other show is exited. With
            # both interactions on, nothing else could have ended it.
            k.write_settings(w, [(harbour, 1), (short, 2)], keyboard=True, mouse=True)
            run = Run(w, journal)
            run.wait_for_shows(2)

            def both_shows(shot):
                self.assertShowOver(w, run, shot, "Harbour.pptx", 1, AZURE)
                self.assertShowOver(w, run, shot, "Short.pptx", 2, CORAL)
            k.wait_picture(w, both_shows, "both shows")
            self.assertEqual(k.message_labels(w), {})
            self.assertEndedEverything(w, run, exited=["Harbour.pptx"],
                                       user_ended={"Short.pptx": "finished"},
                                       still_open=[harbour, short], timeout=15)
            block = self.assertJournal(run, {1: "slide show of " + harbour,
                                             2: "slide show of " + short}, "a slide show ended")
            self.assertEqual(len(block.per_monitor("Monitors")), 2)
            self.assertTrue(all(", 120 dpi" in m for m in block.per_monitor("Monitors").values()))

            # A journal one block short of its limit: this run's block goes to a new file, and
            # the full one replaces the older file.
            full = k.journal_dir(w) / "runs.log"
            head = "== Run of filler\r\n"
            room = 1024 * 1024 - 100 - full.stat().st_size - len(head) - 4
            with full.open("ab") as f:
                f.write((head + "x" * room + "\r\n\r\n").encode())
            (k.journal_dir(w) / "runs.1.log").write_bytes(b"oldest")
            before = full.read_bytes()

            # Mouse interaction off: a one-pixel move ends the run. A show window passes over
            # the whole right of the screen while it is placed, so monitor 2 gets no show here
            # (a plain black window, its entry names nothing) and the pointer waits below it.
            k.park_pointer(w, 1800, 900)
            k.write_settings(w, [(harbour, 1), ("", 2)], keyboard=True, mouse=False)
            run = Run(w, journal)
            run.wait_for_shows(1)
            self.assertEqual(run.calls("Presentations.Open"), [])
            k.wait_hot_key(w)

            def show_and_black(shot):
                self.assertShowOver(w, run, shot, "Harbour.pptx", 1, AZURE)
                self.assertMessageWindow(w, shot, k.message_labels(w), 2, "")
            k.wait_picture(w, show_and_black, "Harbour's show and a black monitor 2")
            self.assertFalse(k.ended(run.proc, 1.0), "ended before any input")
            k.probe(w, "move", 1, 0)
            self.assertEndedEverything(w, run, exited=["Harbour.pptx"],
                                       still_open=[harbour, short])
            self.assertEqual((k.journal_dir(w) / "runs.1.log").read_bytes(), before)
            blocks = k.journal_blocks(w)
            self.assertEqual(len(blocks), 1, "a new file with this run's block only")
            self.assertEqual(blocks[0].per_monitor("Shown"), {1: "slide show of " + harbour,
                                                              2: "black window, no text"})
            self.assertTrue(blocks[0].value("Ended by").startswith("the mouse; "))

    def test_three_monitors_96dpi_missing_file_text_and_user_ends_one_show(self):
        with winekit.WineSession("e2e-three-96", monitors=3) as w:
            k.install(w)
            harbour = standin.write_presentation(w, "Harbour.pptx", color=AZURE)[1]
            meadow = standin.write_presentation(w, "Meadow.pptx", color=OLIVE)[1]
            # Names beyond the ANSI code page must survive every hop (settings, Corvane's text).
            missing = r"C:\presentations\Quartal & Übersicht 日本.pptx"
            journal = standin.Journal(w)
            k.park_pointer(w, 100, 900)
            k.write_settings(w, [(harbour, 1), (missing, 2), (meadow, 3)], keyboard=True,
                             mouse=True)
            run = Run(w, journal)
            run.wait_for_shows(2)
            k.wait_hot_key(w)

            def two_shows_and_text(shot):
                labels = k.message_labels(w)
                self.assertShowOver(w, run, shot, "Harbour.pptx", 1, AZURE)
                self.assertShowOver(w, run, shot, "Meadow.pptx", 3, OLIVE)
                self.assertMessageWindow(w, shot, labels, 2, k.file_not_found(missing))
                self.assertEqual(len(labels), 1)
            k.wait_picture(w, two_shows_and_text, "two shows and the missing file's text",
                           path=winekit.BUILD / "wine" / "e2e-three-96.png")
            self.assertEqual(w.monitor_numbered(2).left, -1024, "left of the primary")

            # The user ends one show (Esc in its window, which keyboard interaction lets
            # through): the run ends at the next poll, and the add-in exits the other show.
            self.assertFalse(k.ended(run.proc, 0.5))
            window = [x for x in k.show_windows(w) if x.title.endswith(" - Meadow.pptx")][0]
            self.assertEqual(k.client(w, "activate", f"{window.hwnd:X}"), ["foreground"])
            k.probe(w, "key", VK_ESCAPE)
            self.assertEndedEverything(w, run, exited=["Harbour.pptx"],
                                       user_ended={"Meadow.pptx": "escape"},
                                       still_open=[harbour, meadow])
            block = self.assertJournal(
                run, {1: "slide show of " + harbour,
                      2: "black window: " + k.file_not_found(missing),
                      3: "slide show of " + meadow}, "a slide show ended",
                host="started for this run, version 16.0")
            self.assertEqual(block.per_monitor("Settings"),
                             {1: harbour + " (found)", 2: missing + " (not found)",
                              3: meadow + " (found)"})
            # The event log hears of the bare monitor once, with its reason and the journal.
            self.assertEqual(run.events(), [rk.LoggedEvent(
                rk.EVENT_WARNING, 2, 1002,
                ("Monitor 2: " + k.file_not_found(missing), k.journal_windows_path()))])
            self.assertEqual(block.per_monitor("Monitors"),
                             {1: "1280x1024 at (0,0), 96 dpi, primary",
                              2: "1024x768 at (-1024,0), 96 dpi",
                              3: "800x600 at (1280,0), 96 dpi"})

            # Stale settings: the second entry names monitor 0. Nothing is placed at 0,0 with no
            # size; monitor 2 says why, and the same presentation still runs on monitor 3, as
            # monitor 2 never showed it.
            k.write_settings(w, [(meadow, 1), (harbour, 0), (harbour, 3)], keyboard=True,
                             mouse=True)
            run = Run(w, journal)
            run.wait_for_shows(2)
            self.assertTrue(w.wait_for(lambda: len(k.display_forms(w)) == 1, timeout=20),
                            "monitor 2's message window")
            self.assertCovered(w, run, {2: k.no_such_monitor(0)},
                               {"Meadow.pptx": 1, "Harbour.pptx": 3},
                               {"Meadow.pptx": OLIVE, "Harbour.pptx": AZURE})
            self.assertEqual(len(run.calls("SlideShowSettings.Run")), 2)
            k.probe(w, "chord")
            self.assertEndedEverything(w, run, exited=["Harbour.pptx", "Meadow.pptx"],
                                       still_open=[harbour, meadow])

    def test_three_monitors_120dpi_show_left_of_primary_and_host_killed(self):
        with winekit.WineSession("e2e-three-120", monitors=3, dpi=120) as w:
            k.install(w)
            harbour = standin.write_presentation(w, "Harbour.pptx", color=AZURE)[1]
            # A name beyond the ANSI code page: opened, shown and placed like any other.
            reef = standin.write_presentation(w, "Récif 珊瑚.pptx", color=CORAL)[1]
            host = standin.start_standin(w)  # a host already running: Corvane attaches to it
            journal = standin.Journal(w)
            k.park_pointer(w, 100, 900)
            # Monitor 1's entry names nothing: a plain black window, no text.
            k.write_settings(w, [("", 1), (harbour, 2), (reef, 3)], keyboard=True, mouse=True)
            run = Run(w, journal)
            run.wait_for_shows(2)
            k.wait_hot_key(w)

            def two_shows_and_black(shot):
                labels = k.message_labels(w)
                self.assertShowOver(w, run, shot, "Harbour.pptx", 2, AZURE)
                self.assertShowOver(w, run, shot, "Récif 珊瑚.pptx", 3, CORAL)
                self.assertMessageWindow(w, shot, labels, 1, "")
                self.assertEqual(len(labels), 1)
            k.wait_picture(w, two_shows_and_black, "two shows and a black monitor 1",
                           path=winekit.BUILD / "wine" / "e2e-three-120.png")
            self.assertIn(reef, [c.args[0].value for c in run.calls("Presentations.Open")])
            self.assertEqual([e.fields[-1] for e in journal.events("host")][:1], ["direct"])

            # The host dies: the next poll of its process ends the run.
            self.assertFalse(k.ended(run.proc, 0.5))
            os.killpg(host.pid, signal.SIGKILL)
            self.assertTrue(k.ended(run.proc, 10), "Corvane outlived the host")
            self.assertEqual(k.corvane_windows(w), [])
            self.assertEqual(k.show_windows(w), [])
            self.assertEqual([s for s in run.shows() if s[1] == "end"], [],
                             "nothing exited a show of a dead host")
            self.assertJournal(run, {1: "black window, no text", 2: "slide show of " + harbour,
                                     3: "slide show of " + reef}, "the host exited",
                               host="attached to the running one, version 16.0")

    def test_updated_presentations_reach_the_next_run_of_the_same_host(self):
        # One host for every run, as on a kiosk. Files are rewritten between runs with another
        # colour: the add-in opens afresh only what it opened itself and nobody has in hand.
        with winekit.WineSession("e2e-updates", monitors=3) as w:
            k.install(w)
            lobby = standin.write_presentation(w, "Lobby.pptx", color=AZURE)[1]
            cafe = standin.write_presentation(w, "Cafe.pptx", color=CORAL)[1]
            dock = standin.write_presentation(w, "Dock.pptx", color=OLIVE)[1]
            mine = standin.write_presentation(w, "Mine.pptx", color=SAND)[1]
            standin.start_standin(w)
            journal = standin.Journal(w)
            # Someone else opened Mine.pptx before the first run (without a window, so only its
            # owner tells it apart from the add-in's own).
            self.assertEqual(k.client(w, "open", mine), ["opened " + mine])
            k.park_pointer(w, 100, 900)

            def covered_run(entries, texts, placed, colours):
                k.write_settings(w, entries, keyboard=True, mouse=True)
                run = Run(w, journal)
                run.wait_for_shows(len(placed))
                k.wait_hot_key(w)
                self.assertCovered(w, run, texts, placed, colours)
                k.probe(w, "chord")
                self.assertEndedEverything(w, run, exited=list(placed))
                return run

            def closed(name):
                return [e for e in journal.events("presentation") if e.fields[0] == name]

            run = covered_run([(lobby, 1), (cafe, 2), (dock, 3)], {},
                              {"Lobby.pptx": 1, "Cafe.pptx": 2, "Dock.pptx": 3},
                              {"Lobby.pptx": AZURE, "Cafe.pptx": CORAL, "Dock.pptx": OLIVE})
            self.assertEqual(len(run.calls("Presentations.Open")), 3)

            # Lobby is rewritten; so are Cafe, which the host holds edited, and Dock, which is
            # open in a window.
            standin.write_presentation(w, "Lobby.pptx", color=PURPLE)
            standin.write_presentation(w, "Cafe.pptx", color=GOLD)
            standin.write_presentation(w, "Dock.pptx", color=TEAL)
            self.assertEqual(k.client(w, "edit", cafe), [])
            self.assertEqual(k.client(w, "window", dock), [])
            run = covered_run([(lobby, 1), (cafe, 2), (dock, 3)], {},
                              {"Lobby.pptx": 1, "Cafe.pptx": 2, "Dock.pptx": 3},
                              {"Lobby.pptx": PURPLE, "Cafe.pptx": CORAL, "Dock.pptx": OLIVE})
            self.assertEqual([c.args[0].value for c in run.calls("Presentations.Open")], [lobby])
            self.assertEqual(len(closed("Lobby.pptx")), 1)
            kept = "kept although changed since it was opened: "
            self.assertJournal(run, {
                1: f"slide show of {lobby} (reopened: changed since it was opened)",
                2: f"slide show of {cafe} ({kept}it has unsaved changes)",
                3: f"slide show of {dock} ({kept}it is open in a window)"}, "Ctrl+Alt+Esc",
                host="attached to the running one")

            # The admin's new Lobby is damaged: the old copy goes all the same, and the monitor
            # says why it is black. Mine, rewritten too, is shown as its owner has it.
            standin.write_presentation(w, "Lobby.pptx", damaged=True)
            standin.write_presentation(w, "Mine.pptx", color=TEAL)
            run = covered_run([(lobby, 1), (mine, 2), (dock, 3)],
                              {1: k.opened_failed("Lobby.pptx")},
                              {"Mine.pptx": 2, "Dock.pptx": 3},
                              {"Mine.pptx": SAND, "Dock.pptx": OLIVE})
            self.assertEqual(len(closed("Lobby.pptx")), 2)
            shown = run.block().per_monitor("Shown")
            self.assertTrue(shown[1].startswith(
                "black window: " + k.opened_failed("Lobby.pptx") +
                " (changed since it was opened; the new file could not be opened; "), shown[1])
            self.assertEqual(shown[2], "slide show of " + mine)

            # Everything in one host process; what the user opened was never closed.
            self.assertEqual([e.fields[0] for e in journal.events("host")], ["start", "ready"])
            self.assertEqual(closed("Mine.pptx"), [])
            self.assertEqual(closed("Cafe.pptx") + closed("Dock.pptx"), [])
            self.assertEqual(sorted(k.open_presentations(w)), sorted([cafe, dock, mine]))

    def test_two_monitors_96_and_144dpi_placement_checked_corrected_and_refused(self):
        with winekit.WineSession("e2e-mixed-dpi", monitors=2) as w:
            # A host aware of each monitor's own setting on a desk of a 96 dpi primary and a
            # 144 dpi monitor: it converts a window's points with the setting of the monitor the
            # window lies on, the add-in's first try with the screen's 96.
            k.install(w, MonitorDpi="96,144")
            harbour = standin.write_presentation(w, "Harbour.pptx", color=AZURE)[1]
            meadow = standin.write_presentation(w, "Meadow.pptx", color=OLIVE)[1]
            journal = standin.Journal(w)
            k.park_pointer(w, 100, 1000)
            k.write_settings(w, [(harbour, 1), (meadow, 2)], keyboard=True, mouse=True)
            run = Run(w, journal)
            run.wait_for_shows(2)
            k.wait_hot_key(w)
            second = w.monitor_numbered(2)

            def both_exactly_over(shot):
                for name, monitor, colour in (("Harbour.pptx", 1, AZURE),
                                              ("Meadow.pptx", 2, OLIVE)):
                    expected = w.monitor_numbered(monitor)
                    windows = [x for x in k.show_windows(w) if x.title.endswith(" - " + name)]
                    self.assertEqual([x.rect for x in windows], [expected], name)
                    self.assertEqual(k.colour_box(shot, rgb(colour)), k.to_x_rect(w, expected),
                                     f"{name}'s pixels on screen")
                self.assertEqual(k.message_labels(w), {})
            k.wait_picture(w, both_exactly_over, "each show exactly over its monitor")
            # Meadow's last placement is the correction, converted at 144 dpi.
            placed = [e for e in run.entries()
                      if e.kind == "place" and e.fields[0] == "Meadow.pptx"]
            self.assertEqual(len(placed), 8, "four values, then four corrected ones")
            self.assertEqual([float(v) for v in placed[-1].fields[1].split(",")],
                             [points(second.left, 144), 0, points(second.width, 144),
                              points(second.height, 144)])
            k.probe(w, "chord")
            self.assertEndedEverything(w, run, exited=["Harbour.pptx", "Meadow.pptx"],
                                       still_open=[harbour, meadow])
            self.assertJournal(run, {1: "slide show of " + harbour,
                                     2: "slide show of " + meadow +
                                     " (placed after a correction for 144 dpi)"}, "Ctrl+Alt+Esc")

            # A host that takes the four values without a word and leaves Meadow's window where
            # it began (over the primary): monitor 2 is covered by Corvane with the reason.
            self.assertEqual(standin.quit_standin(w), 0)
            standin.set_knobs(w, "Standin", MonitorDpi=None, IgnorePlacement="Meadow.pptx")
            run = Run(w, journal)
            run.wait_for_shows(2)
            k.wait_hot_key(w)
            refused = "Slide show could not be placed on this monitor: Meadow.pptx"
            k.wait_picture(w, lambda shot: self.assertMessageWindow(w, shot, k.message_labels(w),
                                                                    2, refused),
                           "monitor 2 black with the reason")
            k.probe(w, "chord")
            self.assertEndedEverything(w, run, exited=["Harbour.pptx", "Meadow.pptx"],
                                       still_open=[harbour, meadow])
            block = run.block()
            self.assertEqual(block.per_monitor("Shown")[2],
                             f"black window: {refused} (The window lay at 1280x1024 at (0,0) for "
                             "a monitor of 1024x768 at (1280,0), also after a correction for "
                             "120x128 dpi.)", block.text)

    def test_monitors_that_come_and_go_during_a_run(self):
        # A primary with a show, a monitor right of it without a presentation (black), and one
        # further right with a show.
        heads = [winekit.Rect(0, 0, 1280, 1024), winekit.Rect(1280, 0, 1024, 768),
                 winekit.Rect(2304, 0, 800, 600)]
        with winekit.WineSession("e2e-display-change", monitors=heads) as w:
            k.install(w)
            harbour = standin.write_presentation(w, "Harbour.pptx", color=AZURE)[1]
            meadow = standin.write_presentation(w, "Meadow.pptx", color=OLIVE)[1]
            journal = standin.Journal(w)
            k.park_pointer(w, 100, 1000)
            k.write_settings(w, [(harbour, 1), ("", 2), (meadow, 3)], keyboard=True, mouse=True)
            run = Run(w, journal)
            run.wait_for_shows(2)
            k.wait_hot_key(w)
            self.assertCovered(w, run, {2: ""}, {"Harbour.pptx": 1, "Meadow.pptx": 3},
                               {"Harbour.pptx": AZURE, "Meadow.pptx": OLIVE})

            # Monitor 2 goes and a smaller one comes in its place: the old black window goes,
            # the new monitor is covered black, the shows stay uncovered.
            new = winekit.Rect(1280, 0, 640, 480)
            w.heads_file.write_text("1280x1024+0+0,640x480+1280+0,800x600+2304+0\n")
            self.assertEqual(k.client(w, "displaychange")[0], "applied 0")

            def changed(shot):
                self.assertEqual([x.rect for x in k.display_forms(w)], [new])
                self.assertGreater(shot.share(k.to_x_rect(w, new), winekit.is_black), 0.97)
                for name, head, colour in (("Harbour.pptx", heads[0], AZURE),
                                           ("Meadow.pptx", heads[2], OLIVE)):
                    self.assertEqual(k.colour_box(shot, rgb(colour)), k.to_x_rect(w, head), name)
            k.wait_picture(w, changed, "the new monitor black, the old one's window gone")

            # The monitor with Meadow's show goes (the show is the host's to deal with; nothing
            # of Corvane's was on it) and monitor 2 comes back in its old mode.
            w.heads_file.write_text("1280x1024+0+0,1024x768+1280+0\n")
            self.assertEqual(k.client(w, "displaychange")[0], "applied 0")

            def back(shot):
                self.assertEqual([x.rect for x in k.display_forms(w)], [heads[1]])
                self.assertGreater(shot.share(k.to_x_rect(w, heads[1]), winekit.is_black), 0.97)
                self.assertEqual(k.colour_box(shot, rgb(AZURE)), k.to_x_rect(w, heads[0]))
            k.wait_picture(w, back, "monitor 2 black again, Harbour's show uncovered")
            self.assertFalse(k.ended(run.proc, 0.5), "a display change ended the run")
            k.probe(w, "chord")
            self.assertTrue(k.ended(run.proc, 10), "Corvane did not end")
            block = run.block()
            self.assertIn("Display changed: monitors now 1280x1024 at (0,0), 640x480 at (1280,0), "
                          "800x600 at (2304,0)\r\n"
                          "  gone: 1024x768 at (1280,0), its black window taken away\r\n"
                          "  new: 640x480 at (1280,0), black window\r\n"
                          "Display changed: monitors now 1280x1024 at (0,0), 1024x768 at (1280,0)"
                          "\r\n  gone: 800x600 at (2304,0), its slide show left to the host\r\n"
                          "  gone: 640x480 at (1280,0), its black window taken away\r\n"
                          "  new: 1024x768 at (1280,0), black window\r\n",
                          block.text)
            self.assertEqual(block.per_monitor("Shown"), {1: "slide show of " + harbour,
                                                          2: "black window, no text",
                                                          3: "slide show of " + meadow})

    def test_failure_displays(self):
        with winekit.WineSession("e2e-failures", monitors=2) as w:
            k.install(w, host=False, addin=False)
            deck = standin.write_presentation(w, "Harbour.pptx", color=AZURE)[1]
            second = standin.write_presentation(w, "Meadow.pptx", color=OLIVE)[1]
            missing = r"C:\presentations\gone.pptx"
            k.park_pointer(w, 1800, 900)

            def failed_run(entries, texts, journal=None, ended="a key"):
                k.write_settings(w, entries, keyboard=False, mouse=True)
                run = Run(w, journal or standin.Journal(w))
                self.assertTrue(run.wait_started())
                w.wait_until(lambda: len(k.display_forms(w)) == len(texts), 30,
                             f"{len(texts)} monitor windows")
                k.wait_armed(w)

                def texts_shown(shot):
                    labels = k.message_labels(w)
                    for monitor, text in texts.items():
                        self.assertMessageWindow(w, shot, labels, monitor, text)
                    self.assertEqual(len(labels), len(texts))
                k.wait_picture(w, texts_shown, f"the monitor texts {texts}")
                k.probe(w, "key", VK_F24)
                self.assertTrue(k.ended(run.proc, 30), "a key press did not end the failed run")
                self.assertEqual(k.corvane_windows(w), [])
                if ended:
                    self.assertJournal(run, {m: "black window: " + t if t else
                                             "black window, no text" for m, t in texts.items()},
                                       ended)
                return run

            def covered_run(entries, texts, placed, journal, shows=None):
                """A run whose shows (name → monitor) run placed and whose other monitors show
                their reasons; every monitor is one or the other."""
                k.write_settings(w, entries, keyboard=False, mouse=True)
                run = Run(w, journal)
                run.wait_for_shows(shows or len(placed))
                self.assertTrue(w.wait_for(lambda: len(k.display_forms(w)) == len(texts),
                                           timeout=20), f"{len(texts)} message windows")
                self.assertCovered(w, run, texts, placed, {"Harbour.pptx": AZURE,
                                                           "Meadow.pptx": OLIVE})
                return run

            # No host registered at all. The journal's folder can't be made (a file holds its
            # place): the run is the same, and the journal stays empty.
            blocker = k.journal_dir(w)
            blocker.parent.mkdir(parents=True, exist_ok=True)
            blocker.write_text("in the way")
            failed_run([(deck, 1), ("", 2)], {1: k.TEXT_NO_HOST, 2: ""}, ended=None)
            blocker.unlink()
            run = failed_run([(deck, 1), ("", 2)], {1: k.TEXT_NO_HOST, 2: ""})
            self.assertEqual(run.block().value("Host"), "could be neither attached nor started")

            # The host is there, but no file of the list exists: it is never contacted.
            standin.install_standin(w)
            journal = standin.Journal(w)
            run = failed_run([(missing, 1), (missing, 2)],
                             {1: k.TEXT_NO_HOST, 2: k.TEXT_NO_HOST}, journal)
            self.assertEqual(journal.entries(), [], "the host was contacted")
            self.assertEqual(run.block().per_monitor("Settings"),
                             {1: missing + " (not found)", 2: missing + " (not found)"})
            self.assertTrue(run.block().value("Host").startswith("not contacted"))

            # The add-in is not registered: Corvane starts the host, finds no add-in, and leaves
            # the host running.
            run = failed_run([(deck, 1), (missing, 2)],
                             {1: k.TEXT_NO_ADDIN, 2: k.TEXT_NO_ADDIN}, journal)
            self.assertEqual(run.block().value("Host"),
                             "started for this run, version 16.0; the add-in was not found in it")
            self.assertEqual(journal.addin_events(k.ADDIN_PROGID), [])
            self.assertNoQuit(journal.entries())
            self.assertEqual(k.open_presentations(w), [])
            self.assertEqual(standin.quit_standin(w), 0)

            # Registered now; the host refuses the first file (a damaged one, say): its monitor
            # says so, and the second show still runs.
            k.register_addin(w)
            standin.set_knobs(w, "Standin", RefuseOpen=deck)
            run = covered_run([(deck, 1), (second, 2)], {1: k.opened_failed("Harbour.pptx")},
                              {"Meadow.pptx": 2}, journal)
            self.assertTrue([c for c in run.calls("Presentations.Open") if c.failed])
            k.end_by_key(w, run.proc, VK_F24)
            self.assertEndedEverything(w, run, exited=["Meadow.pptx"], still_open=[second])
            self.assertNotIn(deck, k.open_presentations(w))
            # The journal names the refused file and the host's own words for it.
            shown = run.block().per_monitor("Shown")
            self.assertEqual(shown[2], "slide show of " + second)
            self.assertTrue(shown[1].startswith("black window: " + k.opened_failed("Harbour.pptx")
                                                + " ("), shown[1])

            # One presentation for both monitors, the second time in other letters: one show,
            # and the later monitor says where it is.
            run = covered_run([(second, 1), (second.upper(), 2)],
                              {2: k.TEXT_ALREADY_SHOWN.format(1)}, {"Meadow.pptx": 1}, journal)
            k.end_by_key(w, run.proc, VK_F24)
            self.assertEndedEverything(w, run, exited=["Meadow.pptx"], still_open=[second])
            self.assertEqual(standin.quit_standin(w), 0)

            # A show whose window can't be identified (the host gives no handle for it): its
            # monitor is covered, and the end of the run still exits it.
            standin.set_knobs(w, "Standin", RefuseOpen=None, UnknownMember="SlideShowWindow.HWND")
            run = covered_run([(deck, 1), (second, 2)],
                              {1: k.window_not_found("Harbour.pptx"),
                               2: k.window_not_found("Meadow.pptx")}, {}, journal, shows=2)
            k.end_by_key(w, run.proc, VK_F24)
            self.assertEndedEverything(w, run, exited=["Harbour.pptx", "Meadow.pptx"],
                                       still_open=[deck, second])
            self.assertEqual(standin.quit_standin(w), 0)
            # What only the add-in knows reaches the journal: each monitor's reason and why.
            no_handle = " (The slide show window has no window handle.)"
            self.assertJournal(run, {1: "black window: " + k.window_not_found("Harbour.pptx")
                                     + no_handle,
                                     2: "black window: " + k.window_not_found("Meadow.pptx")
                                     + no_handle}, "a key")

            # A host older than PowerPoint 2000: the add-in says so in a message box while the
            # host starts, stays uninitialised, and Corvane says so on every named monitor.
            standin.set_knobs(w, "Standin", UnknownMember=None, Version="8.0")
            k.write_settings(w, [(deck, 1), (missing, 2)], keyboard=False, mouse=True)
            run = Run(w, journal)
            notice = w.wait_until(lambda: k.message_box_texts(w), 30, "the add-in's notice")
            self.assertEqual(notice, [k.VERSION_NOTICE])
            k.dismiss_message_box(w)
            self.assertTrue(run.wait_started())
            w.wait_until(lambda: len(k.display_forms(w)) == 2, 30, "2 monitor windows")
            k.wait_armed(w)

            def not_ready_texts(shot):
                labels = k.message_labels(w)
                self.assertMessageWindow(w, shot, labels, 1, k.TEXT_NOT_READY)
                self.assertMessageWindow(w, shot, labels, 2, k.TEXT_NOT_READY)
            k.wait_picture(w, not_ready_texts, "the not-ready texts")
            k.probe(w, "key", VK_F24)
            self.assertEndedEverything(w, run)
            self.assertEqual(run.calls("Presentations.Open"), [])
            self.assertJournal(run, {1: "black window: " + k.TEXT_NOT_READY,
                                     2: "black window: " + k.TEXT_NOT_READY}, "a key",
                               host="started for this run, version 8.0")

    def test_hung_or_prompting_host_never_leaves_a_show_running(self):
        # Whatever call the host keeps waiting (it hangs, or a prompt of its own is up), the
        # user's input ends the run at once and the process leaves within 5 s with the exit code
        # of an abandoned run. Once the host is itself again, the add-in, which has watched
        # Corvane's process since the session began, exits every show and forgets the session.
        with winekit.WineSession("e2e-hung-host", monitors=2) as w:
            k.install(w, SlowMember="SlideShowSettings.Run", SlowMs=7000)
            harbour = standin.write_presentation(w, "Harbour.pptx", color=AZURE)[1]
            meadow = standin.write_presentation(w, "Meadow.pptx", color=CORAL)[1]
            journal = standin.Journal(w)
            k.park_pointer(w, 1800, 900)
            k.write_settings(w, [(harbour, 1), ("", 2)], keyboard=True, mouse=True)

            def leave(run):
                k.probe(w, "chord")
                pressed = time.monotonic()
                self.assertTrue(w.wait_for(lambda: not k.corvane_windows(w, visible_only=True),
                                           timeout=10), "Corvane's windows stayed")
                self.assertTrue(k.ended(run.proc, 15), "Corvane waited for the host")
                self.assertLess(time.monotonic() - pressed, 5.0, "Corvane left too late")
                self.assertEqual(run.proc.returncode, k.ABANDONED_EXIT_CODE)

            def restart(**knobs):
                """The next run starts a host with these knobs (read at its start)."""
                standin.quit_standin(w)
                standin.set_knobs(w, "Standin", **dict(dict.fromkeys(
                    ("SlowMember", "SlowMs", "SlowAt", "PromptMember", "PromptAt")), **knobs))

            def events(run, kind):
                return [e for e in run.entries() if e.kind == kind]

            def show_ends(run, count):
                return journal.wait_for(lambda j: len([s for s in j.shows()[run.show_mark:]
                                                       if s[1] == "end"]) >= count, timeout=20)

            # Hung in the start of the show: the show it started is exited when it answers.
            run = Run(w, journal)
            self.assertTrue(journal.wait_for(lambda j: events(run, "wait"), timeout=30),
                            "the host never began to start the show")
            self.assertTrue(k.display_forms(w), "monitor 2's black window")
            leave(run)
            run.wait_for_shows(1)
            self.assertTrue(show_ends(run, 1), "the show outlived the run")
            self.assertEndedEverything(w, run, exited=["Harbour.pptx"], still_open=[harbour])
            block = run.block()
            self.assertTrue((block.value("Ended by") or "").startswith("Ctrl+Alt+Esc"),
                            block.text)
            self.assertIn("The host did not answer in time", block.text)
            # Within the same bounded wait, the event log hears of it once, and of nothing else:
            # the start never returned, so what it left on the monitors is unknown.
            self.assertEqual([(e.type, e.category, e.id, e.strings[1]) for e in run.events()],
                             [(rk.EVENT_WARNING, 3, 1003, k.journal_windows_path())])

            # Hung after the shows began (Corvane's read of the host's Version; the add-in's own
            # at the host's start is the first), and a new run started while it still hangs:
            # once the host answers, the abandoned run's show is exited within 2 s, and the new
            # run works and ends cleanly.
            # (12 s: the new run's start then waits on the hung host for over 3 s.)
            restart(SlowMember="Application.Version", SlowMs=12000, SlowAt=2)
            run = Run(w, journal)
            waiting = journal.wait_for(lambda j: events(run, "wait"), timeout=30)
            self.assertTrue(waiting, "the host never hung")
            self.assertEqual(waiting[0].fields[0], "Application.Version")
            run.wait_for_shows(1)
            leave(run)
            self.assertIn("The host did not answer in time", run.block().text)
            second = Run(w, journal)
            exits = journal.wait_for(lambda j: run.calls("SlideShowView.Exit"), timeout=20)
            self.assertTrue(exits, "the abandoned run's show was never exited")
            self.assertLessEqual(exits[0].tick - (int(waiting[0].fields[2]) + 12000), 2000)
            second.wait_for_shows(1)
            self.assertTrue(w.wait_for(lambda: len(k.display_forms(w)) == 1, timeout=20),
                            "the new run's black window of monitor 2")
            k.probe(w, "chord")
            self.assertTrue(k.ended(second.proc, 15))
            self.assertEqual(second.proc.returncode, 0)
            self.assertEndedEverything(w, second, exited=["Harbour.pptx"], still_open=[harbour])
            block = second.block()
            self.assertNotIn("The host did not answer in time", block.text)
            self.assertIn("Host busy: kept the start waiting over 3 s", block.text)

            # A prompt of the host's own inside Open of the second presentation: while the
            # start waits, both monitors say why and the prompt stays above them; the run ends
            # at once, and once the prompt is answered no show begins.
            restart(PromptMember="Presentations.Open", PromptAt=2)
            k.write_settings(w, [(harbour, 1), (meadow, 2)], keyboard=True, mouse=True)
            run = Run(w, journal)
            self.assertTrue(journal.wait_for(lambda j: events(run, "prompt"), timeout=30),
                            "the host never prompted")
            busy = {w.monitor_numbered(1): k.TEXT_HOST_BUSY,
                    w.monitor_numbered(2): k.TEXT_HOST_BUSY}
            self.assertTrue(w.wait_for(lambda: k.message_labels(w) == busy, timeout=15),
                            k.message_labels(w))
            self.assertTrue(w.wait_for(lambda: [x for x in standin.list_windows(w)
                                                if x.title == "Password" and x.visible and
                                                x.topmost], timeout=10),
                            "the prompt was left behind the run's windows")
            leave(run)
            self.assertIn('Host busy: kept the start waiting over 3 s; its own window "Password"'
                          ' was up', run.block().text)
            self.assertEqual([e.strings[0] for e in run.events() if e.id == 1003],
                             ['PowerPoint kept the start waiting over 3 s. PowerPoint\'s own '
                              'window "Password" was up.'])
            k.dismiss_message_box(w, "Password")  # its OK button
            self.assertTrue(journal.wait_for(
                lambda j: [e for e in events(run, "prompt") if e.fields[1] == "answered"],
                timeout=10), "the prompt was not answered")
            self.assertTrue(w.wait_for(lambda: k.open_presentations(w) is not None, timeout=10),
                            "the host no longer answers")
            self.assertEqual([s for s in run.shows() if s[1] == "begin"], [])
            self.assertEqual(k.show_windows(w), [])

            # A prompt inside the start of the second show: monitor 1's show goes on, monitor 2
            # says why the start waits; once the prompt is answered both shows are exited.
            restart(PromptMember="SlideShowSettings.Run", PromptAt=2)
            run = Run(w, journal)
            self.assertTrue(journal.wait_for(lambda j: events(run, "prompt"), timeout=30),
                            "the host never prompted")
            run.wait_for_shows(1)
            self.assertTrue(w.wait_for(lambda: k.message_labels(w) == {
                w.monitor_numbered(2): k.TEXT_HOST_BUSY}, timeout=15), k.message_labels(w))
            leave(run)
            k.dismiss_message_box(w, "Password")
            self.assertTrue(show_ends(run, 2), "a show outlived the run")
            self.assertEndedEverything(w, run, exited=["Harbour.pptx", "Meadow.pptx"],
                                       still_open=[harbour, meadow])


@unittest.skipUnless(winekit.runs_32_bit_programs(), winekit.NO_32_BIT)
class Office32Scenarios(unittest.TestCase):
    """32-bit Office: the setup installs for every user, the 32-bit host (started by the 64-bit
    Corvane.scr through COM) loads the 32-bit add-in from the setup's 32-bit registration and
    the machine's 32-bit add-in key."""

    assertShowOver = SystemScenarios.assertShowOver
    assertEndedEverything = SystemScenarios.assertEndedEverything
    assertNoQuit = SystemScenarios.assertNoQuit

    def test_two_monitors_32_bit_host_and_add_in_then_key_end(self):
        with winekit.WineSession("e2e-office32", monitors=2) as w:
            k.install_standin32(w)
            k.install_with_setup(w)
            harbour = standin.write_presentation(w, "Harbour.pptx", color=AZURE)[1]
            meadow = standin.write_presentation(w, "Meadow.pptx", color=OLIVE)[1]
            journal = standin.Journal(w)
            k.write_settings(w, [(harbour, 1), (meadow, 2)], keyboard=False, mouse=True)
            run = Run(w, journal)
            run.wait_for_shows(2)
            self.assertEqual([e.fields[-1] for e in journal.events("host")][:1], ["embedding"],
                             "Corvane starts the 32-bit host through COM")
            self.assertEqual(journal.addin_events(k.ADDIN_PROGID)[:3],
                             [(k.ADDIN_PROGID, "create", "0x00000000"),
                              (k.ADDIN_PROGID, "OnConnection", "0x00000000"),
                              (k.ADDIN_PROGID, "OnStartupComplete", "0x00000000")])

            # The host is a 32-bit process and holds the 32-bit builds, the 64-bit ones nowhere.
            hosts = k.processes_mapping(w, k.INSTALL_DIR + r"\x86\Paxendo.dll")
            self.assertEqual(len(hosts), 1, "processes holding x86\\Paxendo.dll")
            self.assertTrue(k.is_32_bit_process(hosts[0]), "the host is not a 32-bit process")
            self.assertEqual(k.processes_mapping(w, k.INSTALL_DIR + r"\x86\Tovrin.dll"), hosts)
            self.assertEqual(k.processes_mapping(w, k.INSTALL_DIR + r"\Paxendo.dll"), [])

            def both_shows(shot):
                self.assertShowOver(w, run, shot, "Harbour.pptx", 1, AZURE)
                self.assertShowOver(w, run, shot, "Meadow.pptx", 2, OLIVE)
            k.wait_picture(w, both_shows, "both shows over their monitors")
            self.assertEqual(k.message_labels(w), {})
            k.end_by_key(w, run.proc, VK_F24)
            self.assertEndedEverything(w, run, exited=["Harbour.pptx", "Meadow.pptx"],
                                       still_open=[harbour, meadow])


if __name__ == "__main__":
    unittest.main()
