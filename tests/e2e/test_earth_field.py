"""Google Earth as it really behaves, against the real Quorvane.exe: a slow start, a hang, a crash, a build
without the control object, and an installed Google Earth whose automation was never registered."""
import shutil
import threading
import time
from contextlib import contextmanager
from types import SimpleNamespace

from harness import (
    TILTED, ZOOM_OUT,     LONGITUDE, TIME, TRACK, Watch, camera_moves, check, check_equal, coordinates, error_boxes, fix, flights,
    forget_killed_standin, journal, kill, kill_standin, local_time, log_messages, open_the_link, start_quorvane,
    state_text, wait_exit)


WAITING = "正在等待 Google Earth 启动…"
RECONNECTING = "Google Earth 已断开，正在重新连接…"
HUNG = "Google Earth 没有响应，正在等待…"


class Receiver:
    """Plays fix after fix, one a second, until stopped; remembers when each went out."""

    def __init__(self, serial, first=0):
        self.serial, self.next, self.sent = serial, first, {}
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        while not self.stop.is_set():
            self.sent[self.next] = time.monotonic()
            try:
                self.serial.send(fix(self.next)[0])
            except OSError:
                return
            self.next += 1
            self.stop.wait(1.0)

    def halt(self):
        self.stop.set()
        self.thread.join()


@contextmanager
def quorvane(wine, name, port, faults="", record=True, hung=False):
    """A stand-in with `faults`, Quorvane with a temporary track file and its link open on COM`port`."""
    run = SimpleNamespace(log=wine.install_standin(faults), serial=wine.serial_port(port), process=None,
                          receiver=None)
    run.temp = wine.app_path(name) / "temp.kml"
    try:
        run.started = time.monotonic()
        run.folder, run.process = start_quorvane(
            wine, name, b"[GE]\r\nEyeHigh=5000\r\n[GPS]\r\nPort=%d\r\nSetting=4800,n,8,1\r\n[Track]\r\n"
            b"TrackTempFile=%s\r\n[Log]\r\nWriteLog=1\r\n" % (port, wine.windows_path(run.temp).encode()))
        run.panel_after = time.monotonic() - run.started
        open_the_link(wine)
        if record:
            wine.driver("click", "Quorvane", str(TRACK))
        yield run
    finally:
        if run.receiver:
            run.receiver.halt()
        if run.process:
            kill(run.process)
        run.serial.close()
        forget_killed_standin(wine, hung)


