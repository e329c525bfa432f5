"""The README's capture script, run as written on the simulated table, with
a stand-in gphoto2 that writes the file it is asked for."""

import os
import pathlib
import re
import stat

from conftest import run_python

README = pathlib.Path(__file__).resolve().parents[2] / "README.md"

FAKE_GPHOTO2 = """#!/bin/sh
# Stand-in camera: writes the --filename it is given, and logs the call.
echo "$*" >> "$GPHOTO2_LOG"
while [ $# -gt 0 ]; do
  if [ "$1" = "--filename" ]; then echo image > "$2"; fi
  shift
done
"""


def capture_script():
    text = README.read_text()
    match = re.search(r"<!-- capture-script:[^>]*-->\s*```python\n(.*?)```", text, re.S)
    assert match, "the README's capture script is marked for this test"
    return match.group(1)


def test_capture_script_takes_one_file_per_angle(tmp_path):
    script = capture_script()
    assert len(script.strip().splitlines()) <= 16
    bin_dir = tmp_path / "bin"
    bin_dir.mkdir()
    gphoto2 = bin_dir / "gphoto2"
    gphoto2.write_text(FAKE_GPHOTO2)
    gphoto2.chmod(gphoto2.stat().st_mode | stat.S_IXUSR)
    log = tmp_path / "gphoto2.log"
    vcd = tmp_path / "port.vcd"

    os.chdir(tmp_path)
    result = run_python(script, {
        "FTSIM_DEVICES": f"Cobalt Medium,trace={vcd}",
        "PATH": f"{bin_dir}{os.pathsep}{os.environ['PATH']}",
        "GPHOTO2_LOG": str(log),
    }, timeout=280)
    assert result.returncode == 0, result.stderr

    lines = result.stdout.splitlines()
    assert lines[0] == "Capturing with Vorandel Cobalt Medium"
    assert lines[1] == "shot  1/24 at  15.00 deg: shots/angle-015.00.jpg"
    assert lines[-1] == "shot 24/24 at 360.00 deg: shots/angle-360.00.jpg"
    files = sorted(p.name for p in (tmp_path / "shots").iterdir())
    assert files == [f"angle-{15.0 * k:06.2f}.jpg" for k in range(1, 25)]
    assert len(log.read_text().splitlines()) == 24
    # The simulated table's pin history: one whole turn of step pulses.
    steps = vcd_rising_edges(vcd.read_text(), "step")
    assert steps == 19520


def vcd_rising_edges(text, signal):
    """Rising edges of the VCD signal named `signal`."""
    code = re.search(r"\$var wire 1 (\S+) " + re.escape(signal) + r" \$end", text).group(1)
    rises = 0
    for line in text.splitlines():
        if line == "1" + code:
            rises += 1
    return rises
