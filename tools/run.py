#!/usr/bin/env python3
"""The main job, for a person to watch: Quorvane.exe under Wine with the
stand-in Earth and a simulated receiver replaying tools/drive.nmea in real
time, recording the track, and its map page open in a browser. On your
display if there is one (until you close the panel; the page opens in your
default browser); else headless for a minute, with screenshots of the panel,
of the page (in headless Chromium, on generated tiles) and of the settings
dialog in out/."""
import os
import subprocess
import sys
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
from browser import Browser, TileServer  # noqa: E402
from harness import Wine, kill  # noqa: E402

RED, TRACK, SPANNER = 110, 130, 148


def main():
    headless = not os.environ.get("DISPLAY") or subprocess.run(
        ["xdpyinfo"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode != 0
    wine = Wine(ROOT / "build" / "windows", ROOT / "build" / "run")
    if not headless:
        wine._start_xvfb = lambda: wine.env.__setitem__("DISPLAY", os.environ["DISPLAY"])
    wine.start()
    out = ROOT / "out"
    out.mkdir(exist_ok=True)
    process = None
    browser = tiles = None
    try:
        journal = wine.install_standin()
        tiles = TileServer() if headless else None
        folder = wine.app_folder("Quorvane")
        (folder / "Config.ini").write_bytes(
            b"[GE]\r\nEyeHigh=1500\r\n[GPS]\r\nPort=5\r\nSetting=4800,n,8,1\r\nTimeZone=8\r\n"
            b"[Track]\r\nTrackTempFile=C:\\qv\\Quorvane\\TrackTemp.kml\r\nPrecisionInTrack=0.0002\r\n"
            b"[Log]\r\nWriteLog=1\r\n[Web]\r\nEnabled=1\r\nPort=8642\r\n" +
            # Headless, the page is read by Chromium on generated tiles: no map provider is troubled by a test run.
            (b"OpenBrowser=0\r\nTileUrl=%s\r\nTileAttribution=generated tiles\r\n" % tiles.template.encode()
             if tiles else b"OpenBrowser=2\r\n"))
        serial = wine.serial_port(5)
        process = wine.launch(folder / "Quorvane.exe")
        wine.wait_for(lambda: wine.window_info("QuorvanePanel"), 60, "the panel")
        time.sleep(2)
        wine.driver("dblclick", "Quorvane", str(RED))  # what the user does first: connect the receiver
        time.sleep(1)
        wine.driver("click", "Quorvane", str(TRACK))  # and record the drive
        lines = [l + b"\n" for l in (ROOT / "tools" / "drive.nmea").read_bytes().split(b"\n") if l]
        seconds = [lines[i:i + 3] for i in range(0, len(lines), 3)]
        stop = threading.Event()

        def play():
            for group in seconds:
                if stop.is_set():
                    return
                serial.send(b"".join(group))
                time.sleep(1)

        player = threading.Thread(target=play, daemon=True)
        player.start()
        if headless:
            browser = Browser()
            browser.open("http://127.0.0.1:8642/")
        print(f"run: Quorvane.exe in {folder} on display {wine.env['DISPLAY']}; the drive plays for "
              f"{len(seconds)} s", flush=True)
        if headless:
            for n in range(1, 4):
                time.sleep(20)
                wine.screenshot(out / f"run-{n}.png")
                browser.screenshot(out / f"run-page-{n}.png")
                print(f"run: screenshots out/run-{n}.png (the panel) and out/run-page-{n}.png (the map page)",
                      flush=True)
            stop.set()
            wine.driver("click", "Quorvane", str(TRACK))  # stop recording: the track is saved
            time.sleep(1)
            # The spanner's settings dialog, looked at and left with Esc: Config.ini stays as it is.
            wine.driver("post", "Quorvane", str(SPANNER))
            if wine.driver("wait", "设置", "10")[0] == 0:
                time.sleep(0.5)
                wine.screenshot(out / "run-settings.png")
                print("run: screenshot out/run-settings.png (the settings dialog)", flush=True)
                subprocess.run(["xdotool", "key", "Escape"], env=wine.env, timeout=30)
                time.sleep(0.5)
        else:
            process.wait()
        for track in folder.glob("Track_*.kml"):
            print(f"run: recorded {track}")
        print("run: the stand-in Earth's last calls:")
        for line in journal.read_text("utf-8").splitlines()[-4:]:
            print("    " + line)
        serial.close()
    finally:
        if browser:
            browser.close()
        if tiles:
            tiles.close()
        if process:
            kill(process)
        wine.stop()


if __name__ == "__main__":
    main()
