#!/usr/bin/env python3
"""The map page's figures, on the real Quorvane.exe under Wine (no Google Earth, a simulated receiver) read by
headless Chromium, each against a baseline run alongside:
  latency   from the cycle acting on a fix to the event reaching the page, p50 and p99, 8 pages open
            (baseline: 1 page)
  frames    the page's frame times following at 1 Hz with a 10,000-point track (baseline: no track)
  memory    the page's JavaScript heap after an hour of fixes replayed at 10x (baseline: its heap at the start)
  cpu       Quorvane.exe's CPU at 1 Hz with 8 pages open (baseline: none open)
    /usr/bin/python3 bench/web_map.py [latency] [frames] [memory] [cpu]   (all four when none is named)
    QV_BENCH_MINUTES=6 sets the memory run's length (an hour at 10x is 6 minutes)"""
import json
import os
import socket
import statistics
import sys
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
from browser import Browser, TileServer  # noqa: E402
from harness import Wine, kill, open_link  # noqa: E402
from nmea_model import sentence  # noqa: E402

TRACK = 130
PORT = 18900


def fix(i):
    """The i-th fix of a long straight drive north-east, about 12 m apart: every one a track point."""
    lat, lon = 22.5 + i * 0.0001, 114.0 + i * 0.00005
    lat_text = "%02d%07.4f" % (int(lat), (lat - int(lat)) * 60)
    lon_text = "%03d%07.4f" % (int(lon), (lon - int(lon)) * 60)
    t = 4 * 3600 + i
    return sentence("GPRMC,%02d%02d%02d,A,%s,N,%s,E,43.2,26.6,081226,," % (t // 3600 % 24, t // 60 % 60, t % 60,
                                                                          lat_text, lon_text)), (lat, lon)


def cpu_seconds(pid):
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(round(p / 100 * (len(values) - 1))))]


class Run:
    """Quorvane.exe without Google Earth, its link open on a simulated receiver and its map page on."""

    def __init__(self, wine, name, cable, record=False):
        self.tiles = TileServer()
        config = (b"[Log]\r\nWriteLog=0\r\n[Track]\r\nPrecisionInTrack=0.00001\r\n[Web]\r\nEnabled=1\r\nPort=%d\r\n"
                  b"OpenBrowser=0\r\nTileUrl=%s\r\n" % (PORT, self.tiles.template.encode()))
        self.process = open_link(wine, name, cable.number, more=config)
        if record:
            wine.driver("click", "Quorvane", str(TRACK))
        self.cable = cable
        self.sent = 0
        self.stop = threading.Event()

    def drive(self, per_second=1, seconds=None):
        """Sends fixes in the background, `per_second` in each second."""
        def run():
            started = time.monotonic()
            while not self.stop.is_set() and (seconds is None or time.monotonic() - started < seconds):
                self.cable.send(b"".join(fix(self.sent + k)[0] for k in range(per_second)))
                self.sent += per_second
                self.stop.wait(1.0)
        t = threading.Thread(target=run, daemon=True)
        t.start()
        return t

    def close(self):
        self.stop.set()
        kill(self.process)
        self.tiles.close()


def open_pages(count):
    """`count` pages, each in a window of its own, four to a browser: a browser keeps at most six connections to
    one host, and each page's event stream holds one. [(browser, window handle)]."""
    pages = []
    for n in range(count):
        if n % 4 == 0:
            browser = Browser(width=800, height=600)
        else:
            browser.driver.switch_to.new_window("window")
        browser.open(f"http://127.0.0.1:{PORT}/")
        pages.append((browser, browser.driver.current_window_handle))
    return pages


def close_pages(pages):
    for browser in {id(b): b for b, _ in pages}.values():
        browser.close()


def latencies(pages):
    out = []
    for browser, handle in pages:
        browser.driver.switch_to.window(handle)
        out += browser.status()["latenciesMs"]
    return out


