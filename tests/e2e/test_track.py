"""Recording a track with the real Quorvane.exe: the saved file, the temporary file and Google Earth's reloads."""
import re
import subprocess
import time

from harness import TRACK, check, check_equal, coordinates, journal, open_the_link, rmc, start_quorvane, wait_exit


def moving_fixes(count):
    """Fixes 0.001 degrees apart to the north-east, and the track points they make (lon, lat to 4 decimals)."""
    lines, points = [], []
    for i in range(count):
        lat_min, lon_min = 30.0 + i * 0.06, 3.0 + i * 0.06
        lines.append(rmc(i % 60, lat_min, lon_min))
        points.append(("%.4f" % (114 + round(lon_min / 60, 4)), "%.4f" % (22 + round(lat_min / 60, 4))))
    return lines, points


def start_recording(wine, name, port, serial, programs=None, folder=None):
    temp = (folder or wine.app_path(name)) / "temp.kml"
    folder, process = start_quorvane(wine, name, b"[GPS]\r\nPort=%d\r\nSetting=4800,n,8,1\r\n[Track]\r\n"
                                     b"TrackTempFile=%s\r\n" % (port, wine.windows_path(temp).encode()),
                                     folder=folder, launch=programs)
    open_the_link(wine)
    check_equal(wine.driver("click", "Quorvane", str(TRACK))[0], 0, "click on the track switch")
    check_equal(wine.driver("checked", "Quorvane", str(TRACK))[1].strip(), "1", "track switch checked")
    return folder, temp, process


def test_a_recording_is_saved_with_every_point_and_shown_live(wine, standin, serial, programs):
    log, cable = standin, serial(9)
    folder, temp, process = start_recording(wine, "track", 9, cable, programs)
    lines, points = moving_fixes(20)
    cable.play(lines, baud=4800).join()
    opened = lambda: [l for l in journal(log) if l.startswith("control.OpenFile(")]
    wine.wait_for(lambda: len(opened()) >= 20, 15, "Google Earth to open the temporary file 20 times")
    time.sleep(1.5)
    check_equal(len(opened()), 20, "temporary file opened once per recorded point")
    path = wine.windows_path(temp).replace("\\", "\\\\")
    # Each reload goes out after its point is written; Google Earth reads the file when the call reaches it,
    # so on a loaded machine a late one may already hold the next point, never fewer than its own.
    held = [int(m.group(1)) if (m := re.fullmatch(rf'control\.OpenFile\("{re.escape(path)}"\) -> ok (\d+) points', l))
            else l for l in opened()]
    check(all(isinstance(n, int) for n in held), f"every reload read the temporary file: {held}")
    check(all(n >= k for k, n in enumerate(held, 1)) and held == sorted(held) and held[-1] == 20,
          f"reload k holds at least k points, in order, the last all 20: {held}")
    check_equal(coordinates(temp.read_bytes()), [(a.encode(), b.encode()) for a, b in points],
                "temporary file points")

    wine.driver("click", "Quorvane", str(TRACK))
    saved = wine.wait_for(lambda: list(folder.glob("Track_*.kml")), 10, "the saved track")
    check_equal(len(saved), 1, "track files")
    check(re.fullmatch(r"Track_\d{8}_\d{6}\.kml", saved[0].name), f"file name {saved[0].name}")
    data = saved[0].read_bytes()
    check_equal(coordinates(data), [(a.encode(), b.encode()) for a, b in points], "saved track points")
    check(data.endswith(b"</kml>\r\n"), "the file ends with </kml> and CR LF")
    check_equal(data, temp.read_bytes(), "saved track and the last temporary file")
    subprocess.run(["xmllint", "--noout", str(saved[0])], check=True)


def test_quitting_while_recording_keeps_the_track(wine, standin, serial, programs):
    cable = serial(10)
    folder, temp, process = start_recording(wine, "quit_recording", 10, cable, programs)
    lines, points = moving_fixes(5)
    cable.play(lines).join()
    wine.wait_for(lambda: temp.exists() and len(coordinates(temp.read_bytes())) == 5, 10, "five points")
    wine.driver("press", "Quorvane", "X")
    check(wait_exit(process, 20) is not None, "the program ends")
    saved = list(folder.glob("Track_*.kml"))
    check_equal(len(saved), 1, "track files after quitting while recording")
    check_equal(coordinates(saved[0].read_bytes()), [(a.encode(), b.encode()) for a, b in points], "points")


def test_a_recording_never_replaces_a_track_of_its_name(wine, standin, serial, programs):
    """Another program in the folder, or a clock set back: a track file of the recording's name is there."""
    folder = wine.app_folder("same_second")
    now = time.time()
    others = {}
    for second in range(-5, 120):  # every name the recording may start with
        name = time.strftime("Track_%Y%m%d_%H%M%S.kml", time.localtime(now + second))
        others[name] = f"another drive {second}\r\n".encode()
        (folder / name).write_bytes(others[name])
    cable = serial(10)
    start_recording(wine, "same_second", 10, cable, programs, folder)
    lines, points = moving_fixes(5)
    cable.play(lines, baud=4800).join()
    time.sleep(2)
    wine.driver("click", "Quorvane", str(TRACK))  # stop: the track is saved
    saved = wine.wait_for(lambda: sorted(folder.glob("Track_*_2.kml")), 10, "the track saved under a free name")
    check_equal({name: (folder / name).read_bytes() for name in others}, others, "every other track as it was")
    check_equal([tuple(p.decode() for p in point) for point in coordinates(saved[0].read_bytes())], points,
                f"the recording in {saved[0].name}")
    check_equal(sorted(folder.glob("*.recovering")), [], "its recovery file gone once saved")
