"""Corvane.scr /s under Wine against the presentation-host stand-in and the recording add-in
(registered as "Kestova Screen Saver"): the add-in calls, the monitor windows, every way a run
ends, and a failed start that the user can still end.
"""

import os
import signal
import time
import unittest

import e2e_kit
import policy_template_scenarios as policy_template
import runmode_kit as rk
import standin
import winekit

# The add-in watches Corvane's process from the session's start (WatchScreenSaverCaller).
ADDIN_MEMBERS_AT_START = ["Addin.GetProcessId", "Addin.IsCOMAddInInitialized",
                          "Addin.InitializeScreenSaverSession", "Addin.WatchScreenSaverCaller"]
FIND_ADDIN = ["Application.COMAddIns", "COMAddIns.Count", "Application.COMAddIns",
              "COMAddIns.Item", "COMAddIn.Description", "Application.COMAddIns",
              "COMAddIns.Item", "COMAddIn.Object"]


# The user's run journal, as the event log names it.
JOURNAL = e2e_kit.journal_windows_path()


def arg_text(arg: standin.Arg) -> str:
    # Wine's cross-process marshaller hands a by-reference BSTR over with one extra NUL
    # character (the journal shows it as ^@); on Windows the string arrives as sent.
    value = arg.value or ""
    return value[:-2] if arg.vt == "VT_BSTR" and value.endswith("^@") else value


def signature(call: standin.Entry) -> tuple:
    """(member, invoke flags, ((type, by reference, value), ...)) of a journal call line."""
    return (call.member, call.flags, tuple((a.vt, a.byref, arg_text(a)) for a in call.args))


def driver_calls(journal: standin.Journal) -> list[standin.Entry]:
    """Calls made through IDispatch (Corvane's), not the host's own loading of the add-in."""
    return [c for c in journal.calls() if c.flags not in ("VTABLE", "PROPERTYPUT")]


def to_x_rect(w: winekit.WineSession, r: winekit.Rect) -> winekit.Rect:
    x, y = w.to_x(r.left, r.top)
    return winekit.Rect(x, y, r.width, r.height)