def marker_on_map_centre(wine, log):
    marker = wine.window_info("QuorvaneMarker")
    line = [l for l in journal(log) if l.startswith("app.GetRenderHwnd() -> ")][-1]
    left, top, right, bottom = [int(v) for v in wine.driver("rect", line.rsplit(" ", 1)[1])[1].split()]
    return (marker and marker["visible"] and abs(marker["left"] + 16 - (left + right) // 2) <= 1
            and abs(marker["top"] + 16 - (top + bottom) // 2) <= 1)


def after_restart(log):
    """The journal of the newest stand-in, once a second one has started."""
    lines = journal(log)
    starts = [i for i, l in enumerate(lines) if l == "start"]
    return lines[starts[-1]:] if len(starts) >= 2 else []


def points_in(path):
    try:
        return len(coordinates(path.read_bytes()))
    except (OSError, IndexError):
        return 0


def test_a_slow_start_is_waited_for_with_the_panel_working(wine):
    with quorvane(wine, "slow_start", 31, "InitMs=8000\n") as run:
        check(run.panel_after < 6, f"the panel is there at once ({run.panel_after:.1f} s after the start)")
        check_equal(state_text(wine), WAITING, "txtState while Google Earth starts")
        check_equal(error_boxes(wine), [], "no error box")
        run.receiver = Receiver(run.serial)
        wine.wait_for(lambda: wine.controls()[TIME][2] == local_time(1), 10, "the receiver's fixes on the panel")
        ready = wine.wait_for(lambda: "app.IsInitialized() -> 1" in journal(run.log) and time.monotonic(), 20,
                              "Google Earth to be ready")
        first = wine.wait_for(lambda: flights(run.log) and time.monotonic(), 5, "the first camera move")
        lines = journal(run.log)
        waited = [l for l in lines if l == "app.IsInitialized() -> 0"]
        check(len(waited) >= 12, f"IsInitialized asked every 250 ms while starting ({len(waited)} times)")
        before = lines[:lines.index("app.IsInitialized() -> 1")]
        check_equal([l for l in before if not l.startswith(("app.IsInitialized", "start", "create",
                                                            "control.currentView"))], [],
                    "nothing but readiness (and the link's camera) is asked before Google Earth is ready")
        print(f"  slow start: panel after {run.panel_after:.1f} s, IsInitialized answered 0 {len(waited)} times, "
              f"first camera move {first - ready:.2f} s after readiness was seen")
        check(first - ready < 2, f"the first move follows readiness within 2 s ({first - ready:.2f} s)")
        wine.wait_for(lambda: state_text(wine) is None, 3, "the waiting text to go")
        wine.wait_for(lambda: marker_on_map_centre(wine, run.log), 5, "the marker on the map's centre")
        check_equal(error_boxes(wine), [], "no error box")


def test_a_hung_google_earth_never_freezes_the_panel_is_said_and_followed_again_once_ended(wine):
    with quorvane(wine, "hang", 32, "Hang=setViewParams\n", hung=True) as run:
        watch = Watch(wine, 20)
        run.receiver = Receiver(run.serial)
        wine.wait_for(lambda: "control.setViewParams -> hang" in journal(run.log), 10, "the camera move to hang")
        hung = time.monotonic()
        wine.wait_for(lambda: state_text(wine) == HUNG, 2, "txtState to say Google Earth does not answer",
                      seen=lambda: state_text(wine))
        said = time.monotonic() - hung
        times, points = [], []
        for _ in range(20):
            time.sleep(1)
            times.append(wine.controls()[TIME][2])
            points.append(points_in(run.temp))
        watch.thread.join()
        r = watch.result
        print(f"  hung Google Earth: {r.get('pings')} pings of the panel in 20 s, slowest answer {r.get('worst_ms')} ms; "
              f"lblTime went {times[0]} .. {times[-1]}; the track grew to {points[-1]} points")
        check_equal((r["alive"], r["unanswered"], r["boxes"]), (1, 0, 0), "the panel answered every ping, no box")
        check(r["worst_ms"] < 500, f"every ping answered within 0.5 s (slowest {r['worst_ms']} ms)")
        check(len(set(times)) >= 15, f"the time label kept changing: {times}")
        check(wine.controls()[LONGITUDE][2].startswith("E 114°"), "the position label shows the fixes")
        check(points[-1] >= 15 and points == sorted(points), f"recording kept adding points: {points}")
        check_equal([l for l in journal(run.log) if l.startswith("control.setViewParams")],
                    ["control.setViewParams -> hang"], "one camera move went out and hung; the rest wait or drop")
        check_equal(state_text(wine), HUNG, "txtState while Google Earth stays hung")

        # The user ends the hung Google Earth: the stuck call fails as disconnected and a new one is followed.
        wine.set_standin_faults("")
        killed = time.monotonic()
        kill_standin(wine)
        wine.kill("rpcss.exe")  # Wine keeps a dead server's class otherwise; Windows does not
        wine.wait_for(lambda: any(l.startswith("control.setViewParams(") for l in after_restart(run.log)), 10,
                      "following to resume")
        resumed = time.monotonic() - killed
        wine.wait_for(lambda: state_text(wine) is None, 3, "the text to go", seen=lambda: state_text(wine))
        messages = [m for m in log_messages(run.folder / "Log.txt") if "Google Earth" in m and "Open" not in m]
        print(f"  hung: said {said:.1f} s after the hang; ended, following again after {resumed:.1f} s")
        check_equal(messages, ["      - Google Earth Not Answering", "      - Google Earth Disconnected",
                               "      - Reconnect Google Earth Succeed"], "the log of the hang and its end")


def test_a_slow_google_earth_never_holds_the_panel_half_a_second(wine):
    with quorvane(wine, "slow_calls", 35, "Slow=*\nSlowMs=250\n") as run:
        run.receiver = Receiver(run.serial)
        wine.wait_for(lambda: len(flights(run.log)) >= 2, 15, "the camera to follow")
        watch = Watch(wine, 12)
        time.sleep(2)
        wine.driver("hold", "Quorvane", str(ZOOM_OUT), "2000")  # four Google Earth calls a step, each 250 ms
        wine.driver("click", "Quorvane", str(TILTED))
        time.sleep(1)
        moves = len(flights(run.log))
        watch.thread.join()
        r = watch.result
        print(f"  every call 250 ms: {r.get('pings')} pings, slowest answer {r.get('worst_ms')} ms")
        check_equal((r["alive"], r["unanswered"], r["boxes"]), (1, 0, 0), "the panel answered every ping, no box")
        check(r["worst_ms"] < 500, f"every ping answered within 0.5 s (slowest {r['worst_ms']} ms)")
        check(len(flights(run.log)) > moves, "still following")


def test_a_crashed_google_earth_is_reconnected_and_followed_again(wine):
    with quorvane(wine, "crash", 33) as run:
        run.receiver = Receiver(run.serial)
        wine.wait_for(lambda: len(flights(run.log)) >= 3, 10, "three camera moves")
        watch = Watch(wine, 15)
        opened_before = len([l for l in journal(run.log) if l.startswith("control.OpenFile(")])
        killed = time.monotonic()
        kill_standin(wine)
        wine.kill("rpcss.exe")  # Wine keeps a dead server's class otherwise; Windows does not
        wine.wait_for(lambda: after_restart(run.log), 10, "a new Google Earth journaling")
        restarted = time.monotonic() - killed
        wine.wait_for(lambda: any(l.startswith("control.setViewParams(") for l in after_restart(run.log)), 10,
                      "following to resume")
        resumed = time.monotonic() - killed
        wine.wait_for(lambda: any(l.startswith("control.OpenFile(") for l in after_restart(run.log)), 5,
                      "the temporary track opened again")
        watch.check("Google Earth crashed")
        reopened = next(l for l in after_restart(run.log) if l.startswith("control.OpenFile("))
        print(f"  crash: a new Google Earth {restarted:.1f} s after the kill, following again after {resumed:.1f} s; "
              f"{reopened}")
        check(resumed < 10, f"following resumes within 10 s ({resumed:.1f} s)")
        check(int(reopened.rsplit(" ", 2)[-2]) >= opened_before, "the reloaded track holds the points so far")
        lines = after_restart(run.log)
        check_equal(lines[1:3], ["create app", "create control"], "the objects made again")
        check(lines.index("app.IsInitialized() -> 1") < lines.index(next(l for l in lines if l.startswith(
            "control.setViewParams("))), "readiness is asked before the camera moves")
        wine.wait_for(lambda: marker_on_map_centre(wine, run.log), 5, "the marker on the new map's centre")
        messages = log_messages(run.folder / "Log.txt")
        check_equal([m for m in messages if "Google Earth" in m and m.startswith("      - ") and "Open" not in m],
                    ["      - Google Earth Disconnected", "      - Reconnect Google Earth Succeed"],
                    "one log line for the loss and one for the reconnection")
        check(state_text(wine) is None, "no status text once following again")


def test_without_the_control_object_the_documented_interface_does_the_work(wine):
    with quorvane(wine, "no_control", 34, "NoControl=1\n") as run:
        expected = []
        for i in range(12):
            line, (lat, lon) = fix(i)
            expected.append((lat, lon, 0.0, 1.0, 5000.0, 0.0, 0.0, 100.0))
            run.serial.send(line)
            time.sleep(0.3)

        def moves():
            return [tuple(float(v) for v in l[l.index("(") + 1:l.index(")")].split(", "))
                    for l in journal(run.log) if l.startswith("app.SetCameraParams(")]
        wine.wait_for(lambda: len(moves()) == 12, 10, "twelve camera moves")
        check_equal(moves(), expected, "each fix through SetCameraParams(lat, lon, 0, 1, range, tilt, azimuth, speed)")
        check_equal(camera_moves(run.log), [], "nothing through the control")
        path = wine.windows_path(run.temp).replace("\\", "\\\\")
        loads = [l for l in journal(run.log) if l.startswith("app.OpenKmlFile(")]
        check_equal(loads, [f'app.OpenKmlFile("{path}", 1) -> ok {n} points' for n in range(1, 13)],
                    "the growing track loaded through OpenKmlFile")
        check("      - Open Google Earth Succeed (IApplicationGE)" in log_messages(run.folder / "Log.txt"),
              "the log names the interface in use")
        check(any(l.startswith("app.GetCamera(0) -> camera") for l in journal(run.log)),
              "opening the link takes the camera from the application")


def test_an_unregistered_google_earth_pro_is_named_with_its_fix(wine):
    wine.uninstall_standin()
    client = wine.c_drive / "Program Files" / "Google" / "Google Earth Pro" / "client"
    client.mkdir(parents=True, exist_ok=True)
    (client / "googleearth.exe").write_bytes(b"MZ not really Google Earth")
    folder = wine.app_folder("not_registered")
    (folder / "Config.ini").write_bytes(b"[Log]\r\nWriteLog=1\r\n")
    process = wine.launch(folder / "Quorvane.exe")
    exe = "C:\\Program Files\\Google\\Google Earth Pro\\client\\googleearth.exe"
    try:
        check_equal(wine.driver("wait", "错误", "30")[0], 0, "the error box appears")
        texts = wine.driver("texts", "错误")[1].splitlines()
        expected = "已安装 Google Earth Pro，但其自动化接口未注册。请以管理员身份运行一次：\"" + exe + "\" /RegServer"
        check("Static\t" + expected in texts, f"the box names the fix: {texts}")
        button = next(t for t in texts if t.startswith("Button\t")).split("\t", 1)[1]
        wine.driver("press", "错误", button)
        check(wait_exit(process, 20) is not None, "the process ends after OK")
        messages = log_messages(folder / "Log.txt")
        check_equal(messages[-2:], ["      - Open Google Earth Error",
                                    "      - Google Earth Pro Not Registered : " + exe], "Log.txt names the path")
    finally:
        kill(process)
        shutil.rmtree(wine.c_drive / "Program Files" / "Google")
