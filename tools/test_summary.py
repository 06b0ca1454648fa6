"""The last line of ./dev test: "P passed, F failed" over every suite (", S skipped" if any).

Usage: test_summary.py NAME EXIT_CODE REPORT [NAME EXIT_CODE REPORT ...]

REPORT is ctest's JUnit file (--output-junit) or run_scenarios.py's counts (--counts). A suite
that exited non-zero without a failed test in its report (it could not run, crashed, timed out)
counts as one failure, and so does a missing report: nothing is passed by default.
"""

import json
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path


def read_counts(report: Path) -> tuple[int, int, int]:
    if report.suffix == ".json":
        data = json.loads(report.read_text())
        return int(data["passed"]), int(data["failed"]), int(data["skipped"])
    root = ElementTree.parse(report).getroot()
    suites = [root] if root.tag == "testsuite" else list(root.iter("testsuite"))
    tests = failed = skipped = 0
    for suite in suites:
        tests += int(suite.get("tests", 0))
        failed += int(suite.get("failures", 0)) + int(suite.get("errors", 0))
        skipped += int(suite.get("skipped", 0)) + int(suite.get("disabled", 0))
    return tests - failed - skipped, failed, skipped


def main(argv: list[str]) -> int:
    if len(argv) % 3:
        print(__doc__, file=sys.stderr)
        return 2
    passed = failed = skipped = 0
    for name, code, report in zip(argv[0::3], argv[1::3], argv[2::3]):
        try:
            p, f, s = read_counts(Path(report))
        except (OSError, ValueError, KeyError, ElementTree.ParseError) as error:
            print(f"{name}: no report ({error})")
            p, f, s = 0, 1, 0
        if int(code) != 0 and f == 0:
            print(f"{name}: exited {code} without a failed test in its report")
            f = 1
        print(f"{name}: {p} passed, {f} failed" + (f", {s} skipped" if s else ""))
        passed, failed, skipped = passed + p, failed + f, skipped + s
    print(f"{passed} passed, {failed} failed" + (f", {skipped} skipped" if skipped else ""))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
