"""A real browser for the map page: Debian's headless Chromium driven by Selenium, and a fixture tile server
whose tiles are each one colour, told by their address."""
import http.server
import json
import math
import socket
import subprocess
import threading
import time
import zlib
import struct

from harness import Picture, check

R = 6378137.0
WORLD_RESOLUTION = 2 * math.pi * R / 256  # metres per pixel at zoom 0 in Web Mercator


def tile_colour(z, x, y):
    """A distinct colour for each tile: neighbours always differ, and none is the arrow's red or the track's
    yellow."""
    h = (x * 73856093) ^ (y * 19349663) ^ (z * 83492791)
    return (40 + h % 150, 40 + (h // 150) % 150, 60 + (h // 22500) % 140)


def png(width, height, colour):
    raw = b"".join(b"\x00" + bytes(colour) * width for _ in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


class TileServer:
    """Serves /{z}/{x}/{y}.png on 127.0.0.1, each tile in tile_colour; counts what it served. With `down`,
    every request is refused with 503, as a map provider out of reach would leave the page."""

    def __init__(self):
        self.requests = []
        self.down = False
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                server.requests.append(self.path)
                parts = self.path.strip("/").removesuffix(".png").split("/")
                if server.down or len(parts) != 3 or not all(p.lstrip("-").isdigit() for p in parts):
                    self.send_error(503 if server.down else 404)
                    return
                body = png(256, 256, tile_colour(*map(int, parts)))
                self.send_response(200)
                self.send_header("Content-Type", "image/png")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    @property
    def template(self):
        return f"http://127.0.0.1:{self.port}/{{z}}/{{x}}/{{y}}.png"

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


class Browser:
    def __init__(self, width=1000, height=700):
        from selenium import webdriver
        from selenium.webdriver.chrome.options import Options
        from selenium.webdriver.chrome.service import Service
        options = Options()
        options.binary_location = "/usr/bin/chromium"
        for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--no-first-run",
                    "--disable-background-networking", "--disable-component-update", "--disable-sync",
                    "--hide-scrollbars", "--force-device-scale-factor=1", f"--window-size={width},{height}"):
            options.add_argument(arg)
        options.set_capability("goog:loggingPrefs", {"performance": "ALL"})
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        self.driver.set_page_load_timeout(30)
        self.requested = []

    def open(self, url):
        self.driver.get(url)

    def status(self):
        return self.driver.execute_script("return window.quorvane ? JSON.parse(JSON.stringify({"
                                          "center: quorvane.center, vehicle: quorvane.vehicle, "
                                          "rotation: quorvane.rotation, metresPerPixel: quorvane.metresPerPixel, "
                                          "following: quorvane.following, headingUp: quorvane.headingUp, "
                                          "trackPoints: quorvane.trackPoints, lastFix: quorvane.lastFix, "
                                          "connected: quorvane.connected, tileErrors: quorvane.tileErrors, "
                                          "latenciesMs: quorvane.latenciesMs})) : null")

    def shown(self, element_id):
        return self.driver.execute_script(f"var e = document.getElementById('{element_id}'); "
                                          "return e && !e.hidden ? e.textContent : null")

    def wait(self, condition, seconds, what):
        deadline = time.time() + seconds
        last = None
        while time.time() < deadline:
            last = condition()
            if last:
                return last
            time.sleep(0.1)
        check(False, f"{what} within {seconds} s (last seen: {self.status()})")

    def screenshot(self, path=None) -> Picture:
        data = self.driver.get_screenshot_as_png()
        if path:
            path.write_bytes(data)
        ppm = subprocess.run(["convert", "png:-", "ppm:-"], input=data, capture_output=True, check=True).stdout
        return Picture(ppm)

    def requests(self):
        """Every address the page has asked for so far (from Chromium's own network log)."""
        for entry in self.driver.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            if message.get("method") == "Network.requestWillBeSent":
                self.requested.append(message["params"]["request"]["url"])
        return self.requested

    def close(self):
        self.driver.quit()


def metres_between(a, b):
    """Ground distance between two [lon, lat] points, in metres (equirectangular: exact enough at metres)."""
    lat = math.radians((a[1] + b[1]) / 2)
    dx = math.radians(b[0] - a[0]) * math.cos(lat) * R
    dy = math.radians(b[1] - a[1]) * R
    return math.hypot(dx, dy)


def mercator(lon, lat):
    return (math.radians(lon) * R, math.log(math.tan(math.pi / 4 + math.radians(lat) / 2)) * R)


def tile_zoom(resolution):
    """The tile level OpenLayers draws at a view resolution: the level whose resolution is nearest."""
    for z in range(0, 30):
        coarser, finer = WORLD_RESOLUTION / 2 ** z, WORLD_RESOLUTION / 2 ** (z + 1)
        if finer < resolution <= coarser:
            return z if coarser - resolution < resolution - finer else z + 1
    return 29


def tile_at(x, y, z):
    """The tile (z, x, y) holding the Web Mercator point (x, y)."""
    half = math.pi * R
    n = 2 ** z
    return z, int((x + half) / (2 * half) * n), int((half - y) / (2 * half) * n)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]
