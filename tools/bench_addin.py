"""Figures for the add-in (Paxendo.dll, Tovrin.dll) under Wine; prints a table, asserts nothing.

  - OnConnection + OnStartupComplete: the add-in's own time, in-process against a host that
    answers at once (the first call includes the library's first use).
  - PrepareScreenSaver + BeginScreenSaver per show: from a client process through the stand-in
    host, 1 and 3 monitors; the first session opens the presentations, the second finds them open.
    The stand-in's own work (creating and placing show windows) is part of these figures.
  - The sizes of the two libraries.

Usage: PYTHONPATH=tools python3 tools/bench_addin.py
"""

from __future__ import annotations

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


def main() -> int:
    rows = []
    for name in ("Paxendo.dll", "Tovrin.dll"):
        path = winekit.WINDOWS_BIN / name
        rows.append((f"{name} size", f"{path.stat().st_size:,} bytes"))
    rows += connection_figures()
    for monitors in (1, 3):
        rows += show_figures(monitors)
    width = max(len(name) for name, _ in rows)
    print("add-in figures")
    for name, value in rows:
        print(f"  {name.ljust(width)}  {value}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
