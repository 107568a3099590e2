"""quorvane-replay.exe, the Windows console build, gives the same journals as the golden ones."""
import subprocess

from harness import ROOT, check_equal

CAPTURES = ROOT.parent / "shared" / "nmea"


def test_the_windows_replay_tool_writes_the_golden_journals(wine):
    for name in ("garmin17n", "bt451", "haicom-305N"):
        r = subprocess.run(["wine", str(wine.build / "quorvane-replay.exe"), wine.windows_path(CAPTURES / f"{name}.log")],
                           env=wine.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                           timeout=120)
        check_equal(r.returncode, 0, f"{name}: exit status")
        golden = (ROOT / "tests" / "replay" / "golden" / f"{name}.journal").read_bytes()
        check_equal(r.stdout.replace(b"\r\n", b"\n"), golden, f"{name}: journal")
