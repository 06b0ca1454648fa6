"""Runs the Wine scenario suites (tests/windows/*_scenarios.py, tests/e2e/*_scenarios.py).

Usage: run_scenarios.py [folder ...] [-k pattern] [--repeat N] [--counts FILE]

--repeat N runs the chosen scenarios N times over and ends with the failures of each scenario:
the way to show that a scenario is stable (run it beside a build to load the machine).
--counts FILE writes {"passed": P, "failed": F, "skipped": S} for ./dev test's summary.
The last line printed is always "P passed, F failed" (", S skipped" when some were).
"""

import argparse
import json
import os
import sys
import time
import unittest
from pathlib import Path

import winekit


def load(folders: list[str], patterns: list[str] | None) -> unittest.TestSuite:
    suite = unittest.TestSuite()
    loader = unittest.TestLoader()
    if patterns:
        loader.testNamePatterns = [f"*{p}*" for p in patterns]
    for folder in folders:
        path = winekit.ROOT / folder
        if path.is_dir() and any(path.glob("*_scenarios.py")):
            suite.addTests(loader.discover(str(path), pattern="*_scenarios.py",
                                           top_level_dir=str(path)))
    return suite


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


def summary(passed: int, failed: int, skipped: int) -> str:
    line = f"{passed} passed, {failed} failed"
    return line + (f", {skipped} skipped" if skipped else "")


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("folders", nargs="*", default=["tests/windows", "tests/e2e"])
    parser.add_argument("-k", dest="patterns", action="append", default=None,
                        help="only tests whose name contains this text (repeatable)")
    parser.add_argument("--repeat", type=int, default=1, metavar="N",
                        help="run the scenarios N times and report failures per scenario")
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
        # A fresh suite each round: a test case object runs once.
        runner = unittest.TextTestRunner(verbosity=2, resultclass=TimedResult)
        result = runner.run(load(args.folders, args.patterns))
        broken = result.failures + result.errors + [(t, "") for t in result.unexpectedSuccesses]
        for test, _ in broken:
            key = short_id(test.id())
            failures[key] = failures.get(key, 0) + 1  # also module/class set-up errors
        round_failed = len(broken)
        round_skipped = len(result.skipped)
        round_passed = max(result.testsRun - round_failed - round_skipped, 0)
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
