"""An independent model of what Quorvane does with a receiver's sentences, for
checking the real program's journal, panel and track against a capture."""
import math
import struct
from functools import reduce


def f32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


def sentence(body: str) -> bytes:
    """A sentence as a receiver sends it: "$", the body, "*" and its checksum, CR LF."""
    return ("$%s*%02X\r\n" % (body, reduce(lambda a, c: a ^ ord(c), body, 0))).encode()


def checksum_ok(line):
    if "*" not in line:
        return True
    body, _, given = line[1:].partition("*")
    return len(given) == 2 and reduce(lambda a, c: a ^ ord(c), body, 0) == int(given, 16)


def coordinate(text, digits):
    return int(text[:digits]) + round(float(text[digits:]) / 60 * 10000) / 10000


class Model:
    def __init__(self, time_zone=8, eye_high=5000, precision=0.0005, recording=True):
        self.tz, self.eye, self.precision, self.recording = time_zone, eye_high, precision, recording
        self.pdop = -1.0  # as the link leaves it when it opens
        self.high = 0.0
        self.last = [0.0, 0.0]  # the filter's stored longitude, latitude
        self.flights, self.points, self.fixes = [], [], []

    def feed(self, line):
        if not line.startswith("$GP") or not checksum_ok(line):
            return
        f = line.split(",")[:-1]
        f += [""] * (21 - len(f))
        if f[0] == "$GPGGA":
            try:
                self.high = float(round(float(f[9])))
            except ValueError:
                pass
        elif f[0] == "$GPGSA":
            try:
                self.pdop = f32(float(f[15]))
            except ValueError:
                pass
        elif f[0] == "$GPRMC" and f[2] == "A":
            lat = coordinate(f[3], 2) * (-1 if f[4] == "S" else 1)
            lon = coordinate(f[5], 3) * (-1 if f[6] == "W" else 1)
            course = float(f[8]) if f[8] else 0.0
            knots = float(f[7])
            self.fixes.append({"time": f[1][:6], "lat": lat, "lon": lon, "kmh": knots * 1.8519984,
                               "course": course - 360 if course > 180 else course, "pdop": self.pdop})
            moved = False
            if abs(lon - self.last[0]) >= self.precision:
                self.last[0], moved = lon, True
            if abs(lat - self.last[1]) >= self.precision:
                self.last[1], moved = lat, True
            if moved and self.recording and self.pdop <= 6.0:
                self.points.append(("%.4f" % lon, "%.4f" % lat, "%.0f" % self.high))
            if self.pdop <= 10.0:
                self.flights.append((lat, lon))

    def local_time(self, hhmmss):
        seconds = (int(hhmmss[:2]) * 3600 + int(hhmmss[2:4]) * 60 + int(hhmmss[4:6]) + self.tz * 3600) % 86400
        return "%02d:%02d:%02d" % (seconds // 3600, seconds // 60 % 60, seconds % 60)


def one_decimal(x):
    """"0.0" with halves away from zero, as the panel shows speeds and precision."""
    r = math.floor(abs(x) * 10 + 0.5) / 10
    return "%.1f" % math.copysign(r, x) if r else "0.0"
