#!/usr/bin/env python3
"""Puts the release zip together, byte for byte the same for the same commit:

    Quorvane/Quorvane.exe               the program
    Quorvane/Config.ini                 the settings, annotated in Chinese (GBK, CR LF)
    Quorvane/使用说明.txt               the user guide (UTF-8 with BOM, CR LF)
    Quorvane/LICENSE.txt                Quorvane's licence
    Quorvane/THIRD-PARTY-NOTICES.txt    the licences of the runtime linked into the program

Entries go in this order, dated with the commit's time, with fixed attributes. Names are written in
code page 936, as Windows' own zip folders on a Chinese Windows read them, and again in UTF-8 in the
Info-ZIP Unicode path field that other unpackers read."""
import argparse
import hashlib
import re
import struct
import subprocess
import sys
import time
import zlib
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
FOLDER = "Quorvane/"

# The runtime linked statically into Quorvane.exe, and the Debian package whose copyright file holds its licence.
NOTICES = [
    ("the mingw-w64 runtime and winpthreads (POSIX threads for Windows)", "mingw-w64-x86-64-dev"),
    ("libgcc and libstdc++, under the GCC Runtime Library Exception", "gcc-mingw-w64-x86-64-posix-runtime"),
]


def version():
    text = (ROOT / "res" / "version.h").read_text()
    parts = [re.search(r"#define QV_VERSION_%s (\d+)" % p, text).group(1) for p in ("MAJOR", "MINOR", "PATCH")]
    return ".".join(parts)


def commit_time():
    out = subprocess.run(["git", "log", "-1", "--format=%ct"], cwd=ROOT, capture_output=True, text=True)
    return int(out.stdout.strip()) if out.returncode == 0 and out.stdout.strip() else 315532800  # 1980-01-01


def crlf(data: bytes) -> bytes:
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def third_party_notices() -> bytes:
    head = ("Third-party notices for Quorvane\n"
            "================================\n\n"
            "Quorvane.exe is linked statically with the following runtime libraries of the GNU toolchain for\n"
            "Windows (mingw-w64). Their licences follow, as the Debian packages they were built from give them.\n\n")
    body = ""
    for what, package in NOTICES:
        head += f"  - {what} (Debian package {package})\n"
        copyright = Path("/usr/share/doc") / package / "copyright"
        if not copyright.exists():
            sys.exit(f"package: {copyright} is missing; run tools/setup")
        body += "\n\n" + "=" * 78 + f"\n{what}\nDebian package {package}: {copyright}\n" + "=" * 78 + "\n\n"
        body += copyright.read_text("utf-8")
    return crlf((head + body).encode("utf-8"))


def dos_time(seconds):
    t = time.gmtime(max(seconds, 315532800))
    return ((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec // 2),
            ((t.tm_year - 1980) << 9) | (t.tm_mon << 5) | t.tm_mday)


def write_zip(path: Path, entries, when):
    """entries: (name, bytes or None for a folder). Deflated with a fixed level, stored in the order given."""
    dtime, ddate = dos_time(when)
    out, central = bytearray(), bytearray()
    for name, data in entries:
        local_name = name.encode("gbk")
        utf8 = name.encode("utf-8")
        extra = b""
        if local_name != utf8:  # Info-ZIP Unicode Path: version 1, CRC of the stored name, the UTF-8 name
            field = struct.pack("<BI", 1, zlib.crc32(local_name)) + utf8
            extra = struct.pack("<HH", 0x7075, len(field)) + field
        folder = data is None
        data = data or b""
        crc = zlib.crc32(data)
        if folder:
            method, packed = 0, b""
        else:
            compressor = zlib.compressobj(9, zlib.DEFLATED, -15, 9)
            method, packed = 8, compressor.compress(data) + compressor.flush()
        attributes = 0x10 if folder else 0x20  # MS-DOS: directory, archive
        offset = len(out)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, method, dtime, ddate, crc, len(packed), len(data),
                           len(local_name), len(extra)) + local_name + extra + packed
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, method, dtime, ddate, crc, len(packed),
                               len(data), len(local_name), len(extra), 0, 0, 0, attributes, offset)
        central += local_name + extra
    start = len(out)
    out += central
    out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(central), start, 0)
    path.write_bytes(bytes(out))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True, help="the Windows release build's Quorvane.exe")
    parser.add_argument("--out", default="dist")
    args = parser.parse_args()
    exe = Path(args.exe).read_bytes()
    entries = [
        (FOLDER, None),
        (FOLDER + "Quorvane.exe", exe),
        (FOLDER + "Config.ini", (ROOT / "res" / "Config.ini").read_bytes()),
        (FOLDER + "使用说明.txt", (ROOT / "res" / "使用说明.txt").read_bytes()),
        (FOLDER + "LICENSE.txt", crlf((ROOT / "LICENSE.txt").read_bytes())),
        (FOLDER + "THIRD-PARTY-NOTICES.txt", third_party_notices()),
    ]
    out = Path(args.out)
    if not out.is_absolute():
        out = ROOT / out
    out.mkdir(parents=True, exist_ok=True)
    zip_path = out / f"Quorvane-{version()}-win64.zip"
    write_zip(zip_path, entries, commit_time())
    digest = hashlib.sha256(zip_path.read_bytes()).hexdigest()
    print(f"{zip_path}: {zip_path.stat().st_size} bytes")
    print(f"SHA-256 {digest}")


if __name__ == "__main__":
    main()
