"""./dev bench: the performance table P1-P7 of the whole system under Wine. Prints figures; never
fails on a time (only when a run does not work at all).

  P1  Corvane.scr /s start -> shows placed, against a bare client (E2eClient.exe session) making
      the same automation calls in the same Wine session: host already running, and host started
      through COM
  P2  injected input -> Corvane.scr gone, including EndScreenSaver and ExitScreenSaverSession;
      and with the host hanging (7 s in the start of a show): input -> Corvane's windows gone,
      input -> process gone
  P3  CPU time and working-set growth of Corvane.scr over a run left alone
  P4  add-in load time: the add-in object created in a fresh process (ProgID lookup, Paxendo.dll
      loaded, class factory), the add-in's own connection time (tools/bench_addin.py), and the
      host's start with and without Paxendo
  P5  sizes of the three binaries; Corvane.scr's peak working set next to the bare client's
  P6  LoadSession with Count = 2^31 - 1: natively (settings_load_bench) and Corvane.scr /s under
      Wine with that Count in the registry
  P7  the run journal: its work on the interface thread at a run's start and end, and the writer
      thread's time for one block (wintest_screensaver.exe, CorvaneRunJournal.Bench)
  P8  the look for updated files: start -> shows placed with the three presentations open and
      their files unchanged, opened by another client (no stamp is read, as before the add-in
      looked for updates) and opened by the add-in (three stamp reads); PrepareScreenSaver's own
      time in the same two cases and the three stamp reads alone (tools/bench_addin.py)

Usage: bench.py [--runs N] [--idle SECONDS] [--start [--trace]]

The last lines set Corvane against the bare client from the same runs, with the goals beside
them: the P1 ratio, launch -> first call on the host, the peak working sets. --start measures
only these; --trace adds as many runs again in which both programs keep their start's phases
(KESTOVA_START_TRACE) and prints each phase's median time after the launch.

Times on the Windows side come from the host's journal ticks (GetTickCount, which under Wine is
the Linux CLOCK_MONOTONIC_RAW in milliseconds) and are compared with that clock here; lines
without a tick are stamped as they appear (JournalTail, ~4 ms). Working sets and CPU times are
those of the Linux process that is the Windows program.
"""

from __future__ import annotations

import argparse
import os
import statistics
import subprocess
import sys
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import e2e_kit as k  # noqa: E402
import standin  # noqa: E402
import winekit  # noqa: E402

MONITORS = 3
DECKS = [("Harbour.pptx", 0x008B8B), ("Meadow.pptx", 0x2E8B57), ("Sunset.pptx", 0xD2691E)]
VK_F24 = 0x87
PLACEMENT = ("SlideShowWindow.Left", "SlideShowWindow.Top", "SlideShowWindow.Width",
             "SlideShowWindow.Height")
ADDIN_KEY = standin.ADDINS_KEY + "\\" + k.ADDIN_PROGID


def median(values) -> float:
    return statistics.median(values) if values else float("nan")


def spread(values, unit="ms") -> str:
    if not values:
        return "n/a"
    return (f"{median(values):.0f} {unit} (min {min(values):.0f}, max {max(values):.0f}, "
            f"{len(values)} runs)")


class PeakWatch:
    """The peak working set (VmHWM, KiB) of a process that ends by itself, read every 10 ms on a
    thread of its own until it is gone."""

    def __init__(self, proc):
        self.peak = 0
        self.thread = threading.Thread(target=self._watch, args=(proc,), daemon=True)
        self.thread.start()

    def _watch(self, proc):
        while proc.poll() is None:
            figures = k.process_figures(proc.pid)
            if figures:
                self.peak = max(self.peak, figures.peak_rss_kib)
            time.sleep(0.01)

    def kib(self) -> int:
        self.thread.join(65)
        return self.peak


