"""Runs the real Windows programs under Wine, headless, for the end-to-end tests."""
import os
import random
import shutil
import signal
import subprocess
import termios
import threading
import time
from pathlib import Path

from nmea_model import coordinate, sentence

ROOT = Path(__file__).resolve().parents[2]


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def check_equal(actual, expected, what):
    if actual != expected:
        raise Failure(f"{what}: expected {expected!r}, got {actual!r}")


def wait_until(condition, seconds, what, seen=None, every=0.2):
    """Polls `condition` (which returns a true value when met) until it holds; returns its value. On a
    timeout, the failure tells what `seen()` returns then, if given."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        last = condition()
        if last:
            return last
        time.sleep(every)
    shown = f" (seen: {seen()!r})" if seen else ""
    raise Failure(f"timed out after {seconds} s waiting for {what}{shown}")


class Wine:
    """One Wine prefix and one X display for the whole run."""

    def __init__(self, build_dir: Path, work_dir: Path):
        self.build = build_dir
        self.work = work_dir
        self.prefix = work_dir / "prefix"
        self.display = None
        self.xvfb = None
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": str(self.prefix),
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            # Our users' Windows runs code page 936.
            "LC_ALL": "zh_CN.UTF-8",
        })

    def start(self):
        self.work.mkdir(parents=True, exist_ok=True)
        self._start_xvfb()
        if not (self.prefix / "system.reg").exists():
            subprocess.run(["wineboot", "--init"], env=self.env, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
        try:
            subprocess.run(["wineserver", "-w"], env=self.env, timeout=60)
        except subprocess.TimeoutExpired:  # a server left by an earlier run that never quits
            subprocess.run(["wineserver", "-k"], env=self.env, timeout=60)
        # The user's folders of a new prefix lead into this machine's home: keep them in the prefix.
        for folder in (self.c_drive / "users").glob("*/*"):
            if folder.is_symlink():
                folder.unlink()
                folder.mkdir()
        # Keep one wineserver for the whole run: every start is then quick.
        subprocess.Popen(["wineserver", "-p"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.drivers = self.c_drive / "qvtools"
        self.drivers.mkdir(parents=True, exist_ok=True)
        for tool in ("qvdriver.exe", "earthclient.exe"):
            shutil.copy2(self.build / tool, self.drivers / tool)
        self.standin = self.c_drive / "standin"

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=10)

    def _start_xvfb(self):
        # Xvfb picks a free display itself and names it on a pipe: two workers looking for a free number
        # at the same moment would otherwise both take the same one.
        reader, writer = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(writer), "-screen", "0", "1280x1024x24",
                                      "-nolisten", "tcp"], pass_fds=(writer,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(writer)
        with os.fdopen(reader, "rb") as pipe:
            number = pipe.readline().strip()
        check(number.isdigit(), "Xvfb started")
        self.display = ":" + number.decode()
        self.env["DISPLAY"] = self.display

    def pids(self, name: str):
        """The Linux processes running `name` in this prefix only (another worker's are left alone)."""
        found, prefix = [], b"\0WINEPREFIX=" + str(self.prefix).encode() + b"\0"
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    if (name.encode() in open(f"/proc/{entry}/cmdline", "rb").read()
                            and prefix in b"\0" + open(f"/proc/{entry}/environ", "rb").read()):
                        found.append(int(entry))
                except OSError:
                    pass
        return found

    def kill(self, name: str):
        """Kills `name` in this prefix at once (SIGKILL, as a crash or a power cut would); the pids it killed."""
        found = self.pids(name)
        for pid in found:
            os.kill(pid, signal.SIGKILL)
        return found

    @property
    def c_drive(self) -> Path:
        return self.prefix / "drive_c"

    @staticmethod
    def windows_path(path: Path) -> str:
        return "Z:" + str(path).replace("/", "\\")

    def app_path(self, name: str) -> Path:
        return self.c_drive / "qv" / name

    def app_folder(self, name: str) -> Path:
        """A fresh folder holding a copy of Quorvane.exe, as a user would install it."""
        folder = self.app_path(name)
        if folder.exists():
            shutil.rmtree(folder)
        folder.mkdir(parents=True)
        shutil.copy2(self.build / "Quorvane.exe", folder / "Quorvane.exe")
        return folder

    def launch(self, exe: Path, *args) -> subprocess.Popen:
        return subprocess.Popen(["wine", self.windows_path(exe), *args], env=self.env,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def driver(self, *args, timeout=60):
        """Runs qvdriver; returns (exit status, UTF-8 output)."""
        r = subprocess.run(["wine", self.windows_path(self.drivers / "qvdriver.exe"), *args], env=self.env,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout)
        return r.returncode, r.stdout.decode("utf-8", "replace")

    def run_tool(self, name, *args, timeout=60):
        """Runs one of the test programs; returns (exit status, UTF-8 output)."""
        r = subprocess.run(["wine", self.windows_path(self.drivers / name), *args], env=self.env,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=timeout)
        return r.returncode, r.stdout.decode("utf-8", "replace")

    # The stand-in Earth, registered in this prefix under Google Earth's class ids.

    def install_standin(self, faults: str = "", watch_panel=False) -> Path:
        """Registers a fresh stand-in with an empty journal and the given [Faults] lines; returns the journal."""
        self.stop_standin()
        self.standin.mkdir(parents=True, exist_ok=True)
        shutil.copy2(self.build / "EarthStandIn.exe", self.standin / "EarthStandIn.exe")
        journal = self.standin / "journal.txt"
        if journal.exists():
            journal.unlink()
        self.set_standin_faults(faults, watch_panel)
        r = subprocess.run(["wine", self.windows_path(self.standin / "EarthStandIn.exe"), "/regserver"],
                           env=self.env, timeout=60)
        check(r.returncode == 0, "EarthStandIn.exe /regserver")
        return journal

    def set_standin_faults(self, faults: str, watch_panel=False):
        """The [Faults] lines the next stand-in started reads; the journal goes on. Watching the panel, a call
        that comes once Quorvane's panel has gone is journaled with " (panel gone)"."""
        ini = ("[Journal]\r\nPath=C:\\standin\\journal.txt\r\nWatchPanel=%d\r\n[Faults]\r\n" % watch_panel
               + faults.replace("\n", "\r\n"))
        (self.standin / "EarthStandIn.ini").write_bytes(ini.encode("gbk"))

    def uninstall_standin(self):
        self.stop_standin()
        if (self.standin / "EarthStandIn.exe").exists():
            subprocess.run(["wine", self.windows_path(self.standin / "EarthStandIn.exe"), "/unregserver"],
                           env=self.env, timeout=60)

    def stop_standin(self):
        """Closes a running stand-in and waits until it is gone."""
        if self.driver("close", "QuorvaneEarthStandIn")[0] != 0:
            return
        for _ in range(100):
            if self.driver("info", "QuorvaneEarthStandIn")[0] != 0:
                return
            time.sleep(0.1)
        raise Failure("the stand-in Earth did not close")

    def controls(self, title="Quorvane"):
        """{control id: (class, visible, text)} of the children of the window titled `title`."""
        rc, out = self.driver("controls", title)
        result = {}
        for line in out.splitlines():
            parts = line.split("\t", 3)
            if len(parts) == 4:
                result[int(parts[0])] = (parts[1], parts[2] == "visible", parts[3])
        return result

    def wait_for(self, condition, seconds, what, seen=None):
        return wait_until(condition, seconds, what, seen)

    def serial_port(self, number: int, announce=False) -> "SerialPair":
        """A virtual serial cable: COM`number` in this prefix at one end, the test at the other. Announced, it is
        also listed where a driver lists the ports it made (HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM), as a
        USB or Bluetooth serial port is on Windows while it is plugged in."""
        return SerialPair(self, number, announce)

    def reg(self, *args):
        subprocess.run(["wine", "reg", *args], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60)

    def window_info(self, cls: str):
        """hwnd, left, top, width, height, visible, topmost and screen of the first window of a class, or None."""
        rc, out = self.driver("info", cls)
        if rc != 0:
            return None
        return {k: int(v) for k, v in (item.split("=") for item in out.split())}

    def shown_panel(self, seconds=30):
        """Waits until the panel is shown; its window_info. The panel is made hidden at the screen's corner and
        only then placed and shown, so merely finding it says nothing of where it will be."""
        def shown():
            info = self.window_info("QuorvanePanel")
            return info if info and info["visible"] else None
        return self.wait_for(shown, seconds, "the panel shown", seen=lambda: self.window_info("QuorvanePanel"))

    def screenshot(self, path: Path) -> "Picture":
        """Saves the whole screen to `path` (PNG) and returns its pixels."""
        subprocess.run(["import", "-display", self.display, "-window", "root", str(path)], check=True,
                       env=self.env, timeout=60)
        ppm = subprocess.run(["convert", str(path), "ppm:-"], check=True, stdout=subprocess.PIPE, timeout=60).stdout
        return Picture(ppm)


BAUDS = {getattr(termios, "B%d" % b): b for b in (1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400,
                                                  460800, 921600)}


class SerialPair:
    """socat joins two ptys; one is linked as a COM port of the prefix, the test writes to the other."""

    SERIALCOMM = r"HKLM\HARDWARE\DEVICEMAP\SERIALCOMM"

    def __init__(self, wine: Wine, number: int, announce=False):
        self.wine, self.number, self.announced = wine, number, announce
        self.program_end = wine.work / f"com{number}-program"
        self.test_end = wine.work / f"com{number}-test"
        for p in (self.program_end, self.test_end):
            if p.is_symlink() or p.exists():
                p.unlink()
        self.socat = subprocess.Popen(["socat", f"pty,raw,echo=0,link={self.program_end}",
                                       f"pty,raw,echo=0,link={self.test_end}"],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if self.program_end.exists() and self.test_end.exists():
                break
            time.sleep(0.05)
        check(self.test_end.exists(), "socat made the virtual serial port")
        self.device = wine.prefix / "dosdevices" / f"com{number}"
        if self.device.is_symlink() or self.device.exists():
            self.device.unlink()
        self.device.symlink_to(self.program_end)
        self.out = open(self.test_end, "wb", buffering=0)
        self.player = None
        if announce:
            wine.reg("add", self.SERIALCOMM, "/v", f"\\Device\\QvCable{number}", "/t", "REG_SZ",
                     "/d", f"COM{number}", "/f")

    def send(self, data: bytes):
        self.out.write(data)

    def play(self, lines, baud=4800):
        """Sends `lines` (bytes, each ended CR LF) in the background at the line speed, as a receiver does."""
        def run():
            for line in lines:
                try:
                    self.out.write(line)
                except OSError:
                    return
                time.sleep(len(line) * 10 / baud)
        self.player = threading.Thread(target=run, daemon=True)
        self.player.start()
        return self.player

    def speed(self):
        """The line speed the program set on its end of the cable, in baud (the pty keeps what Wine set)."""
        fd = os.open(self.program_end, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
        try:
            return BAUDS.get(termios.tcgetattr(fd)[5])
        finally:
            os.close(fd)

    def _sending(self, next_bytes, every, stop):
        """Sends `next_bytes()` every `every` seconds in the background until `stop` is set or the cable goes."""
        def run():
            while not stop.is_set():
                try:
                    self.out.write(next_bytes())
                    self.last_sent = time.time()
                except OSError:
                    return
                stop.wait(every)
        thread = threading.Thread(target=run, daemon=True)
        thread.start()
        return thread

    def receiver(self, seconds, baud, stop):
        """A receiver at `baud` in the background until `stop` is set: each of `seconds` (the bytes it sends in a
        second) a second apart, from the first again after the last. While the program listens at another speed,
        its UART makes rubbish of them: it gets bytes, none of them a sentence."""
        rng, sent = random.Random(baud), [0]

        def next_second():
            second = seconds[sent[0] % len(seconds)]
            sent[0] += 1
            return second if self.speed() == baud else bytes(rng.randrange(0x80, 0x100) for _ in second)
        return self._sending(next_second, 1.0, stop)

    def babble(self, bytes_per_second, stop):
        """Random bytes in the background, whatever the speed, until `stop` is set."""
        rng = random.Random(7)
        return self._sending(lambda: bytes(rng.randrange(256) for _ in range(bytes_per_second // 10)), 0.1, stop)

    def close(self):
        try:
            self.out.close()
        except OSError:
            pass
        self.socat.terminate()
        self.socat.wait(timeout=10)
        if self.device.is_symlink():
            self.device.unlink()
        if self.announced:
            self.announced = False
            self.wine.reg("delete", self.SERIALCOMM, "/v", f"\\Device\\QvCable{self.number}", "/f")


def capture_lines(path: Path):
    """The receiver output of a capture: its "$" lines, each ended CR LF as on the wire."""
    out = []
    for line in path.read_bytes().split(b"\n"):
        line = line.rstrip(b"\r")
        if line.startswith(b"$"):
            out.append(line + b"\r\n")
    return out


class Picture:
    """The pixels of a binary PPM image."""

    def __init__(self, ppm: bytes):
        fields, at = [], 0
        while len(fields) < 4:
            while ppm[at:at + 1].isspace():
                at += 1
            if ppm[at:at + 1] == b"#":
                at = ppm.index(b"\n", at)
                continue
            end = at
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(ppm[at:end])
            at = end
        check(fields[0] == b"P6" and fields[3] == b"255", "an 8-bit PPM picture")
        self.width, self.height = int(fields[1]), int(fields[2])
        self.data = ppm[at + 1:]

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.data[i:i + 3])

    def count(self, colour, left=0, top=0, right=None, bottom=None):
        right = self.width if right is None else right
        bottom = self.height if bottom is None else bottom
        n = 0
        for y in range(top, bottom):
            row = self.data[3 * (y * self.width + left):3 * (y * self.width + right)]
            n += sum(1 for i in range(0, len(row), 3) if tuple(row[i:i + 3]) == colour)
        return n


def wait_exit(process: subprocess.Popen, seconds: float):
    try:
        return process.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        return None


def kill(process: subprocess.Popen):
    if process.poll() is None:
        process.kill()
        process.wait(timeout=10)


def journal(path: Path):
    """The stand-in's journal lines without their sequence numbers."""
    if not path.exists():
        return []
    return [line.split(" ", 1)[1] for line in path.read_text("utf-8").splitlines()]


def camera_moves(path: Path):
    """The arguments of every setViewParams call in the stand-in's journal, as tuples of numbers."""
    return [tuple(float(v) for v in line[line.index("(") + 1:line.index(")")].split(", "))
            for line in journal(path) if line.startswith("control.setViewParams(")]


def log_messages(log_file: Path):
    """The messages of Log.txt, without their time stamps (which fill whole 14-column zones)."""
    text = log_file.read_bytes().decode("gbk")
    check(text.endswith("\r\n"), "Log.txt lines end in CR LF")
    lines = text[:-2].split("\r\n")
    out = []
    for line in lines:
        stamp = line.split("  ")[0]
        check(":" in stamp, f"log line starts with a time stamp: {line!r}")
        zone = (len(stamp) // 14 + 1) * 14
        check(line[len(stamp):zone].strip() == "", f"message starts at the next print column: {line!r}")
        out.append(line[zone:])
    return out


# ---------------------------------------------------------------- what the tests share

RED, GREY, BLUE, STATE = 110, 111, 112, 101


LONGITUDE, LATITUDE, SPEED, PRECISION, HIGH, TIME = 120, 121, 122, 123, 124, 125


def shown_picture(wine):
    c = wine.controls()
    shown = [i for i in (RED, GREY, BLUE) if c.get(i, ("", False))[1]]
    return shown[0] if len(shown) == 1 else None


TRACK = 130


def rmc(second, lat_minutes, lon_minutes):
    """A valid RMC sentence at 22°lat_minutes' N, 114°lon_minutes' E, with its checksum."""
    body = "GPRMC,0400%02d,A,22%07.4f,N,114%07.4f,E,30.0,45.0,081226,," % (second, lat_minutes, lon_minutes)
    return sentence(body)


def coordinates(kml: bytes):
    body = kml.split(b"<coordinates>\r\n", 1)[1].split(b"\r\n\r\n</coordinates>", 1)[0]
    return [tuple(line.split(b",")[:2]) for line in body.split(b"\r\n") if line]


def fix(i: int, degrees_lat=22, degrees_lon=114):
    """The i-th of a run of valid RMC fixes moving north-east; returns the line and the (lat, lon) it flies to."""
    lat_min, lon_min = 30.0 + (i % 400) * 0.06, 3.0 + (i % 400) * 0.06
    lat_text, lon_text = "%d%07.4f" % (degrees_lat, lat_min), "%03d%07.4f" % (degrees_lon, lon_min)
    body = "GPRMC,%02d%02d%02d,A,%s,N,%s,E,30.0,45.0,081226,," % (4 + i // 3600, i // 60 % 60, i % 60,
                                                                  lat_text, lon_text)
    return sentence(body), (coordinate(lat_text, 2), coordinate(lon_text, 3))


def local_time(i: int) -> str:
    """lblTime for fix i: UTC 04:00:00 + i seconds in the default time zone (+8)."""
    s = 12 * 3600 + i
    return "%02d:%02d:%02d" % (s // 3600, s // 60 % 60, s % 60)


def flights(log):
    """(lat, lon) of every camera move."""
    return [move[:2] for move in camera_moves(log)]


class Watch:
    """Pings the panel every 50 ms from another process while a fault happens: the slowest answer and any
    message box of the program are reported."""

    def __init__(self, wine, seconds):
        self.result = {}
        self.thread = threading.Thread(target=self._run, args=(wine, seconds), daemon=True)
        self.thread.start()

    def _run(self, wine, seconds):
        rc, out = wine.driver("watch", "QuorvanePanel", str(seconds), timeout=seconds + 60)
        if rc == 0:
            self.result = {k: int(v) for k, v in (item.split("=") for item in out.split())}

    def check(self, what):
        self.thread.join()
        r = self.result
        print(f"  {what}: {r.get('pings')} pings of the panel, slowest answer {r.get('worst_ms')} ms, "
              f"message boxes seen {r.get('boxes')}")
        check(r, f"{what}: the panel could be watched")
        check_equal((r["alive"], r["unanswered"], r["boxes"]), (1, 0, 0),
                    f"{what}: the panel stays, answers every ping and shows no message box")
        check(r["worst_ms"] < 1000, f"{what}: the panel answered within a second (slowest {r['worst_ms']} ms)")


def kill_standin(wine):
    check(wine.kill("EarthStandIn.exe"), "the stand-in Earth is running")


def forget_killed_standin(wine, hung=False):
    """Wine's rpcss keeps a killed server's class registered and sends the next activation to it; Wine starts
    a fresh rpcss when one is needed. A hung stand-in does not answer a polite close: it is killed."""
    if hung:
        wine.kill("EarthStandIn.exe")
    else:
        wine.stop_standin()
    wine.kill("rpcss.exe")


ZOOM_IN, ZOOM_OUT, TILTED, PICKER = 141, 142, 146, 147


def start_quorvane(wine, name, config: bytes, folder=None, launch=None):
    """Quorvane.exe copied into a fresh folder named `name` (or into `folder`) with `config` as its Config.ini,
    started (by `launch`, a fixture's starter, if given) and its panel shown; (folder, process)."""
    if folder is None:
        folder = wine.app_folder(name)
    else:
        shutil.copy2(wine.build / "Quorvane.exe", folder / "Quorvane.exe")
    (folder / "Config.ini").write_bytes(config)
    process = (launch or wine.launch)(folder / "Quorvane.exe")
    wine.shown_panel()
    return folder, process


def open_the_link(wine):
    """Double-clicks the red satellite, as a user does, and waits for the grey one."""
    wine.driver("dblclick", "Quorvane", str(RED))
    wine.wait_for(lambda: shown_picture(wine) == GREY, 10, "the link to open")


def open_link(wine, name, port, more=b"", setting=b"4800,n,8,1", folder=None):
    """Quorvane in a fresh folder (or in `folder`), its link to COM`port` opened as a user does."""
    _, process = start_quorvane(wine, name, b"[GPS]\r\nPort=%d\r\nSetting=%s\r\n" % (port, setting) + more, folder)
    open_the_link(wine)
    return process


def map_rect(wine, log):
    line = next(l for l in journal(log) if l.startswith("app.GetRenderHwnd() -> "))
    return [int(v) for v in wine.driver("rect", line.rsplit(" ", 1)[1])[1].split()]


EARTH_MISSING = "未安装 Google Earth，或 Google Earth 版本错误！"


BANNER = ["===========================================", "1. Start Quorvane & Init Params", "2. Open Google Earth"]


def shown_boxes(wine, process):
    """The visible windows titled 错误, and what each listing showed. An empty listing is read again a few times
    (each reported in the work folder), in case it missed a box that was there; a box that went away still fails."""
    seen = []
    for attempt in range(4):
        rc, windows = wine.driver("windows", "错误")
        visible = [w for w in windows.splitlines() if w.endswith(" visible")]
        if visible:
            return visible, seen
        seen.append(f"listing {attempt}: rc {rc}, {windows!r}, the program running: {process.poll() is None}")
        with open(wine.work / "listings-retried.txt", "a") as report:  # pytest-xdist swallows a worker's stderr
            print(seen[-1], file=report)
        time.sleep(0.5)
    return [], seen


def expect_error_box_then_end(wine, folder):
    """Starts the program, checks the box once with its exact texts, presses OK and waits for the end."""
    wine.uninstall_standin()  # no Google Earth
    process = wine.launch(folder / "Quorvane.exe")
    try:
        rc, _ = wine.driver("wait", "错误", "30")
        check(rc == 0, "the error box titled 错误 appears")
        visible, seen = shown_boxes(wine, process)
        check_equal(len(visible), 1, f"error boxes shown ({'; '.join(seen) or 'at the first listing'})")
        check(" #32770 " in visible[0], f"the error box is a message box: {visible[0]}")
        _, texts = wine.driver("texts", "错误")
        lines = texts.splitlines()
        check("Static\t" + EARTH_MISSING in lines, f"the box says {EARTH_MISSING!r}: {lines}")
        check(any(line.startswith("Icon\t") for line in lines), "the box carries an icon")
        buttons = [line for line in lines if line.startswith("Button\t")]
        check_equal(len(buttons), 1, "buttons in the box (OK only)")
        check(wait_exit(process, 1.0) is None, "the process waits for the box")
        rc, _ = wine.driver("press", "错误", buttons[0].split("\t", 1)[1])
        check(rc == 0, "OK pressed")
        check(wait_exit(process, 20) is not None, "the process ends after OK")
    finally:
        kill(process)


def state_text(wine):
    c = wine.controls()[STATE]
    return c[2] if c[1] else None


def error_boxes(wine):
    return [w for w in wine.driver("windows", "错误")[1].splitlines() if w.endswith(" visible")]


# ---------------------------------------------------------------- what the tests share

def local_app_data(wine):
    """%LOCALAPPDATA%\\Quorvane of the prefix's user."""
    users = [p for p in (wine.c_drive / "users").iterdir() if p.name != "Public"]
    return users[0] / "AppData" / "Local" / "Quorvane"


def memory(wine):
    rc, out = wine.driver("memory", "QuorvanePanel")
    check_equal(rc, 0, "the program's memory counters")
    return {k: int(v) for k, v in (item.split("=") for item in out.split())}


class SmallDisk:
    """A small tmpfs mounted on a folder: filled up, made read-only and given its space back at will."""

    def __init__(self, folder, size_kb):
        self.folder = folder
        folder.mkdir(parents=True, exist_ok=True)
        if folder.is_mount():  # left by an interrupted run
            subprocess.run(["umount", "-l", str(folder)])
        r = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size_kb}k", "tmpfs", str(folder)],
                           capture_output=True, text=True)
        check(r.returncode == 0, f"a small tmpfs for the track folder (needs root): {r.stderr.strip()}")
        self.filler = folder / "filler"

    def fill(self):
        fd = os.open(self.filler, os.O_WRONLY | os.O_CREAT | os.O_APPEND)
        try:
            while True:
                os.write(fd, b"\0" * 4096)
        except OSError:
            pass
        finally:
            os.close(fd)
        free = os.statvfs(self.folder)
        check(free.f_bavail * free.f_frsize < 4096, "the track folder is full")

    def free(self):
        self.filler.unlink()

    def read_only(self, on: bool):
        subprocess.run(["mount", "-o", "remount," + ("ro" if on else "rw"), str(self.folder)], check=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        subprocess.run(["umount", "-l", str(self.folder)])
