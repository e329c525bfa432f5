"""Discovery and opening, on tables set up by FTSIM_DEVICES in a fresh
process and by the bench in this one."""

import textwrap

import pytest

import vorandel_turntable as vt
from conftest import FAST_COUNTS, run_python


def test_three_tables_from_ftsim_devices_are_listed_and_chosen_in_a_fresh_process():
    code = textwrap.dedent("""
        import ctypes, os
        import vorandel_turntable as vt
        for t in vt.tables():
            print(t.index, t.serial, t.name, t.row, t.identified, t.openable, t.problem)
        with vt.open() as table:
            print("default:", table.name, table.serial, table.info.index)
        with vt.open(serial="VT1007-2", counts_per_revolution=400, speed=0) as table:
            table.rotate(counts=40)
            print("by serial:", table.name, table.serial)
        with vt.open(index=0, counts_per_revolution=400, speed=0) as table:
            table.rotate(counts=-7)
        sim = ctypes.CDLL("libftd2xx.so", mode=os.RTLD_NOLOAD | os.RTLD_LAZY)
        sim.ftsim_stepper_position.restype = ctypes.c_longlong
        print("boards:", [sim.ftsim_stepper_position(d) for d in range(3)])
        for choice in ({"index": 2}, {"serial": "VT1003-3"}):
            try:
                vt.open(**choice)
            except vt.OpenError as e:
                print("refused:", e)
    """)
    result = run_python(code, {"FTSIM_DEVICES": "3;7;Cobalt Medium,fail-open=3"})
    assert result.returncode == 0, result.stderr
    failing = "opening failed: FT_DEVICE_NOT_OPENED (status 3)"
    assert result.stdout.splitlines() == [
        "0 VT1003 Vorandel Cobalt Medium 3 True True None",
        "1 VT1007-2 Vorandel Amber Large 7 True True None",
        f"2 VT1003-3 None None False False {failing}",
        "default: Vorandel Cobalt Medium VT1003 0",
        "by serial: Vorandel Amber Large VT1007-2",
        # Each move turned the board of the table chosen, and no other.
        "boards: [-7, 40, 0]",
        f"refused: cannot open the table at index 2 (serial VT1003-3): {failing}",
        f"refused: cannot open the table at index 2 (serial VT1003-3): {failing}",
    ]


def test_classic_alone_in_a_fresh_process():
    code = textwrap.dedent("""
        import vorandel_turntable as vt
        with vt.open() as table:
            print(table.name, table.row, table.can_turn_counterclockwise, table.d2xx)
    """)
    result = run_python(code, {"FTSIM_DEVICES": "classic"})
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == ["Vorandel Classic 1 False simulator"]


def test_two_tables_the_default_is_the_first_identified_one(bench):
    bench.attach("Cobalt Medium,unidentified;Amber Large")
    unidentified, amber = vt.tables()
    assert (unidentified.index, unidentified.identified, unidentified.openable) == (0, False, True)
    assert (amber.index, amber.name, amber.serial) == (1, "Vorandel Amber Large", "VT1007-2")
    with vt.open(counts_per_revolution=FAST_COUNTS, speed=0) as table:
        assert table.info.index == 1 and table.serial == "VT1007-2"
        table.rotate(counts=10)
    with pytest.raises(vt.OpenError, match="no identity record"):
        vt.open(index=0)
    with vt.open(model=3, index=0, counts_per_revolution=FAST_COUNTS, speed=0) as table:
        assert table.name == "Vorandel Cobalt Medium" and table.serial == unidentified.serial
        table.rotate(counts=5)
    assert (bench.position(0), bench.position(1)) == (5, 10)


def test_a_table_that_cannot_be_opened_is_passed_over_unless_asked_for(bench):
    bench.attach("Cobalt Medium,fail-open=3;Amber Large")
    failing, amber = vt.tables()
    assert not failing.openable and failing.problem.startswith("opening failed")
    assert failing.name is None and amber.openable and amber.problem is None
    with vt.open() as table:
        assert table.name == "Vorandel Amber Large"
    for choice in ({"index": 0}, {"serial": failing.serial}):
        with pytest.raises(vt.OpenError, match=r"cannot open the table at index 0 \(serial "
                           + failing.serial + r"\): opening failed"):
            vt.open(**choice)


