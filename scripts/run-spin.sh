#!/usr/bin/env bash
# The main job: builds the plug-in and turntablectl, then runs a full 24-shot
# spin with shutter releases on the simulated turntable (an identified
# Vorandel Cobalt Medium, 19520 counts a turn). Extra arguments go to
# `turntablectl spin`.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target turntablectl VorandelTurntable

trace="$PWD/build/default/spin.vcd"
build/default/tools/turntablectl spin --shots 24 --shutter --trace "$trace" "$@"
echo
echo "Look at the trace with: pulseview -i $trace   (or gtkwave $trace)"
echo "Decode the steps: sigrok-cli -I vcd -i $trace -P stepper_motor:step=step:dir=dir -A stepper_motor"
