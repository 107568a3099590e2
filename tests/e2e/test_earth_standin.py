"""The stand-in Earth answering the program's adapter, and Quorvane starting against it."""
import time

from harness import BANNER, check, check_equal, expect_error_box_then_end, journal, kill, log_messages, wait_exit


def test_quorvane_opens_its_panel_when_earth_answers(wine):
    log = wine.install_standin()
    folder = wine.app_folder("with_standin")
    (folder / "Config.ini").write_bytes(b"[Log]\r\nWriteLog=1\r\n")
    process = wine.launch(folder / "Quorvane.exe")
    try:
        panel = None
        for _ in range(150):
            panel = wine.window_info("QuorvanePanel")
            if panel and panel["topmost"]:
                break
            time.sleep(0.1)
        check(panel is not None, "the panel window exists")
        # 9135 x 780 twips at 15 twips a pixel, at the top centre, above everything.
        check_equal((panel["width"], panel["height"]), (609, 52), "panel size in pixels")
        check_equal(panel["top"], 0, "panel top")
        centre_left = (panel["screen"] - 609) / 2
        check(abs(panel["left"] - centre_left) <= 0.5, f"panel centred: left {panel['left']} for {centre_left}")
        check(panel["visible"] == 1 and panel["topmost"] == 1, f"panel shown and top-most: {panel}")
        for _ in range(50):
            if len(log_messages(folder / "Log.txt")) >= 6:
                break
            time.sleep(0.1)
        check_equal(log_messages(folder / "Log.txt"),
                    BANNER + ["      - Open Google Earth Succeed",
                              f"3. Open Quorvane Window at : 0,{panel['left'] * 15}",
                              "4. Set Quorvane Window On Top"], "Log.txt")
        earth = wine.window_info("QuorvaneEarthStandIn")
        check(earth is not None, "the stand-in's main window exists")
        lines = journal(log)
        check_equal(lines[:6], ["start", "create app", "create control", "app.IsInitialized() -> 1",
                                f"app.GetMainHwnd() -> {earth['hwnd']}", lines[5]], "journal of the load")
        check(lines[5].startswith("app.GetRenderHwnd() -> "), f"map window asked for: {lines[5]}")
        check(lines[5] != f"app.GetRenderHwnd() -> {earth['hwnd']}", "the map window is not the main window")
        # The quit button ends the program.
        rc, _ = wine.driver("press", "Quorvane", "X")
        check(rc == 0, "the quit button was found")
        check(wait_exit(process, 20) is not None, "the process ends after the quit button")
        check(wine.window_info("QuorvanePanel") is None, "the panel is gone")
    finally:
        kill(process)
        wine.stop_standin()


def test_without_registration_the_error_box_comes_back(wine):
    wine.install_standin()
    wine.uninstall_standin()
    folder = wine.app_folder("unregistered")
    (folder / "Config.ini").write_bytes(b"[Log]\r\nWriteLog=1\r\n")
    expect_error_box_then_end(wine, folder)
    check_equal(log_messages(folder / "Log.txt"), BANNER + ["      - Open Google Earth Error"], "Log.txt")