def read_trace(path: Path, launched: float) -> dict[str, float]:
    """The marks a start left in its trace file (KESTOVA_START_TRACE), as ms after `launched`
    (both on CLOCK_MONOTONIC_RAW); the file is emptied for the next run."""
    marks = {}
    if path.exists():
        for line in path.read_text().splitlines():
            phase, _, at = line.rstrip("\r").partition("\t")
            if at:
                marks.setdefault(phase, float(at) - launched)
        path.unlink()
    return marks


class Bench:
    def __init__(self, w: winekit.WineSession, runs: int):
        self.w, self.runs = w, runs
        self.journal = standin.Journal(w)
        self.paths = [standin.write_presentation(w, name, color=colour)[1]
                      for name, colour in DECKS]
        self.entries = [(path, n + 1) for n, path in enumerate(self.paths)]
        # With a trace file, each start's phases are kept: {"Corvane": [...], "bare": [...]}.
        self.trace: Path | None = None
        self.traces: dict[str, list[dict[str, float]]] = {"Corvane": [], "bare client": []}

    def use_trace(self, path: Path):
        """Asks every program started from now on for its start trace (KESTOVA_START_TRACE)."""
        self.trace = path
        path.unlink(missing_ok=True)
        self.w.env["KESTOVA_START_TRACE"] = winekit.winpath(path)

    def keep_trace(self, who: str, launched: float):
        if not self.trace:
            return
        # Written once the start is done, shortly after the last placement.
        winekit.wait_until(lambda: self.trace.exists() and "start done" in self.trace.read_text(),
                           10, f"{who}'s start trace")
        self.traces[who].append(read_trace(self.trace, launched))

    # --- start -------------------------------------------------------------------------------

    def placed_at(self, mark: int, shows: int, timeout: float = 60) -> tuple[float, float]:
        """CLOCK_MONOTONIC_RAW times of the first call the host received after `mark` and of the
        last placement call of `shows` shows."""
        def placed(j):
            calls = [e for e in j.entries()[mark:] if e.kind == "call"]
            if len([c for c in calls if c.member in PLACEMENT]) >= 4 * shows:
                return calls
            return None
        calls = self.journal.wait_for(placed, timeout=timeout)
        if not calls:
            raise SystemExit("the shows were not placed; journal:\n" + self.journal.text())
        last = [c for c in calls if c.member in PLACEMENT][4 * shows - 1]
        now = k.raw_ms()
        return k.tick_to_raw(calls[0].tick, now), k.tick_to_raw(last.tick, now)

    def corvane_start(self, keyboard: bool):
        """Launches Corvane.scr /s; returns (process, ms to the shows placed, ms to the first
        call the host received)."""
        k.write_settings(self.w, self.entries, keyboard=keyboard, mouse=True)
        k.reset_input(self.w)
        mark = len(self.journal.entries())
        launched = k.raw_ms()
        proc = k.start(self.w)
        first, placed = self.placed_at(mark, MONITORS)
        self.keep_trace("Corvane", launched)
        return proc, placed - launched, first - launched

    def bare_start(self) -> tuple[float, float, int]:
        """The bare client's run: ms from its launch to the shows placed and to the first call
        the host received (it then ends the shows itself), and its peak working set in KiB."""
        args = []
        for path, monitor in self.entries:
            args += [path, str(monitor)]
        mark = len(self.journal.entries())
        launched = k.raw_ms()
        proc = self.w.start_program([str(k.build_client()), "session", *args])
        peak = PeakWatch(proc)
        first, placed = self.placed_at(mark, MONITORS)
        if proc.wait(60) != 0:
            raise SystemExit(f"the bare client failed (exit code {proc.returncode})")
        self.keep_trace("bare client", launched)
        return placed - launched, first - launched, peak.kib()

    # --- end ---------------------------------------------------------------------------------

    def end(self, proc, keyboard: bool) -> tuple[float, float]:
        """Injects the ending input (a key through the hook, or Ctrl+Alt+Esc through the hot
        key); returns (ms input -> process gone, ms input -> last show exited)."""
        gone = k.wait_gone(proc)
        mark = len(self.journal.entries())
        if keyboard:
            sent = k.inject_ticked(self.w, "chord")
        else:
            sent = k.inject_ticked(self.w, "key", VK_F24)
        gone["thread"].join(65)
        if "at" not in gone:
            raise SystemExit("the run did not end on input")
        exits = [e for e in self.journal.entries()[mark:]
                 if e.kind == "call" and e.member == "SlideShowView.Exit"]
        last_exit = k.tick_to_raw(exits[-1].tick, k.raw_ms()) - sent if exits else float("nan")
        return gone["at"] - sent, last_exit


