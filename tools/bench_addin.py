"""Figures for the add-in (Paxendo.dll, Tovrin.dll) under Wine; prints a table, asserts nothing.

  - OnConnection + OnStartupComplete: the add-in's own time, in-process against a host that
    answers at once (the first call includes the library's first use).
  - PrepareScreenSaver + BeginScreenSaver per show: from a client process through the stand-in
    host, 1 and 3 monitors; the first session opens the presentations, the second finds them open.
    The stand-in's own work (creating and placing show windows) is part of these figures.
  - Three stamp reads as PrepareScreenSaver makes them, in a test process.
  - PrepareScreenSaver with three presentations open and their files unchanged: opened by
    another client (no stamp is read: the add-in's work before it looked for updated files) and
    opened by the add-in itself (one stamp read each), in the same Wine session.
  - The sizes of the two libraries.

Usage: PYTHONPATH=tools python3 tools/bench_addin.py
"""

from __future__ import annotations

import statistics
import sys

import standin
import winekit


def run_client(w: winekit.WineSession, *commands: str) -> dict[str, float]:
    result = w.run([w.exe("wintest_addin.exe"), "--gtest_filter=AddinClient.*"], timeout=180,
                   extra_env={"KESTOVA_ADDIN_CLIENT": "|".join(commands)})
    if result.returncode != 0:
        raise RuntimeError(result.stdout + result.stderr)
    times = {}
    for line in result.stdout.splitlines():
        parts = line.rstrip("\r").split("\t")
        if parts[0] == "addin-client":
            times[parts[1]] = float(parts[3])
    return times


def connection_figures() -> list[tuple[str, str]]:
    with winekit.WineSession("addin-bench-connect", monitors=1) as w:
        result = w.run([w.exe("wintest_addin.exe"), "--gtest_filter=AddinBench.*"], timeout=180,
                       extra_env={"KESTOVA_ADDIN_BENCH": "1"})
        rows = []
        for line in result.stdout.splitlines():
            parts = line.rstrip("\r").split("\t")
            if parts[0] == "addin-bench":
                rows.append((f"OnConnection + OnStartupComplete, {parts[1].split()[-1]}",
                             f"{float(parts[2]):.1f} µs"))
        return rows


def show_figures(monitors: int) -> list[tuple[str, str]]:
    with winekit.WineSession(f"addin-bench-shows-{monitors}", monitors=monitors) as w:
        standin.install_standin(w)
        w.run(["regsvr32", "/s", w.exe("Paxendo.dll")], check=True)
        standin.start_standin(w)
        adds = []
        for n in range(1, monitors + 1):
            path = standin.write_presentation(w, f"Bench{n}.pptx")[1]
            adds.append(f"add {n} {path} {n}")
        rows = []
        for session in ("first session", "second session"):
            times = run_client(w, f"init {monitors}", *adds, "prepare", "begin")
            per_show = (times["prepare"] + times["begin"]) / monitors / 1000
            rows.append((f"Prepare + Begin per show, {monitors} monitor(s), {session}",
                         f"{per_show:.1f} ms (prepare {times['prepare'] / 1000:.1f}, "
                         f"begin {times['begin'] / 1000:.1f})"))
            run_client(w, "end", "exit")
        standin.quit_standin(w)
        return rows


def stamp_read_figures() -> list[tuple[str, str]]:
    """Three stamp reads as PrepareScreenSaver makes them, in a test process (µs)."""
    with winekit.WineSession("addin-bench-stamp-reads", monitors=1) as w:
        result = w.run([w.exe("wintest_addin.exe"),
                        "--gtest_filter=AddinBench.StampReadsOfThreePresentations"], timeout=180,
                       extra_env={"KESTOVA_ADDIN_BENCH": "1"})
        rows = []
        for line in result.stdout.splitlines():
            parts = line.rstrip("\r").split("\t")
            if parts[0] == "addin-stamps":
                rows.append((f"stamp reads: {parts[1]}", f"{float(parts[2]):.1f} µs"))
        return rows


def stamp_figures(runs: int = 15) -> tuple[list[float], list[float]]:
    """PrepareScreenSaver's time (ms, from a client process) with three presentations open and
    unchanged: (opened by another client, opened by the add-in)."""
    import e2e_kit
    with winekit.WineSession("addin-bench-stamps", monitors=3) as w:
        standin.install_standin(w)
        w.run(["regsvr32", "/s", w.exe("Paxendo.dll")], check=True)
        paths = [standin.write_presentation(w, f"Stamp{n}.pptx")[1] for n in (1, 2, 3)]
        adds = [f"add {n} {path} {n}" for n, path in enumerate(paths, 1)]
        figures = []
        for opened_by_addin in (False, True):
            standin.start_standin(w)
            if not opened_by_addin:
                for path in paths:
                    e2e_kit.client(w, "open", path)
            samples = []
            for run in range(runs + 1):
                times = run_client(w, "init 3", *adds, "prepare", "end", "exit")
                if run > 0:  # the first of the add-in's opens them
                    samples.append(times["prepare"] / 1000)
            figures.append(samples)
            standin.quit_standin(w)
        return figures[0], figures[1]


def main() -> int:
    rows = []
    for name in ("Paxendo.dll", "Tovrin.dll"):
        path = winekit.WINDOWS_BIN / name
        rows.append((f"{name} size", f"{path.stat().st_size:,} bytes"))
    rows += connection_figures()
    for monitors in (1, 3):
        rows += show_figures(monitors)
    rows += stamp_read_figures()
    others, own = stamp_figures()
    rows.append(("Prepare, 3 open unchanged: opened by another / by the add-in",
                 f"{statistics.median(others):.2f} / {statistics.median(own):.2f} ms "
                 f"(medians of {len(own)})"))
    width = max(len(name) for name, _ in rows)
    print("add-in figures")
    for name, value in rows:
        print(f"  {name.ljust(width)}  {value}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
