"""The asyncio forms: the event loop runs while the table turns."""

import asyncio

import pytest

import vorandel_turntable as vt


async def ticking(coroutine):
    ticks = 0
    task = asyncio.ensure_future(coroutine)
    while not task.done():
        ticks += 1
        await asyncio.sleep(0.005)
    await task
    return ticks


def test_rotate_async_lets_the_loop_run(table, bench):
    table.speed = 1
    ticks = asyncio.run(ticking(table.rotate_async(degrees=90)))
    assert bench.position() == 100 and table.position == 90.0
    assert ticks > 5


def test_cancelling_the_task_stops_the_table(table, bench):
    table.speed = 5

    async def main():
        task = asyncio.ensure_future(table.rotate_async(counts=400))
        await asyncio.sleep(0.3)
        task.cancel()
        with pytest.raises(asyncio.CancelledError):
            await task

    asyncio.run(main())
    assert not table.moving and 0 < bench.position() < 400
    assert bench.still_after(0.3)
    assert table.last_move_outcome is vt.MoveOutcome.STOPPED
    assert table.position == pytest.approx(bench.degrees())


def test_timeout_and_wait_async(table, bench):
    table.speed = 5

    async def main():
        with pytest.raises(vt.MoveTimeout):
            await table.rotate_async(counts=400, timeout=0.2)
        table.speed = 0
        table.rotate(counts=100, wait=False)
        return await table.wait_async()

    assert asyncio.run(main()) is True
    assert not table.moving and bench.still_after(0.1)


def test_spin_async_yields_each_shot_at_rest(table, bench):
    async def main():
        return [(s.number, bench.position(), table.moving)
                async for s in table.spin_async(shots=4, settle=0.01)]

    assert asyncio.run(main()) == [(1, 100, False), (2, 200, False), (3, 300, False),
                                   (4, 400, False)]
