"""Discovery and opening, on tables set up by FTSIM_DEVICES in a fresh
process and by the bench in this one."""

import textwrap

import pytest

import vorandel_turntable as vt
from conftest import FAST_COUNTS, run_python


def test_tables_from_ftsim_devices_in_a_fresh_process():
    code = textwrap.dedent("""
        import vorandel_turntable as vt
        for t in vt.tables():
            print(t.name, t.row, t.identified, t.index)
        with vt.open() as table:
            print(table.name, table.row, table.can_turn_counterclockwise, table.d2xx)
    """)
    result = run_python(code, {"FTSIM_DEVICES": "classic"})
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == [
        "Vorandel Classic 1 True 0",
        "Vorandel Classic 1 False simulator",
    ]


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
    with pytest.raises(vt.OpenError, match="cannot open Vorandel Cobalt Medium: .+"):
        vt.open(model="Cobalt Medium")


def test_one_table_open_at_a_time_and_closed_on_leaving_the_block(bench):
    with vt.open(counts_per_revolution=FAST_COUNTS) as table:
        with pytest.raises(vt.TurntableError, match="already open"):
            vt.open()
        # While it is open, discovery lists it rather than rebuilding the list.
        assert [t.name for t in vt.tables()] == [table.name]
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
