"""The source folders stay in layers: tools/check_layers passes on the tree, and fails, naming the include,
on one that runs up."""
import shutil
import subprocess
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
CHECK = ROOT / "tools" / "check_layers"


def test_every_include_runs_down_the_layers():
    r = subprocess.run(["python3", str(CHECK)], stdout=subprocess.PIPE, text=True)
    assert r.returncode == 0, r.stdout


def test_an_include_against_the_layers_is_named(tmp_path):
    src = tmp_path / "src"
    shutil.copytree(ROOT / "src", src)
    nmea = src / "gps" / "nmea.cpp"
    nmea.write_text('#include "ui/panel.h"\n' + nmea.read_text())
    r = subprocess.run(["python3", str(CHECK), str(src), str(ROOT / "README.md")], stdout=subprocess.PIPE, text=True)
    assert r.returncode == 1
    assert 'gps/nmea.cpp:1: #include "ui/panel.h": gps is below ui' in r.stdout
