"""The receiver as people plug it in, against the real Quorvane.exe: unplugged and plugged in again, found on
whichever COM port it is, speaking another satellite system's talker, and falling silent."""
import threading
import time
from contextlib import contextmanager
from types import SimpleNamespace

from harness import (
    BLUE, GREY, LONGITUDE, RED, ROOT, TIME, ZOOM_OUT, camera_moves, capture_lines, check, check_equal, fix,
    flights, kill, log_messages, open_the_link, shown_picture, start_quorvane, state_text)
from nmea_model import sentence


LOST = "GPS 设备已断开，正在重新连接…"


def drive(count, talker="GP"):
    """`count` seconds of a modern receiver's output: RMC, GGA, a GSA per satellite system and GSV, all from
    `talker` but the per-system ones; and the (lat, lon) each second's fix flies to."""
    seconds, places = [], []
    for i in range(count):
        rmc, place = fix(i)
        rmc = sentence(rmc.decode()[1:rmc.index(b"*")].replace("GPRMC", talker + "RMC"))
        gga = sentence("%sGGA,%02d%02d%02d,2230.0000,N,11403.0000,E,1,12,0.8,35.2,M,-3.1,M,," %
                       (talker, 4 + i // 3600, i // 60 % 60, i % 60))
        gsa = [sentence("%sGSA,A,3,04,05,09,12,,,,,,,,,1.6,0.8,1.3,1" % talker),
               sentence("%sGSA,A,3,65,66,72,,,,,,,,,,1.6,0.8,1.3,2" % talker)]
        gsv = [sentence("GPGSV,1,1,04,04,45,120,40,05,30,200,38,09,60,010,42,12,15,300,35"),
               sentence("GLGSV,1,1,03,65,40,100,36,66,20,210,33,72,55,330,41")]
        seconds.append(rmc + gga + b"".join(gsa) + b"".join(gsv))
        places.append(place)
    return seconds, places


@contextmanager
def quorvane(wine, name, config: bytes, ports=(), announce=False):
    """A stand-in Earth, serial cables on `ports`, and Quorvane started with `config` (its Config.ini)."""
    run = SimpleNamespace(log=wine.install_standin(), serial={n: wine.serial_port(n, announce) for n in ports},
                          process=None, stops=[])
    try:
        run.folder, run.process = start_quorvane(wine, name, config + b"[Log]\r\nWriteLog=1\r\n")
        yield run
    finally:
        for stop in run.stops:
            stop.set()
        if run.process:
            kill(run.process)
        for serial in run.serial.values():
            serial.close()
        wine.stop_standin()


def play(run, port, seconds, baud=4800):
    stop = threading.Event()
    run.stops.append(stop)
    run.serial[port].receiver(seconds, baud, stop)
    return stop


def test_an_unplugged_receiver_is_shown_lost_and_followed_again_once_plugged_back_at_the_users_zoom(wine):
    with quorvane(wine, "replug", b"[GPS]\r\nPort=27\r\nSetting=4800,n,8,1\r\n", ports=[27]) as run:
        wine.driver("dblclick", "Quorvane", str(RED))
        seconds, _ = drive(60)
        play(run, 27, seconds)
        wine.wait_for(lambda: len(flights(run.log)) >= 2, 10, "the camera to follow")
        wine.driver("hold", "Quorvane", str(ZOOM_OUT), "500")
        zoomed = wine.wait_for(lambda: camera_moves(run.log)[-1][2] != 5000 and camera_moves(run.log)[-1][2], 5,
                               "a camera move at the zoomed height")
        unplugged = time.monotonic()
        run.stops[-1].set()
        run.serial[27].close()  # socat killed, the COM port gone
        wine.wait_for(lambda: shown_picture(wine) == RED and state_text(wine) == LOST, 8,
                      "the red satellite and the reconnection text")
        noticed = time.monotonic() - unplugged
        time.sleep(4)  # a few attempts while it is gone
        moves = len(flights(run.log))
        run.serial[27] = wine.serial_port(27)  # plugged in again
        plugged = time.monotonic()
        play(run, 27, seconds)
        wine.wait_for(lambda: len(flights(run.log)) > moves, 5, "the camera to follow again, with no click")
        resumed = time.monotonic() - plugged
        check_equal(camera_moves(run.log)[moves][2], zoomed, "the eye height of the first move after plugging back")
        check_equal(shown_picture(wine), BLUE, "the satellite after plugging back")
        check(state_text(wine) is None, "no text once following again")
        print(f"  unplugged: red with the reconnection text after {noticed:.1f} s; "
              f"plugged back: following again after {resumed:.1f} s")


def test_port_zero_finds_the_receiver_wherever_it_is(wine):
    config = b"[GPS]\r\nPort=0\r\nOpenAtStart=1\r\n"
    seconds, places = drive(60)
    for receiver_port in (7, 9):
        with quorvane(wine, "search", config, ports=[3, 5, receiver_port], announce=True) as run:
            started = time.monotonic()
            stop = threading.Event()
            run.stops.append(stop)
            run.serial[3].babble(480, stop)  # random binary at 4800 baud's pace
            play(run, receiver_port, seconds, baud=9600)  # COM5 stays silent
            seen = set()

            def found_it():
                text = state_text(wine)
                seen.add(text)
                return text == f"已找到 GPS 设备：COM{receiver_port} 9600"
            wine.wait_for(found_it, 20, f"COM{receiver_port} found", lambda: seen)
            found = time.monotonic() - started
            searching = sorted(t for t in seen if t and t.startswith("正在查找 GPS 设备：COM"))
            check(searching, f"the search showed what it tried: {seen}")
            wine.wait_for(lambda: flights(run.log), 5, "following to start")
            check(f"      - GPS Found : COM{receiver_port} 9600,n,8,1" in log_messages(run.folder / "Log.txt"),
                  "the log names the port and its settings")
            check_equal((run.folder / "Config.ini").read_bytes(), config + b"[Log]\r\nWriteLog=1\r\n",
                        "Config.ini is never written")
            check(flights(run.log)[0] in places, "the camera follows the receiver's fixes")
            print(f"  Port=0 with rubbish on COM3, silence on COM5: found COM{receiver_port} at 9600 "
                  f"{found:.1f} s after the start (the panel showed {searching})")


def test_another_talker_brings_a_hint_and_is_followed_once_listed(wine):
    with quorvane(wine, "talkers", b"[GPS]\r\nPort=28\r\nSetting=4800,n,8,1\r\n", ports=[28]) as run:
        wine.driver("dblclick", "Quorvane", str(RED))
        seconds, places = drive(12, "GN")
        stop = play(run, 28, seconds)
        hint = "收到 $GNRMC 语句：请在 Config.ini 的 [GPS] 中设置 Talkers=GP,GN，然后双击卫星图标"
        wine.wait_for(lambda: state_text(wine) == hint, 9, "the talker hint")
        check_equal(flights(run.log), [], "no camera move from an unlisted talker")
        check_equal(shown_picture(wine), GREY, "the link is open, with no fix")

        # As the hint says: Talkers in Config.ini, then a double click on the satellite.
        stop.set()
        time.sleep(1.2)
        (run.folder / "Config.ini").write_bytes(b"[GPS]\r\nPort=28\r\nSetting=4800,n,8,1\r\nTalkers=GP,GN\r\n"
                                                b"[Log]\r\nWriteLog=1\r\n")
        wine.driver("dblclick", "Quorvane", str(GREY))
        wine.wait_for(lambda: state_text(wine) is None, 5, "the hint to go", lambda: state_text(wine))
        # The hint goes as the port is opened again (aside, the satellite red meanwhile): sent only once it is open.
        wine.wait_for(lambda: shown_picture(wine) == GREY, 10, "the link open again")
        for second in seconds:
            run.serial[28].send(second)
            time.sleep(0.3)
        wine.wait_for(lambda: len(flights(run.log)) >= len(places), 10, "the camera to follow every fix")
        check_equal(flights(run.log), places, "the camera moves are those of the same drive written with $GP")
        check_equal(shown_picture(wine), BLUE, "the satellite with GN fixes")


def test_a_silent_receiver_turns_grey_and_blue_again_when_it_speaks(wine):
    with quorvane(wine, "silence", b"[GPS]\r\nPort=29\r\nSetting=4800,n,8,1\r\n", ports=[29]) as run:
        wine.driver("dblclick", "Quorvane", str(RED))
        seconds, _ = drive(60)
        stop = play(run, 29, seconds)
        wine.wait_for(lambda: shown_picture(wine) == BLUE, 10, "the blue satellite")
        stop.set()  # the receiver stops, the cable stays
        rc, out = wine.driver("shown", "Quorvane", str(GREY), "8")
        check_equal(rc, 0, "the grey satellite")
        noticed = int(out.split("=")[1]) / 1000 - run.serial[29].last_sent
        check(noticed <= 6.0, f"silence noticed within 6 s of the last byte ({noticed:.1f} s)")
        check(wine.controls()[120][2].startswith("E 114°"), "the last fix's texts stay")
        time.sleep(2)
        play(run, 29, seconds)
        spoke = time.monotonic()
        wine.wait_for(lambda: shown_picture(wine) == BLUE, 6, "blue again")
        print(f"  silence: grey {noticed:.1f} s after the last byte; blue again {time.monotonic() - spoke:.1f} s after it spoke")


WEAK = "信号弱"
CAPTURES = ROOT.parent / "shared" / "nmea"


def void_lines(capture):
    """The void RMC sentences of a real capture that leave out what the receiver does not know."""
    return [line for line in capture_lines(CAPTURES / capture) if b"RMC," in line and b",V," in line]


def test_a_lost_fix_is_shown_weak_and_grey_as_real_receivers_send_it(wine):
    with quorvane(wine, "no_fix", b"[GPS]\r\nPort=28\r\nSetting=4800,n,8,1\r\n", ports=[28]) as run:
        open_the_link(wine)
        # bt451 starts without a fix: "$GPRMC,,V,,,,,,,,,,N".
        run.serial[28].play(capture_lines(CAPTURES / "bt451.log"))
        wine.wait_for(lambda: wine.controls()[LONGITUDE][2] == WEAK, 5, "信号弱 while bt451 has no fix",
                      seen=lambda: wine.controls()[LONGITUDE][2])
        check_equal(shown_picture(wine), GREY, "the satellite while bt451 has no fix")
        wine.wait_for(lambda: shown_picture(wine) == BLUE, 15, "the blue satellite once bt451 has its fix")
        run.serial[28].player.join()

        # A tunnel: valid fixes, then the void ones of bt451 and of iTrek (time and date alone).
        for i in range(3):
            run.serial[28].send(fix(i)[0])
            time.sleep(1)
        wine.wait_for(lambda: shown_picture(wine) == BLUE, 5, "blue with valid fixes")
        moves, shown_time = len(flights(run.log)), wine.controls()[TIME][2]
        for line in void_lines("bt451.log")[:3]:
            run.serial[28].send(line)
            time.sleep(0.5)
        wine.wait_for(lambda: shown_picture(wine) == GREY and wine.controls()[LONGITUDE][2] == WEAK, 5,
                      "grey and 信号弱 in the tunnel",
                      seen=lambda: (shown_picture(wine), wine.controls()[LONGITUDE]))
        check_equal(wine.controls()[TIME][2], shown_time, "the time of the last fix, which bt451's void line lacks")
        itrek = void_lines("iTrek.log")[0]
        run.serial[28].send(itrek)
        utc = itrek.split(b",")[1].decode()
        local = "%02d:%s:%s" % ((int(utc[:2]) + 8) % 24, utc[2:4], utc[4:6])
        wine.wait_for(lambda: wine.controls()[TIME][2] == local, 5, "the time iTrek's void line gives",
                      seen=lambda: wine.controls()[TIME][2])
        time.sleep(1)
        check_equal(len(flights(run.log)), moves, "no camera move without a fix")


def test_a_port_or_speed_that_cannot_be_used_is_said_and_nothing_is_opened(wine):
    config = b"[GPS]\r\nPort=%d\r\nSetting=%s\r\n"
    with quorvane(wine, "bad_port", config % (29, b"4800,n,8,1"), ports=[29]) as run:
        open_the_link(wine)
        refusals = ((300, b"4800,n,8,1", "Config.ini 中的 Port=300 不是可用的串口号（1 到 255；0 为自动查找）"),
                    (29, b"921601,n,8,1", "Config.ini 中的 Setting=921601,n,8,1 不是可用的串口设置（例如 4800,n,8,1）"))
        for port, setting, said in refusals:
            (run.folder / "Config.ini").write_bytes(config % (port, setting))
            wine.driver("dblclick", "Quorvane", str(GREY))  # open again with what Config.ini says now
            wine.wait_for(lambda: state_text(wine) == said, 10, "the refusal naming the value",
                          seen=lambda: state_text(wine))
            time.sleep(1)
            check_equal(shown_picture(wine), RED, "the red satellite: nothing opened, not the previous port")
            (run.folder / "Config.ini").write_bytes(config % (29, b"4800,n,8,1"))
            open_the_link(wine)
        # The speeds modern receivers use.
        (run.folder / "Config.ini").write_bytes(config % (29, b"921600,n,8,1"))
        wine.driver("dblclick", "Quorvane", str(GREY))
        wine.wait_for(lambda: run.serial[29].speed() == 921600, 10, "the port opened at 921600 baud",
                      seen=lambda: run.serial[29].speed())
        check_equal(shown_picture(wine), GREY, "the link open")
