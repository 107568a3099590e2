"""The spanner's settings dialog on the real program: what OK writes into Config.ini (and only that), Esc, a
missing or UTF-8 file, the live track and the map presets, a read-only folder, the one-click fixes of the
panel's hints, and the dialog at 96 and 144 dpi."""
import random
import shutil
import subprocess
import time
from contextlib import contextmanager

from harness import (BLUE, GREY, RED, ROOT, SmallDisk, check, check_equal, kill, local_app_data, open_the_link,
                     shown_picture, start_quorvane, state_text)
from nmea_model import sentence

SPANNER, ZOOM_IN = 148, 141
TITLE = "设置"
OK = 1
PORT, SPEED, TALKER_GN, EYE_HIGH, EYE_HIGH_WHY, TIME_ZONE = 1001, 1002, 1011, 1030, 1031, 1032
LIVE_TRACK, TRACK_FILE, TILE_PRESET, TILE_URL_WHY = 1042, 1043, 1064, 1066
SHIPPED = (ROOT / "res" / "Config.ini").read_bytes()


def open_dialog(wine):
    wine.driver("post", "Quorvane", str(SPANNER))
    check_equal(wine.driver("wait", TITLE, "10")[0], 0, "the settings dialog shown")
    check_equal(wine.window_info("QuorvanePanel")["enabled"], 0, "the panel waits while the dialog is open")


def dialog_gone(wine):
    """The dialog destroyed, not only hidden: the program has its answer."""
    return wine.driver("windows", TITLE)[1].strip() == ""


def key(wine, name):
    """A real key press, to the window that has the focus."""
    subprocess.run(["xdotool", "key", name], env=wine.env, check=True, timeout=30)


def press_in_box(wine, title, button):
    check_equal(wine.driver("wait", title, "10")[0], 0, f"a box titled {title}")
    texts = [line.split("\t", 1)[-1] for line in wine.driver("texts", title)[1].splitlines()]
    check_equal(wine.driver("press", title, button)[0], 0, f"the box's {button} button")
    return texts


def choose(wine, list_id, item):
    check_equal(wine.driver("select", TITLE, str(list_id), item)[0], 0, f"{item} in list {list_id}")


def edited(original: bytes, *pairs):
    """`original` with each (old line, new line) replaced once."""
    out = original
    for old, new in pairs:
        check(old in out, f"{old!r} in the file")
        out = out.replace(old, new, 1)
    return out


def rmc(talker, i):
    return sentence(f"{talker}RMC,0400{i:02d},A,2230.{i:04d},N,11403.0000,E,30.0,45.0,081226,,")


@contextmanager
def quorvane(wine, name, config, port=None, announce=False):
    """The stand-in Earth, a serial cable on COM`port` if given, and Quorvane started with `config`;
    (its folder, the cable)."""
    wine.install_standin()
    serial = wine.serial_port(port, announce) if port else None
    process = None
    try:
        folder, process = start_quorvane(wine, name, config)
        yield folder, serial
    finally:
        if process:
            kill(process)
        if serial:
            serial.close()
        wine.stop_standin()


def followed(wine, serial, talker):
    """The link reads `talker`'s fixes: one a little under every half second (the link may still be opening
    again) until the satellite turns blue."""
    for i in range(25):
        serial.send(rmc(talker, i))
        time.sleep(0.4)
        if shown_picture(wine) == BLUE:
            return
    check_equal(shown_picture(wine), BLUE, f"${talker} fixes followed")


