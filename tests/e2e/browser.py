"""A real browser for the map page: Debian's headless Chromium driven by Selenium, and a fixture tile server
whose tiles are each one colour, told by their address."""
import http.server
import json
import math
import socket
import subprocess
import threading
import zlib
import struct

from harness import Picture, wait_until

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
    def __init__(self, width=1000, height=700, javascript=True):
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
        if not javascript:  # as a browser without what the page needs sees it
            options.add_experimental_option("prefs", {"profile.managed_default_content_settings.javascript": 2})
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
        return wait_until(condition, seconds, what, seen=self.status, every=0.1)

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


def wgs84_to_gcj02(lon, lat):
    """The published WGS-84 to GCJ-02 transform (the offset datum of Chinese map providers), written here apart
    from the page's own to check what the page draws."""
    a, ee = 6378245.0, 0.00669342162296594323
    x, y = lon - 105.0, lat - 35.0
    d_lat = (-100.0 + 2.0 * x + 3.0 * y + 0.2 * y * y + 0.1 * x * y + 0.2 * math.sqrt(abs(x)) +
             (20.0 * math.sin(6.0 * x * math.pi) + 20.0 * math.sin(2.0 * x * math.pi)) * 2.0 / 3.0 +
             (20.0 * math.sin(y * math.pi) + 40.0 * math.sin(y / 3.0 * math.pi)) * 2.0 / 3.0 +
             (160.0 * math.sin(y / 12.0 * math.pi) + 320 * math.sin(y * math.pi / 30.0)) * 2.0 / 3.0)
    d_lon = (300.0 + x + 2.0 * y + 0.1 * x * x + 0.1 * x * y + 0.1 * math.sqrt(abs(x)) +
             (20.0 * math.sin(6.0 * x * math.pi) + 20.0 * math.sin(2.0 * x * math.pi)) * 2.0 / 3.0 +
             (20.0 * math.sin(x * math.pi) + 40.0 * math.sin(x / 3.0 * math.pi)) * 2.0 / 3.0 +
             (150.0 * math.sin(x / 12.0 * math.pi) + 300.0 * math.sin(x / 30.0 * math.pi)) * 2.0 / 3.0)
    rad = math.radians(lat)
    magic = 1 - ee * math.sin(rad) ** 2
    d_lat = d_lat * 180.0 / ((a * (1 - ee)) / (magic * math.sqrt(magic)) * math.pi)
    d_lon = d_lon * 180.0 / (a / math.sqrt(magic) * math.cos(rad) * math.pi)
    return lon + d_lon, lat + d_lat


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]
