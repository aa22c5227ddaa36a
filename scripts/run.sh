#!/usr/bin/env bash
# Installs what is missing, builds incrementally in build/ and starts Ferrolad.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
if [ -e src/ui/CMakeLists.txt ]; then
  cmake --build build --target ferrolad
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "ferrolad needs a display (set DISPLAY, or run it under xvfb-run)." >&2
    exit 1
  fi
  exec build/bin/ferrolad "$@"
else
  # The window is not built yet: show what the core can do on the demo program.
  cmake --build build --target ferrolad-cli
  exec build/bin/ferrolad-cli check --numbers examples/demo.il
fi