def test_ok_writes_only_what_changed_and_the_receiver_follows_on_the_new_port(wine):
    with quorvane(wine, "settings_ok", SHIPPED, 61, announce=True) as (folder, serial):
        wine.driver("hold", "Quorvane", str(ZOOM_IN), "400")  # this run's eye height is no longer the file's
        open_dialog(wine)
        check_equal(wine.controls(TITLE)[EYE_HIGH][2], "5000", "the eye height as Config.ini has it")
        ports = wine.driver("items", TITLE, str(PORT))[1].splitlines()
        check_equal(ports[0], "*自动查找", "the search first, and chosen as Config.ini has Port=0")
        check("COM61" in ports, f"the port present is listed: {ports}")
        check_equal(wine.driver("items", TITLE, str(TIME_ZONE))[1].splitlines()[0], "*北京时间 +8",
                    "Beijing first, and chosen")

        choose(wine, PORT, "COM61")
        wine.driver("click", TITLE, str(TALKER_GN))
        # A wrong value says why beside its field and holds OK back.
        wine.driver("settext", TITLE, str(EYE_HIGH), "3千")
        check_equal(wine.controls(TITLE)[EYE_HIGH_WHY][2], "请填 400 到 10000000 之间的整数", "the reason shown")
        check_equal(wine.driver("enabled", TITLE, str(OK))[1].strip(), "0", "OK off while a field is wrong")
        wine.driver("settext", TITLE, str(EYE_HIGH), "3000")
        check_equal(wine.controls(TITLE)[EYE_HIGH_WHY][2], "", "no reason once right")
        check_equal(wine.driver("enabled", TITLE, str(OK))[1].strip(), "1", "OK on again")
        key(wine, "Return")  # Enter is OK
        wine.wait_for(lambda: dialog_gone(wine), 10, "the dialog to close on Enter")
        wine.wait_for(lambda: (folder / "Config.ini").read_bytes() != SHIPPED, 10, "Config.ini written")

        check_equal((folder / "Config.ini").read_bytes(),
                    edited(SHIPPED, (b"\r\nEyeHigh=5000\r\n", b"\r\nEyeHigh=3000\r\n"),
                           (b"\r\nPort=0\r\n", b"\r\nPort=61\r\n"), (b"\r\nTalkers=GP\r\n", b"\r\nTalkers=GP,GN\r\n")),
                    "Config.ini differs from the shipped one in those three lines only")
        check_equal((folder / "Config.ini.bak").read_bytes(), SHIPPED, "the previous file kept")
        check_equal(wine.window_info("QuorvanePanel")["enabled"], 1, "the panel back")

        # The link opened on the new port by itself, and reads the talker just added.
        wine.wait_for(lambda: shown_picture(wine) == GREY, 10, "the link open on COM61")
        followed(wine, serial, "GN")


