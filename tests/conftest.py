"""Where the builds are, for every Python test: ./tools/test passes them; a developer gets the defaults."""
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[1]


def pytest_addoption(parser):
    parser.addoption("--native", default=str(ROOT / "build" / "native"), help="the native build folder")
    parser.addoption("--windows", default=str(ROOT / "build" / "windows"), help="the Windows build folder")
    parser.addoption("--work", default=str(ROOT / "build" / "wine"), help="a scratch folder for the Wine prefixes")


@pytest.fixture(scope="session")
def native_build(request) -> Path:
    return Path(request.config.getoption("--native")).resolve()


@pytest.fixture(scope="session")
def windows_build(request) -> Path:
    return Path(request.config.getoption("--windows")).resolve()


@pytest.fixture(scope="session")
def release_zip(windows_build, tmp_path_factory) -> Path:
    """The release zip: the one ./tools/test made (QV_PACKAGE), or one made now from the Windows build."""
    import os
    import subprocess
    given = os.environ.get("QV_PACKAGE")
    if given:
        return Path(given)
    out = tmp_path_factory.mktemp("dist")
    subprocess.run(["python3", str(ROOT / "tools" / "make_package.py"), "--exe", str(windows_build / "Quorvane.exe"),
                    "--out", str(out)], check=True, stdout=subprocess.DEVNULL)
    return next(out.glob("Quorvane-*-win64.zip"))
