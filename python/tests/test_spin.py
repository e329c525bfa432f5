"""Stepped spins: the table stands at each shot, early exits end the spin."""

import time

import pytest

import vorandel_turntable as vt


def test_each_shot_comes_with_the_table_at_rest_on_its_angle(table, bench):
    seen = []
    start = time.monotonic()
    for shot in table.spin(shots=8, settle=0.05, shutter=True):
        seen.append((shot.number, shot.angle, bench.position(), table.position, table.moving,
                     bench.shots()))
    elapsed = time.monotonic() - start
    assert seen == [(k, 45.0 * k, 50 * k, 45.0 * k % 360, False, k) for k in range(1, 9)]
    # Eight settle times and eight shutter releases of about a second at the least.
    assert elapsed >= 8 * 0.05 + 8 * 1.0
    assert table.position == 0.0 and bench.still_after(0.2)


def test_leaving_the_loop_early_ends_the_spin_at_rest(table, bench):
    for shot in table.spin(shots=8, settle=0):
        if shot.number == 3:
            break
    assert bench.position() == 150 and table.position == 135.0
    assert bench.still_after(0.3)
    table.rotate(degrees=45)  # the table is free for the next move
    assert bench.position() == 200 and table.position == 180.0


def test_an_exception_in_the_loop_ends_the_spin(table, bench):
    with pytest.raises(RuntimeError):
        for shot in table.spin(shots=4, settle=0):
            if shot.number == 2:
                raise RuntimeError("camera failed")
    assert bench.position() == 200 and bench.still_after(0.3)


def test_resumed_spin_ends_where_an_unbroken_one_would(bench):
    bench.attach("Cobalt Medium,counts=397")  # steps that do not divide evenly
    with vt.open(counts_per_revolution=397, speed=0) as table:
        for shot in table.spin(shots=7, settle=0):
            if shot.number == 3:
                break
        stopped = bench.position()
        resumed = [s.number for s in table.spin(shots=7, settle=0, from_shot=4, table_at=3)]
    assert resumed == [4, 5, 6, 7]
    assert stopped == 170  # 3/7 of 397 counts, rounded
    assert bench.position() == 397


def test_counterclockwise_spin_and_plan_refusals(table, bench):
    angles = [s.angle for s in table.spin(shots=4, settle=0, counterclockwise=True)]
    assert angles == [-90.0, -180.0, -270.0, -360.0]
    assert bench.position() == -400 and table.position == 0.0
    with pytest.raises(ValueError, match="from_shot 5"):
        table.spin(shots=4, from_shot=5)
    with pytest.raises(ValueError, match="table_at cannot lie beyond"):
        table.spin(shots=4, from_shot=2, table_at=3)
    with pytest.raises(ValueError, match="less than one count"):
        table.spin(shots=401)
