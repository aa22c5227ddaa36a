#!/usr/bin/env bash
# Installs the Debian 12 packages Ferrolad needs to build, test and run; does nothing when all are there.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config googletest libgtest-dev libgmock-dev libbenchmark-dev
          qt6-base-dev libgl1-mesa-dev xvfb xauth socat python3-pymodbus clang)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi
