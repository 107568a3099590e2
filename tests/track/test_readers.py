"""Outside KML readers on our track files: xmllint and GPSBabel read the temporary file after every point of a
1,000-point recording, and the saved track, and GPSBabel returns exactly the recorded points."""
import subprocess
from concurrent.futures import ThreadPoolExecutor
from types import SimpleNamespace

import pytest


def gpsbabel_points(path):
    out = subprocess.run(["gpsbabel", "-t", "-i", "kml", "-f", str(path), "-o", "unicsv", "-F", "-"],
                         check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True).stdout
    rows = out.strip().splitlines()
    header = rows[0].split(",")
    lat, lon = header.index("Latitude"), header.index("Longitude")
    return [(round(float(r.split(",")[lon]), 4), round(float(r.split(",")[lat]), 4)) for r in rows[1:]]


@pytest.fixture(scope="module")
def recording(native_build, tmp_path_factory):
    """A 1,000-point drive through the real recorder, every temporary file kept."""
    work = tmp_path_factory.mktemp("snapshots")
    subprocess.run([str(native_build / "track_snapshots"), str(work), "1000"], check=True, stdout=subprocess.DEVNULL)
    recorded = [tuple(round(float(v), 4) for v in line.split(",")[:2])
                for line in (work / "points.csv").read_text().splitlines()]
    return SimpleNamespace(work=work, recorded=recorded, snaps=sorted(work.glob("snap_*.kml")))


def test_a_snapshot_of_the_temporary_file_after_every_point(recording):
    assert len(recording.recorded) >= 900
    assert len(recording.snaps) == len(recording.recorded)


def test_xmllint_reads_every_temporary_file_and_the_saved_track(recording):
    lint = subprocess.run(["xmllint", "--noout", *map(str, recording.snaps), str(recording.work / "final.kml")],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    assert lint.returncode == 0, lint.stderr[:500]


def test_gpsbabel_reads_the_recorded_points_from_every_temporary_file(recording):
    with ThreadPoolExecutor(max_workers=2) as pool:
        read = list(pool.map(gpsbabel_points, recording.snaps))
    bad = [i for i, pts in enumerate(read) if pts != recording.recorded[:i + 1]]
    assert not bad, f"first difference at point {bad[0] + 1}"


def test_gpsbabel_reads_every_recorded_point_from_the_saved_track(recording):
    assert gpsbabel_points(recording.work / "final.kml") == recording.recorded
