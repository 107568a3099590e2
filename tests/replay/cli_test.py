#!/usr/bin/env python3
"""quorvane-replay as a command: its exit status, its messages and its outputs."""
import os
import pty
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
CAPTURES = ROOT.parent / "shared" / "nmea"


def main():
    tool = sys.argv[1]
    passed = failed = 0

    def check(name, ok, detail=""):
        nonlocal passed, failed
        passed, failed = passed + ok, failed + (not ok)
        print(("PASS " if ok else "FAIL ") + name + ("" if ok else ": " + detail), flush=True)

    def run(*args):
        return subprocess.run([tool, *map(str, args)], stdout=subprocess.PIPE, stderr=subprocess.PIPE)

    with tempfile.TemporaryDirectory() as work:
        work = Path(work)
        r = run(work / "missing.log")
        check("a missing log: status 2 and one line naming it", r.returncode == 2 and
              r.stderr.decode().count("\n") == 1 and "missing.log" in r.stderr.decode(), repr(r))
        r = run("--config", work / "nope.ini", CAPTURES / "garmin17n.log")
        check("a missing configuration: status 2 naming it", r.returncode == 2 and "nope.ini" in r.stderr.decode(),
              repr(r))
        (work / "empty.log").write_bytes(b"")
        r = run(work / "empty.log")
        check("an empty log: an empty journal and status 0", r.returncode == 0 and r.stdout == b"", repr(r))
        r = run("--bytes-per-tick", "0", CAPTURES / "garmin17n.log")
        check("a bad option: usage and status 2", r.returncode == 2 and b"usage" in r.stderr, repr(r))
        golden = (ROOT / "tests" / "replay" / "golden" / "bt451.journal").read_bytes()
        r = run("--journal", work / "j.txt", CAPTURES / "bt451.log")
        check("--journal FILE writes the golden journal", r.returncode == 0 and (work / "j.txt").read_bytes() == golden)
        (work / "Config.ini").write_bytes(b"[GPS]\r\nTimeZone=0\r\n[GE]\r\nEyeHigh=700\r\n")
        r = run("--config", work / "Config.ini", "--kml", work / "t.kml", CAPTURES / "bt451.log")
        out = r.stdout.decode()
        check("settings from --config", "text lblTime 15:25:05" in out and " 700 0 0 0 100" in out, out[:300])
        kml = (work / "t.kml").read_bytes() if (work / "t.kml").exists() else b""
        check("--kml saves the recording", kml.startswith(b"<?xml") and kml.endswith(b"</kml>\r\n") and
              kml.count(b"\r\n") - 21 == out.count("\ntrack "), f"{len(kml)} bytes")
        # A long replay tells its progress on a terminal, and only there.
        (work / "long.log").write_bytes((CAPTURES / "haicom-305N.log").read_bytes() * 5000)  # several seconds at a byte a tick
        master, slave = pty.openpty()
        p = subprocess.Popen([tool, "--bytes-per-tick", "1", "--journal", os.devnull, str(work / "long.log")],
                             stdout=subprocess.DEVNULL, stderr=slave)
        os.close(slave)
        shown = b""
        while True:
            try:
                chunk = os.read(master, 4096)
            except OSError:
                break
            if not chunk:
                break
            shown += chunk
        p.wait()
        os.close(master)
        check("progress on a terminal for a long replay", p.returncode == 0 and b"replaying" in shown and
              b"done" in shown, repr(shown[-200:]))
        r = run("--bytes-per-tick", "1", "--journal", os.devnull, work / "long.log")
        check("no progress when standard error is not a terminal", r.returncode == 0 and r.stderr == b"", repr(r.stderr))
    print(f"replay tool: {passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