class StreamReader:
    """An event stream read by a plain socket beside the pages: when each fix leaves the program, with no page's
    script between (its delay from the moment the cycle acted on the fix, in ms)."""

    def __init__(self):
        self.delays = []
        self.sock = socket.create_connection(("127.0.0.1", PORT), timeout=30)
        self.sock.sendall(b"GET /events HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % PORT)
        threading.Thread(target=self._run, daemon=True).start()

    def _run(self):
        buffer = b""
        try:
            while chunk := self.sock.recv(65536):
                now = time.time() * 1000
                buffer += chunk
                while b"\n\n" in buffer:
                    message, buffer = buffer.split(b"\n\n", 1)
                    if message.startswith(b"event: fix\ndata: "):
                        self.delays.append(now - json.loads(message.split(b"data: ", 1)[1])["at"])
        except OSError:
            pass


def bench_latency(wine, cable):
    results, wire = {}, {}
    for count in (1, 8):
        run = Run(wine, f"bench-latency-{count}", cable)
        pages = []
        try:
            pages = open_pages(count)
            reader = StreamReader()
            time.sleep(2)
            run.drive(seconds=64).join()
            results[count] = latencies(pages)
            wire[count] = reader.delays
            reader.sock.close()
        finally:
            close_pages(pages)
            run.close()
    for pages, values in results.items():
        print(f"latency, {pages} page(s): {len(values)} fix events, p50 {percentile(values, 50)} ms, "
              f"p99 {percentile(values, 99)} ms; on the wire beside them: p50 {percentile(wire[pages], 50):.1f} ms, "
              f"p99 {percentile(wire[pages], 99):.1f} ms", flush=True)
    print(f"latency ratio 8 pages / 1 page: p50 {percentile(results[8], 50) / max(1, percentile(results[1], 50)):.2f}, "
          f"p99 {percentile(results[8], 99) / max(1, percentile(results[1], 99)):.2f}")


FRAME_SAMPLER = """
window.__frames = [];
let last = performance.now();
function tick(now) { window.__frames.push(now - last); last = now; requestAnimationFrame(tick); }
requestAnimationFrame(tick);
"""


def frame_times(browser, seconds):
    browser.driver.execute_script(FRAME_SAMPLER)
    time.sleep(seconds)
    return browser.driver.execute_script("return window.__frames.slice(5)")


def bench_frames(wine, cable):
    results = {}
    for points in (0, 10000):
        run = Run(wine, f"bench-frames-{points}", cable, record=points > 0)
        browser = Browser()
        try:
            if points:
                # The track, sent as fast as the link takes it: each fix a point.
                for start in range(0, points, 500):
                    run.cable.send(b"".join(fix(start + k)[0] for k in range(500)))
                    time.sleep(0.6)
                run.sent = points
            browser.open(f"http://127.0.0.1:{PORT}/")
            browser.wait(lambda: browser.status() and browser.status()["trackPoints"] >= points * 0.99, 120,
                         "the track drawn")
            run.drive()
            time.sleep(3)
            results[points] = frame_times(browser, 20)
            got = browser.status()["trackPoints"]
        finally:
            browser.close()
            run.close()
        values = results[points]
        print(f"frames, {got}-point track, following at 1 Hz: {len(values)} frames, median "
              f"{statistics.median(values):.1f} ms, p95 {percentile(values, 95):.1f} ms (goal 16.7 / 33)", flush=True)
    print(f"frame time ratio 10,000 points / none: median "
          f"{statistics.median(results[10000]) / statistics.median(results[0]):.2f}, p95 "
          f"{percentile(results[10000], 95) / percentile(results[0], 95):.2f}")


def heap_mb(browser):
    browser.driver.execute_cdp_cmd("HeapProfiler.collectGarbage", {})
    metrics = browser.driver.execute_cdp_cmd("Performance.getMetrics", {})["metrics"]
    return next(m["value"] for m in metrics if m["name"] == "JSHeapUsedSize") / 1e6


def bench_memory(wine, cable):
    minutes = float(os.environ.get("QV_BENCH_MINUTES", "6"))
    run = Run(wine, "bench-memory", cable, record=True)
    browser = Browser()
    try:
        browser.open(f"http://127.0.0.1:{PORT}/")
        browser.driver.execute_cdp_cmd("Performance.enable", {})
        time.sleep(3)
        start = heap_mb(browser)
        run.drive(per_second=10, seconds=minutes * 60).join()
        time.sleep(2)
        end = heap_mb(browser)
        status = browser.status()
    finally:
        browser.close()
        run.close()
    print(f"memory: {run.sent} fixes ({run.sent / 3600:.2f} h at 10x) in {minutes:g} min, track of "
          f"{status['trackPoints']} points: JS heap {start:.1f} MB at the start, {end:.1f} MB after "
          f"(growth {end - start:.1f} MB, goal at most 20; ratio {end / start:.2f})", flush=True)


def bench_cpu(wine, cable):
    results = {}
    for count in (0, 8):
        run = Run(wine, f"bench-cpu-{count}", cable)
        pages = []
        try:
            pages = open_pages(count)
            run.drive()
            time.sleep(5)
            c0 = cpu_seconds(run.process.pid)
            time.sleep(60)
            results[count] = cpu_seconds(run.process.pid) - c0
        finally:
            close_pages(pages)
            run.close()
        print(f"cpu, {count} pages open, fixes at 1 Hz: Quorvane.exe {results[count]:.2f} s of CPU in 60 s "
              f"({results[count] / 60 * 100:.2f} %)", flush=True)
    print(f"cpu ratio 8 pages / none: {results[8] / max(results[0], 0.01):.2f}", flush=True)


def main():
    wanted = sys.argv[1:] or ["latency", "frames", "memory", "cpu"]
    wine = Wine(ROOT / "build" / "windows", ROOT / "build" / "bench-web")
    wine.start()
    try:
        wine.uninstall_standin()
        cable = wine.serial_port(40)
        for name in wanted:
            globals()[f"bench_{name}"](wine, cable)
        cable.close()
    finally:
        wine.stop()


if __name__ == "__main__":
    main()
