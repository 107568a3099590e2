#!/usr/bin/env python3
"""Checks the release zip as a user gets it: what it holds, in what encodings, and that the program in it
says what it is and carries nothing of the machine that built it."""
import re
import struct
import sys
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
EXPECTED = ["Quorvane/", "Quorvane/Quorvane.exe", "Quorvane/Config.ini", "Quorvane/使用说明.txt",
            "Quorvane/LICENSE.txt", "Quorvane/THIRD-PARTY-NOTICES.txt"]


def message_parts():
    """The fixed pieces of every text in the program's one table of texts (around its {1} and {2})."""
    text = (ROOT / "src" / "app" / "messages.h").read_text("utf-8")
    parts = []
    for name, literal in re.findall(r'inline constexpr char (k\w+)\[\] = ("(?:[^"\\]|\\.)*");', text):
        value = literal[1:-1].replace('\\"', '"').replace("\\\\", "\\")
        parts += [(name, p) for p in re.split(r"\{[12]\}", value) if p.strip()]
    return parts


def crlf_only(data: bytes) -> bool:
    return data.count(b"\n") == data.count(b"\r\n") and data.count(b"\r") == data.count(b"\r\n")


def pe_timestamp(exe: bytes) -> int:
    pe = struct.unpack_from("<I", exe, 0x3C)[0]
    return struct.unpack_from("<I", exe, pe + 8)[0]


def checks(zip_path: Path, build_paths):
    z = zipfile.ZipFile(zip_path, metadata_encoding="gbk")
    names = [i.filename for i in z.infolist()]
    yield "the zip holds one folder Quorvane/ with the five files, in order", names == EXPECTED, names
    files = {n: z.read(n) for n in names if not n.endswith("/")}

    config = files["Quorvane/Config.ini"]
    try:
        config.decode("gbk")
        gbk = True
    except UnicodeDecodeError:
        gbk = False
    yield "Config.ini decodes as GBK", gbk, None
    yield "Config.ini has CR LF line ends only", crlf_only(config), None
    yield "Config.ini is the one the unit tests check key by key", config == (ROOT / "res" / "Config.ini").read_bytes(), None

    guide = files["Quorvane/使用说明.txt"]
    yield "the user guide starts with a UTF-8 BOM", guide.startswith(b"\xef\xbb\xbf"), None
    yield "the user guide has CR LF line ends only", crlf_only(guide), None
    text = guide[3:].decode("utf-8")
    missing = [(name, part) for name, part in message_parts() if part not in text]
    yield f"the user guide names every one of the program's {len(message_parts())} texts", not missing, missing

    notices = files["Quorvane/THIRD-PARTY-NOTICES.txt"].decode("utf-8")
    for needle in ("GCC RUNTIME LIBRARY EXCEPTION", "winpthreads", "License: ZPL-2.1"):
        yield f"the notices hold {needle!r}", needle in notices, None
    yield "LICENSE.txt is there", len(files["Quorvane/LICENSE.txt"]) > 500, None

    exe = files["Quorvane/Quorvane.exe"]
    yield "the program has no time stamp", pe_timestamp(exe) == 0, pe_timestamp(exe)
    found = [p for p in build_paths if p.encode() in exe or p.encode("utf-16-le") in exe]
    yield "no build path in the program", not found, found
    version = re.search(r"#define QV_VERSION_MAJOR (\d+)\s+#define QV_VERSION_MINOR (\d+)\s+#define QV_VERSION_PATCH (\d+)",
                        (ROOT / "res" / "version.h").read_text())
    text_version = ".".join(version.groups()) + ".0"
    yield f"the version resource says {text_version}", text_version.encode("utf-16-le") in exe, None
    yield f"the zip is named after it", zip_path.name == f"Quorvane-{'.'.join(version.groups())}-win64.zip", None
    manifest = re.search(rb"<assembly .*?</assembly>", exe, re.S)
    manifest = manifest.group(0).decode() if manifest else ""
    for what, needle in (("asInvoker", 'level="asInvoker"'), ("per-monitor v2", "PerMonitorV2"),
                         ("system-aware fallback", "<dpiAware"), ("Windows 10 and 11", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"),
                         ("Windows 7", "35138b9a-5d96-4fbd-8e2d-a2440225f93a"),
                         ("common controls 6", 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"')):
        yield f"the manifest declares {what}", needle in manifest, None
    yield "the manifest sets no UTF-8 code page", "activeCodePage" not in manifest, None


def main():
    zip_path = Path(sys.argv[1])
    build_paths = sys.argv[2:]
    passed = failed = 0
    for what, ok, detail in checks(zip_path, build_paths):
        if ok:
            passed += 1
            print(f"PASS {what}")
        else:
            failed += 1
            print(f"FAIL {what}" + (f": {detail!r}" if detail is not None else ""))
    print(f"package: {passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
