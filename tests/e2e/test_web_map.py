"""The map page the real Quorvane.exe serves on 127.0.0.1, read by a real browser (Debian's headless Chromium):
following a drive beside the stand-in Earth and without any Google Earth, the panel's buttons shown in the
page, the recorded track, the requests it makes, its refusals and its reconnection."""
import http.client
import math
import os
import subprocess
import time

from browser import Browser, TileServer, metres_between, mercator, tile_at, tile_colour, tile_zoom
from harness import (BANNER, STATE, TRACK, check, check_equal, fix, kill, log_messages, open_link, open_the_link,
                     start_quorvane, state_text, wait_exit)

FOLLOW, ZOOM_IN, ZOOM_OUT, HEADING_UP, NORTH_UP, QUIT, SPEED = 140, 141, 142, 143, 144, 100, 122
YELLOW = (255, 255, 0)


def wine_wait(condition, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if condition():
            return True
        time.sleep(0.2)
    return False


def web_port():
    """A port of this worker's own: two workers never share one."""
    worker = os.environ.get("PYTEST_XDIST_WORKER", "gw0")
    return 18642 + 20 * int(worker.removeprefix("gw") or 0)


def web_config(tiles, port, more=b""):
    return (b"[Log]\r\nWriteLog=1\r\n[Web]\r\nEnabled=1\r\nPort=%d\r\nOpenBrowser=0\r\nTileUrl=%s\r\n"
            b"TileAttribution=Test tiles\r\n" % (port, tiles.template.encode())) + more


def page_address(folder):
    lines = [l for l in log_messages(folder / "Log.txt") if l.startswith("      - Map Page At ")]
    check(lines, "Log.txt names the map page's address")
    return lines[-1].rsplit(" ", 1)[1]


def settled(browser, lat, lon, what, centred=True):
    """Waits for the drawn vehicle (and, north-up, the view's centre) to reach the fix: within 0.5 m."""
    def there():
        s = browser.status()
        ok = s and s["vehicle"] and metres_between(s["vehicle"], [lon, lat]) < 0.5
        return s if ok and (not centred or metres_between(s["center"], [lon, lat]) < 0.5) else None
    return browser.wait(there, 5, f"{what}: the page's vehicle{' and centre' if centred else ''} on the fix")


def drive(cable, first, count, every=1.0):
    """Sends fixes first .. first+count-1 at `every` seconds; the last one's (lat, lon)."""
    for i in range(first, first + count):
        line, where = fix(i)
        cable.send(line)
        time.sleep(every)
    return where


def check_tile_under_vehicle(picture, status, what):
    """The pixel 40 px west of the vehicle (which sits at the centre, north-up) shows the tile that holds it."""
    lon, lat = status["vehicle"]
    resolution = status["metresPerPixel"] / math.cos(math.radians(status["center"][1]))
    x, y = mercator(lon, lat)
    z = tile_zoom(resolution)
    expected = tile_colour(*tile_at(x - 40 * resolution, y, z))
    cx, cy = picture.width // 2, picture.height // 2
    check_equal(picture.pixel(cx - 40, cy), expected, f"{what}: the colour of tile {tile_at(x - 40 * resolution, y, z)}")


def test_the_page_follows_a_drive_beside_google_earth_and_mirrors_the_panel(wine, standin, serial):
    tiles = TileServer()
    cable = serial(31)
    port = web_port()
    process = open_link(wine, "webmap", cable.number, more=web_config(tiles, port))
    folder = wine.app_path("webmap")
    browser = Browser()
    try:
        address = page_address(folder)
        check_equal(address, f"http://127.0.0.1:{port}/", "the configured port is used")
        check(address in (state_text(wine) or ""), f"txtState names the address: {state_text(wine)!r}")
        browser.open(address)
        browser.wait(lambda: (browser.status() or {}).get("connected"), 10, "the page connected")
        check_equal(wine.driver("click", "Quorvane", str(TRACK))[0], 0, "click on the track switch")
        check_equal(wine.driver("checked", "Quorvane", str(TRACK))[1].strip(), "1", "recording")

        # Each fix, once the glide has settled: the vehicle and (north-up) the centre on it.
        for i in range(3):
            line, (lat, lon) = fix(i)
            cable.send(line)
            status = settled(browser, lat, lon, f"fix {i}")
        check(status["following"] and not status["headingUp"], f"following, north-up: {status}")
        check_equal(status["lastFix"]["texts"]["lblTime"], "12:00:02", "the panel's time, as shown")
        lat, lon = drive(cable, 3, 6)
        status = settled(browser, lat, lon, "after a drive at 1 Hz")
        check(status["trackPoints"] >= 6, f"the recording's points drawn: {status}")
        check_equal(status["tileErrors"], 0, "tile errors")
        time.sleep(1.0)  # the last tiles drawn
        picture = browser.screenshot(wine.work / "map-page.png")
        check_tile_under_vehicle(picture, status, "north-up")
        check(picture.count(YELLOW) > 100, f"the track drawn in yellow: {picture.count(YELLOW)} pixels")

        # The panel's buttons show in the page.
        wine.driver("click", "Quorvane", str(HEADING_UP))
        line, (lat, lon) = fix(9)
        cable.send(line)
        status = browser.wait(lambda: (lambda s: s if s["headingUp"] and abs((s["rotation"] + 45 + 180) % 360 - 180)
                                       < 1.0 else None)(browser.status()), 5, "heading-up: the view turned to -45°")
        settled(browser, lat, lon, "heading-up", centred=False)
        wine.driver("click", "Quorvane", str(NORTH_UP))
        browser.wait(lambda: abs(browser.status()["rotation"]) < 0.5, 5, "north-up again")
        before = browser.status()["metresPerPixel"]
        wine.driver("click", "Quorvane", str(ZOOM_OUT))
        browser.wait(lambda: browser.status()["metresPerPixel"] > before * 1.1, 5, "the panel's zoom out in the page")
        wine.driver("click", "Quorvane", str(FOLLOW))
        browser.wait(lambda: not browser.status()["following"], 5, "the panel's unlock frees the page")
        check(browser.shown("follow") == "回到车辆", "the page offers to follow again")
        wine.driver("click", "Quorvane", str(FOLLOW))
        browser.wait(lambda: browser.status()["following"], 5, "the panel's lock follows again")

        # Nothing but the program and the tile server is asked for.
        allowed = (address, f"http://127.0.0.1:{tiles.port}/", "data:")
        strays = [u for u in browser.requests() if not u.startswith(allowed)]
        check_equal(strays, [], "requests to anywhere else")
        check(len(tiles.requests) > 4, f"tiles were fetched: {len(tiles.requests)}")

        # Refusals: another name for this machine (DNS rebinding) and a method other than GET or HEAD.
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        connection.request("GET", "/", headers={"Host": f"attacker.example:{port}"})
        check_equal(connection.getresponse().status, 403, "a foreign Host")
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        connection.request("POST", "/events", body=b"x")
        answer = connection.getresponse()
        check_equal((answer.status, answer.getheader("Allow")), (405, "GET, HEAD"), "a POST")
        check(answer.getheader("Access-Control-Allow-Origin") is None, "no CORS header")
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        connection.request("GET", "/")
        answer = connection.getresponse()
        policy = answer.getheader("Content-Security-Policy") or ""
        check(f"http://127.0.0.1:{tiles.port}" in policy and "default-src 'self'" in policy,
              f"the page's policy allows itself and the tile host only: {policy}")

        # Closed and started again: the page says so, reconnects by itself and shows the new snapshot.
        wine.driver("click", "Quorvane", str(QUIT))
        check(wait_exit(process, 20) is not None, "Quorvane closed")
        browser.wait(lambda: browser.shown("banner") and not browser.status()["connected"], 10,
                     "the page says the connection is lost")
        check_equal(browser.shown("banner"), "与 Quorvane 的连接已断开，正在重新连接…", "the banner's text")
        _, process = start_quorvane(wine, "webmap", (folder / "Config.ini").read_bytes(), folder=folder)
        browser.wait(lambda: browser.status()["connected"] and not browser.shown("banner"), 15, "reconnected")
        check_equal(browser.status()["trackPoints"], 0, "the new run's snapshot: no recording")
        open_the_link(wine)
        line, (lat, lon) = fix(20)
        cable.send(line)
        settled(browser, lat, lon, "after the restart")
    finally:
        browser.close()
        tiles.close()
        kill(process)


def test_without_google_earth_the_panel_serves_the_map_and_the_page_follows(wine, serial):
    wine.uninstall_standin()
    tiles = TileServer()
    tiles.down = True  # and no network either
    cable = serial(32)
    port = web_port() + 1
    browser = Browser()
    process = None
    try:
        process = open_link(wine, "webmap-alone", cable.number, more=web_config(tiles, port))
        folder = wine.app_path("webmap-alone")
        address = page_address(folder)
        messages = log_messages(folder / "Log.txt")
        check_equal(messages[:5], BANNER + ["      - Open Google Earth Error",
                                            "      - Google Earth Not In Use : Map In Browser, Camera And Marker Skipped"],
                    "the log says Google Earth is not used")
        browser.open(address)
        browser.wait(lambda: (browser.status() or {}).get("connected"), 10, "the page connected")
        for i in range(3):
            line, (lat, lon) = fix(i)
            cable.send(line)
            status = settled(browser, lat, lon, f"fix {i} without Google Earth")
        check_equal(status["lastFix"]["earth"], "none", "Google Earth's state in the page")
        browser.wait(lambda: browser.status()["tileErrors"] > 0 and browser.shown("tilenote"), 10,
                     "the note on tiles that cannot load")
        check_equal(browser.shown("tilenote"), "地图瓦片无法加载（可能没有网络）", "the note's text")
        browser.screenshot(wine.work / "map-page-offline.png")
        check(process.poll() is None, "Quorvane runs on")
    finally:
        browser.close()
        tiles.close()
        if process:
            kill(process)


def test_without_google_earth_the_panel_names_the_page_and_a_click_opens_it(wine, tmp_path):
    """txtState says the map is in the browser, with its address; a click on the speed opens the default
    browser there (Wine hands http addresses to the browsers its registry lists: here a script that notes it)."""
    wine.uninstall_standin()
    opened = tmp_path / "opened.txt"
    script = tmp_path / "browser.sh"
    script.write_text(f"#!/bin/sh\necho \"$@\" >> {opened}\n")
    script.chmod(0o755)
    wine.reg("add", r"HKCU\Software\Wine\WineBrowser", "/v", "Browsers", "/t", "REG_SZ", "/d", str(script), "/f")
    tiles = TileServer()
    port = web_port() + 2
    try:
        folder, process = start_quorvane(wine, "webmap-open", web_config(tiles, port).replace(
            b"OpenBrowser=0", b"OpenBrowser=1"))
        address = f"http://127.0.0.1:{port}/"
        check_equal(state_text(wine), f"未使用 Google Earth：地图在浏览器中 {address}", "txtState")
        wine.wait_for(lambda: opened.exists() and address in opened.read_text(), 20,
                      "OpenBrowser=1 without Google Earth opened the page")
        check(any(l == "      - Map Page Opened In Browser" for l in log_messages(folder / "Log.txt")),
              "the log says the page was opened")
        opened.unlink()
        # A real click on the speed (under the status line while it shows): tried up to three times, as a
        # press can be spent on activating the panel under Wine.
        panel = wine.shown_panel()
        x, y = panel["left"] + round((5640 + 960) / 15), panel["top"] + round((15 + 187) / 15)
        for _ in range(3):
            subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"], env=wine.env,
                           check=True, timeout=30)
            if wine_wait(lambda: opened.exists() and address in opened.read_text(), 5):
                break
        check(opened.exists() and address in opened.read_text(), "the click opened the page")
        check(state_text(wine) is None, "the click took the notice away")
        opened.unlink()
        subprocess.run(["xdotool", "click", "1"], env=wine.env, check=True, timeout=30)
        check(wine_wait(lambda: opened.exists() and address in opened.read_text(), 10),
              "a click on the speed itself opens it too")
    finally:
        wine.reg("delete", r"HKCU\Software\Wine\WineBrowser", "/v", "Browsers", "/f")
        tiles.close()
