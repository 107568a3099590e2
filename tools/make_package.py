#!/usr/bin/env python3
"""Puts the release zip together, byte for byte the same for the same commit:

    Quorvane/Quorvane.exe               the program
    Quorvane/Config.ini                 the settings, annotated in Chinese (GBK, CR LF)
    Quorvane/使用说明.txt               the user guide (UTF-8 with BOM, CR LF)
    Quorvane/LICENSE.txt                Quorvane's licence
    Quorvane/THIRD-PARTY-NOTICES.txt    the licences of everything built into the program: the runtime,
                                        CivetWeb, nlohmann/json and the map page's npm packages

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


# Built into Quorvane.exe from source, and the file that holds each one's licence.
SOURCES = [
    ("CivetWeb 1.15, the map page's HTTP server (Debian source package civetweb 1.15+dfsg)",
     ROOT / "deps" / "civetweb" / "debian" / "copyright"),
    ("nlohmann/json, the map page's event writer (Debian package nlohmann-json3-dev)",
     Path("/usr/share/doc/nlohmann-json3-dev/copyright")),
]


def third_party_notices(web_notices: Path) -> bytes:
    head = ("Third-party notices for Quorvane\n"
            "================================\n\n"
            "Quorvane.exe is linked statically with the following runtime libraries of the GNU toolchain for\n"
            "Windows (mingw-w64), is built with the following libraries' sources, and carries the map page, whose\n"
            "script bundles the following npm packages. Their licences follow, as Debian and npm give them.\n\n")
    body = ""
    parts = [(what, f"Debian package {package}", Path("/usr/share/doc") / package / "copyright")
             for what, package in NOTICES]
    parts += [(what, str(path.relative_to(ROOT)) if path.is_relative_to(ROOT) else str(path), path)
              for what, path in SOURCES]
    for what, where, path in parts:
        head += f"  - {what}\n"
        if not path.exists():
            sys.exit(f"package: {path} is missing; run tools/setup")
        body += "\n\n" + "=" * 78 + f"\n{what}\n{where}\n" + "=" * 78 + "\n\n"
        body += path.read_text("utf-8")
    if not web_notices.exists():
        sys.exit(f"package: {web_notices} is missing; build the Windows program first")
    head += "  - the map page's npm packages, each named with its version below\n"
    body += "\n\n" + "=" * 78 + "\nThe map page's npm packages (bundled into Quorvane.exe by esbuild)\n" + "=" * 78
    body += "\n\n" + web_notices.read_text("utf-8")
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
        (FOLDER + "THIRD-PARTY-NOTICES.txt", third_party_notices(Path(args.exe).parent / "res" / "web" / "notices.txt")),
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
