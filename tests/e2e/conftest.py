"""The fixtures of the tests under Wine: one Wine prefix and X display for the session (one per pytest-xdist
worker, so workers never share a stand-in or a COM port), and for a test of its own a fresh stand-in Earth
and virtual serial cables."""
import os
from pathlib import Path

import pytest

from harness import Wine


@pytest.fixture(scope="session")
def wine(request, windows_build):
    work = Path(request.config.getoption("--work")).resolve()
    worker = os.environ.get("PYTEST_XDIST_WORKER")
    if worker:
        work = work / worker
    w = Wine(windows_build, work)
    w.start()
    yield w
    w.stop()


@pytest.fixture(autouse=True)
def nothing_left_running(wine, request):
    """A test that failed half-way, or a Google Earth started by a reconnection just before the program was
    killed, must not meet the next test: what is left running is killed, and with a stand-in Wine's rpcss,
    which would otherwise send the next activation to the dead server."""
    yield
    left = {name: wine.kill(name) for name in ("Quorvane.exe", "EarthStandIn.exe")}
    if left["EarthStandIn.exe"]:
        wine.kill("rpcss.exe")
    if any(left.values()):
        with open(wine.work / "left-running.txt", "a") as report:  # pytest-xdist swallows a worker's stderr
            print(f"{request.node.nodeid}: killed {left}", file=report)


@pytest.fixture
def standin(wine):
    """A fresh stand-in Earth registered under Google Earth's class ids; its journal's path. Closed afterwards."""
    journal = wine.install_standin()
    yield journal
    wine.stop_standin()


@pytest.fixture
def serial(wine):
    """serial(n, announce=False): a virtual serial cable on COMn; every cable made is pulled out afterwards."""
    made = []

    def make(number, announce=False):
        made.append(wine.serial_port(number, announce))
        return made[-1]
    yield make
    for pair in made:
        pair.close()


@pytest.fixture
def programs(wine):
    """run(exe): starts a program of the prefix; every one started is ended afterwards."""
    from harness import kill
    started = []

    def run(exe):
        started.append(wine.launch(exe))
        return started[-1]
    yield run
    for process in started:
        kill(process)
