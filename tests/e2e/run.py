#!/usr/bin/env python3
"""Runs every end-to-end test under Wine and prints one line per test, then the totals."""
import argparse
import importlib
import sys
import time
import traceback
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from harness import Wine  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, help="the Windows build folder")
    parser.add_argument("--work", required=True, help="a scratch folder for the Wine prefix")
    parser.add_argument("-k", default="", help="run only tests whose name contains this")
    args = parser.parse_args()

    modules = sorted(p.stem for p in Path(__file__).parent.glob("test_*.py"))
    tests = []
    for name in modules:
        module = importlib.import_module(name)
        tests += [(f"{name}.{fn}", getattr(module, fn)) for fn in sorted(dir(module))
                  if fn.startswith("test_") and callable(getattr(module, fn)) and args.k in f"{name}.{fn}"]

    wine = Wine(Path(args.build).resolve(), Path(args.work).resolve())
    wine.start()
    passed = failed = 0
    try:
        for name, fn in tests:
            started = time.monotonic()
            try:
                fn(wine)
                passed += 1
                print(f"PASS {name} ({time.monotonic() - started:.1f} s)", flush=True)
            except Exception as e:  # every failure is reported and the run goes on
                failed += 1
                print(f"FAIL {name} ({time.monotonic() - started:.1f} s): {e}", flush=True)
                if not isinstance(e, AssertionError):
                    traceback.print_exc()
    finally:
        wine.stop()
    print(f"e2e: {passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