def test_esc_changes_nothing_and_a_missing_or_utf8_file_is_written_as_the_user_agrees(wine):
    wine.install_standin()
    process = None
    try:
        folder = wine.app_folder("settings_files")
        process = wine.launch(folder / "Quorvane.exe")  # no Config.ini at all
        wine.shown_panel()
        open_dialog(wine)
        wine.driver("settext", TITLE, str(EYE_HIGH), "4000")
        key(wine, "Escape")
        wine.wait_for(lambda: dialog_gone(wine), 10, "the dialog to close on Esc")
        time.sleep(1)  # what an OK would write comes just after the dialog goes
        check_equal(sorted(p.name for p in folder.iterdir()), ["Quorvane.exe"], "Esc wrote nothing")

        # OK without a file: it is made from the shipped one, comments and all.
        open_dialog(wine)
        choose(wine, TIME_ZONE, "东京 +9")
        wine.driver("click", TITLE, str(OK))
        wine.wait_for(lambda: (folder / "Config.ini").exists(), 10, "Config.ini made")
        made = edited(SHIPPED, (b"\r\nTimeZone=8\r\n", b"\r\nTimeZone=9\r\n"))
        check_equal((folder / "Config.ini").read_bytes(), made, "the shipped file with the one change")

        # Saved in UTF-8 by a newer Notepad: asked once, written back as GBK on Yes.
        utf8 = b"\xef\xbb\xbf" + made.decode("gbk").encode("utf-8")
        (folder / "Config.ini").write_bytes(utf8)
        open_dialog(wine)
        wine.driver("settext", TITLE, str(EYE_HIGH), "6000")
        wine.driver("click", TITLE, str(OK))
        texts = press_in_box(wine, "提示", "是(&Y)")
        check(any(t.startswith("Config.ini 是以 UTF-8 编码保存的") for t in texts), f"the question: {texts}")
        gbk = edited(made, (b"\r\nEyeHigh=5000\r\n", b"\r\nEyeHigh=6000\r\n"))
        wine.wait_for(lambda: (folder / "Config.ini").read_bytes() == gbk, 10, "the file back in GBK with the change",
                      lambda: (folder / "Config.ini").read_bytes()[:40])
        check_equal((folder / "Config.ini.bak").read_bytes(), utf8, "the UTF-8 file kept as it was")
        (folder / "Config.ini").write_bytes(utf8)
        open_dialog(wine)
        wine.driver("settext", TITLE, str(EYE_HIGH), "7000")
        wine.driver("click", TITLE, str(OK))
        wine.wait_for(lambda: (folder / "Config.ini").read_bytes() != utf8, 10, "the file written")
        check_equal((folder / "Config.ini").read_bytes(), edited(made, (b"EyeHigh=5000", b"EyeHigh=7000")),
                    "asked once a run: the answer holds")
        check_equal(wine.driver("windows", "提示")[1].strip(), "", "no second question")

        # The live track proposes a file in the user's own folder and makes the folder; a map preset fills in
        # its address, attribution, datum and deepest level; one that needs a key holds OK back until it has one.
        local = local_app_data(wine)
        shutil.rmtree(local, ignore_errors=True)
        before = (folder / "Config.ini").read_bytes()
        open_dialog(wine)
        wine.driver("click", TITLE, str(LIVE_TRACK))
        proposed = wine.controls(TITLE)[TRACK_FILE][2]
        check_equal(proposed, "C:\\" + str((local / "CurrentTrack.kml").relative_to(wine.c_drive)).replace("/", "\\"),
                    "the proposed track file")
        choose(wine, TILE_PRESET, "天地图（须填密钥）")
        check_equal(wine.controls(TITLE)[TILE_URL_WHY][2], "请把“您的密钥”换成您申请的密钥", "the key asked for")
        check_equal(wine.driver("enabled", TITLE, str(OK))[1].strip(), "0", "OK off without the key")
        choose(wine, TILE_PRESET, "高德地图（GCJ-02）")
        check_equal(wine.driver("enabled", TITLE, str(OK))[1].strip(), "1", "OK on again")
        wine.driver("click", TITLE, str(OK))
        wine.wait_for(lambda: (folder / "Config.ini").read_bytes() != before, 10, "the file written")
        autonavi = (b"https://webrd0{1-4}.is.autonavi.com/appmaptile?lang=zh_cn&size=1&scale=1&style=8&x={x}&y={y}"
                    b"&z={z}")
        check_equal((folder / "Config.ini").read_bytes(), edited(
            before, (b"\r\nTrackTempFile=\r\n", b"\r\nTrackTempFile=%s\r\n" % proposed.encode("gbk")),
            (b"\r\nTileUrl=https://tile.openstreetmap.org/{z}/{x}/{y}.png\r\n", b"\r\nTileUrl=%s\r\n" % autonavi),
            (b'\r\nTileAttribution=&copy; <a href="https://www.openstreetmap.org/copyright">OpenStreetMap</a> '
             b'contributors\r\n', b"\r\nTileAttribution=&copy; \xb8\xdf\xb5\xc2\xb5\xd8\xcd\xbc\r\n"),
            (b"\r\nMaxZoom=19\r\n", b"\r\nMaxZoom=18\r\n"), (b"\r\nTileDatum=WGS84\r\n", b"\r\nTileDatum=GCJ02\r\n")),
            "the track file and the preset's four keys")
        check(local.is_dir(), "the track file's folder made")
    finally:
        if process:
            kill(process)
        wine.stop_standin()


