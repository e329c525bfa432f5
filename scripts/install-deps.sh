#!/usr/bin/env bash
# Installs, through apt-get, the Debian packages the build and the tests need
# and that this machine lacks. Does nothing when all are present.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config binutils
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  sigrok-cli
  libftdi1-dev libusb-1.0-0-dev
  umockdev libumockdev-dev libglib2.0-dev
  dpkg-dev file lintian
  python3-dev pybind11-dev python3-pybind11 python3-pytest
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
