#!/usr/bin/env bash
# Builds and runs the libFuzzer targets of fuzz/ (clang, AddressSanitizer
# and UndefinedBehaviorSanitizer) in their own build tree. The normal build
# only runs each target once over its seeds (the tests labelled "fuzz").
#
#   scripts/fuzz.sh build                 configure and build every target
#   scripts/fuzz.sh run TARGET [SECONDS]  fuzz one target (default 300 s)
#   scripts/fuzz.sh all [SECONDS]         every target in turn
#   scripts/fuzz.sh list                  the targets
#
# Corpora grow in $FUZZ_DIR/corpus/TARGET (seeded by fuzz_seeds), crashes
# land in $FUZZ_DIR/artifacts/TARGET. FUZZ_DIR defaults to build-fuzz.
# Extra libFuzzer flags may be given in FUZZ_FLAGS.
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_DIR="${FUZZ_DIR:-build-fuzz}"
TARGETS=$(ls fuzz/*_fuzz.cpp | xargs -n1 basename | sed 's/\.cpp$//')

need_packages() {
  local missing=()
  for p in clang; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

build() {
  ./scripts/install-deps.sh
  need_packages
  cmake -S . -B "$FUZZ_DIR" -G Ninja -DCOLLAGE_FUZZ=ON -DCOLLAGE_TESTS=OFF -DCOLLAGE_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
  cmake --build "$FUZZ_DIR" --target fuzzers -j"$(nproc)"
  # Seeds added since the corpus grew reach it too; what fuzzing found stays.
  mkdir -p "$FUZZ_DIR/corpus"
  "$FUZZ_DIR/fuzz/fuzz_seeds" "$FUZZ_DIR/corpus"
}

run() {
  local target="$1" seconds="${2:-300}"
  [ -x "$FUZZ_DIR/fuzz/$target" ] || build
  mkdir -p "$FUZZ_DIR/corpus/$target" "$FUZZ_DIR/artifacts/$target" "$FUZZ_DIR/tmp"
  # Each picture is capped far below these; more means a leak or a runaway.
  TMPDIR="$(cd "$FUZZ_DIR/tmp" && pwd)" QT_QPA_PLATFORM=offscreen \
    "$FUZZ_DIR/fuzz/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=3072 \
    -malloc_limit_mb=1400 -artifact_prefix="$FUZZ_DIR/artifacts/$target/" -print_final_stats=1 \
    ${FUZZ_FLAGS:-} "$FUZZ_DIR/corpus/$target"
}

case "${1:-}" in
  build) build ;;
  run) [ $# -ge 2 ] || { echo "usage: $0 run TARGET [SECONDS]" >&2; exit 2; }; run "$2" "${3:-300}" ;;
  all) build; for t in $TARGETS; do run "$t" "${2:-300}"; done ;;
  list) echo "$TARGETS" ;;
  *) sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
