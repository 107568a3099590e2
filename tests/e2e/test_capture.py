"""Quorvane's main job end to end: a real receiver's capture at 4800 baud in real time."""
import subprocess
import tempfile
import time
from pathlib import Path

import pytest

from harness import ROOT, TRACK, camera_moves, capture_lines, check, check_equal, kill, map_rect, open_link
from nmea_model import Model, one_decimal


CAPTURE = ROOT.parent / "shared" / "nmea" / "haicom-305N.log"
YELLOW, CYAN, RED = (255, 255, 0), (0, 255, 255), (255, 0, 0)


@pytest.mark.heavy
def test_a_capture_is_followed_shown_and_recorded(wine):
    log = wine.install_standin()
    serial = wine.serial_port(12)
    process = None
    try:
        lines = capture_lines(CAPTURE)
        model = Model(precision=0.0001)  # the walk is slow: a finer filter gives a track worth checking
        for line in lines:
            model.feed(line.decode("ascii").rstrip("\r\n"))
        check(len(model.fixes) >= 60 and len(model.points) >= 3, "the capture has fixes and track points")

        process = open_link(wine, "capture", 12, b"[Track]\r\nPrecisionInTrack=0.0001\r\n")
        folder = wine.c_drive / "qv" / "capture"
        wine.driver("click", "Quorvane", str(TRACK))
        serial.play(lines, baud=4800).join()  # about 40 seconds, as the receiver sent it
        time.sleep(2.5)

        got = camera_moves(log)
        check_equal(len(got), len(model.flights), "one fly-to per valid fix with PDOP at most 10")
        for (lat, lon), sent in zip(model.flights, got):
            check_equal(sent, (lat, lon, 5000.0, 0.0, 0.0, 0.0, 100.0), "fly-to arguments")

        last = model.fixes[-1]
        c = wine.controls()
        check_equal(c[125][2], model.local_time(last["time"]), "lblTime shows the last fix in local time")
        check_equal(c[122][2], one_decimal(last["kmh"]) + "km/h", "lblSpeed")
        check_equal(c[123][2], "GPS精度 : " + one_decimal(last["pdop"]), "lblAzimuth shows the precision")
        panel = wine.window_info("QuorvanePanel")
        check(panel["top"] == 0 and abs(panel["left"] - (panel["screen"] - 609) / 2) <= 0.5, "panel at top centre")
        marker = wine.window_info("QuorvaneMarker")
        left, top, right, bottom = map_rect(wine, log)
        check(marker and abs(marker["left"] + 16 - (left + right) // 2) <= 1 and
              abs(marker["top"] + 16 - (top + bottom) // 2) <= 1, f"marker at the map centre: {marker}")
        pic = wine.screenshot(wine.work / "capture-panel.png")
        px = lambda x0, x1, y0, y1, colour: pic.count(colour, panel["left"] + x0, panel["top"] + y0,
                                                      panel["left"] + x1, panel["top"] + y1)
        check(px(232, 376, 1, 25, YELLOW) > 30, "longitude in yellow")
        check(px(504, 584, 25, 50, CYAN) > 30, "time in cyan")
        precision_colour = RED if last["pdop"] > 6 else YELLOW
        check(px(376, 504, 25, 50, precision_colour) > 30, "precision in its colour")

        wine.driver("click", "Quorvane", str(TRACK))
        saved = wine.wait_for(lambda: list(folder.glob("Track_*.kml")), 10, "the saved track")
        data = saved[0].read_bytes()
        body = data.split(b"<coordinates>\r\n", 1)[1].split(b"\r\n\r\n</coordinates>", 1)[0]
        got_points = [tuple(p.decode().split(",")) for p in body.split(b"\r\n") if p]
        check_equal(got_points, model.points, "track points: moved fixes with PDOP at most 6")

        # quorvane-replay turns the same capture into the same file, but for the time the track was begun.
        with tempfile.TemporaryDirectory() as scratch:
            config, kml = Path(scratch) / "Config.ini", Path(scratch) / "replayed.kml"
            config.write_bytes(b"[Track]\r\nPrecisionInTrack=0.0001\r\n")
            replay = wine.build.parent / "native" / "quorvane-replay"
            subprocess.run([str(replay), "--config", str(config), "--kml", str(kml), "--journal", "/dev/null",
                            str(CAPTURE)], check=True)
            replayed = kml.read_bytes()
        strip = lambda b: b.split(b"</name>", 1)[1]
        check_equal(strip(replayed), strip(data), "the replayed track and the one the program recorded")
        check_equal(len(replayed), len(data), "same size")
    finally:
        if process:
            kill(process)
        serial.close()
        wine.stop_standin()
