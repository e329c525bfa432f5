#!/usr/bin/env bash
# Builds the Debian packages from the normal build (build/default):
#   vorandel-turntable_<version>_<arch>.deb      the plug-in, turntablectl, the
#                                                libftdi1 backend, the simulator
#                                                and the udev rules
#   vorandel-turntable-dev_<version>_<arch>.deb  headers, CMake package, pkg-config
# into build/default/packages/. Installs missing Debian packages first.
# Install with: sudo apt install ./build/default/packages/vorandel-turntable_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target VorandelTurntable turntablectl ftd2xx_sim ftd2xx_libftdi \
  turntablectl_man_page

out="$PWD/build/default/packages"
rm -f "$out"/*.deb
cpack -G DEB --config build/default/CPackConfig.cmake -B "$out"
echo
ls -1 "$out"/*.deb
