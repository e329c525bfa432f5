"""Shared fixtures: the simulated bench behind the plug-in, seen through the
simulator's C interface in the libftd2xx.so the module loaded."""

import ctypes
import os
import subprocess
import sys
import threading
import time

import pytest

import vorandel_turntable as vt

# A small stepper table so that moves take a fraction of a second: 400
# counts a turn, pulses as short as the board takes.
FAST_COBALT = "Cobalt Medium,counts=400"
FAST_COUNTS = 400


class Bench:
    """The simulated tables and what their boards counted."""

    def __init__(self):
        vt.catalogue()  # loads the plug-in, and with it the simulator
        self._lib = ctypes.CDLL("libftd2xx.so", mode=os.RTLD_NOLOAD | os.RTLD_LAZY)
        assert self._lib.ftsim_is_simulator() == 1
        self._lib.ftsim_stepper_position.restype = ctypes.c_longlong
        self._lib.ftsim_stepper_pulses.restype = ctypes.c_ulonglong
        self._lib.ftsim_dc_counts.restype = ctypes.c_ulonglong

    def attach(self, tables):
        """Empties the bench and attaches the tables of an FTSIM_DEVICES value."""
        error = ctypes.create_string_buffer(400)
        count = self._lib.ftsim_configure(tables.encode(), error, len(error))
        assert count >= 0, error.value.decode()

    def position(self, device=0):
        """Net steps of the stepper board, clockwise positive."""
        return self._lib.ftsim_stepper_position(device)

    def degrees(self, device=0, counts=FAST_COUNTS):
        """The board's net steps as degrees, clockwise positive."""
        return self.position(device) * 360.0 / counts

    def pulses(self, device=0):
        return self._lib.ftsim_stepper_pulses(device)

    def shots(self, device=0):
        return self._lib.ftsim_shots(device)

    def dc_counts(self, device=0):
        return self._lib.ftsim_dc_counts(device)

    def when_turning(self, action):
        """Runs `action` on another thread once the board has taken a step."""
        start = self.pulses()

        def watch():
            deadline = time.monotonic() + 60
            while self.pulses() == start and time.monotonic() < deadline:
                time.sleep(0.002)
            time.sleep(0.05)
            action()

        watcher = threading.Thread(target=watch, daemon=True)
        watcher.start()
        return watcher

    def still_after(self, seconds=0.3):
        """True when the board takes no step for `seconds`."""
        before = self.pulses()
        time.sleep(seconds)
        return self.pulses() == before


@pytest.fixture
def bench():
    b = Bench()
    b.attach(FAST_COBALT)
    return b


@pytest.fixture
def table(bench):
    with vt.open(counts_per_revolution=FAST_COUNTS, speed=0) as t:
        yield t


def run_python(code, env_extra, timeout=120):
    """Runs `code` in a fresh interpreter (this one) with `env_extra` added to
    the environment: for what is read once a process, like FTSIM_DEVICES and
    the D2XX library."""
    env = dict(os.environ)
    env.update(env_extra)
    return subprocess.run([sys.executable, "-c", code], env=env, capture_output=True,
                          text=True, timeout=timeout)
