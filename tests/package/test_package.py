"""Checks the release zip as a user gets it: what it holds, in what encodings, and that the program in it
says what it is and carries nothing of the machine that built it."""
import os
import re
import shutil
import struct
import subprocess
import zipfile
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
EXPECTED = ["Quorvane/", "Quorvane/Quorvane.exe", "Quorvane/Config.ini", "Quorvane/使用说明.txt",
            "Quorvane/LICENSE.txt", "Quorvane/THIRD-PARTY-NOTICES.txt"]


def message_parts():
    """The fixed pieces of every text in the program's one table of texts (around its {1}, {2} and line breaks)."""
    text = (ROOT / "src" / "base" / "messages.h").read_text("utf-8")
    parts = []
    for name, literal in re.findall(r'inline constexpr char (k\w+)\[\] = ("(?:[^"\\]|\\.)*");', text):
        value = literal[1:-1].replace('\\"', '"').replace("\\\\", "\\")
        parts += [(name, p) for p in re.split(r"\{[12]\}|\\n", value) if p.strip()]  # a box's lines one by one
    return parts


def crlf_only(data: bytes) -> bool:
    return data.count(b"\n") == data.count(b"\r\n") and data.count(b"\r") == data.count(b"\r\n")


def pe_timestamp(exe: bytes) -> int:
    pe = struct.unpack_from("<I", exe, 0x3C)[0]
    return struct.unpack_from("<I", exe, pe + 8)[0]


@pytest.fixture(scope="module")
def files(release_zip):
    z = zipfile.ZipFile(release_zip, metadata_encoding="gbk")
    return {i.filename: z.read(i) for i in z.infolist()}


def test_one_folder_holds_the_five_files_in_order(release_zip):
    assert [i.filename for i in zipfile.ZipFile(release_zip, metadata_encoding="gbk").infolist()] == EXPECTED


def test_config_ini_is_gbk_with_cr_lf_and_the_one_checked_key_by_key(files):
    config = files["Quorvane/Config.ini"]
    config.decode("gbk")
    assert crlf_only(config)
    assert config == (ROOT / "res" / "Config.ini").read_bytes()  # the unit tests check it against the settings table


def test_the_user_guide_is_utf8_with_bom_and_cr_lf_and_names_every_text(files):
    guide = files["Quorvane/使用说明.txt"]
    assert guide.startswith(b"\xef\xbb\xbf") and crlf_only(guide)
    text = guide[3:].decode("utf-8")
    parts = message_parts()
    assert len(parts) > 30
    assert [(name, part) for name, part in parts if part not in text] == []


def test_the_licences_are_there(files):
    notices = files["Quorvane/THIRD-PARTY-NOTICES.txt"].decode("utf-8")
    for needle in ("GCC RUNTIME LIBRARY EXCEPTION", "winpthreads", "License: ZPL-2.1", "Upstream-Name: civetweb",
                   "nlohmann", "ol 10.11.0 (npm), BSD-2-Clause", "OpenLayers Contributors", "rbush"):
        assert needle in notices
    assert len(files["Quorvane/LICENSE.txt"]) > 500


def test_the_program_says_its_version_and_holds_no_time_stamp_nor_build_path(files, release_zip, windows_build):
    exe = files["Quorvane/Quorvane.exe"]
    assert pe_timestamp(exe) == 0
    for path in (str(ROOT), str(windows_build)):
        assert path.encode() not in exe and path.encode("utf-16-le") not in exe
    text = (ROOT / "res" / "version.h").read_text()
    numbers = [re.search(r"#define QV_VERSION_%s (\d+)" % p, text).group(1) for p in ("MAJOR", "MINOR", "PATCH")]
    assert (".".join(numbers) + ".0").encode("utf-16-le") in exe
    assert release_zip.name == f"Quorvane-{'.'.join(numbers)}-win64.zip"


def test_the_manifest_declares_what_a_windows_program_needs_and_no_utf8_code_page(files):
    manifest = re.search(rb"<assembly .*?</assembly>", files["Quorvane/Quorvane.exe"], re.S).group(0).decode()
    for needle in ('level="asInvoker"', "PerMonitorV2", "<dpiAware", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a",
                   "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
                   'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"'):
        assert needle in manifest
    assert "activeCodePage" not in manifest


def test_the_map_page_is_carried_whole_and_builds_again_to_the_same_bytes(files, windows_build, tmp_path):
    exe = files["Quorvane/Quorvane.exe"]
    built = windows_build / "res" / "web"
    for name in ("index.html", "app.js", "app.css"):
        assert (built / name).read_bytes() in exe, name
    # From a copy of the sources in a folder of another name, with the same packages: the same bytes.
    copy = tmp_path / "another-checkout" / "web"
    shutil.copytree(ROOT / "web", copy, ignore=shutil.ignore_patterns("node_modules", "dist"))
    (copy / "node_modules").symlink_to(ROOT / "web" / "node_modules")
    subprocess.run(["node", str(copy / "build.mjs"), str(tmp_path / "out")], check=True)
    for name in ("index.html", "app.js", "app.css", "notices.txt"):
        assert (tmp_path / "out" / name).read_bytes() == (built / name).read_bytes(), name
    assert str(ROOT).encode() not in (built / "app.js").read_bytes()


@pytest.mark.skipif(os.environ.get("QV_SLOW") != "1", reason="two whole package builds: QV_SLOW=1")
def test_two_clean_clones_package_to_the_same_bytes():
    r = subprocess.run([str(ROOT / "tests" / "package" / "reproducible.sh")], stdout=subprocess.PIPE, text=True)
    print(r.stdout)
    assert "PASS two clean clones package to the same zip" in r.stdout
