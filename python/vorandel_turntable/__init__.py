"""Drive a Vorandel turntable from Python.

The package loads the turntable plug-in exactly as a host application does
and uses only the host's view of it::

    import vorandel_turntable as vt

    print(vt.tables())
    with vt.open(serial="VT1003") as table:  # or index=, or the first identified table
        table.rotate(degrees=90)
        for shot in table.spin(shots=24, settle=0.3):
            print(shot.number, shot.angle)

The D2XX library behind the plug-in is chosen once a process, by the first
call that loads it: the ``d2xx`` keyword ("simulator", "libftdi1" or the path
of a libftd2xx.so), else the environment variable VORANDEL_TURNTABLE_D2XX,
else the libftd2xx.so the system finds, or the simulator installed with the
package where there is none. On the simulator the tables come from
FTSIM_DEVICES.

Blocking calls release the GIL while the plug-in works, and Ctrl-C
(KeyboardInterrupt) during one stops the table before it propagates.
"""

import asyncio as _asyncio
import atexit as _atexit
import enum as _enum
import re as _re
import time as _time
from typing import Iterator, List, NamedTuple, Optional, Union

from . import _vorandel_turntable as _core
from ._vorandel_turntable import (
    MoveFailedError,
    MoveRefusedError,
    MoveTimeout,
    NoTableError,
    OpenError,
    TableInfo,
    TurntableError,
)

for _name in ("MoveFailedError", "MoveRefusedError", "MoveTimeout", "NoTableError", "OpenError", "TableInfo",
              "TurntableError"):
    getattr(_core, _name).__module__ = __name__

__all__ = [
    "MoveFailedError",
    "MoveOutcome",
    "MoveRefusedError",
    "MoveTimeout",
    "NoTableError",
    "OpenError",
    "Shot",
    "Table",
    "TableInfo",
    "TurntableError",
    "catalogue",
    "open",
    "tables",
]

# How often the asyncio forms look at the table.
_POLL_SECONDS = 0.01


class Shot(NamedTuple):
    """One stop of a spin: its number in the plan (1 to N) and its angle in
    degrees from where the spin started (negative counter-clockwise)."""

    number: int
    angle: float


class MoveOutcome(_enum.Enum):
    """How the last move of an open table ended, as the plug-in booked it."""

    NO_MOVE_YET = 0
    """No move has ended since the table was opened (or the first one runs)."""
    COMPLETED = 1
    """It ran its whole count."""
    STOPPED = 2
    """A stop, a timeout, Ctrl-C or a cancelled task cut it short, or it was continuous."""
    FAILED = 3
    """The board did not respond: the move never started or never ended a run."""


def tables(d2xx: Optional[str] = None) -> List[TableInfo]:
    """Every attached turntable, in the order open(index=) takes them, each
    with its list ``index`` and chip ``serial``.

    An identified table is listed with its model's name and catalogue row; a
    table without identity record with name and row None. A table that
    cannot be opened now is listed with ``openable`` False and the reason in
    ``problem`` (its model unknown); so is the table this process holds
    open, with the model read when it was opened. Empty when none is found.
    """
    return _core._tables(d2xx)


def catalogue(d2xx: Optional[str] = None) -> List[str]:
    """The plug-in's model names in catalogue row order."""
    return _core._catalogue(d2xx)


def _simplified(name: str) -> str:
    name = _re.sub(r"\(.*?\)", "", name.lower())
    name = _re.sub(r"[^a-z0-9]", "", name)
    return name[len("vorandel"):] if name.startswith("vorandel") else name


def _model_row(model: Union[None, int, str], d2xx: Optional[str]) -> Optional[int]:
    if model is None:
        return None
    if isinstance(model, bool) or not isinstance(model, (int, str)):
        raise TypeError("model is a catalogue row (int) or a model name (str)")
    if isinstance(model, int):
        if model < 0:
            raise ValueError(f"model {model} is not a model row")
        return model
    names = catalogue(d2xx)
    wanted = _simplified(model)
    for row, name in enumerate(names):
        if _simplified(name) == wanted:
            return row
    raise ValueError(f"no model is named {model!r}: the catalogue names " + ", ".join(names))