def hung_host(w: winekit.WineSession, bench: "Bench", runs: int) -> tuple[list, list]:
    """The host takes 7 s to start a show (stand-in SlowMember); Ctrl+Alt+Esc while it waits.
    Returns (ms input -> Corvane's windows gone, ms input -> process gone)."""
    standin.quit_standin(w)
    standin.set_knobs(w, "Standin", SlowMember="SlideShowSettings.Run", SlowMs=7000)
    entries = bench.entries[:-1] + [("", MONITORS)]  # one black window to watch go
    hidden, gone_after = [], []
    for _ in range(runs):
        k.write_settings(w, entries, keyboard=True, mouse=True)
        k.reset_input(w)
        mark = len(bench.journal.entries())
        proc = k.start(w)
        if not bench.journal.wait_for(lambda j: [e for e in j.entries()[mark:]
                                                 if e.kind == "wait"], timeout=60):
            raise SystemExit("the host never hung; journal:\n" + bench.journal.text())
        gone = k.wait_gone(proc)
        answer = k.probe(w, "tick", "chord", "hidden", "TDisplayForm", 10000)
        sent = int(answer[0].split()[1])
        if answer[1].startswith("hidden "):
            hidden.append((int(answer[1].split()[1]) - sent) % 2**32)
        gone["thread"].join(65)
        if "at" in gone:
            gone_after.append(gone["at"] - k.tick_to_raw(sent, k.raw_ms()))
        # The host answers, then the add-in ends what it started: wait for that before the next.
        bench.journal.wait_for(lambda j: [e for e in j.entries()[mark:] if e.kind == "show"
                                          and e.fields[1] == "end"], timeout=30)
    standin.quit_standin(w)
    standin.set_knobs(w, "Standin", SlowMember=None, SlowMs=None)
    return hidden, gone_after


def host_load(w: winekit.WineSession, journal: standin.Journal, runs: int):
    """(ms host start -> ready with Paxendo, the same without, µs to create the add-in object
    in a fresh process)."""
    with_addin, without = [], []
    for _ in range(runs):
        for load in (3, 0):
            standin.set_knobs(w, ADDIN_KEY, LoadBehavior=load)
            with k.JournalTail(journal) as tail:
                mark = tail.mark()
                launched = time.monotonic()
                proc = w.start_program([w.exe(standin.STANDIN_EXE)])
                ready = tail.wait(lambda e: e.kind == "host" and e.fields[0] == "ready",
                                  after=mark)
                if ready is None:
                    raise SystemExit("the host did not come up")
                (with_addin if load else without).append((ready - launched) * 1000)
            standin.quit_standin(w)
            proc.wait(30)
    standin.set_knobs(w, ADDIN_KEY, LoadBehavior=3)
    created = []
    for _ in range(runs):
        lines = k.client(w, "load")
        if lines and lines[0].startswith("load "):
            created.append(float(lines[0].split()[1]))
    return with_addin, without, created


def addin_own_time() -> str:
    """The add-in's own OnConnection + OnStartupComplete time, in-process against a host that
    answers at once (the add-in's benchmark, tools/bench_addin.py)."""
    if not (winekit.WINDOWS_BIN / "wintest_addin.exe").exists():
        return "n/a (wintest_addin.exe not built)"
    try:
        import bench_addin
        rows = bench_addin.connection_figures()
    except Exception as failure:  # noqa: BLE001 - a figure of another suite, not ours to fail on
        return f"n/a ({failure})"
    return "; ".join(f"{value} ({what.split(', ')[-1]})" for what, value in rows) or "n/a"


