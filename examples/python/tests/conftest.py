"""The terminal emulator (p17-emulator) on an ephemeral 127.0.0.1 port, one per test that asks for it.

ZRPA_EMULATOR names the emulator program and ZRPA_LIBRARY the library; by default both come from the
repository's build/linux/bin.
"""
import os
import pathlib
import re
import subprocess
import sys

import pytest

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent))
BUILD = HERE.parents[2] / "build" / "linux" / "bin"
os.environ.setdefault("ZRPA_LIBRARY", str(BUILD / "libZRPA_RIVEVEDEV17_10.so.1"))
EMULATOR = os.environ.get("ZRPA_EMULATOR", str(BUILD / "p17-emulator"))


class Emulator:
    def __init__(self, *options):
        self.process = subprocess.Popen([EMULATOR, "--tcp", "0", *options], stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT, text=True)
        first = self.process.stdout.readline()  # "terminal ... listening on 127.0.0.1:PORT"
        found = re.search(r"listening on (127\.0\.0\.1:\d+)", first)
        if not found:
            self.stop()
            raise RuntimeError(f"the emulator did not start: {first!r}")
        self.address = found.group(1)

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()


@pytest.fixture
def emulator():
    """Starts an emulator with the given options; every one started is stopped after the test."""
    started = []

    def start(*options):
        started.append(Emulator(*options))
        return started[-1].address

    yield start
    for e in started:
        e.stop()


@pytest.fixture(autouse=True)
def _logs_in_tmp(tmp_path, monkeypatch):
    # The library writes its logs beside the executable or in its fallback folder: keep them out of the tree.
    monkeypatch.setenv("ZRPA_LOG_DIR", str(tmp_path / "logs"))