class RunModeScenarios(unittest.TestCase):

    def assertEnds(self, proc, timeout=30, what="the run", journal=None):
        if not rk.ended(proc, timeout):
            tail = "\n".join(e.line for e in journal.entries()[-12:]) if journal else ""
            self.fail(f"{what} did not end within {timeout} s" +
                      (f"; the journal ends:\n{tail}" if journal else ""))

    def assertStillRuns(self, proc, seconds=1.0, what=""):
        self.assertFalse(rk.ended(proc, seconds), f"the run ended on {what}")

    def assertNoCorvaneWindow(self, w):
        left = [x for x in standin.list_windows(w) if x.class_name in ("TMainForm", "TDisplayForm")]
        self.assertEqual(left, [])

    def test_three_monitors_calls_windows_and_hot_key_end(self):
        with winekit.WineSession("runmode-three", monitors=3) as w:
            standin.install_standin(w)
            standin.register_recording_addin(w)
            standin.start_standin(w)
            one = standin.write_presentation(w, "one.pptx")[1]
            three = standin.write_presentation(w, "three.pptx")[1]
            missing = r"C:\presentations\missing & gone.pptx"
            rk.write_settings(w, [(one, 1), (missing, 2), (three, 3)], keyboard=True, mouse=True)
            rk.reset_input(w)
            journal = standin.Journal(w)

            proc = rk.start(w)
            self.assertIsNotNone(rk.wait_started(w, proc))
            journal.wait_for_call("Addin.ShouldEndScreenSaver")

            calls = driver_calls(journal)
            first = [signature(c) for c in calls if c.member != "Addin.ShouldEndScreenSaver"]
            read, method = "METHOD|PROPERTYGET", "METHOD"
            self.assertEqual(first[:8], [
                ("Application.COMAddIns", read, ()), ("COMAddIns.Count", read, ()),
                ("Application.COMAddIns", read, ()), ("COMAddIns.Item", method,
                                                      (("VT_I4", False, "1"),)),
                ("COMAddIn.Description", read, ()), ("Application.COMAddIns", read, ()),
                ("COMAddIns.Item", method, (("VT_I4", False, "1"),)),
                ("COMAddIn.Object", read, ())])
            # Corvane's own process id, for the add-in to watch.
            watch = first.pop(11)
            self.assertEqual(watch[:2], ("Addin.WatchScreenSaverCaller", method))
            self.assertEqual(watch[2][0][:2], ("VT_I4", True))
            self.assertGreater(int(watch[2][0][2]), 0)
            self.assertEqual(first[8:], [
                ("Addin.GetProcessId", method, (("VT_I4", True, "0"),)),
                ("Addin.IsCOMAddInInitialized", method, ()),
                ("Addin.InitializeScreenSaverSession", method, (("VT_I4", True, "2"),)),
                ("Addin.AddScreenSaver", method, (("VT_I4", True, "1"), ("VT_BSTR", True, one),
                                                  ("VT_I4", True, "1"))),
                ("Addin.AddScreenSaver", method, (("VT_I4", True, "2"), ("VT_BSTR", True, three),
                                                  ("VT_I4", True, "3"))),
                ("Addin.PrepareScreenSaver", method, ()),
                ("Addin.BeginScreenSaver", method, ()),
                # For the run journal, once the run is up.
                ("Application.Version", read, ())])

            # Only monitor 2 gets a message window: black, topmost, a tool window, its whole
            # rectangle, and the file-not-found text centred on one line.
            forms = rk.windows(w, "TDisplayForm")
            self.assertEqual(len(forms), 1)
            form = forms[0]
            self.assertEqual(form.rect, w.monitor_numbered(2))
            self.assertEqual(form.title, "DisplayForm")
            self.assertTrue(form.style & rk.WS_POPUP and not form.style & rk.WS_CAPTION)
            self.assertEqual(form.ex_style & (rk.WS_EX_TOPMOST | rk.WS_EX_TOOLWINDOW),
                             rk.WS_EX_TOPMOST | rk.WS_EX_TOOLWINDOW)
            main = rk.main_window(w)
            self.assertFalse(main.visible)
            self.assertEqual(main.title, rk.CAPTION)

            text = f'File "{missing}" not found.'
            extent = int(rk.probe(w, "extent", text)[0].split()[1])
            area = to_x_rect(w, w.monitor_numbered(2))
            shot = w.wait_screen(lambda s: s.share(area, winekit.is_black) > 0.97 and
                                 s.bounding_box(area, winekit.is_yellow) is not None, 30,
                                 "monitor 2 painted black with its yellow text",
                                 path=winekit.BUILD / "wine" / "runmode-three.png")
            self.assertGreater(shot.share(area, winekit.is_black), 0.97)
            box = shot.bounding_box(area, winekit.is_yellow)
            self.assertIsNotNone(box, "no yellow text")
            self.assertLessEqual(abs((box.left + box.right) / 2 - (area.left + area.right) / 2), 3)
            self.assertLessEqual(abs((box.top + box.bottom) / 2 - (area.top + area.bottom) / 2), 4)
            self.assertLess(box.height, 16, "one line")
            self.assertTrue(0.94 * extent <= box.width <= extent + 2, (box, extent))
            for other in (1, 3):  # the add-in's shows would cover these; nothing of Corvane's
                self.assertLess(shot.share(to_x_rect(w, w.monitor_numbered(other)),
                                           winekit.is_black), 0.01)

            # Ctrl+Alt+Esc ends it; atom and hot key are gone before the add-in hears of the end.
            self.assertTrue(rk.hot_key_taken(w))
            watcher = rk.probe_background(w, "watch", rk.ATOM, 10000)
            self.assertEqual(watcher.stdout.readline().decode().strip(), "watching")
            rk.probe(w, "chord")
            self.assertEnds(proc)
            gone = watcher.communicate(timeout=15)[0].decode().split()
            journal.wait_for_call("Addin.ExitScreenSaverSession")
            tail = [c.member for c in driver_calls(journal)][-2:]
            self.assertEqual(tail, ["Addin.EndScreenSaver", "Addin.ExitScreenSaverSession"])
            self.assertEqual(gone[0], "gone")
            # Neither was seen after the add-in was told to end (the tick is the same clock).
            end_tick = journal.calls("Addin.EndScreenSaver")[0].tick
            self.assertLessEqual(int(gone[1]), end_tick, "atom")
            self.assertLessEqual(int(gone[2]), end_tick, "hot key")
            self.assertNoCorvaneWindow(w)
            self.assertEqual(rk.probe(w, "atom", rk.ATOM), ["atom 0"])
            # The host is never asked to quit.
            self.assertFalse(journal.wait_for_exit(timeout=0.5))

    def test_input_ends_the_run_by_the_two_flags(self):
        # The pointer waits where no monitor is (X 100,900 lies below the 768-pixel-high left
        # monitor), so no window of the run appears under it: Wine would send a mouse move then.
        # An injected move leaves Wine's idea of the pointer off every monitor, and the next
        # window to appear pulls it back with a real move: the pointer is parked anew each run.
        with winekit.WineSession("runmode-input", monitors=3) as w:

            def run(keyboard, mouse, entries=()):
                rk.write_settings(w, list(entries), keyboard=keyboard, mouse=mouse)
                rk.reset_input(w)
                w.xdotool("mousemove", "100", "900")
                proc = rk.start(w)
                self.assertIsNotNone(rk.wait_started(w, proc))
                rk.wait_display_forms(w, 3)
                rk.wait_armed(w)
                return proc

            # Requests that are no run end at once, before any window; /c: opens the settings.
            for args in (["/p", "12345"], ["/c"], ["/S:1"], ["s"], ["-"]):
                self.assertEqual(w.run([w.exe(rk.CORVANE), *args], timeout=30).returncode, 0)
            proc = rk.start(w, "-C:0")
            self.assertTrue(w.wait_for(lambda: rk.windows(w, "KestovaConfigureForm"), timeout=20))
            self.assertIsNone(rk.main_window(w))
            proc.kill()
            proc.wait(30)

            proc = run(False, False)
            self.assertFalse(rk.hot_key_taken(w))
            rk.probe(w, "keydown", rk.VK_F24)
            self.assertEnds(proc, what="a key press")

            rk.probe(w, "keydown", rk.VK_F24)  # pressed before the run, released during it
            proc = run(False, False)
            rk.probe(w, "keyup", rk.VK_F24)
            self.assertEnds(proc, what="a key release")

            proc = run(False, False)
            rk.probe(w, "move", 1, 0)
            self.assertEnds(proc, what="a one-pixel move")

            proc = run(False, False)
            rk.probe(w, "chord")  # the first of its key events, through the hook
            self.assertEnds(proc, what="Ctrl+Alt+Esc without hot key")

            proc = run(False, True)
            rk.probe(w, "move", 1, 0)
            self.assertStillRuns(proc, what="a mouse move with mouse interaction")
            rk.probe(w, "key", rk.VK_F24)
            self.assertEnds(proc, what="a key press with mouse interaction")

            proc = run(True, False)
            self.assertTrue(rk.hot_key_taken(w))
            rk.probe(w, "key", rk.VK_F24)
            self.assertStillRuns(proc, what="a key with keyboard interaction")
            rk.probe(w, "move", 0, 1)
            self.assertEnds(proc, what="a mouse move with keyboard interaction")

            proc = run(True, True)
            rk.probe(w, "key", rk.VK_F24, "move", 1, 0)
            self.assertStillRuns(proc, what="key and mouse with both interactions")
            rk.probe(w, "chord")
            self.assertEnds(proc, what="Ctrl+Alt+Esc")

            # The organisation's values, set where and as the administrative template says, win
            # over the user's own: the machine's policy turns the mouse on and names monitor 1's
            # presentation, the user's policy turns the keyboard off.
            mouse_key, mouse_value, mouse_on, _ = policy_template.admx_flag("EnableMouse")
            keyboard_key, keyboard_value, _, keyboard_off = policy_template.admx_flag(
                "EnableKeyboard")
            monitor_key, monitor_value = policy_template.admx_text("Monitor1")
            lobby = r"C:\organisation\Lobby.pptx"
            w.import_reg(f"[HKEY_LOCAL_MACHINE\\{mouse_key}]\r\n"
                         f'"{mouse_value}"=dword:{mouse_on:08x}\r\n\r\n'
                         f"[HKEY_LOCAL_MACHINE\\{monitor_key}]\r\n"
                         f'"{monitor_value}"="{lobby.replace(chr(92), chr(92) * 2)}"\r\n\r\n'
                         f"[HKEY_CURRENT_USER\\{keyboard_key}]\r\n"
                         f'"{keyboard_value}"=dword:{keyboard_off:08x}\r\n')
            blocks = len(e2e_kit.journal_blocks(w))
            proc = run(True, False, entries=[(r"C:\shows\mine.pptx", 1)])
            self.assertFalse(rk.hot_key_taken(w))
            rk.probe(w, "move", 1, 0)
            self.assertStillRuns(proc, what="a mouse move with the mouse on by policy")
            rk.probe(w, "key", rk.VK_F24)
            self.assertEnds(proc, what="a key press with the keyboard off by policy")
            self.assertNoCorvaneWindow(w)
            self.assertEqual(rk.probe(w, "atom", rk.ATOM), ["atom 0"])
            # No host here: what the run took for monitor 1 shows in its journal.
            block = e2e_kit.journal_blocks(w)[blocks:]
            self.assertEqual(len(block), 1)
            self.assertEqual(block[0].per_monitor("Settings"), {1: lobby + " (not found)"})

    def test_two_monitors_hooks_show_end_and_host_exit(self):
        with winekit.WineSession("runmode-two", monitors=2) as w:
            w.xdotool("mousemove", "1800", "900")  # below the second, smaller monitor
            standin.install_standin(w)
            standin.register_recording_addin(w)
            host = standin.start_standin(w)
            deck = standin.write_presentation(w, "deck.pptx")[1]
            rk.write_settings(w, [(deck, 1)])
            rk.reset_input(w)
            journal = standin.Journal(w)

            # Monitor 2 has no entry: a plain black window. Hooks end the run, and they are gone
            # before EndScreenSaver arrives.
            proc = rk.start(w)
            self.assertIsNotNone(rk.wait_started(w, proc))
            rk.wait_polled(journal)
            init = journal.calls("Addin.InitializeScreenSaverSession")[0]
            add = journal.calls("Addin.AddScreenSaver")
            self.assertEqual([(a.vt, a.byref, arg_text(a)) for a in init.args],
                             [("VT_I4", True, "1")])
            self.assertEqual(len(add), 1)
            self.assertEqual([arg_text(a) for a in add[0].args], ["1", deck, "1"])
            forms = rk.windows(w, "TDisplayForm")
            self.assertEqual([f.rect for f in forms], [w.monitor_numbered(2)])
            area = to_x_rect(w, w.monitor_numbered(2))
            shot = w.wait_screen(lambda s: s.share(area, winekit.is_black) > 0.995, 30,
                                 "monitor 2 painted black")
            self.assertIsNone(shot.bounding_box(area, winekit.is_yellow))
            passed = rk.probe(w, "swallowed", 10000)[0].split()
            self.assertEnds(proc)
            self.assertEqual(passed[0], "passed")
            self.assertGreater(int(passed[1]), 0, "the first press was swallowed")
            end = journal.wait_for_call("Addin.EndScreenSaver")[0]
            self.assertLessEqual(int(passed[1]), end.tick)
            self.assertNoCorvaneWindow(w)

            # ShouldEndScreenSaver answering true ends the run at that tick.
            standin.set_knobs(w, "RecordingAddin", ShouldEndAfter=2)
            rk.write_settings(w, [(deck, 1)], keyboard=True, mouse=True)
            rk.reset_input(w)
            before = len(journal.calls("Addin.EndScreenSaver"))
            proc = rk.start(w)
            self.assertEnds(proc, what="the run whose add-in asks to end")
            polls = journal.calls("Addin.ShouldEndScreenSaver")
            self.assertEqual(polls[-1].result, "VT_BOOL:-1")
            ends = journal.wait_for_call("Addin.EndScreenSaver", count=before + 1)
            self.assertLess(ends[-1].tick - polls[-1].tick, 1000)
            standin.set_knobs(w, "RecordingAddin", ShouldEndAfter=0)

            # The host killed: the next tick's process wait ends the run.
            rk.reset_input(w)
            proc = rk.start(w)
            rk.wait_polled(journal)
            os.killpg(host.pid, signal.SIGKILL)
            self.assertEnds(proc, what="the run after the host's death", journal=journal)
            self.assertNoCorvaneWindow(w)

    def test_failed_starts_are_reported_and_stay_endable(self):
        with winekit.WineSession("runmode-failures", monitors=1, dpi=120) as w:
            deck = standin.write_presentation(w, "deck.pptx")[1]

            def failed_run(expected_text, main_shown):
                """Returns what the run told the event log."""
                rk.reset_input(w)
                events = rk.events_file(w)
                proc = rk.start(w, events=events)
                texts = w.wait_until(lambda: [t for t in rk.probe(w, "dialog", rk.CAPTION)
                                              if t.startswith("text ")], 30,
                                     f'the report "{expected_text}"')
                self.assertEqual(texts, ["text " + expected_text])
                rk.probe(w, "press-ok", rk.CAPTION)
                w.wait_until(lambda: rk.probe(w, "dialog", rk.CAPTION) == ["no dialog"], 30,
                             "the report to close")
                rk.wait_armed(w)
                main = rk.main_window(w)
                self.assertIsNotNone(main)
                self.assertEqual(main.visible, main_shown)
                # Armed after the report (mouse interaction on: the report's window and the
                # main window appear under the pointer).
                rk.probe(w, "key", rk.VK_F24)
                self.assertEnds(proc, what="a key press after a failed start")
                self.assertNoCorvaneWindow(w)
                return rk.logged_events(events)

            def start_failed(text):
                """The one event of a run that could not start: an error with the failure's
                text, naming the user's run journal."""
                return [rk.LoggedEvent(rk.EVENT_ERROR, 1, 1001, (text, JOURNAL))]

            # Settings that cannot be read: before the run takes the screen.
            w.import_reg(f"[-{rk.SETTINGS_KEY}]\r\n\r\n[{rk.SETTINGS_KEY}]\r\n"
                         '"EnableMouse"=dword:00000001\r\n"Count"="3"\r\n\r\n')
            self.assertEqual(failed_run("Invalid data type for 'Count'", main_shown=True),
                             start_failed("The settings could not be read: Invalid data type "
                                          "for 'Count'"))

            # A host without the add-in list.
            standin.install_standin(w, NoCOMAddIns=1)
            standin.register_recording_addin(w)
            host = standin.start_standin(w)
            rk.write_settings(w, [(deck, 1)], mouse=True)
            self.assertEqual(
                failed_run("Method 'COMAddIns' not supported by automation object.",
                           main_shown=True),
                start_failed("Method 'COMAddIns' not supported by automation object."))
            standin.quit_standin(w)
            self.assertTrue(rk.ended(host, 20))

            # The add-in raising an error in BeginScreenSaver: reported, the run still ends by
            # input, and the session is still ended and left.
            standin.set_knobs(w, "Standin", NoCOMAddIns=0)
            standin.set_knobs(w, "RecordingAddin", FailMember="BeginScreenSaver",
                              FailDescription="Slide show refused")
            standin.start_standin(w)
            journal = standin.Journal(w)
            self.assertEqual(failed_run("Slide show refused.", main_shown=False),
                             start_failed("Slide show refused."))
            calls = [signature(c) for c in driver_calls(journal) if c.member.startswith("Addin.")]
            self.assertEqual([c[0] for c in calls], ADDIN_MEMBERS_AT_START + [
                "Addin.AddScreenSaver", "Addin.PrepareScreenSaver", "Addin.BeginScreenSaver",
                "Addin.EndScreenSaver", "Addin.ExitScreenSaverSession"])
            self.assertEqual(calls[2][2], (("VT_I4", True, "1"),))
            self.assertEqual(calls[4][2], (("VT_I4", True, "1"), ("VT_BSTR", True, deck),
                                           ("VT_I4", True, "1")))

            # An add-in that is not ready: the text on the monitor, at this desktop's 120 dpi;
            # the end of the run still ends and leaves the session.
            standin.set_knobs(w, "RecordingAddin", FailMember=None, Initialized=0)
            rk.reset_input(w)
            before = len(journal.calls())
            events = rk.events_file(w)
            proc = rk.start(w, events=events)
            self.assertIsNotNone(rk.wait_started(w, proc))
            rk.wait_display_forms(w, 1)
            rk.wait_armed(w)
            text = "Kestova Screen Saver server is not accessible."
            extent = rk.probe(w, "extent", text)[0].split()
            extent_width, extent_height = int(extent[1]), int(extent[2])
            area = to_x_rect(w, w.monitor_numbered(1))
            shot = w.wait_screen(lambda s: s.share(area, winekit.is_black) > 0.97 and
                                 s.bounding_box(area, winekit.is_yellow) is not None, 30,
                                 "monitor 1 painted black with its yellow text")
            box = shot.bounding_box(area, winekit.is_yellow)
            self.assertGreaterEqual(extent_height, 15, "8 pt at 120 dpi")
            # The ink of the text is a little narrower than its advance; a font made for 96 dpi
            # would be some 15 % narrower still.
            self.assertTrue(0.94 * extent_width <= box.width <= extent_width + 2,
                            (box, extent_width))
            rk.probe(w, "key", rk.VK_F24)
            self.assertEnds(proc)
            self.assertEqual([c.member for c in driver_calls(journal)[before:]
                              if c.member.startswith("Addin.")],
                             ["Addin.GetProcessId", "Addin.IsCOMAddInInitialized",
                              "Addin.EndScreenSaver", "Addin.ExitScreenSaverSession"])
            # The run started, but its monitor went without its show: a warning, not an error.
            self.assertEqual(rk.logged_events(events), [rk.LoggedEvent(
                rk.EVENT_WARNING, 2, 1002, ("Monitor 1: " + text, JOURNAL))])

    def test_hung_host_never_holds_the_screen_and_black_windows_refuse_to_close(self):
        # Keyboard and mouse passed to the shows: only Ctrl+Alt+Esc ends a run, through the hot
        # key on Corvane's window thread, whatever call into the host is out.
        with winekit.WineSession("runmode-hung", monitors=2) as w:
            standin.install_standin(w)
            standin.register_recording_addin(w)
            standin.start_standin(w)
            deck = standin.write_presentation(w, "deck.pptx")[1]
            journal = standin.Journal(w)

            def corvane_on_screen():
                return [x for x in standin.list_windows(w) if x.visible and
                        x.class_name in ("TMainForm", "TDisplayForm")]

            def hang(member, at_end=False):
                """A run whose add-in keeps `member` waiting 7 s; Ctrl+Alt+Esc while it waits."""
                standin.set_knobs(w, "RecordingAddin", SlowMember=member, SlowMs=7000,
                                  MonitorReport=int(member == "GetMonitorReport"))
                rk.write_settings(w, [(deck, 1), ("", 2)], keyboard=True, mouse=True)
                rk.reset_input(w)
                mark = len(journal.entries())
                begun = len(journal.calls("Addin.BeginScreenSaver"))
                hung_before = len(journal.calls("Addin." + member))
                proc = rk.start(w)
                if at_end:  # the end calls come only after the input
                    journal.wait_for_call("Addin.BeginScreenSaver", count=begun + 1, timeout=30)
                    self.assertTrue(corvane_on_screen(), "the black window of monitor 2")
                    rk.probe(w, "chord")
                    pressed = time.monotonic()
                waiting = journal.wait_for(lambda j: [e for e in j.entries()[mark:]
                                                      if e.kind == "wait"], timeout=30)
                self.assertTrue(waiting, f"the add-in never waited in {member}")
                self.assertEqual(waiting[0].fields[0], "Addin." + member)
                if not at_end:
                    self.assertTrue(corvane_on_screen(), "the black window of monitor 2")
                    rk.probe(w, "chord")
                    pressed = time.monotonic()
                self.assertTrue(w.wait_for(lambda: not corvane_on_screen(), timeout=10),
                                f"Corvane's windows stayed while {member} hung")
                self.assertEnds(proc, timeout=15, what=f"the run hung in {member}")
                # Gone within 5 s of the input, with the exit code of a run that left without
                # the host's answer.
                self.assertLess(time.monotonic() - pressed, 5.0, member)
                self.assertEqual(proc.returncode, rk.ABANDONED_EXIT_CODE, member)
                standin.set_knobs(w, "RecordingAddin", SlowMember=None, SlowMs=None)
                # Journalled once it is done, after the process has left.
                journal.wait_for_call("Addin." + member, count=hung_before + 1, timeout=20)
                calls = [c for c in driver_calls(journal)
                         if c.tick >= int(waiting[0].fields[2])]
                self.assertEqual(calls[0].member, "Addin." + member)
                # The add-in was watching this process from the session's start: nothing is
                # handed over late, and no call follows the input but the run's own end.
                run = [e.member for e in journal.entries()[mark:]
                       if e.kind == "call" and e.flags not in ("VTABLE", "PROPERTYPUT")]
                start = run.index("Addin.InitializeScreenSaverSession")
                self.assertEqual(run[start + 1], "Addin.WatchScreenSaverCaller")
                self.assertNoCorvaneWindow(w)
                self.assertEqual(rk.probe(w, "atom", rk.ATOM), ["atom 0"])
                return [c.member for c in calls]

            # At start: the shows never begin after the user has ended the run.
            calls = hang("PrepareScreenSaver")
            self.assertNotIn("Addin.BeginScreenSaver", calls)
            # Once the shows began, in the add-in's report, in the one-second poll, and at the
            # end.
            hang("GetMonitorReport")
            hang("ShouldEndScreenSaver")
            hang("EndScreenSaver", at_end=True)

            # Only message windows, keyboard passed on: Alt+F4, the system menu's Close and
            # WM_CLOSE leave every black window in place; Ctrl+Alt+Esc still ends the run.
            rk.write_settings(w, [], keyboard=True, mouse=True)
            rk.reset_input(w)
            proc = rk.start(w)
            self.assertTrue(w.wait_for(lambda: len(rk.windows(w, "TDisplayForm")) == 2,
                                       timeout=20), "two black windows")
            rk.probe(w, "keydown", 0x12, "key", 0x73, "keyup", 0x12)
            self.assertEqual(rk.probe(w, "close", "TDisplayForm"), ["asked 2"])
            self.assertIsNone(w.wait_for(lambda: len(rk.windows(w, "TDisplayForm")) < 2 or None,
                                         timeout=1.5), "a black window was closed")
            self.assertStillRuns(proc, what="close requests")
            rk.probe(w, "chord")
            self.assertEnds(proc)
            self.assertNoCorvaneWindow(w)


if __name__ == "__main__":
    unittest.main()