def test_a_read_only_folder_says_so_keeps_the_file_and_the_run_takes_the_settings(wine):
    wine.install_standin()
    serial, other = wine.serial_port(62), wine.serial_port(65, announce=True)
    folder = wine.app_path("settings_read_only")
    config = b"[GPS]\r\nPort=62\r\nSetting=4800,n,8,1\r\nTimeZone=8\r\n"
    process = None
    room_kb = (wine.build / "Quorvane.exe").stat().st_size // 1024 + 1024
    with SmallDisk(folder, room_kb) as disk:
        try:
            folder, process = start_quorvane(wine, None, config, folder)
            open_the_link(wine)
            disk.read_only(True)
            open_dialog(wine)
            choose(wine, TIME_ZONE, "东京 +9")
            choose(wine, PORT, "COM65")
            wine.driver("click", TITLE, str(OK))
            texts = press_in_box(wine, "错误", "确定")
            check(any("无法写入" in t and "Config.ini" in t for t in texts), f"the box says so: {texts}")
            check_equal((folder / "Config.ini").read_bytes(), config, "the file as it was")
            check(not (folder / "Config.ini.bak").exists(), "nothing else written")
            # The run takes them all the same: the link on the new port, the time in the new zone. The box
            # closes before the link is opened again, so the fix is sent until the new port has it.
            for _ in range(25):
                other.send(rmc("GP", 7))
                time.sleep(0.4)
                if wine.controls()[125][2] == "13:00:07":
                    break
            check_equal(wine.controls()[125][2], "13:00:07", "the fix in Tokyo's time")
        finally:
            if process:
                kill(process)
            serial.close()
            other.close()
            wine.stop_standin()


def test_the_talker_hint_is_fixed_with_one_click(wine):
    config = b"[GPS]\r\nPort=63\r\nSetting=4800,n,8,1\r\nTalkers=GP\r\n"
    with quorvane(wine, "settings_talker", config, 63) as (folder, serial):
        open_the_link(wine)
        hint = "收到 $GNRMC 语句：请在 Config.ini 的 [GPS] 中设置 Talkers=GP,GN，然后双击卫星图标"
        for i in range(40):
            serial.send(rmc("GN", i % 60))
            if state_text(wine) == hint:
                break
            time.sleep(0.3)
        check_equal(state_text(wine), hint, "the talker hint")
        wine.driver("dblclick", "Quorvane", str(GREY))
        texts = press_in_box(wine, "提示", "是(&Y)")
        check("是否读取 $GN 开头的语句？" in texts, f"the question: {texts}")
        wine.wait_for(lambda: b"Talkers=GP,GN\r\n" in (folder / "Config.ini").read_bytes(), 10, "Talkers written")
        check_equal((folder / "Config.ini").read_bytes(), config.replace(b"Talkers=GP", b"Talkers=GP,GN"),
                    "only that line changed")
        followed(wine, serial, "GN")


def test_a_receiver_not_found_offers_the_settings(wine):
    with quorvane(wine, "settings_not_found", b"[GPS]\r\nPort=64\r\nSetting=4800,n,8,1\r\n"):
        wine.driver("dblclick", "Quorvane", str(RED))
        wine.wait_for(lambda: state_text(wine) == "未找到 GPS 设备在串口 [64] !", 10, "the not-found text")
        wine.driver("dblclick", "Quorvane", str(RED))
        texts = press_in_box(wine, "提示", "是(&Y)")
        check(any(t.startswith("未找到 GPS 设备。是否打开“设置”") for t in texts), f"the offer: {texts}")
        check_equal(wine.driver("wait", TITLE, "10")[0], 0, "the settings dialog")
        check_equal(wine.driver("items", TITLE, str(PORT))[1].splitlines()[-1], "*COM64（未连接）",
                    "the configured port chosen, said to be absent")
        # Tab walks the fields in reading order, passing over those switched off, and comes round again.
        order = [int(wine.driver("focus", TITLE)[1])]
        for _ in range(18):
            key(wine, "Tab")
            order.append(int(wine.driver("focus", TITLE)[1]))
        check_equal(order, [PORT, SPEED, *range(1010, 1017), 1020, EYE_HIGH, TIME_ZONE, 1050, 1040, LIVE_TRACK, 1060,
                            OK, 2, PORT], "the tab order (no track file, no map page: their fields are off)")
        key(wine, "Escape")
        wine.wait_for(lambda: dialog_gone(wine), 10, "the dialog closed")
        check_equal(state_text(wine), "未找到 GPS 设备在串口 [64] !", "nothing else changed")


