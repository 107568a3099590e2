"""Start-up of the real Quorvane.exe without Google Earth: the log and the one error box."""
import random

from harness import BANNER, check, check_equal, expect_error_box_then_end, log_messages


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
