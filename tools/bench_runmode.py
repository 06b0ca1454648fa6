#!/usr/bin/env python3
"""Corvane's run mode under Wine: prints figures, asserts nothing.

  start -> BeginScreenSaver       Corvane.scr /s against a bare client making the same calls
  injected input -> process gone  hot key (Ctrl+Alt+Esc) and keyboard hook
  idle cost                       CPU time and working-set growth over the ticks of a run
  size                            Corvane.scr

Usage: bench_runmode.py [--runs N] [--duration SECONDS]
Times come from one clock: Wine's GetTickCount, which is Linux's CLOCK_MONOTONIC_RAW in
milliseconds (Python's time.monotonic runs apart from it).
"""

from __future__ import annotations

import argparse
import os
import statistics
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import runmode_kit as rk  # noqa: E402
import standin  # noqa: E402
import winekit  # noqa: E402


def now_tick() -> int:
    """Now on the clock of Wine's GetTickCount."""
    return int(time.clock_gettime(time.CLOCK_MONOTONIC_RAW) * 1000) % 2**32


def proc_stats(pid: int) -> tuple[float, int]:
    """(CPU seconds, resident KiB) of a Unix process: a Wine program's own process."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    ticks = os.sysconf("SC_CLK_TCK")
    cpu = (int(fields[11]) + int(fields[12])) / ticks
    rss = 0
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmRSS:"):
            rss = int(line.split()[1])
    return cpu, rss


def median(values):
    return statistics.median(values) if values else float("nan")


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--duration", type=float, default=60.0)
    args = parser.parse_args()

    size = Path(winekit.WINDOWS_BIN / rk.CORVANE).stat().st_size
    with winekit.WineSession("bench-runmode", monitors=1) as w:
        standin.install_standin(w)
        standin.register_recording_addin(w)
        standin.start_standin(w)
        deck = standin.write_presentation(w, "deck.pptx")[1]
        journal = standin.Journal(w)

        def begin_ticks():
            return [c.tick for c in journal.calls("Addin.BeginScreenSaver")]

        def wait_begin(before: int) -> int:
            calls = journal.wait_for(lambda j: len(begin_ticks()) > before and begin_ticks(),
                                     timeout=30)
            if not calls:
                raise RuntimeError("no BeginScreenSaver")
            return calls[before]

        corvane, bare, hot_key, hook = [], [], [], []
        for run in range(args.runs):
            # Corvane, ended by the hot key.
            rk.write_settings(w, [(deck, 1)], keyboard=True, mouse=True)
            rk.reset_input(w)
            before = len(begin_ticks())
            start = now_tick()
            proc = rk.start(w)
            corvane.append(wait_begin(before) - start)
            w.wait_for(lambda: rk.hot_key_taken(w), timeout=10)
            sent = int(rk.probe(w, "tick", "chord")[0].split()[1])
            proc.wait(30)
            hot_key.append(now_tick() - sent)

            # Corvane, ended through the keyboard hook.
            rk.write_settings(w, [(deck, 1)], keyboard=False, mouse=True)
            rk.reset_input(w)
            before = len(begin_ticks())
            proc = rk.start(w)
            wait_begin(before)
            time.sleep(0.5)
            sent = int(rk.probe(w, "tick", "key", rk.VK_F24)[0].split()[1])
            proc.wait(30)
            hook.append(now_tick() - sent)

            # The bare client making the same calls.
            before = len(begin_ticks())
            start = now_tick()
            result = w.run([w.exe(rk.PROBE), "bare", deck], timeout=60)
            if "bare ok" not in result.stdout:
                raise RuntimeError(f"bare client failed: {result.stdout}")
            bare.append(wait_begin(before) - start)

        # Idle cost: a run left to its one-second ticks.
        rk.write_settings(w, [(deck, 1)], keyboard=True, mouse=True)
        rk.reset_input(w)
        before = len(begin_ticks())
        proc = rk.start(w)
        wait_begin(before)
        time.sleep(1.0)
        polls_before = len(journal.calls("Addin.ShouldEndScreenSaver"))
        cpu0, rss0 = proc_stats(proc.pid)
        time.sleep(args.duration)
        cpu1, rss1 = proc_stats(proc.pid)
        polls = len(journal.calls("Addin.ShouldEndScreenSaver")) - polls_before
        rk.probe(w, "chord")
        proc.wait(30)

    ratio = median(corvane) / median(bare) if median(bare) else float("nan")
    print("Corvane run mode (Wine, 1 monitor, stand-in host + recording add-in)")
    print(f"  start -> BeginScreenSaver, Corvane.scr   median {median(corvane):7.0f} ms  "
          f"(min {min(corvane)}, max {max(corvane)}, {len(corvane)} runs)")
    print(f"  start -> BeginScreenSaver, bare client   median {median(bare):7.0f} ms  "
          f"(min {min(bare)}, max {max(bare)})")
    print(f"  ratio Corvane / bare                     {ratio:7.2f}")
    print(f"  Ctrl+Alt+Esc injected -> process gone    median {median(hot_key):7.0f} ms")
    print(f"  key press injected (hook) -> gone        median {median(hook):7.0f} ms")
    print(f"  idle over {args.duration:.0f} s ({polls} ticks): CPU {cpu1 - cpu0:.3f} s "
          f"({100 * (cpu1 - cpu0) / args.duration:.2f} %), working set "
          f"{rss0} KiB -> {rss1} KiB ({rss1 - rss0:+d} KiB)")
    print(f"  Corvane.scr size                         {size} bytes ({size / 1024:.0f} KiB)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