def prepare_figures() -> str:
    """PrepareScreenSaver with three presentations open and unchanged, opened by another client
    / by the add-in (tools/bench_addin.py): the difference is the three stamp reads."""
    if not (winekit.WINDOWS_BIN / "wintest_addin.exe").exists():
        return "n/a (wintest_addin.exe not built)"
    try:
        import bench_addin
        others, own = bench_addin.stamp_figures()
        reads = dict(bench_addin.stamp_read_figures())
    except Exception as failure:  # noqa: BLE001 - a figure of another suite, not ours to fail on
        return f"n/a ({failure})"
    alone = "; ".join(f"{what.split(', ')[-1]} {value}" for what, value in reads.items())
    return (f"{median(others):.2f} / {median(own):.2f} ms ({median(own) - median(others):+.2f} "
            f"ms, medians of {len(own)}); the three stamp reads alone: {alone}")


def journal_figures() -> list[tuple[str, str]]:
    """Medians (and maxima) of 50 runs of the journal's own steps (each a 300 ms "run" between
    start and end), in a Wine session of its own."""
    exe = "wintest_screensaver.exe"
    if not (winekit.WINDOWS_BIN / exe).exists():
        return [("the run journal", f"n/a ({exe} not built)")]
    with winekit.WineSession("journal-bench", monitors=MONITORS) as w:
        result = w.run([w.exe(exe), "--gtest_filter=CorvaneRunJournal.Bench"], timeout=300,
                       extra_env={"KESTOVA_JOURNAL_BENCH": "1"})
    figures = {}
    for line in result.stdout.splitlines():
        parts = line.rstrip("\r").split("\t")
        if parts[0] == "journal-bench":
            figures[parts[1]] = f"{float(parts[2]):.0f} µs (max {float(parts[3]):.0f})"
    return [("run journal, interface thread at the start (time, writer started)",
             figures.get("start", "n/a")),
            ("  at the end (copy of the run's facts, writer signalled)", figures.get("end", "n/a")),
            ("  writer after the end: format, append (the exit waits for it)",
             figures.get("write", "n/a")),
            ("  a run that ends at once in a fresh process: the writer's first use and the block",
             figures.get("first", "n/a"))]


def native_load_session() -> str:
    """settings_load_bench from a Release native tree of its own."""
    tree = winekit.BUILD / "bench-native"
    try:
        subprocess.run(["cmake", "-S", str(winekit.ROOT), "-B", str(tree),
                        "-DCMAKE_BUILD_TYPE=Release"], check=True, capture_output=True)
        subprocess.run(["cmake", "--build", str(tree), "--target", "settings_load_bench", "-j",
                        str(os.cpu_count() or 2)], check=True, capture_output=True)
    except subprocess.CalledProcessError as failure:
        return "not built: " + (failure.stderr or b"").decode(errors="replace")[-200:]
    exe = next(tree.rglob("settings_load_bench"), None)
    if not exe:
        return "not built"
    return subprocess.run([str(exe)], capture_output=True, text=True, timeout=300).stdout.strip()


def machine() -> str:
    model = "unknown CPU"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            model = line.split(":", 1)[1].strip()
            break
    wine = subprocess.run([winekit.WINE, "--version"], capture_output=True, text=True).stdout
    return f"nproc {os.cpu_count()}, {model}, {wine.strip()}"


