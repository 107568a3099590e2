#!/usr/bin/env python3
"""Writes tools/drive.nmea: a made-up three-minute drive through Shenzhen at
1 Hz, as a receiver sends it (RMC, GGA, GSA each second, CR LF)."""
import math
from functools import reduce


def sentence(body):
    return "$%s*%02X\r\n" % (body, reduce(lambda a, c: a ^ ord(c), body, 0))


def dm(value, degree_digits):
    d = int(abs(value))
    return "%0*d%07.4f" % (degree_digits, d, (abs(value) - d) * 60)


def main():
    lat, lon, heading = 22.5431, 114.0579, 60.0
    out = []
    for s in range(180):
        # Straight stretches, a few bends and a stop at a light.
        speed_kmh = 0.0 if 95 <= s < 105 else 40 + 15 * math.sin(s / 17)
        heading = (heading + (12 if s % 45 in range(30, 37) else 0) + 2 * math.sin(s / 9)) % 360
        step = speed_kmh / 3.6
        lat += step * math.cos(math.radians(heading)) / 110540
        lon += step * math.sin(math.radians(heading)) / (111320 * math.cos(math.radians(lat)))
        t = "%02d%02d%02d.00" % (2 + s // 3600, s // 60 % 60, s % 60)
        out.append(sentence("GPRMC,%s,A,%s,N,%s,E,%.1f,%.1f,081226,,,A" % (
            t, dm(lat, 2), dm(lon, 3), speed_kmh / 1.852, heading)))
        out.append(sentence("GPGGA,%s,%s,N,%s,E,1,09,0.9,%.1f,M,-2.6,M,," % (t, dm(lat, 2), dm(lon, 3),
                                                                          18 + 6 * math.sin(s / 30))))
        out.append(sentence("GPGSA,A,3,02,05,09,12,15,18,21,25,29,,,,%.1f,0.9,1.4" % (1.6 + (s % 20) / 20)))
    with open("tools/drive.nmea", "w", newline="") as f:
        f.write("".join(out))


if __name__ == "__main__":
    main()
