"""The installed package runs the plug-in and the simulator installed beside
it, not those of the build tree it came from."""

import os
import subprocess
import textwrap

from conftest import run_python


def test_installed_package_loads_the_installed_plugin(tmp_path):
    prefix = tmp_path / "prefix"
    install = subprocess.run(
        [os.environ["TT_CMAKE_COMMAND"], "--install", os.environ["TT_BUILD_DIR"],
         "--prefix", str(prefix)], capture_output=True, text=True, timeout=120)
    assert install.returncode == 0, install.stderr
    [package] = list(prefix.glob("lib*/python3*/*-packages/vorandel_turntable"))
    assert {p.name for p in package.iterdir()} >= {"__init__.py", "__init__.pyi", "py.typed"}

    code = textwrap.dedent("""
        import vorandel_turntable as vt
        with vt.open() as table:
            table.rotate(degrees=15)
            print(table.d2xx, table.position)
        for line in open("/proc/self/maps"):
            if "libVorandelTurntable" in line or "ftd2xx" in line:
                print(line.split()[-1])
    """)
    result = run_python(code, {"FTSIM_DEVICES": "Cobalt Medium",
                               "PYTHONPATH": str(package.parent)})
    assert result.returncode == 0, result.stderr
    lines = result.stdout.splitlines()
    backend, position = lines[0].split()
    assert backend == "simulator" and abs(float(position) - 15.0) < 360.0 / 19520
    loaded = set(lines[1:])
    assert loaded and all(path.startswith(str(prefix)) for path in loaded), loaded
