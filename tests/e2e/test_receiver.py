"""The receiver link of the real Quorvane.exe over a virtual serial port."""
from harness import (
    BLUE, GREY, LATITUDE, LONGITUDE, PRECISION, RED, SPEED, STATE, TIME, check, check_equal, journal, kill,
    shown_picture, start_quorvane, wait_exit)

RMC_A = b"$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n"
RMC_V = b"$GPRMC,123520,V,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*77\r\n"


def start(wine, name, port):
    return start_quorvane(wine, name, b"[GE]\r\nEyeHigh=5000\r\n[GPS]\r\nPort=%d\r\nSetting=4800,n,8,1\r\n"
                                      b"[Log]\r\nWriteLog=1\r\n" % port)


def test_double_click_connects_and_fixes_turn_the_icon_blue(wine):
    log = wine.install_standin()
    serial = wine.serial_port(7)
    process = None
    try:
        folder, process = start(wine, "receiver", 7)
        c = wine.controls()
        check_equal(shown_picture(wine), RED, "picture before the link is opened")
        check(not c[STATE][1], "txtState hidden at start")
        check_equal(c[TIME][2], "00:00:00", "lblTime before the link is opened")
        # Without a receiver the tick shows the clock... only once the link has failed; at start GPSState is 0
        # and the closed port gives nothing to read.
        check_equal(wine.driver("dblclick", "Quorvane", str(RED))[0], 0, "double click on the red picture")
        wine.wait_for(lambda: shown_picture(wine) == GREY, 10, "the grey picture after connecting")
        check(not wine.controls()[STATE][1], "txtState hidden once connected")
        lines = journal(log)
        # The camera (10000 m in the stand-in) is brought down to EyeHigh on connecting.
        check("control.currentView(0) -> camera1" in lines, f"camera asked for: {lines}")
        check("camera1.Range = 5000 -> ok" in lines, "eye height capped at 5000")
        check(any(l.startswith("control.setView(camera, 0, 1) -> ok") and "range=5000" in l for l in lines),
              "camera sent with speed 1")

        serial.send(RMC_V)
        wine.wait_for(lambda: wine.controls()[LONGITUDE][2] == "信号弱", 10, "信号弱 on a void fix")
        check_equal(shown_picture(wine), GREY, "picture on a void fix")
        check_equal(wine.controls()[TIME][2], "20:35:20", "time of the void fix")

        serial.send(RMC_A)
        wine.wait_for(lambda: shown_picture(wine) == BLUE, 10, "the blue picture on a valid fix")
        c = wine.controls()
        check_equal([c[i][2] for i in (LONGITUDE, LATITUDE, SPEED, PRECISION, TIME)],
                    ["E 11°31' 00.12\"", "N  48°07' 02.28\"", "41.5km/h", "GPS精度 : -1.0", "20:35:19"],
                    "panel texts of the fix")
        check(any(l.startswith("control.setViewParams(48.1173, 11.5167, 5000, 0, 0, 0, 100)") for l in journal(log)),
              "the camera followed the fix")
    finally:
        if process:
            kill(process)
        serial.close()
        wine.stop_standin()


def test_a_missing_port_says_so_and_a_second_double_click_retries(wine):
    wine.install_standin()
    serial = None
    process = None
    try:
        folder, process = start(wine, "missing_port", 37)
        wine.driver("dblclick", "Quorvane", str(RED))
        wine.wait_for(lambda: wine.controls()[STATE][2] == "未找到 GPS 设备在串口 [37] !", 10, "the not-found text")
        c = wine.controls()
        check(c[STATE][1], "txtState stays visible with the not-found text")
        check_equal(shown_picture(wine), RED, "picture after a failed open")
        # The tick now shows the computer's clock.
        wine.wait_for(lambda: wine.controls()[TIME][2] != "00:00:00", 5, "the clock in lblTime")

        serial = wine.serial_port(8)
        (folder / "Config.ini").write_bytes(b"[GPS]\r\nPort=8\r\nSetting=4800,n,8,1\r\n")
        wine.driver("dblclick", "Quorvane", str(RED))
        wine.wait_for(lambda: shown_picture(wine) == GREY, 10, "the grey picture after fixing Config.ini")
        check(not wine.controls()[STATE][1], "txtState hidden once connected")
    finally:
        if process:
            kill(process)
        if serial:
            serial.close()
        wine.stop_standin()


def test_a_close_while_the_port_opens_waits_for_the_open_and_ends_cleanly(wine):
    log = wine.install_standin(watch_panel=True)
    serial = wine.serial_port(9)
    process = None
    try:
        folder, process = start(wine, "close_opening", 9)
        # The close comes while the double click's open is under way, in its pumping of messages.
        check_equal(wine.driver("dblclick-close", "Quorvane", str(RED))[0], 0, "double click, then close")
        check_equal(wait_exit(process, 20), 0, "the program's exit status")
        check_equal([l for l in journal(log) if l.endswith(" (panel gone)")], [],
                    "calls into Google Earth after the panel went")
    finally:
        if process:
            kill(process)
        serial.close()
        wine.stop_standin()
