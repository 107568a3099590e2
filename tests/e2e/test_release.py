"""The release zip as a user takes it: unpacked into a folder with Chinese characters and a space in a fresh
Windows, set up with one key and used; and the panel at 96, 120, 144 and 192 dpi."""
import subprocess
import time
import zipfile

from harness import (
    BLUE, GREY, RED, ROOT, TRACK, Wine, check, check_equal, coordinates, fix, flights, journal, kill,
    log_messages, shown_picture)
from nmea_model import sentence


LABELS = {120: "longitude", 121: "latitude", 122: "speed", 123: "precision", 124: "altitude", 125: "time"}
YELLOW, CYAN = (255, 255, 0), (0, 255, 255)
STATE_IMAGES = (110, 111, 112)


def test_a_user_unpacks_the_zip_into_a_chinese_folder_sets_the_port_and_drives(wine, release_zip):
    fresh = Wine(wine.build, wine.work / "fresh")
    if fresh.prefix.exists():
        subprocess.run(["rm", "-rf", str(fresh.prefix)], check=True)
    fresh.start()  # a new prefix: a Windows nobody has set up anything on
    serial, process = None, None
    try:
        folder = fresh.c_drive / "用户工具" / "Quorvane 5"
        folder.mkdir(parents=True)
        with zipfile.ZipFile(release_zip, metadata_encoding="gbk") as z:
            for info in z.infolist():
                target = folder / info.filename.removeprefix("Quorvane/")
                if not info.filename.endswith("/"):
                    target.write_bytes(z.read(info))
        shipped = (folder / "Config.ini").read_bytes()
        check(b"\r\nPort=0\r\n" in shipped, "the shipped Config.ini looks for the receiver itself")
        (folder / "Config.ini").write_bytes(shipped.replace(b"\r\nPort=0\r\n", b"\r\nPort=51\r\n"))  # the one change
        log = fresh.install_standin()
        serial = fresh.serial_port(51)
        process = subprocess.Popen(["wine", "C:\\用户工具\\Quorvane 5\\Quorvane.exe"], env=fresh.env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        fresh.shown_panel()
        fresh.driver("dblclick", "Quorvane", str(RED))
        fresh.wait_for(lambda: shown_picture(fresh) == GREY, 10, "the receiver connected")
        fresh.driver("click", "Quorvane", str(TRACK))
        for i in range(8):
            serial.send(fix(i)[0])
            time.sleep(0.3)
        fresh.wait_for(lambda: len(flights(log)) == 8, 10, "the camera to follow every fix")
        check_equal(shown_picture(fresh), BLUE, "the receiver's state")
        fresh.driver("click", "Quorvane", str(TRACK))
        tracks = fresh.wait_for(lambda: list(folder.glob("Track_*.kml")), 5, "the track saved")
        check_equal(len(coordinates(tracks[0].read_bytes())), 8, "every fix in the track")
        messages = log_messages(folder / "Log.txt")
        check("      - Open Google Earth Succeed" in messages, f"Log.txt beside the program: {messages}")
        check_equal(sorted(p.name for p in folder.iterdir()),
                    sorted(["Quorvane.exe", "Config.ini", "使用说明.txt", "LICENSE.txt", "THIRD-PARTY-NOTICES.txt",
                            "Log.txt", tracks[0].name]), "what the folder holds after a drive")
        print(f"  unpacked into C:\\用户工具\\Quorvane 5\\ in a fresh prefix, Port=51 set: 8 fixes followed, "
              f"{tracks[0].name} saved, Log.txt written")
    finally:
        if process:
            kill(process)
        if serial:
            serial.close()
        fresh.stop_standin()
        fresh.stop()


def pixels(twips, dpi):
    return round(twips * dpi / 1440)  # Python rounds halves to even, as the program does


def layout(wine):
    out = {}
    for line in wine.driver("layout", "Quorvane")[1].splitlines():
        v = [int(x) for x in line.split()]
        out[v[0]] = {"left": v[1], "top": v[2], "right": v[3], "bottom": v[4], "visible": v[5]}
    return out


def set_dpi(wine, dpi):
    wine.reg("add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")


def test_the_panel_is_right_at_every_display_scaling(wine):
    log = wine.install_standin()
    serial = wine.serial_port(52)
    process = None
    try:
        for dpi in (96, 120, 144, 192):
            set_dpi(wine, dpi)
            folder = wine.app_folder(f"dpi{dpi}")
            (folder / "Config.ini").write_bytes(b"[GPS]\r\nPort=52\r\nSetting=4800,n,8,1\r\n")
            process = wine.launch(folder / "Quorvane.exe")
            panel = wine.shown_panel()
            wine.driver("dblclick", "Quorvane", str(RED))
            wine.wait_for(lambda: shown_picture(wine) == GREY, 10, "the receiver connected")
            # The widest texts a fix gives: a long longitude, speed and precision.
            serial.send(sentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,10.0,1.3,2.1") +
                        sentence("GPGGA,123519,2232.1234,N,11403.5678,E,1,08,0.9,-1234.5,M,46.9,M,,") +
                        sentence("GPRMC,235959,A,8959.9999,S,17959.9999,W,999.9,359.9,230394,,"))
            wine.wait_for(lambda: wine.controls()[125][2] == "07:59:59", 10, "the fix on the panel")
            marker = wine.wait_for(lambda: (wine.window_info("QuorvaneMarker") or {}).get("visible") and
                                   wine.window_info("QuorvaneMarker"), 10, "the marker")
            time.sleep(1.2)
            picture = wine.screenshot(ROOT / "build" / f"scaling-{dpi}dpi.png")
            panel = wine.window_info("QuorvanePanel")
            width, height = pixels(9135, dpi), pixels(780, dpi)
            check_equal((panel["width"], panel["height"]), (width, height), f"{dpi} dpi: 9135 x 780 twips in pixels")
            check(panel["top"] == 0 and abs(panel["left"] - (panel["screen"] - width) / 2) <= 1,
                  f"{dpi} dpi: at the top centre: {panel}")
            children = layout(wine)
            for id_, name in LABELS.items():
                r = children[id_]
                colour = CYAN if id_ in (124, 125) else YELLOW
                xs = [x for y in range(r["top"], r["bottom"]) for x in range(r["left"], r["right"])
                      if picture.pixel(x, y) == colour or (id_ == 123 and picture.pixel(x, y) == (255, 0, 0))]
                check(xs, f"{dpi} dpi: the {name} label shows its text")
                # Text cut by its label would run to the label's edge.
                check(max(xs) < r["right"] - 2, f"{dpi} dpi: the {name} text fits its label "
                                                f"(right-most text pixel {max(xs)}, label ends at {r['right']})")
            for id_ in STATE_IMAGES:
                r = children[id_]
                if not r["visible"]:
                    continue
                box = [(x, y) for y in range(r["top"], r["bottom"]) for x in range(r["left"], r["right"])
                       if picture.pixel(x, y) != (0, 0, 0)]
                w = max(x for x, _ in box) - min(x for x, _ in box) + 1
                h = max(y for _, y in box) - min(y for _, y in box) + 1
                size = (20 * dpi + 48) // 96
                check_equal((w, h), (size, size), f"{dpi} dpi: the state picture drawn at 20 px scaled")
                check(r["right"] - r["left"] >= size and r["bottom"] - r["top"] >= size,
                      f"{dpi} dpi: the state picture fits its place")
            line = [l for l in journal(log) if l.startswith("app.GetRenderHwnd() -> ")][-1]
            left, top, right, bottom = [int(v) for v in wine.driver("rect", line.rsplit(" ", 1)[1])[1].split()]
            marker = wine.window_info("QuorvaneMarker")
            check_equal((marker["width"], marker["height"]), (pixels(480, dpi), pixels(495, dpi)),
                        f"{dpi} dpi: the marker window's size")
            cx, cy = marker["left"] + pixels(240, dpi), marker["top"] + pixels(240, dpi)
            check(abs(cx - (left + right) // 2) <= 1 and abs(cy - (top + bottom) // 2) <= 1,
                  f"{dpi} dpi: the marker on the map's centre")
            red = picture.count((255, 0, 0), marker["left"], marker["top"], marker["left"] + marker["width"],
                                marker["top"] + marker["height"])
            check(red > 40 * (dpi / 96) ** 2, f"{dpi} dpi: the arrowhead is drawn, scaled ({red} red pixels)")
            print(f"  {dpi} dpi: panel {width} x {height} px at the top centre, every label's text inside it, "
                  f"pictures {(20 * dpi + 48) // 96} px, marker {marker['width']} x {marker['height']} px on the "
                  f"map's centre; screenshot build/scaling-{dpi}dpi.png")
            kill(process)
            process = None
    finally:
        set_dpi(wine, 96)
        if process:
            kill(process)
        serial.close()
        wine.stop_standin()