def test_the_dialog_at_96_and_144_dpi(wine):
    wine.install_standin()
    process = None
    sizes = {}
    try:
        for dpi in (96, 144):
            wine.reg("add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")
            folder, process = start_quorvane(wine, f"settings_{dpi}", SHIPPED)
            open_dialog(wine)
            time.sleep(0.5)
            picture = wine.screenshot(ROOT / "build" / f"settings-{dpi}dpi.png")
            hwnd = wine.driver("wait", TITLE, "5")[1].strip()
            left, top, right, bottom = [int(v) for v in wine.driver("rect", hwnd)[1].split()]
            sizes[dpi] = (right - left, bottom - top)
            check(left >= 0 and top >= 0 and right <= picture.width and bottom <= picture.height,
                  f"{dpi} dpi: the dialog whole on the screen: {(left, top, right, bottom)}")
            panel = wine.window_info("QuorvanePanel")
            check(top >= panel["top"] + panel["height"] and
                  abs((left + right) / 2 - (panel["left"] + panel["width"] / 2)) <= 1,
                  f"{dpi} dpi: centred under the panel, which stays on top: {(left, top, right, bottom)} {panel}")
            children = {}
            for line in wine.driver("layout", TITLE)[1].splitlines():
                v = [int(x) for x in line.split()]
                children[v[0]] = v[1:5]
            for id_, (l, t, r, b) in children.items():
                check(l >= left and t >= top and r <= right and b <= bottom, f"{dpi} dpi: control {id_} inside")
            # The labels are drawn: dark text pixels left of the port and speed lists.
            l, t, r, b = children[PORT]
            ink = picture.count((0, 0, 0), left, t, l, b + (b - t) * 2)
            check(ink > 20, f"{dpi} dpi: the labels beside the port list are drawn ({ink} black pixels)")
            subprocess.run(["convert", str(ROOT / "build" / f"settings-{dpi}dpi.png"), "-crop",
                            f"{right - left}x{bottom - top}+{left}+{top}", "+repage",
                            str(ROOT / "build" / f"settings-dialog-{dpi}dpi.png")], check=True, timeout=60)
            kill(process)
            process = None
        ratio = [sizes[144][i] / sizes[96][i] for i in (0, 1)]
        # Dialog units follow the font's own metrics, which do not grow quite in proportion.
        check(all(1.3 < r < 1.75 for r in ratio), f"the dialog grows with the dpi: {sizes}")
        print(f"  the settings dialog: {sizes[96]} px at 96 dpi, {sizes[144]} px at 144 dpi")
    finally:
        wine.reg("add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d", "96", "/f")
        if process:
            kill(process)
        wine.stop_standin()



def test_a_write_killed_at_any_moment_leaves_the_old_file_or_the_new_one(wine):
    """Config.ini written again and again as OK writes it, by a process killed at random moments."""
    folder = wine.app_folder("settings_killed")
    path = folder / "Config.ini"
    comments = b"".join(b"; %05d \xc9\xe8\xd6\xc3\xce\xc4\xbc\xfe\xb5\xc4\xcb\xb5\xc3\xf7\r\n" % i for i in range(8000))
    whole = {v: b"[GE]\r\n" + comments + b"EyeHigh=%s\r\n" % v for v in (b"5000", b"1111", b"2222")}
    path.write_bytes(whole[b"5000"])
    random.seed(22)
    cut_short = torn_temp = 0
    for kill_at in [random.uniform(0.05, 0.6) for _ in range(12)]:
        writer = subprocess.Popen(["wine", wine.windows_path(wine.drivers / "qvdriver.exe"), "savesettings",
                                   wine.windows_path(path)], env=wine.env, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL)
        check_equal(writer.stdout.readline().strip(), b"writing", "the writer under way")
        time.sleep(kill_at)
        kill(writer)
        check(path.read_bytes() in whole.values(), f"Config.ini whole after a kill {kill_at:.2f} s into the writes")
        check(path.with_name("Config.ini.bak").read_bytes() in whole.values(), "Config.ini.bak whole")
        left = sorted(p.name for p in folder.iterdir() if p.name.endswith(".new"))
        cut_short += bool(left)
        torn_temp += any((folder / name).read_bytes() not in whole.values() for name in left)
    print(f"  12 kills while Config.ini ({len(whole[b'5000']) // 1024} KB) was written again and again: the file "
          f"was whole each time; {cut_short} kills came between a temporary file and its move, {torn_temp} of "
          f"them while it was half written")