def test_choosing_refusals(bench):
    bench.attach("3;3")
    with pytest.raises(ValueError, match="index= or serial=, not both"):
        vt.open(index=0, serial="VT1003")
    with pytest.raises(vt.NoTableError,
                       match=r"no attached table has serial 'VT9' \(attached: VT1003, VT1003-2\)"):
        vt.open(serial="VT9")
    with pytest.raises(vt.NoTableError, match="no table at index 2: 2 attached"):
        vt.open(index=2)


def test_while_a_table_is_open_every_table_is_listed(bench):
    bench.attach("Cobalt Medium;Amber Large")
    with vt.open(serial="VT1003", counts_per_revolution=FAST_COUNTS) as table:
        held, other = vt.tables()
        assert (held.serial, held.name, held.row) == ("VT1003", table.name, 3)
        assert not held.openable and held.problem == "already open in this program"
        assert other.openable and other.name == "Vorandel Amber Large"
        with pytest.raises(vt.TurntableError, match="already open in this process"):
            vt.open(index=1)


def test_unidentified_table_is_listed_without_name_and_opens_by_model(bench):
    bench.attach("Amber Large,unidentified")
    [info] = vt.tables()
    assert (info.name, info.row, info.identified, info.index) == (None, None, False, 0)
    with pytest.raises(vt.OpenError, match="no identity record"):
        vt.open()
    names = vt.catalogue()
    amber_large = names.index("Vorandel Amber Large")
    with vt.open(model="amber-large") as table:
        assert table.name == "Vorandel Amber Large" and table.row == amber_large
    with vt.open(model=5) as table:
        assert table.name == names[5]


def test_no_table_found_carries_the_plugins_message(bench):
    bench.attach("")
    assert vt.tables() == []
    with pytest.raises(vt.NoTableError) as raised:
        vt.open()
    assert str(raised.value)  # the plug-in's explanation, not an empty message


def test_open_refusals(bench):
    with pytest.raises(vt.NoTableError, match="no table at index 1"):
        vt.open(index=1)
    with pytest.raises(ValueError, match="no model is named 'Cobalt Huge'"):
        vt.open(model="Cobalt Huge")
    with pytest.raises(ValueError, match="not a model row"):
        vt.open(model=10)
    bench.attach("Cobalt Medium,fail-open=3")
    with pytest.raises(vt.OpenError, match="FT_DEVICE_NOT_OPENED"):
        vt.open(model="Cobalt Medium")


def test_one_table_open_at_a_time_and_closed_on_leaving_the_block(bench):
    with vt.open(counts_per_revolution=FAST_COUNTS) as table:
        with pytest.raises(vt.TurntableError, match="already open"):
            vt.open()
        assert [(t.name, t.openable) for t in vt.tables()] == [(table.name, False)]
    assert table.closed
    with pytest.raises(vt.TurntableError, match="closed"):
        table.rotate(degrees=10)
    # Closing on an exception too, and the next open succeeds.
    with pytest.raises(RuntimeError):
        with vt.open() as again:
            raise RuntimeError("in the block")
    assert again.closed
    vt.open().close()


def test_settings_given_at_open(bench):
    with vt.open(counts_per_revolution=1234, speed=3) as table:
        assert table.counts_per_revolution == 1234
        assert table.speed == 3
        assert table.position == 0.0
        assert table.last_move_outcome is vt.MoveOutcome.NO_MOVE_YET


def test_d2xx_is_chosen_once_a_process():
    code = textwrap.dedent("""
        import vorandel_turntable as vt
        vt.tables(d2xx="simulator")
        try:
            vt.tables(d2xx="libftdi1")
        except vt.TurntableError as e:
            print("refused:", e)
    """)
    result = run_python(code, {"FTSIM_DEVICES": "3"})
    assert result.returncode == 0, result.stderr
    assert "refused: the D2XX library is chosen once a process" in result.stdout


def test_d2xx_from_the_environment_and_a_missing_library():
    code = textwrap.dedent("""
        import vorandel_turntable as vt
        try:
            vt.tables()
        except vt.TurntableError as e:
            print("failed:", e)
    """)
    result = run_python(code, {"VORANDEL_TURNTABLE_D2XX": "/nonexistent/libftd2xx.so"})
    assert result.returncode == 0, result.stderr
    assert "failed: cannot load the D2XX library: /nonexistent/libftd2xx.so" in result.stdout
