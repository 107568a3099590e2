"""The map page the real Quorvane.exe serves on 127.0.0.1, read by a real browser (Debian's headless Chromium):
following a drive beside the stand-in Earth and without any Google Earth, the panel's buttons shown in the
page, the recorded track, the requests it makes, its refusals and its reconnection."""
import http.client
import json
import math
import os
import random
import re
import socket
import subprocess
import threading
import time

import pytest

from browser import (Browser, TileServer, mercator, metres_between, tile_at, tile_colour, tile_zoom,
                     wgs84_to_gcj02)
from harness import (BANNER, TRACK, Watch, check, check_equal, fix, flights, kill, log_messages, open_link, open_the_link,
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


@pytest.mark.heavy  # Chromium drawing the map takes both cores
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
        check(len(flights(standin)) >= 9, f"Google Earth followed too: {len(flights(standin))} camera moves")
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


@pytest.mark.heavy  # Chromium drawing the map takes both cores
def test_without_google_earth_the_page_follows_on_offset_tiles_and_keeps_going_offline(wine, serial):
    """No Google Earth at all: the page follows. With TileDatum=GCJ02 the vehicle is drawn where Chinese
    providers' tiles put it, while the page reports it in WGS-84. Then the tiles go (no network): a note, and
    the page goes on. An old browser gets a message instead of a broken page."""
    wine.uninstall_standin()
    tiles = TileServer()
    cable = serial(32)
    port = web_port() + 1
    browser = Browser()
    process = None
    try:
        process = open_link(wine, "webmap-alone", cable.number,
                            more=web_config(tiles, port, b"TileDatum=GCJ02\r\n"))
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
        time.sleep(1.0)  # the last tiles drawn
        check_tile_where_datums_differ(browser.screenshot(wine.work / "map-page-gcj02.png"), status)

        tiles.down = True
        browser.driver.find_element("css selector", ".ol-zoom-out").click()  # new tiles wanted, none come
        browser.wait(lambda: browser.status()["tileErrors"] > 0 and browser.shown("tilenote"), 10,
                     "the note on tiles that cannot load")
        check_equal(browser.shown("tilenote"), "地图瓦片无法加载（可能没有网络）", "the note's text")
        line, (lat, lon) = fix(3)
        cable.send(line)
        settled(browser, lat, lon, "offline")
        browser.screenshot(wine.work / "map-page-offline.png")
        check(process.poll() is None, "Quorvane runs on")

        old = Browser(javascript=False)
        try:
            old.open(address)
            check_equal(old.shown("unsupported"),
                        "此浏览器无法显示 Quorvane 地图。请用新版的 Chrome、Edge、Firefox 或 Safari 打开本页。",
                        "a browser without what the page needs is told which to use")
        finally:
            old.close()
    finally:
        browser.close()
        tiles.close()
        if process:
            kill(process)


def check_tile_where_datums_differ(picture, status):
    """Somewhere on screen, the tile that holds a point under GCJ-02 differs from the one under WGS-84: the
    pixel there shows the GCJ-02 one. The page's centre, told in WGS-84, is still the fix."""
    lon, lat = status["vehicle"]
    check(metres_between(status["center"], [lon, lat]) < 0.5, f"the centre in WGS-84 is the fix: {status}")
    resolution = status["metresPerPixel"] / math.cos(math.radians(status["center"][1]))
    z = tile_zoom(resolution)
    shifted, plain = mercator(*wgs84_to_gcj02(lon, lat)), mercator(lon, lat)
    cx, cy = picture.width // 2, picture.height // 2
    for dx in range(-400, 401, 10):
        for dy in range(-200, 201, 10):
            at = lambda m, ex=0, ey=0: tile_at(m[0] + (dx + ex) * resolution, m[1] - (dy + ey) * resolution, z)  # noqa
            steady = all(at(shifted, ex, ey) == at(shifted) for ex in (-3, 3) for ey in (-3, 3))
            if steady and at(shifted) != at(plain) and abs(dx) + abs(dy) > 60:
                check_equal(picture.pixel(cx + dx, cy + dy), tile_colour(*at(shifted)),
                            f"the pixel {dx},{dy} from the vehicle: GCJ-02 tile {at(shifted)}, not {at(plain)}")
                return
    check(False, "no place on screen where the two datums' tiles differ")


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


class EventReader:
    """One page's event stream read in the background: the arrival time and number of every fix event."""

    def __init__(self, port):
        self.fixes = []
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=30)
        self.sock.sendall(b"GET /events HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % port)
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        buffer = b""
        try:
            while chunk := self.sock.recv(65536):
                buffer += chunk
                while b"\n\n" in buffer:
                    message, buffer = buffer.split(b"\n\n", 1)
                    if message.startswith(b"event: fix\ndata: "):
                        self.fixes.append((time.monotonic(), json.loads(message.split(b"data: ", 1)[1])["seq"]))
        except OSError:
            pass

    def close(self):
        self.sock.close()


def abuse(port, stop, results):
    """What a hostile or broken local program could throw at the server until `stop`: header floods and garbage
    throughout, five slow senders first, then 200 idle connections."""
    def connect():
        s = socket.socket()
        s.settimeout(30)
        s.connect(("127.0.0.1", port))
        return s

    def idle_crowd():  # 200 connection attempts at once, sending nothing: once the slow senders are done, as
        # the server reads each connection in its turn and the crowd would keep theirs waiting
        stop.wait(13)
        held = []
        for _ in range(200):
            try:
                held.append(connect())
            except OSError as e:
                results.setdefault("refused", []).append(str(e))
        stop.wait()
        for s in held:
            s.close()

    def header_flood():  # one header line far over 8 KB
        while not stop.is_set():
            try:
                s = connect()
                s.sendall(b"GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nX: " % port + b"a" * 65536)
                results.setdefault("flood", []).append(s.recv(64)[:12])
                s.close()
            except OSError:
                results.setdefault("flood", []).append(b"closed")

    def garbage():
        rng = random.Random(7)
        while not stop.is_set():
            try:
                s = connect()
                s.sendall(bytes(rng.randrange(256) for _ in range(rng.randrange(1, 4096))) + b"\r\n\r\n")
                results.setdefault("garbage", []).append(s.recv(64)[:12])
                s.close()
            except OSError:
                results.setdefault("garbage", []).append(b"closed")

    def slow_sender():  # a byte a second: dropped after about 10 s
        s = connect()
        started = time.monotonic()
        try:
            for b in b"GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nX-Slow: " % port + b"z" * 100:
                s.send(bytes([b]))
                if stop.wait(1.0):
                    break
                s.settimeout(0.01)
                try:
                    if s.recv(64) == b"":
                        break
                except socket.timeout:
                    pass
        except OSError:
            pass
        results.setdefault("slow", []).append(time.monotonic() - started)
        s.close()

    threads = [threading.Thread(target=f, daemon=True) for f in
               [idle_crowd, header_flood, header_flood, garbage, garbage] + [slow_sender] * 5]
    for t in threads:
        t.start()
    return threads


@pytest.mark.heavy  # a crowd of client threads on both cores, with timing to keep
def test_a_flood_of_bad_clients_leaves_the_panel_and_the_fix_cycle_on_time(wine, standin, serial):
    cable = serial(33)
    port = web_port() + 3
    process = open_link(wine, "webmap-abuse", cable.number,
                        more=b"[Web]\r\nEnabled=1\r\nPort=%d\r\nOpenBrowser=0\r\n" % port)
    reader = EventReader(port)
    stop, results = threading.Event(), {}
    try:
        time.sleep(1)
        watch = Watch(wine, 27)
        threads = abuse(port, stop, results)
        sent = []
        for i in range(24):
            sent.append(time.monotonic())
            cable.send(fix(i)[0])
            time.sleep(1)
        watch.check("200 idle connections, header floods, garbage and slow senders")
        r = watch.result
        check(r["worst_ms"] < 500, f"every ping of the panel answered within 0.5 s (slowest {r['worst_ms']} ms)")
        stop.set()
        for t in threads:
            t.join(30)
        # The page connected before it all heard of every fix, each by the receiver tick after its sending.
        seqs = [seq for _, seq in reader.fixes]
        check(len(set(seqs)) >= 23, f"fix events heard during the flood: {len(set(seqs))} of 24")
        late = [round(arrived - sent[min(seq, len(sent)) - 1], 2) for arrived, seq in reader.fixes
                if 0 < seq <= len(sent) and arrived - sent[seq - 1] > 1.5]
        check_equal(late, [], "fix events more than 1.5 s after their sentence was sent (the tick is 1 s)")
        slow = results.get("slow", [])
        # 10 s of headers from when the server takes the connection up, which under the floods may be a few
        # seconds after it was made; never held for the whole test.
        check(len(slow) == 5 and all(9.5 <= s <= 17 for s in slow),
              f"slow senders dropped after about 10 s: {[round(s, 1) for s in slow]}")
        refused = lambda answer: answer in (b"closed", b"") or re.match(rb"HTTP/1\.[01] 4\d\d", answer)  # noqa: E731
        floods, junk = results.get("flood", []), results.get("garbage", [])
        check(floods and all(map(refused, floods)), f"header floods refused: {set(floods)}")
        check(junk and all(map(refused, junk)), f"garbage refused: {set(junk)}")
        check(process.poll() is None, "Quorvane runs on")
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=20)
        connection.request("GET", "/")
        check_equal(connection.getresponse().status, 200, "the page is served after it all")
    finally:
        stop.set()
        reader.close()
        kill(process)
