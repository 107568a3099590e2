#!/usr/bin/env python3
"""Sums JUnit reports (ctest's and pytest's): prints "N passed, N failed". A test case with a failure or an
error counts as failed, a skipped one as neither; a report that cannot be read counts as one failure."""
import sys
import xml.etree.ElementTree as ET


def main():
    passed = failed = 0
    for path in sys.argv[1:]:
        try:
            root = ET.parse(path).getroot()
        except (OSError, ET.ParseError) as e:
            print(f"{path}: cannot be read ({e})")
            failed += 1
            continue
        for case in root.iter("testcase"):
            if case.find("failure") is not None or case.find("error") is not None:
                failed += 1
            elif case.find("skipped") is None and case.get("status") not in ("notrun", "disabled"):
                passed += 1
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
