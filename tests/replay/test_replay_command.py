"""quorvane-replay as a command: its exit status, its messages and its outputs."""
import os
import pty
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
CAPTURES = ROOT.parent / "shared" / "nmea"


@pytest.fixture
def run(native_build):
    def run(*args):
        return subprocess.run([str(native_build / "quorvane-replay"), *map(str, args)], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE)
    return run


def test_a_missing_log_gives_status_2_and_one_line_naming_it(run, tmp_path):
    r = run(tmp_path / "missing.log")
    assert r.returncode == 2 and r.stderr.decode().count("\n") == 1 and "missing.log" in r.stderr.decode()


def test_a_missing_configuration_gives_status_2_naming_it(run, tmp_path):
    r = run("--config", tmp_path / "nope.ini", CAPTURES / "garmin17n.log")
    assert r.returncode == 2 and "nope.ini" in r.stderr.decode()


def test_an_empty_log_gives_an_empty_journal(run, tmp_path):
    (tmp_path / "empty.log").write_bytes(b"")
    r = run(tmp_path / "empty.log")
    assert r.returncode == 0 and r.stdout == b""


def test_a_bad_option_gives_the_usage_and_status_2(run):
    r = run("--bytes-per-tick", "0", CAPTURES / "garmin17n.log")
    assert r.returncode == 2 and b"usage" in r.stderr


def test_journal_file_is_the_golden_journal(run, tmp_path):
    golden = (ROOT / "tests" / "replay" / "golden" / "bt451.journal").read_bytes()
    r = run("--journal", tmp_path / "j.txt", CAPTURES / "bt451.log")
    assert r.returncode == 0 and (tmp_path / "j.txt").read_bytes() == golden


@pytest.fixture(scope="module")
def configured(native_build, tmp_path_factory):
    """A replay with settings from --config, its recording saved with --kml."""
    work = tmp_path_factory.mktemp("configured")
    (work / "Config.ini").write_bytes(b"[GPS]\r\nTimeZone=0\r\n[GE]\r\nEyeHigh=700\r\n")
    r = subprocess.run([str(native_build / "quorvane-replay"), "--config", str(work / "Config.ini"), "--kml",
                        str(work / "t.kml"), str(CAPTURES / "bt451.log")], stdout=subprocess.PIPE)
    return r.stdout.decode(), (work / "t.kml").read_bytes() if (work / "t.kml").exists() else b""


def test_settings_come_from_config(configured):
    out, _ = configured
    assert "text lblTime 15:25:05" in out and " 700 0 0 0 100" in out, out[:300]


def test_kml_saves_the_recording(configured):
    out, kml = configured
    assert kml.startswith(b"<?xml") and kml.endswith(b"</kml>\r\n") and kml.count(b"\r\n") - 21 == out.count("\ntrack ")


@pytest.fixture(scope="module")
def long_log(tmp_path_factory):
    path = tmp_path_factory.mktemp("long") / "long.log"
    path.write_bytes((CAPTURES / "haicom-305N.log").read_bytes() * 5000)  # seconds at a byte a tick
    return path


def test_a_long_replay_tells_its_progress_on_a_terminal(native_build, long_log):
    master, slave = pty.openpty()
    p = subprocess.Popen([str(native_build / "quorvane-replay"), "--bytes-per-tick", "1", "--journal", os.devnull,
                          str(long_log)], stdout=subprocess.DEVNULL, stderr=slave)
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
    assert p.returncode == 0 and b"replaying" in shown and b"done" in shown, shown[-200:]


def test_no_progress_when_standard_error_is_not_a_terminal(run, long_log):
    r = run("--bytes-per-tick", "1", "--journal", os.devnull, long_log)
    assert r.returncode == 0 and r.stderr == b""
