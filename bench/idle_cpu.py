#!/usr/bin/env python3
"""Quorvane's CPU use under Wine over one minute with no receiver, against the
stand-in Earth's own process as a baseline measured in the same minute.
    python3 bench/idle_cpu.py [build/windows] [scratch folder]"""
import os
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))
from harness import Wine, kill  # noqa: E402


def cpu_seconds(pid):
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def pid_of(pattern):
    out = subprocess.run(["pgrep", "-f", pattern], stdout=subprocess.PIPE, text=True).stdout.split()
    return int(out[0]) if out else None


def main():
    build = Path(sys.argv[1] if len(sys.argv) > 1 else "build/windows").resolve()
    work = Path(sys.argv[2] if len(sys.argv) > 2 else "build/idle").resolve()
    wine = Wine(build, work)
    wine.start()
    try:
        wine.install_standin()
        process = wine.launch(wine.app_folder("idle") / "Quorvane.exe")
        wine.wait_for(lambda: wine.window_info("QuorvanePanel"), 30, "the panel")
        time.sleep(5)
        standin = pid_of(r"standin\\EarthStandIn\.exe")  # the one COM started in this prefix
        q0, s0 = cpu_seconds(process.pid), cpu_seconds(standin) if standin else 0
        time.sleep(60)
        q1, s1 = cpu_seconds(process.pid), cpu_seconds(standin) if standin else 0
        print(f"Quorvane.exe idle for 60 s: {q1 - q0:.2f} s of CPU ({(q1 - q0) / 60 * 100:.2f} %)")
        print(f"EarthStandIn.exe (baseline) in the same minute: {s1 - s0:.2f} s ({(s1 - s0) / 60 * 100:.2f} %)")
        kill(process)
    finally:
        wine.stop()


if __name__ == "__main__":
    main()
