#!/usr/bin/env bash
# Installs what is missing, builds (Release) and starts the viewer with the
# given arguments: an image file, a directory, or nothing. Arguments are
# taken relative to the directory the script was started from.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")" && pwd)"

"$ROOT/scripts/install-deps.sh"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target collage
exec "$BUILD_DIR/collage" "$@"
