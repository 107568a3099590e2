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

ROOT = Path(__file__).resolve().parents[2]


class Failure(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def check_equal(actual, expected, what):
    if actual != expected:
        raise Failure(f"{what}: expected {expected!r}, got {actual!r}")


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

    def install_standin(self, faults: str = "") -> Path:
        """Registers a fresh stand-in with an empty journal and the given [Faults] lines; returns the journal."""
        self.stop_standin()
        self.standin.mkdir(parents=True, exist_ok=True)
        shutil.copy2(self.build / "EarthStandIn.exe", self.standin / "EarthStandIn.exe")
        journal = self.standin / "journal.txt"
        if journal.exists():
            journal.unlink()
        ini = "[Journal]\r\nPath=C:\\standin\\journal.txt\r\n[Faults]\r\n" + faults.replace("\n", "\r\n")
        (self.standin / "EarthStandIn.ini").write_bytes(ini.encode("gbk"))
        r = subprocess.run(["wine", self.windows_path(self.standin / "EarthStandIn.exe"), "/regserver"],
                           env=self.env, timeout=60)
        check(r.returncode == 0, "EarthStandIn.exe /regserver")
        return journal

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
        """Polls `condition` (which returns a true value when met) until it holds; returns its value. On a
        timeout, the failure tells what `seen()` returns then, if given."""
        deadline = time.monotonic() + seconds
        last = None
        while time.monotonic() < deadline:
            last = condition()
            if last:
                return last
            time.sleep(0.2)
        shown = f" (seen: {seen()!r})" if seen else ""
        raise Failure(f"timed out after {seconds} s waiting for {what}{shown}")

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


BAUDS = {getattr(termios, "B%d" % b): b for b in (1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200)}


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
