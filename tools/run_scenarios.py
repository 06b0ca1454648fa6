"""Runs the Wine scenario suites (tests/windows/*_scenarios.py, tests/e2e/*_scenarios.py).

Usage: run_scenarios.py [folder ...] [-k pattern] [--repeat N] [--jobs N] [--counts FILE]

--repeat N runs the chosen scenarios N times over and ends with the failures of each scenario:
the way to show that a scenario is stable (run it beside a build to load the machine).
--jobs N runs N scenarios at a time (default 2, KESTOVA_SCENARIO_JOBS overrides), each in a
process of its own; every scenario has its own X display, Wine prefix and wineserver anyway.
A scenario's output is printed whole when it ends. The longest scenarios of the last run
(build/wine/scenario-times.json) start first.
--counts FILE writes {"passed": P, "failed": F, "skipped": S} for ./dev test's summary.
The last line printed is always "P passed, F failed" (", S skipped" when some were).
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

import winekit

TIMES_FILE = winekit.WINE_DIR / "scenario-times.json"


def load(folders: list[str], patterns: list[str] | None) -> unittest.TestSuite:
    suite = unittest.TestSuite()
    for folder in folders:
        suite.addTests(load_folder(folder, patterns))
    return suite


def load_folder(folder: str, patterns: list[str] | None) -> unittest.TestSuite:
    loader = unittest.TestLoader()
    if patterns:
        loader.testNamePatterns = [f"*{p}*" for p in patterns]
    path = winekit.ROOT / folder
    if path.is_dir() and any(path.glob("*_scenarios.py")):
        return loader.discover(str(path), pattern="*_scenarios.py", top_level_dir=str(path))
    return unittest.TestSuite()


def scenario_ids(suite: unittest.TestSuite) -> list[str]:
    out = []
    for test in suite:
        if isinstance(test, unittest.TestSuite):
            out += scenario_ids(test)
        else:
            out.append(test.id())
    return out


def short_id(test_id: str) -> str:
    """module.Class.test_name → Class.test_name"""
    return ".".join(test_id.split(".")[-2:])


class TimedResult(unittest.TextTestResult):
    """Notes each scenario's time: the slowest are named at the end, the place to look when the
    suite grows slow."""

    times: dict[str, float] = {}

    def startTest(self, test):
        self._started = time.monotonic()
        super().startTest(test)

    def stopTest(self, test):
        super().stopTest(test)
        seconds = time.monotonic() - self._started
        key = short_id(test.id())
        TimedResult.times[key] = TimedResult.times.get(key, 0.0) + seconds
        if self.showAll:
            self.stream.writeln(f"    {seconds:.1f} s")
            self.stream.flush()


class Counts:
    def __init__(self):
        self.passed = self.failed = self.skipped = 0
        self.broken: list[str] = []  # short ids, once per failure

    def add(self, other: "Counts"):
        self.passed += other.passed
        self.failed += other.failed
        self.skipped += other.skipped
        self.broken += other.broken


def counts_of(result: unittest.TestResult) -> Counts:
    counts = Counts()
    broken = result.failures + result.errors + [(t, "") for t in result.unexpectedSuccesses]
    counts.broken = [short_id(test.id()) for test, _ in broken]  # also set-up errors
    counts.failed = len(broken)
    counts.skipped = len(result.skipped)
    counts.passed = max(result.testsRun - counts.failed - counts.skipped, 0)
    return counts


def run_serial(folders: list[str], patterns: list[str] | None) -> Counts:
    # A fresh suite each round: a test case object runs once.
    runner = unittest.TextTestRunner(verbosity=2, resultclass=TimedResult)
    return counts_of(runner.run(load(folders, patterns)))


def run_child(folder: str, test_id: str, report: str) -> int:
    """One scenario in this process (the parallel runner's worker); its counts and time go to
    the report file."""
    sys.path.insert(0, str(winekit.ROOT / folder))
    suite = unittest.TestLoader().loadTestsFromName(test_id)
    runner = unittest.TextTestRunner(stream=sys.stdout, verbosity=2, resultclass=TimedResult)
    counts = counts_of(runner.run(suite))
    Path(report).write_text(json.dumps({
        "passed": counts.passed, "failed": counts.failed, "skipped": counts.skipped,
        "broken": counts.broken, "times": TimedResult.times}))
    return 0


def run_parallel(folders: list[str], patterns: list[str] | None, jobs: int) -> Counts:
    """Every scenario in a process of its own, `jobs` at a time, the longest first."""
    # What scenarios share is made before they start: the template prefix, the Xinerama shim.
    winekit.ensure_template()
    winekit.fake_xinerama_dir()
    todo = []
    for folder in folders:
        for test in flatten(load_folder(folder, patterns)):
            todo.append((folder, test))
    counts = Counts()
    # A module that failed to import is a test case made by the loader: run here, it fails.
    failed_loads = [t for _, t in todo if t.id().startswith("unittest.loader.")]
    if failed_loads:
        runner = unittest.TextTestRunner(verbosity=2, resultclass=TimedResult)
        counts.add(counts_of(runner.run(unittest.TestSuite(failed_loads))))
    known = read_times()
    todo = [(folder, t.id()) for folder, t in todo if not t.id().startswith("unittest.loader.")]
    todo.sort(key=lambda item: -known.get(short_id(item[1]), float("inf")))
    running: list[tuple[subprocess.Popen, str, Path, object]] = []
    scratch = tempfile.TemporaryDirectory(prefix="kestova-scenarios-")
    serial = 0
    while todo or running:
        while todo and len(running) < jobs:
            folder, test_id = todo.pop(0)
            serial += 1
            report = Path(scratch.name) / f"{serial}.json"
            out = tempfile.TemporaryFile()
            proc = subprocess.Popen(
                [sys.executable, str(Path(__file__).resolve()), "--child", folder, test_id,
                 str(report)], stdout=out, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
            running.append((proc, test_id, report, out))
        time.sleep(0.1)
        for item in [r for r in running if r[0].poll() is not None]:
            running.remove(item)
            proc, test_id, report, out = item
            out.seek(0)
            sys.stdout.write(out.read().decode(errors="replace"))
            out.close()
            try:
                data = json.loads(report.read_text())
            except (OSError, ValueError):
                print(f"{short_id(test_id)}: its process ended ({proc.returncode}) without "
                      "a report")
                data = {"passed": 0, "failed": 1, "skipped": 0, "broken": [short_id(test_id)],
                        "times": {}}
            one = Counts()
            one.passed, one.failed, one.skipped = data["passed"], data["failed"], data["skipped"]
            one.broken = data["broken"]
            counts.add(one)
            for key, seconds in data["times"].items():
                TimedResult.times[key] = TimedResult.times.get(key, 0.0) + seconds
                known[key] = seconds
            sys.stdout.flush()
    scratch.cleanup()
    write_times(known)
    return counts


def flatten(suite: unittest.TestSuite) -> list[unittest.TestCase]:
    out = []
    for test in suite:
        out += flatten(test) if isinstance(test, unittest.TestSuite) else [test]
    return out


def read_times() -> dict[str, float]:
    try:
        return {k: float(v) for k, v in json.loads(TIMES_FILE.read_text()).items()}
    except (OSError, ValueError, AttributeError):
        return {}


def write_times(times: dict[str, float]):
    try:
        TIMES_FILE.parent.mkdir(parents=True, exist_ok=True)
        TIMES_FILE.write_text(json.dumps(times, indent=1, sort_keys=True) + "\n")
    except OSError:
        pass


def default_jobs() -> int:
    if os.environ.get("KESTOVA_SCENARIO_JOBS"):
        return max(int(os.environ["KESTOVA_SCENARIO_JOBS"]), 1)
    return 2


def summary(passed: int, failed: int, skipped: int) -> str:
    line = f"{passed} passed, {failed} failed"
    return line + (f", {skipped} skipped" if skipped else "")


def main() -> int:
    if len(sys.argv) == 5 and sys.argv[1] == "--child":
        return run_child(*sys.argv[2:])
    parser = argparse.ArgumentParser()
    parser.add_argument("folders", nargs="*", default=["tests/windows", "tests/e2e"])
    parser.add_argument("-k", dest="patterns", action="append", default=None,
                        help="only tests whose name contains this text (repeatable)")
    parser.add_argument("--repeat", type=int, default=1, metavar="N",
                        help="run the scenarios N times and report failures per scenario")
    parser.add_argument("-j", "--jobs", type=int, default=default_jobs(), metavar="N",
                        help="scenarios at a time, each in its own process (default 2)")
    parser.add_argument("--counts", metavar="FILE", help="write the counts as JSON")
    args = parser.parse_args()

    ids = scenario_ids(load(args.folders, args.patterns))
    if not ids:
        print("no Wine scenarios found")
        print(summary(0, 0, 0))
        return 0
    failures = {short_id(i): 0 for i in ids}
    passed = failed = skipped = 0
    started = time.monotonic()
    for round_no in range(1, args.repeat + 1):
        if args.repeat > 1:
            print(f"== round {round_no} of {args.repeat}", flush=True)
            os.environ["KESTOVA_RUN_TAG"] = f"round{round_no}"
        if args.jobs > 1:
            counts = run_parallel(args.folders, args.patterns, args.jobs)
        else:
            counts = run_serial(args.folders, args.patterns)
        for key in counts.broken:
            failures[key] = failures.get(key, 0) + 1
        round_passed, round_failed, round_skipped = counts.passed, counts.failed, counts.skipped
        passed += round_passed
        failed += round_failed
        skipped += round_skipped
        if args.repeat > 1:
            print(f"== round {round_no}: {summary(round_passed, round_failed, round_skipped)}",
                  flush=True)
    if args.repeat > 1:
        minutes = (time.monotonic() - started) / 60
        print(f"\n== failures per scenario over {args.repeat} rounds ({minutes:.1f} min)")
        width = max(len(k) for k in failures)
        for key, count in sorted(failures.items(), key=lambda kv: (-kv[1], kv[0])):
            print(f"{key:<{width}}  {count}/{args.repeat} failed")
    slowest = sorted(TimedResult.times.items(), key=lambda kv: -kv[1])[:5]
    each = " a round" if args.repeat > 1 else ""
    print("slowest: " + ", ".join(f"{key} {seconds / args.repeat:.0f} s{each}"
                                  for key, seconds in slowest))
    if args.counts:
        Path(args.counts).write_text(json.dumps(
            {"passed": passed, "failed": failed, "skipped": skipped}) + "\n")
    print(summary(passed, failed, skipped))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.path.insert(0, str(Path(__file__).resolve().parent))
    sys.exit(main())
