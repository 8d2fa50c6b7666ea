#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh
BUILD_DIR="${BUILD_DIR:-build}"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)"

# One CTest run under a virtual X server: plain tests switch themselves to
# the offscreen platform, the "xserver" group uses the X server.
cd "$BUILD_DIR"
exec xvfb-run -a -s "-screen 0 1600x1000x24" ctest -j"$(nproc)" --output-on-failure "$@"
