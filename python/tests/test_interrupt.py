"""Ctrl-C during a blocking call stops the table before KeyboardInterrupt
reaches the caller."""

import _thread
import os
import signal
import time

import pytest

import vorandel_turntable as vt


def test_keyboard_interrupt_during_a_move_stops_the_table(table, bench):
    table.speed = 5  # 400 counts take seconds
    bench.when_turning(_thread.interrupt_main)
    start = time.monotonic()
    with pytest.raises(KeyboardInterrupt):
        table.rotate(counts=400)
    assert time.monotonic() - start < 2  # the move alone takes at least 2.4 s
    assert not table.moving and table.last_move_outcome is vt.MoveOutcome.STOPPED
    assert 0 < bench.position() < 400
    assert bench.still_after(0.3)
    # Where the board stopped, as the plug-in booked it.
    assert table.position == pytest.approx(bench.degrees())


def test_sigint_during_a_continuous_move_stops_the_table(table, bench):
    bench.when_turning(lambda: os.kill(os.getpid(), signal.SIGINT))
    with pytest.raises(KeyboardInterrupt):
        table.rotate(continuous=True)
    assert not table.moving
    assert bench.position() > 0 and bench.still_after(0.3)
    assert table.position == pytest.approx(bench.degrees() % 360.0)


def test_keyboard_interrupt_during_a_spin_ends_it(table, bench):
    table.speed = 5
    bench.when_turning(_thread.interrupt_main)
    numbers = []
    with pytest.raises(KeyboardInterrupt):
        for shot in table.spin(shots=2, settle=0):
            numbers.append(shot.number)
    assert numbers == []  # interrupted on the way to the first shot
    assert 0 < bench.position() < 200
    assert bench.still_after(0.3)
    assert table.position == pytest.approx(bench.degrees())
    table.rotate(counts=1)  # the spin is over: the table moves again
