"""Runs the real Windows programs under Wine, headless, for the end-to-end tests."""
import os
import shutil
import subprocess
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
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=120)
        # Keep one wineserver for the whole run: every start is then quick.
        subprocess.Popen(["wineserver", "-p"], env=self.env)
        self.drivers = self.c_drive / "qvtools"
        self.drivers.mkdir(parents=True, exist_ok=True)
        shutil.copy2(self.build / "qvdriver.exe", self.drivers / "qvdriver.exe")

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, timeout=60)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=10)

    def _start_xvfb(self):
        for n in range(91, 140):
            if not Path(f"/tmp/.X11-unix/X{n}").exists() and not Path(f"/tmp/.X{n}-lock").exists():
                break
        self.display = f":{n}"
        self.xvfb = subprocess.Popen(["Xvfb", self.display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(100):
            if Path(f"/tmp/.X11-unix/X{n}").exists():
                break
            time.sleep(0.05)
        self.env["DISPLAY"] = self.display

    @property
    def c_drive(self) -> Path:
        return self.prefix / "drive_c"

    @staticmethod
    def windows_path(path: Path) -> str:
        return "Z:" + str(path).replace("/", "\\")

    def app_folder(self, name: str) -> Path:
        """A fresh folder holding a copy of Quorvane.exe, as a user would install it."""
        folder = self.c_drive / "qv" / name
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

    def screenshot(self, path: Path):
        subprocess.run(["import", "-display", self.display, "-window", "root", str(path)], check=True,
                       env=self.env, timeout=60)


def wait_exit(process: subprocess.Popen, seconds: float):
    try:
        return process.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        return None


def kill(process: subprocess.Popen):
    if process.poll() is None:
        process.kill()
        process.wait(timeout=10)


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
