#!/usr/bin/env python3
"""quorvane-replay on a generated 24-hour drive at 1 Hz (RMC, GGA, GSA, GSV,
VTG: about 430,000 lines), with the journal written to a file, against
gpsd's gpsdecode on the same file in the same run.
    python3 bench/replay_bench.py [build/native]"""
import math
import shutil
import subprocess
import sys
import tempfile
import time
from functools import reduce
from pathlib import Path


def sentence(body):
    return "$%s*%02X\r\n" % (body, reduce(lambda a, c: a ^ ord(c), body, 0))


def dm(value, digits):
    d = int(abs(value))
    return "%0*d%07.4f" % (digits, d, (abs(value) - d) * 60)


def drive(path):
    lat, lon, heading = 22.5431, 114.0579, 60.0
    with open(path, "w", newline="") as f:
        for s in range(86400):
            kmh = 0.0 if s % 600 < 30 else 50 + 20 * math.sin(s / 300)
            heading = (heading + 3 * math.sin(s / 50)) % 360
            lat += kmh / 3.6 * math.cos(math.radians(heading)) / 110540
            lon += kmh / 3.6 * math.sin(math.radians(heading)) / (111320 * math.cos(math.radians(lat)))
            t = "%02d%02d%02d.00" % (s // 3600, s // 60 % 60, s % 60)
            pos = "%s,N,%s,E" % (dm(lat, 2), dm(lon, 3))
            f.write(sentence("GPRMC,%s,A,%s,%.1f,%.1f,081226,,,A" % (t, pos, kmh / 1.852, heading)))
            f.write(sentence("GPGGA,%s,%s,1,09,0.9,%.1f,M,-2.6,M,," % (t, pos, 20 + 5 * math.sin(s / 900))))
            f.write(sentence("GPGSA,A,3,02,05,09,12,15,18,21,25,29,,,,1.8,0.9,1.5"))
            f.write(sentence("GPGSV,1,1,04,02,45,120,42,05,30,200,38,09,60,010,45,12,15,300,30"))
            f.write(sentence("GPVTG,%.1f,T,,M,%.1f,N,%.1f,K,A" % (heading, kmh / 1.852, kmh)))


def timed(command, **kw):
    start = time.monotonic()
    subprocess.run(command, check=True, **kw)
    return time.monotonic() - start


def main():
    build = Path(sys.argv[1] if len(sys.argv) > 1 else "build/native")
    if not shutil.which("gpsdecode"):
        subprocess.run(["apt-get", "install", "-y", "-q", "gpsd-clients"], check=True, stdout=subprocess.DEVNULL)
    with tempfile.TemporaryDirectory() as work:
        log, journal = Path(work) / "day.nmea", Path(work) / "day.journal"
        drive(log)
        lines = sum(1 for _ in open(log, "rb"))
        ours = min(timed([str(build / "quorvane-replay"), "--journal", str(journal), str(log)]) for _ in range(3))
        theirs = min(timed(["gpsdecode"], stdin=open(log, "rb"), stdout=subprocess.DEVNULL) for _ in range(3))
        print(f"{lines} lines, {log.stat().st_size / 1e6:.1f} MB; journal {journal.stat().st_size / 1e6:.1f} MB")
        print(f"quorvane-replay: {ours:.2f} s (target under 2 s)")
        print(f"gpsdecode:       {theirs:.2f} s")
        print(f"ratio: quorvane-replay takes {ours / theirs:.2f}x gpsdecode's time")


if __name__ == "__main__":
    main()
