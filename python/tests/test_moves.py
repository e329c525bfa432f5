"""Each form of move against the board's own step count."""

import threading
import time

import pytest

import vorandel_turntable as vt
from conftest import FAST_COUNTS


def assert_stopped_part_way(table, bench):
    """A move cut short: at rest, booked where the board stopped."""
    assert not table.moving and table.last_move_outcome is vt.MoveOutcome.STOPPED
    assert 0 < bench.position() < FAST_COUNTS
    assert table.position == pytest.approx(bench.degrees())
    assert bench.still_after(0.2)


def test_degrees_counts_and_to_end_where_the_board_stands(table, bench):
    table.rotate(degrees=90)
    assert bench.position() == 100 and table.position == 90.0
    assert table.last_move_outcome is vt.MoveOutcome.COMPLETED
    table.rotate(counts=-30)
    assert bench.position() == 70
    assert table.position == pytest.approx(bench.degrees())
    table.rotate(to=180)  # clockwise to 180 from the origin
    assert bench.position() == 200 and table.position == 180.0
    table.rotate(to=-90)  # counter-clockwise: three quarters of a turn back
    assert bench.position() == -100 and table.position == -90.0
    table.rotate(degrees=0.5)  # rounded to whole counts: 0.9 degrees a count
    assert bench.position() == -99
    assert table.position == pytest.approx(bench.degrees())
    assert not table.moving and bench.still_after(0.1)


def test_position_stays_within_a_turn_of_the_origin(table, bench):
    table.rotate(counts=350)
    table.rotate(counts=150)  # past a whole turn
    assert bench.position() == 500
    assert table.position == pytest.approx(bench.degrees() - 360.0)
    table.set_origin()
    assert table.position == 0.0
    table.rotate(counts=-20)
    assert table.position == pytest.approx(-18.0)


def test_wait_false_then_wait_and_stop(table, bench):
    table.rotate(counts=200, wait=False)
    assert table.moving
    assert table.wait() is True
    assert bench.position() == 200 and table.position == 180.0

    table.speed = 5  # about 6 ms a count: 400 counts take seconds
    table.rotate(counts=400, wait=False)
    assert table.wait(timeout=0.05) is False and table.moving
    table.stop()
    assert not table.moving and table.last_move_outcome is vt.MoveOutcome.STOPPED
    stopped_at = bench.position()
    assert 200 <= stopped_at < 600
    # Where the board stopped, not where the move would have ended.
    assert table.position == pytest.approx(bench.degrees())
    assert bench.still_after(0.2)


def test_continuous_turns_for_its_timeout_then_stops(table, bench):
    start = time.monotonic()
    table.rotate(continuous=True, timeout=0.3)
    assert time.monotonic() - start >= 0.3
    assert_stopped_part_way(table, bench)


def test_timeout_stops_a_move_that_runs_longer(table, bench):
    table.speed = 5
    with pytest.raises(vt.MoveTimeout, match="did not end within") as raised:
        table.rotate(counts=FAST_COUNTS, timeout=0.5)
    assert isinstance(raised.value, TimeoutError)
    assert_stopped_part_way(table, bench)


def test_other_python_threads_run_while_a_move_blocks(table, bench):
    table.speed = 2
    ticks = []
    done = threading.Event()

    def count():
        while not done.is_set():
            ticks.append(bench.position())
            time.sleep(0.005)

    counter = threading.Thread(target=count)
    counter.start()
    try:
        table.rotate(counts=200)  # about 0.6 s
    finally:
        done.set()
        counter.join()
    # The other thread saw the board between the start and the end of the move.
    assert any(0 < p < 200 for p in ticks)


def test_a_stop_from_another_thread_ends_a_blocking_move(table, bench):
    table.speed = 5
    bench.when_turning(table.stop)
    table.rotate(counts=FAST_COUNTS)  # returns once the other thread stopped it
    assert_stopped_part_way(table, bench)


def test_move_refusals(table, bench):
    with pytest.raises(ValueError, match="exactly one"):
        table.rotate(degrees=10, counts=5)
    with pytest.raises(ValueError, match="exactly one"):
        table.rotate()
    with pytest.raises(ValueError, match="counts=0 is no move"):
        table.rotate(counts=0)
    with pytest.raises(ValueError, match="less than half a count"):
        table.rotate(degrees=0.3)
    with pytest.raises(ValueError, match="finite"):
        table.rotate(degrees=float("nan"))
    table.speed = 5
    table.rotate(counts=300, wait=False)
    with pytest.raises(vt.MoveRefusedError, match="a move is under way"):
        table.rotate(counts=10)
    with pytest.raises(vt.MoveRefusedError, match="while the table turns"):
        table.shutter()
    table.stop()
    assert bench.position() < 300


def test_shutter_and_the_classic(bench):
    with vt.open(counts_per_revolution=FAST_COUNTS) as table:
        table.shutter()
        assert bench.shots() == 1
    bench.attach("classic,count-time=1")
    with vt.open() as classic:
        assert not classic.can_turn_counterclockwise
        with pytest.raises(vt.MoveRefusedError, match="turns clockwise only"):
            classic.rotate(degrees=-10)
        with pytest.raises(vt.MoveRefusedError, match="no camera lines"):
            classic.shutter()
        classic.rotate(counts=5)
        assert bench.dc_counts() == 5


def test_a_move_the_board_never_ends_raises_move_failed(bench):
    # A minute a count: the Classic's board shows its run going on past the
    # half minute the plug-in watches a run for.
    bench.attach("classic,count-time=60000")
    with vt.open() as classic:
        start = time.monotonic()
        with pytest.raises(vt.MoveFailedError, match="the turntable did not respond"):
            classic.rotate(counts=1)
        assert time.monotonic() - start >= 30
        assert classic.last_move_outcome is vt.MoveOutcome.FAILED
        assert not classic.moving
        classic.rotate(counts=1, wait=False)
        classic.stop()  # a stop is not a failure
        assert classic.last_move_outcome is vt.MoveOutcome.STOPPED