def warm_start(bench: Bench, runs: int) -> dict[str, list]:
    """P1 with the host running and the presentations open: Corvane and the bare client one
    after the other, `runs` times each; Corvane's runs end by the hook and the hot key in turn
    (P2). Lists of ms (start -> placed, launch -> first host call), peak working sets (KiB) and
    the P2 times."""
    bench.end(bench.corvane_start(keyboard=False)[0], keyboard=False)  # warm-up
    got: dict[str, list] = {name: [] for name in (
        "corvane", "corvane_first", "corvane_peak", "bare", "bare_first", "bare_peak", "hook",
        "hot_key", "hook_exit", "hot_key_exit")}
    for run in range(runs):
        keyboard = bool(run % 2)
        proc, took, first = bench.corvane_start(keyboard=keyboard)
        got["corvane"].append(took)
        got["corvane_first"].append(first)
        time.sleep(0.3)
        figures = k.process_figures(proc.pid)
        if figures:
            got["corvane_peak"].append(figures.peak_rss_kib)
        gone, exited = bench.end(proc, keyboard=keyboard)
        got["hot_key" if keyboard else "hook"].append(gone)
        got["hot_key_exit" if keyboard else "hook_exit"].append(exited)
        took, first, peak = bench.bare_start()
        got["bare"].append(took)
        got["bare_first"].append(first)
        got["bare_peak"].append(peak)
    return got


def against_bare(got: dict[str, list]) -> list[str]:
    """Corvane against the bare client, from the same runs, with the goals beside them."""
    ratio = median(got["corvane"]) / median(got["bare"])
    first = median(got["corvane_first"]) - median(got["bare_first"])
    peak = median(got["corvane_peak"]) / median(got["bare_peak"]) if got["bare_peak"] else 0
    return [
        f"P1 start -> 3 shows placed, host running: Corvane {median(got['corvane']):.0f} ms / "
        f"bare client {median(got['bare']):.0f} ms = ratio {ratio:.2f} (goal <= 1.10)",
        f"   launch -> first call on the host: Corvane {median(got['corvane_first']):.0f} ms / "
        f"bare client {median(got['bare_first']):.0f} ms = {first:+.0f} ms (goal <= +15)",
        f"P5 peak working set: Corvane {median(got['corvane_peak']) / 1024:.1f} MiB / bare client "
        f"{median(got['bare_peak']) / 1024:.1f} MiB = ratio {peak:.2f} (goal <= 1.25)",
    ]


def trace_table(bench: Bench) -> list[str]:
    """Median ms after the launch of each phase of the traced starts, Corvane beside the bare
    client."""
    lines = []
    for who, traces in bench.traces.items():
        if not traces:
            continue
        phases: list[str] = []
        for trace in traces:
            phases += [p for p in trace if p not in phases]
        phases.sort(key=lambda p: median([t[p] for t in traces if p in t]))
        lines.append(f"{who} (medians of {len(traces)} traced starts, ms after the launch):")
        lines += [f"  {median([t[p] for t in traces if p in t]):7.1f}  {p}" for p in phases]
    return lines


def start_only(runs: int, trace: bool) -> int:
    with winekit.WineSession("bench-start", monitors=MONITORS) as w:
        k.install(w)
        bench = Bench(w, runs)
        standin.start_standin(w)
        for path in bench.paths:  # as in P1 warm: the presentations are open
            k.client(w, "open", path)
        got = warm_start(bench, runs)
        traced = []
        if trace:
            bench.use_trace(winekit.BUILD / "bench-start-trace.txt")
            warm_start(bench, runs)
            traced = trace_table(bench)
        standin.quit_standin(w)
    print(f"Machine: {machine()}; load average {os.getloadavg()[0]:.1f}; medians of {runs} runs")
    for line in against_bare(got) + traced:
        print(line)
    print(f"P2 input -> Corvane gone: key (hook) {median(got['hook']):.0f} ms, Ctrl+Alt+Esc "
          f"(hot key) {median(got['hot_key']):.0f} ms")
    return 0


