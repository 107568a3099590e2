"""The marker over Google Earth's map, the zoom buttons and the window picker of the real Quorvane.exe."""
import subprocess
import time

from harness import STATE, ZOOM_IN, check, check_equal, journal, kill, map_rect, open_link, rmc
from nmea_model import sentence


PURE_RED = (255, 0, 0)


def rmc_course(course):
    line = rmc(1, 30.0, 3.0).decode()
    return sentence(line[1:line.index("*")].replace(",30.0,45.0,", ",30.0,%.1f," % course))


def marker_heading_east(wine, name, serial):
    """Quorvane with its link open on `serial` and one fix heading east; (process, the shown marker's window_info)."""
    process = open_link(wine, name, serial.number)
    serial.send(rmc_course(90.0))
    marker = wine.wait_for(lambda: (wine.window_info("QuorvaneMarker") or {}).get("visible") and
                           wine.window_info("QuorvaneMarker"), 10, "the marker window")
    return process, marker


def test_the_marker_sits_on_the_map_centre_and_turns_with_the_course(wine):
    log = wine.install_standin()
    serial = wine.serial_port(11)
    process = None
    try:
        process, marker = marker_heading_east(wine, "marker", serial)
        check_equal((marker["width"], marker["height"]), (32, 33), "marker size in pixels (480 x 495 twips)")
        check_equal(marker["topmost"], 1, "marker top-most")
        # Only the colour key is in force (Wine reports no alpha without LWA_ALPHA).
        attributes = dict(item.split("=") for item in wine.driver("layered", "QuorvaneMarker")[1].split())
        check_equal((attributes["key"], attributes["flags"], attributes["layered"]), ("0", "1", "1"),
                    "layered, colour key black, LWA_COLORKEY only")
        left, top, right, bottom = map_rect(wine, log)
        cx, cy = (left + right) // 2, (top + bottom) // 2
        check(abs(marker["left"] + 16 - cx) <= 1 and abs(marker["top"] + 16 - cy) <= 1,
              f"marker centred on the map: {marker} for centre {cx},{cy}")
        mx, my = marker["left"] + 16, marker["top"] + 16
        time.sleep(1.2)  # at least two redraws
        pic = wine.screenshot(wine.work / "marker-east.png")
        check(pic.count(PURE_RED, marker["left"], marker["top"], marker["left"] + 32, marker["top"] + 33) > 40,
              "a red arrowhead is drawn")
        check(pic.count(PURE_RED, 0, 60, pic.width, pic.height) ==
              pic.count(PURE_RED, marker["left"], marker["top"], marker["left"] + 32, marker["top"] + 33),
              "red only inside the marker")
        check_equal(pic.pixel(mx + 10, my), PURE_RED, "the tip points east at course 90")
        check(pic.pixel(mx, my - 10) != PURE_RED, "nothing points north at course 90")
        check(pic.pixel(marker["left"] + 1, marker["top"] + 1) != (0, 0, 0), "the black ground is see-through")

        serial.send(rmc_course(0.0))
        time.sleep(1.5)
        pic = wine.screenshot(wine.work / "marker-north.png")
        check_equal(pic.pixel(mx, my - 10), PURE_RED, "the tip points north at course 0")
        check(pic.pixel(mx + 10, my) != PURE_RED, "nothing points east at course 0")
    finally:
        if process:
            kill(process)
        serial.close()
        wine.stop_standin()


