"""Runs the Wine scenario suites (tests/windows/*_scenarios.py, tests/e2e/*_scenarios.py).

Usage: run_scenarios.py [folder ...] [-k pattern]
"""

import argparse
import sys
import unittest
from pathlib import Path

import winekit


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("folders", nargs="*", default=["tests/windows", "tests/e2e"])
    parser.add_argument("-k", dest="patterns", action="append", default=None,
                        help="only tests whose name contains this text")
    args = parser.parse_args()

    suite = unittest.TestSuite()
    loader = unittest.TestLoader()
    if args.patterns:
        loader.testNamePatterns = [f"*{p}*" for p in args.patterns]
    for folder in args.folders:
        path = winekit.ROOT / folder
        if path.is_dir() and any(path.glob("*_scenarios.py")):
            suite.addTests(loader.discover(str(path), pattern="*_scenarios.py",
                                           top_level_dir=str(path)))
    if suite.countTestCases() == 0:
        print("no Wine scenarios found")
        return 0
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.path.insert(0, str(Path(__file__).resolve().parent))
    sys.exit(main())