def test_the_stand_in_keeps_a_camera_and_journals_every_call(wine):
    log = wine.install_standin()
    track = wine.c_drive / "standin" / "track.kml"
    track.write_bytes(b"<kml><coordinates>\r\n114.05,22.53,0\r\n114.06,22.54,0\r\n114.07,22.55,0\r\n"
                      b"</coordinates></kml>\r\n")
    try:
        rc, out = wine.run_tool("earthclient.exe", "main", "map", "view", "range", "tilt", "setrange", "400",
                                "settilt", "60", "range", "tilt", "setview", "1", "view", "range", "tilt",
                                "fly", "22.54", "114.06", "5000", "0", "30.5", "view", "range",
                                "open", "C:\\standin\\track.kml", "open", "C:\\standin\\missing.kml")
        check_equal(rc, 0, "client exit status")
        earth = wine.window_info("QuorvaneEarthStandIn")
        out = out.splitlines()
        check_equal(out[0], "create app control", "objects created")
        check_equal(out[1], f"main {earth['hwnd']}", "main window handle is the stand-in's window")
        check(out[2].startswith("map ") and out[2] != f"map {earth['hwnd']}", f"map window handle: {out[2]}")
        check_equal(out[3:], ["view ok", "range 10000", "tilt 0", "setrange ok", "settilt ok", "range 400",
                              "tilt 60", "setview ok", "view ok", "range 400", "tilt 60", "fly ok", "view ok",
                              "range 5000", "open ok", "open failed"], "client results")
        lines = journal(log)
        check_equal(lines[:3], ["start", "create app", "create control"], "journal start")
        check_equal(lines[5:], [
            "control.currentView(0) -> camera1",
            "camera1.Range -> 10000",
            "camera1.Tilt -> 0",
            "camera1.Range = 400 -> ok",
            "camera1.Tilt = 60 -> ok",
            "camera1.Range -> 400",
            "camera1.Tilt -> 60",
            "control.setView(camera, 0, 1) -> ok lat=22.5431 lon=114.0579 range=400 tilt=60 azimuth=0",
            "control.currentView(0) -> camera2",
            "camera2.Range -> 400",
            "camera2.Tilt -> 60",
            "control.setViewParams(22.54, 114.06, 5000, 0, 30.5, 0, 100) -> ok",
            "control.currentView(0) -> camera3",
            "camera3.Range -> 5000",
            'control.OpenFile("C:\\\\standin\\\\track.kml") -> ok 3 points',
            'control.OpenFile("C:\\\\standin\\\\missing.kml") -> failed: cannot read',
        ], "journal of the calls")

        # The map follows the camera: the yellow track crosses the view's centre, and is gone after a far move.
        pic = wine.screenshot(wine.work / "standin-track.png")
        yellow = pic.count((255, 255, 0), 0, earth["top"] + 10, pic.width, pic.height)
        check(yellow > 200, f"the loaded track is drawn in yellow ({yellow} pixels)")
        wine.run_tool("earthclient.exe", "fly", "-33.86", "151.2", "5000", "0", "0")
        time.sleep(0.5)
        pic = wine.screenshot(wine.work / "standin-moved.png")
        check_equal(pic.count((255, 255, 0), 0, earth["top"] + 10, pic.width, pic.height), 0,
                    "yellow pixels after flying away")

        # The application's documented members do the same work.
        before = len(journal(log))
        _, out = wine.run_tool("earthclient.exe", "init", "camera", "range", "setrange", "700", "setcamera", "2",
                               "camparams", "22.5", "114.1", "3000", "45", "-30", "openkml", "C:\\standin\\track.kml")
        check_equal(out.splitlines()[1:], ["init ok", "camera ok", "range 5000", "setrange ok", "setcamera ok",
                                           "camparams ok", "openkml ok"], "documented members through the adapter")
        n = journal(log)[before + 3].split(" ")[-1].removeprefix("camera")
        check_equal(journal(log)[before + 2:], [
            "app.IsInitialized() -> 1",
            f"app.GetCamera(0) -> camera{n}",
            f"camera{n}.Range -> 5000",
            f"camera{n}.Range = 700 -> ok",
            "app.SetCamera(camera, 2) -> ok lat=-33.86 lon=151.2 range=700 tilt=0 azimuth=0",
            "app.SetCameraParams(22.5, 114.1, 0, 1, 3000, 45, -30, 100) -> ok",
            'app.OpenKmlFile("C:\\\\standin\\\\track.kml", 1) -> ok 3 points',
        ], "journal of the documented members")
    finally:
        wine.stop_standin()


def test_fault_switches(wine):
    try:
        log = wine.install_standin("Refuse=setViewParams, OpenFile\n")
        _, out = wine.run_tool("earthclient.exe", "fly", "1", "2", "3", "4", "5", "main", "open", "C:\\x.kml")
        out = out.splitlines()
        check_equal([out[0], out[1], out[3]], ["create app control", "fly failed", "open failed"], "refused calls")
        check(out[2].startswith("main ") and out[2] != "main failed", "other calls still work")
        check_equal(journal(log)[3], "control.setViewParams -> refused", "journal of a refused call")

        wine.install_standin("Slow=GetMainHwnd\nSlowMs=1500\n")
        wine.run_tool("earthclient.exe")  # starts the server
        started = time.monotonic()
        _, out = wine.run_tool("earthclient.exe", "main")
        check(time.monotonic() - started >= 1.4, "a slow member answers after its delay")
        check(out.splitlines()[1].startswith("main "), "and still answers")

        log = wine.install_standin("ExitAtCall=2\n")
        _, out = wine.run_tool("earthclient.exe", "main", "map", "main")
        out = out.splitlines()
        check(out[1].startswith("main ") and out[1] != "main failed", "the first call is answered")
        check_equal(out[2:], ["map failed", "main failed"], "calls at and after the exit fail")
        check_equal(journal(log)[-1], "app.GetRenderHwnd -> exit", "journal of the exit")
        check(wine.window_info("QuorvaneEarthStandIn") is None, "the stand-in is gone")

        # Still starting: not initialised, every other member fails with Google Earth's own code; then ready.
        log = wine.install_standin("InitMs=4000\n")
        _, out = wine.run_tool("earthclient.exe", "init", "main")
        check_equal(out.splitlines()[1:], ["init not ready", "main failed"], "a starting Google Earth")
        check_equal(journal(log)[-2:], ["app.IsInitialized() -> 0", "app.GetMainHwnd -> not initialised"],
                    "journal while starting")
        wine.wait_for(lambda: wine.run_tool("earthclient.exe", "init")[1].splitlines()[1:] == ["init ok"], 10,
                      "the stand-in to finish starting")

        log = wine.install_standin("NoControl=1\nTeleported=1\n")
        _, out = wine.run_tool("earthclient.exe", "camparams", "1", "2", "3", "4", "5")
        check_equal(out.splitlines(), ["create app -", "camparams ok"], "no control; a teleported move succeeds")
        check_equal(journal(log)[1:], ["create app", "create control -> failed",
                                       "app.SetCameraParams(1, 2, 0, 1, 3, 4, 5, 100) -> ok (teleported)"],
                    "journal without a control")
    finally:
        wine.install_standin()
        wine.stop_standin()