def main() -> int:
    parser = argparse.ArgumentParser(description="performance table P1-P7")
    parser.add_argument("--runs", type=int, default=6, help="runs per figure (default 6)")
    parser.add_argument("--idle", type=float, default=60.0,
                        help="seconds a run is left alone for P3 (default 60)")
    parser.add_argument("--start", action="store_true",
                        help="only P1 with the host running and the peak working sets, against "
                             "the bare client")
    parser.add_argument("--trace", action="store_true",
                        help="with --start: also trace each start's phases (KESTOVA_START_TRACE)")
    args = parser.parse_args()
    runs = max(2, args.runs)
    k.build_client()
    if args.start:
        return start_only(runs, args.trace)
    load_before = os.getloadavg()[0]
    native = native_load_session()
    own_time = addin_own_time()
    journal = journal_figures()
    prepare = prepare_figures()

    rows: list[tuple[str, str, str]] = []
    with winekit.WineSession("bench", monitors=MONITORS) as w:
        k.install(w)
        bench = Bench(w, runs)
        sizes = {name: (k.install_dir_unix(w) / name).stat().st_size for name in k.BINARIES}

        # P4 first: it starts and quits the host itself.
        with_addin, without, created = host_load(w, bench.journal, runs)

        # P1 cold: no host running; Corvane (or the bare client) starts it through COM.
        cold_corvane, cold_bare = [], []
        for _ in range(max(2, runs // 2)):
            proc, took, _ = bench.corvane_start(keyboard=False)
            cold_corvane.append(took)
            bench.end(proc, keyboard=False)
            standin.quit_standin(w)
            cold_bare.append(bench.bare_start()[0])
            standin.quit_standin(w)

        # P8 before: the host has the presentations open, but another client opened them, so
        # the add-in takes them as they are without reading a stamp.
        standin.start_standin(w)
        for path in bench.paths:
            k.client(w, "open", path)
        not_own = []
        for _ in range(runs):
            proc, took, _ = bench.corvane_start(keyboard=False)
            not_own.append(took)
            bench.end(proc, keyboard=False)
        standin.quit_standin(w)

        # P1 warm and P2: the host runs and has the presentations open (the add-in's own: P8
        # after).
        standin.start_standin(w)
        got = warm_start(bench, runs)
        warm_corvane, warm_bare = got["corvane"], got["bare"]
        hook, hot_key, hook_exit, hot_key_exit = (got["hook"], got["hot_key"], got["hook_exit"],
                                                  got["hot_key_exit"])

        # P3: one run left alone.
        proc = bench.corvane_start(keyboard=False)[0]
        time.sleep(1.0)
        first = k.process_figures(proc.pid)
        time.sleep(args.idle)
        last = k.process_figures(proc.pid)
        bench.end(proc, keyboard=False)

        # P6 under Wine: the largest Count the registry holds, one real entry per monitor.
        big_count, big_peak = [], 0
        for _ in range(2):
            k.write_settings(w, bench.entries, keyboard=False, mouse=True)
            w.import_reg(f"[{k.SETTINGS_KEY}]\r\n\"Count\"=dword:7fffffff\r\n\r\n")
            k.reset_input(w)
            mark = len(bench.journal.entries())
            launched = k.raw_ms()
            proc = k.start(w)
            big_count.append(bench.placed_at(mark, MONITORS)[1] - launched)
            time.sleep(0.3)
            figures = k.process_figures(proc.pid)
            big_peak = max(big_peak, figures.peak_rss_kib if figures else 0)
            k.probe(w, "key", VK_F24)
            k.ended(proc, 30)

        hung_hidden, hung_gone = hung_host(w, bench, max(2, runs // 2))

    ratio_warm = median(warm_corvane) / median(warm_bare)
    ratio_cold = median(cold_corvane) / median(cold_bare)
    rows += [
        ("P1", "start -> 3 shows placed, host running: Corvane.scr /s", spread(warm_corvane)),
        ("", "  same calls by a bare client", spread(warm_bare)),
        ("", "  Corvane's own overhead", f"ratio {ratio_warm:.2f} "
                                         f"({median(warm_corvane) - median(warm_bare):+.0f} ms)"),
        ("", "  of which launch -> first call on the host",
         f"Corvane {median(got['corvane_first']):.0f} ms, bare client "
         f"{median(got['bare_first']):.0f} ms"),
        ("", "start -> 3 shows placed, host started by COM: Corvane", spread(cold_corvane)),
        ("", "  same calls by a bare client", spread(cold_bare)),
        ("", "  Corvane's own overhead", f"ratio {ratio_cold:.2f} "
                                         f"({median(cold_corvane) - median(cold_bare):+.0f} ms)"),
        ("P2", "key press (keyboard hook) -> Corvane gone", spread(hook)),
        ("", "  -> last show exited by EndScreenSaver", spread(hook_exit)),
        ("", "Ctrl+Alt+Esc (hot key) -> Corvane gone", spread(hot_key)),
        ("", "  -> last show exited by EndScreenSaver", spread(hot_key_exit)),
        ("", "host hanging 7 s: Ctrl+Alt+Esc -> Corvane's windows gone", spread(hung_hidden)),
        ("", "  -> Corvane's process gone (host still hanging)", spread(hung_gone)),
        ("P3", f"over {args.idle:.0f} s of a run (3 shows): CPU time",
         f"{last.cpu_seconds - first.cpu_seconds:.2f} s "
         f"({100 * (last.cpu_seconds - first.cpu_seconds) / args.idle:.2f} % of one core)"),
        ("", "  working set", f"{first.rss_kib / 1024:.1f} MiB -> {last.rss_kib / 1024:.1f} MiB "
                              f"({last.rss_kib - first.rss_kib:+d} KiB)"),
        ("P4", "Paxendo.PowerPointAddin created in a fresh process", spread(created, "µs")),
        ("", "OnConnection + OnStartupComplete, in-process", own_time),
        ("", "host start -> ready: Paxendo loaded / not loaded",
         f"{median(with_addin):.0f} / {median(without):.0f} ms (medians of {runs}; the "
         "difference is within the spread)"),
        ("P5", "Corvane.scr / Paxendo.dll / Tovrin.dll",
         " / ".join(f"{sizes[n] / 1024:.0f} KiB" for n in k.BINARIES)),
        ("", "peak working set: Corvane.scr / bare client (same calls; P1 warm)",
         f"{median(got['corvane_peak']) / 1024:.1f} MiB / "
         f"{median(got['bare_peak']) / 1024:.1f} MiB "
         f"(ratio {median(got['corvane_peak']) / median(got['bare_peak']):.2f})"),
        ("P6", "LoadSession, Count = 2^31-1 (native, Release)", native or "n/a"),
        ("", "Corvane.scr /s with that Count: start -> shows placed",
         spread(big_count) + f", peak working set {big_peak / 1024:.1f} MiB"),
    ] + [("P7" if i == 0 else "", what, value) for i, (what, value) in enumerate(journal)] + [
        ("P8", "start -> 3 shows placed, open and unchanged: opened by another client",
         spread(not_own)),
        ("", "  opened by the add-in (3 stamp reads; P1 warm)",
         f"{median(warm_corvane):.0f} ms ({median(warm_corvane) - median(not_own):+.0f} ms; "
         f"min {min(warm_corvane):.0f}, max {max(warm_corvane):.0f})"),
        ("", "PrepareScreenSaver, same two cases", prepare),
    ]

    print(f"Kestova Screen Saver performance: whole system under Wine ({MONITORS} simulated "
          "monitors, 3 shows, stand-in host, Paxendo + Tovrin)")
    print(f"Machine: {machine()}; load average {load_before:.1f} before the bench, "
          f"{os.getloadavg()[0]:.1f} after; medians of {runs} runs unless noted")
    width = max(len(what) for _, what, _ in rows)
    for ident, what, value in rows:
        print(f"{ident:<3} {what.ljust(width)}  {value}")
    print("Against the bare client, same runs:")
    for line in against_bare(got):
        print("  " + line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
