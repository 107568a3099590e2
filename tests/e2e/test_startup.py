"""Start-up of the real Quorvane.exe without Google Earth: the log and the one error box."""
import random
import time

from harness import check, check_equal, kill, log_messages, wait_exit

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


def test_earth_missing_logs_the_error_and_ends(wine):
    folder = wine.app_folder("earth_missing")
    (folder / "Config.ini").write_bytes(b"[Log]\r\nWriteLog=1\r\n")
    expect_error_box_then_end(wine, folder)
    check_equal(log_messages(folder / "Log.txt"), BANNER + ["      - Open Google Earth Error"], "Log.txt")
    # A second run appends its own banner.
    expect_error_box_then_end(wine, folder)
    check_equal(log_messages(folder / "Log.txt"), (BANNER + ["      - Open Google Earth Error"]) * 2, "Log.txt")


def test_no_log_unless_writelog_is_one(wine):
    for value in [b"0", b"yes", b"01", b"true", b""]:
        folder = wine.app_folder("no_log")
        (folder / "Config.ini").write_bytes(b"[Log]\r\nWriteLog=" + value + b"\r\n")
        expect_error_box_then_end(wine, folder)
        check(not (folder / "Log.txt").exists(), f"no Log.txt with WriteLog={value!r}")


def test_bad_config_files_change_only_the_values(wine):
    rnd = random.Random(20261208)
    garbage = bytes(rnd.randrange(256) for _ in range(64 * 1024))
    filler = b"".join(b"Key%d=%s\r\n" % (i, b"v" * 90) for i in range(110000))  # about 10 MB
    cases = [
        ("missing", None, False),
        ("empty", b"", False),
        ("binary garbage", garbage, False),
        ("binary garbage, then the key", garbage + b"\r\n[Log]\r\nWriteLog=1\r\n", True),
        ("10 MB", b"[Other]\r\n" + filler + b"[Log]\r\nWriteLog=1\r\n", True),
    ]
    for name, content, logged in cases:
        folder = wine.app_folder("bad_config")
        if content is not None:
            (folder / "Config.ini").write_bytes(content)
        expect_error_box_then_end(wine, folder)
        if logged:
            check_equal(log_messages(folder / "Log.txt"), BANNER + ["      - Open Google Earth Error"], name)
        else:
            check(not (folder / "Log.txt").exists(), f"{name}: no log")


def test_an_unwritable_log_loses_lines_silently(wine):
    folder = wine.app_folder("unwritable_log")
    (folder / "Config.ini").write_bytes(b"[Log]\r\nWriteLog=1\r\n")
    (folder / "Log.txt").mkdir()  # nothing can be appended to a folder
    expect_error_box_then_end(wine, folder)
    check((folder / "Log.txt").is_dir(), "the folder is left alone")
