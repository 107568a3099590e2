#!/usr/bin/env python3
"""Outside KML readers on our track files: xmllint and GPSBabel read the
temporary file after every point of a 1,000-point recording, and the saved
track, and GPSBabel returns exactly the recorded points."""
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path


def gpsbabel_points(path):
    out = subprocess.run(["gpsbabel", "-t", "-i", "kml", "-f", str(path), "-o", "unicsv", "-F", "-"],
                         check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True).stdout
    rows = out.strip().splitlines()
    header = rows[0].split(",")
    lat, lon = header.index("Latitude"), header.index("Longitude")
    return [(round(float(r.split(",")[lon]), 4), round(float(r.split(",")[lat]), 4)) for r in rows[1:]]


def main():
    tool = sys.argv[1]
    passed = failed = 0

    def result(name, ok, detail=""):
        nonlocal passed, failed
        passed, failed = passed + ok, failed + (not ok)
        print(("PASS " if ok else "FAIL ") + name + ("" if ok else ": " + detail), flush=True)

    with tempfile.TemporaryDirectory() as work:
        work = Path(work)
        subprocess.run([tool, str(work), "1000"], check=True, stdout=subprocess.DEVNULL)
        recorded = [tuple(round(float(v), 4) for v in line.split(",")[:2])
                    for line in (work / "points.csv").read_text().splitlines()]
        snaps = sorted(work.glob("snap_*.kml"))
        ok = len(snaps) == len(recorded) and len(recorded) >= 900
        result("a snapshot of the temporary file after every point", ok, f"{len(snaps)} for {len(recorded)}")

        lint = subprocess.run(["xmllint", "--noout", *map(str, snaps), str(work / "final.kml")],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        result("xmllint reads every temporary file and the saved track", lint.returncode == 0, lint.stderr[:500])

        with ThreadPoolExecutor(max_workers=2) as pool:
            read = list(pool.map(gpsbabel_points, snaps))
        bad = [i for i, pts in enumerate(read) if pts != recorded[:i + 1]]
        result("GPSBabel reads the recorded points from every temporary file", not bad,
               f"first difference at point {bad[0] + 1 if bad else 0}")
        final = gpsbabel_points(work / "final.kml")
        result("GPSBabel reads every recorded point from the saved track", final == recorded,
               f"{len(final)} points for {len(recorded)}")
    print(f"readers: {passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