class Table(_core._Table):
    """An open turntable. Use it as a context manager: it closes on leaving
    the ``with`` block, also on an exception, stopping a move under way."""

    def __init__(self, model: Union[None, int, str] = None, index: Optional[int] = None,
                 d2xx: Optional[str] = None,
                 counts_per_revolution: Optional[int] = None,
                 speed: Optional[int] = None, serial: Optional[str] = None) -> None:
        if index is not None and serial is not None:
            raise ValueError("open takes index= or serial=, not both")
        if index is not None and index < 0:
            raise ValueError("index must not be negative")
        super().__init__(_model_row(model, d2xx), index, serial, d2xx)
        try:
            if counts_per_revolution is not None:
                self.counts_per_revolution = counts_per_revolution
            if speed is not None:
                self.speed = speed
        except BaseException:
            self.close()
            raise

    def __enter__(self) -> "Table":
        return self

    def __exit__(self, *exc_info) -> None:
        self.close()

    def __repr__(self) -> str:
        state = "closed" if self.closed else f"position={self.position!r}"
        return f"<vorandel_turntable.Table {self.name!r} serial={self.serial!r} {state}>"

    @property
    def serial(self) -> str:
        """The chip's serial number (open(serial=) opens this table again)."""
        return self.info.serial

    @property
    def position(self) -> float:
        """Where the table stands, in degrees from the origin, clockwise
        positive, between -360 and 360 (-90 and 270 are the same place): the
        plug-in's own account of where the last move ended, also a move
        stopped midway, cut by a timeout or Ctrl-C, or continuous. While a
        move runs, where it started. The origin is where the table stood
        when opened, when a spin began or at set_origin()."""
        return super().position

    @property
    def last_move_outcome(self) -> MoveOutcome:
        """How the last move ended (MoveOutcome), as the plug-in booked it."""
        return MoveOutcome(self._last_move_outcome)

    def rotate(self, degrees: Optional[float] = None, *, counts: Optional[int] = None,
               to: Optional[float] = None, continuous: bool = False,
               wait: bool = True, timeout: Optional[float] = None) -> None:
        """Turn the table by one move, given in exactly one way:

        - ``degrees``: by this angle, rounded to whole counts; negative turns
          counter-clockwise;
        - ``counts``: by this many motor counts; negative turns
          counter-clockwise;
        - ``to``: to this angle from the origin, clockwise if positive,
          counter-clockwise if negative (within 0.01 of 0: no move);
        - ``continuous=True``: until stopped.

        Blocks until the move ends unless ``wait=False`` (then ``wait()`` or
        ``stop()``). With ``timeout`` seconds, a move still turning then is
        stopped and MoveTimeout raised; a continuous move turns that long and
        stops without error. Raises MoveRefusedError while another move runs
        and for a direction the table cannot turn, and MoveFailedError when
        the move ended without the board doing it.
        """
        super().rotate(degrees, counts, to, continuous, wait, timeout)

    def wait(self, timeout: Optional[float] = None) -> bool:
        """Wait for the move under way to end; False when ``timeout`` seconds
        ran out first (the move goes on). MoveFailedError when it ended
        without the board doing it."""
        return super().wait(timeout)

    def stop(self) -> None:
        """Stop the move under way and wait until the table stands;
        ``position`` then tells where it stopped."""
        super().stop()

    def shutter(self) -> None:
        """Release the camera's shutter through the table's camera lines
        (focus, then shutter: about a second). MoveRefusedError while the
        table turns and on a table without camera lines."""
        super().shutter()

    def set_origin(self) -> None:
        """Make where the table stands the origin (position 0) of ``to=``."""
        super().set_origin()

    def spin(self, shots: int = 24, settle: float = 0.3, *, from_shot: int = 1,
             table_at: int = 0, counterclockwise: bool = False,
             shutter: bool = False) -> Iterator[Shot]:
        """A stepped spin of one revolution in ``shots`` stops, as an
        iterator: each Shot comes once the table stands at it and has settled
        for ``settle`` seconds (after the turntable's own shutter release with
        ``shutter=True``). The spin's origin is where the table stands when
        it begins.

        Leaving the loop early (break, an exception, Ctrl-C) ends the spin
        with the table at rest; nothing turns afterwards. ``from_shot=K``
        resumes a stopped spin at shot K of the plan, with ``table_at=J`` the
        shot whose angle the table stands at (0: the start), so the resumed
        spin ends where an unbroken one would.
        """
        if settle < 0:
            raise ValueError("settle must not be negative")
        plan = self._spin_plan(shots, from_shot, table_at, counterclockwise)
        return self._spin_steps(plan, settle, shutter)

    def _spin_steps(self, plan, settle, shutter):
        self._spin_begin()
        completed = False
        try:
            for number, angle, target, counts in plan:
                if counts > 0:
                    self._spin_move(target)
                _time.sleep(settle)
                if shutter:
                    self.shutter()
                yield Shot(number, angle)
            completed = True
        finally:
            self._spin_end(completed)

    async def rotate_async(self, degrees: Optional[float] = None, *,
                           counts: Optional[int] = None, to: Optional[float] = None,
                           continuous: bool = False,
                           timeout: Optional[float] = None) -> None:
        """rotate() for asyncio: the event loop runs while the table turns.
        Cancelling the task stops the table."""
        super().rotate(degrees, counts, to, continuous, False, None)
        await self._until_stopped(timeout, continuous)

    async def wait_async(self, timeout: Optional[float] = None) -> bool:
        """wait() for asyncio; cancelling the task stops the table."""
        deadline = None if timeout is None else _time.monotonic() + timeout
        try:
            while self.moving:
                if deadline is not None and _time.monotonic() >= deadline:
                    return False
                await _asyncio.sleep(_POLL_SECONDS)
        except BaseException:
            self.stop()
            raise
        return self.wait(0)

    async def shutter_async(self) -> None:
        """shutter() for asyncio, run on the loop's default executor."""
        await _asyncio.get_running_loop().run_in_executor(None, super().shutter)

    async def spin_async(self, shots: int = 24, settle: float = 0.3, *, from_shot: int = 1,
                         table_at: int = 0, counterclockwise: bool = False,
                         shutter: bool = False):
        """spin() for asyncio, as an asynchronous iterator (``async for``)."""
        if settle < 0:
            raise ValueError("settle must not be negative")
        plan = self._spin_plan(shots, from_shot, table_at, counterclockwise)
        self._spin_begin()
        completed = False
        try:
            for number, angle, target, counts in plan:
                if counts > 0:
                    seen = self._spin_start_move(target)
                    while not self._spin_move_ended(seen):
                        await _asyncio.sleep(_POLL_SECONDS)
                await _asyncio.sleep(settle)
                if shutter:
                    await self.shutter_async()
                yield Shot(number, angle)
            completed = True
        finally:
            self._spin_end(completed)

    async def _until_stopped(self, timeout, continuous):
        deadline = None if timeout is None else _time.monotonic() + timeout
        try:
            while self.moving:
                if deadline is not None and _time.monotonic() >= deadline:
                    self.stop()
                    if continuous:
                        return
                    raise MoveTimeout(f"the move did not end within {timeout} s: "
                                      "the turntable stopped")
                await _asyncio.sleep(_POLL_SECONDS)
        except BaseException:
            self.stop()
            raise
        self.wait(0)


def open(model: Union[None, int, str] = None, index: Optional[int] = None, *,
         serial: Optional[str] = None, d2xx: Optional[str] = None,
         counts_per_revolution: Optional[int] = None, speed: Optional[int] = None) -> Table:
    """Open a turntable as ``model``: a catalogue row or a model name; None
    opens an identified table as its own model.

    The table is the one at ``index`` of tables(), or the one whose chip has
    ``serial``; with neither, the first identified table, else the first
    that opens (as turntablectl chooses without --table and --serial).
    ``counts_per_revolution`` and ``speed`` (milliseconds each stepper pulse
    is held high) override the model's preset. One table is open at a time in
    a process. Raises NoTableError (none attached, none at ``index``, none
    with ``serial``), OpenError (with the plug-in's message) or ValueError for
    a model the catalogue lacks."""
    return Table(model, index, d2xx, counts_per_revolution, speed, serial)


# At the interpreter's exit a table left open is stopped and closed.
_atexit.register(_core._shutdown)