def test_under_high_contrast_black_the_marker_ground_stays_see_through(wine):
    colours = r"HKCU\Control Panel\Colors"
    wine.reg("add", colours, "/v", "WindowText", "/t", "REG_SZ", "/d", "255 255 255", "/f")  # as High Contrast Black
    wine.install_standin()
    serial = wine.serial_port(12)
    process = None
    try:
        process, marker = marker_heading_east(wine, "marker_contrast", serial)
        time.sleep(1.2)  # at least two redraws
        pic = wine.screenshot(wine.work / "marker-high-contrast.png")
        corners = [pic.pixel(marker["left"] + dx, marker["top"] + dy) for dx, dy in ((1, 1), (30, 1), (1, 31))]
        check((255, 255, 255) not in corners and (0, 0, 0) not in corners,
              f"the map shows through the marker's ground, not a white square: {corners}")
        check(pic.count(PURE_RED, marker["left"], marker["top"], marker["left"] + 32, marker["top"] + 33) > 40,
              "the red arrowhead is drawn")
    finally:
        wine.reg("delete", colours, "/v", "WindowText", "/f")
        if process:
            kill(process)
        serial.close()
        wine.stop_standin()


def test_holding_zoom_in_sends_shrinking_eye_heights(wine):
    log = wine.install_standin()
    process = None
    try:
        folder = wine.app_folder("zoom")
        (folder / "Config.ini").write_bytes(b"[GE]\r\nEyeHigh=5000\r\n")
        process = wine.launch(folder / "Quorvane.exe")
        wine.shown_panel()
        time.sleep(1.5)
        wine.driver("hold", "Quorvane", str(ZOOM_IN), "1400")
        time.sleep(1)
        lines = journal(log)
        heights = [int(l.split(" = ")[1].split(" ")[0]) for l in lines if ".Range = " in l]
        expected = [4375, 3828, 3350, 2931, 2565, 2244, 1964, 1718, 1503, 1315, 1151, 1007, 881, 771, 675, 591, 517,
                    452, 400]
        check(3 <= len(heights) <= 7, f"a step every 300 ms while held 1.4 s: {heights}")
        check_equal(heights, expected[:len(heights)], "eye heights sent")
        views = [l for l in lines if l.startswith("control.setView(")]
        check_equal(len(views), len(heights), "one camera sent per step")
        check(all(", 100) -> ok" in v for v in views), f"sent with speed 100: {views[:2]}")
        time.sleep(1)
        check_equal(len([l for l in journal(log) if ".Range = " in l]), len(heights), "no step after the release")
    finally:
        if process:
            kill(process)
        wine.stop_standin()


def test_the_picker_shows_the_window_under_the_cursor(wine):
    log = wine.install_standin()
    process = None
    try:
        folder = wine.app_folder("picker")
        process = wine.launch(folder / "Quorvane.exe")
        panel = wine.shown_panel()
        time.sleep(1.5)
        env = wine.env
        bx, by = panel["left"] + round((2730 + 187) / 15), panel["top"] + round((15 + 187) / 15)
        left, top, right, bottom = map_rect(wine, log)
        map_hwnd = next(l for l in journal(log) if l.startswith("app.GetRenderHwnd() -> ")).rsplit(" ", 1)[1]
        xdo = lambda *a: subprocess.run(["xdotool", *a], env=env, check=True, timeout=30)
        target_x, target_y = (left + right) // 2, (top + bottom) // 2 + 100
        text = None
        # A press can be spent on activating the panel under Wine: try the gesture up to three times.
        for _ in range(3):
            xdo("mousemove", "--sync", str(bx), str(by))
            time.sleep(0.3)
            xdo("mousedown", "1")
            time.sleep(0.5)
            for step in (1, 2, 3):
                xdo("mousemove", str(bx + (target_x - bx) * step // 3), str(by + (target_y - by) * step // 3))
                time.sleep(0.2)
            try:
                text = wine.wait_for(lambda: wine.controls()[STATE][2].startswith("[") and wine.controls()[STATE],
                                     3, "the picker's read-out")
                break
            except AssertionError:
                xdo("mouseup", "1")
                time.sleep(0.5)
        check(text is not None, "the picker's read-out appeared")
        check(text[1], "txtState shown while picking")
        check_equal(text[2], f"[{map_hwnd}]EarthStandIn map", "handle and title of the window under the cursor")
        xdo("mouseup", "1")
        wine.wait_for(lambda: not wine.controls()[STATE][1], 5, "txtState hidden after the release")
    finally:
        if process:
            kill(process)
        wine.stop_standin()
