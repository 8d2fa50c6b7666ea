#!/usr/bin/env bash
# Builds the project with sanitizers in a tree of its own and runs tests.
#
#   scripts/sanitize.sh           AddressSanitizer + UndefinedBehaviorSanitizer,
#                                 leak checking on, the whole suite (build-asan)
#   scripts/sanitize.sh tsan      ThreadSanitizer, the viewer tests and the
#                                 thread tests (build-tsan); pictures at the
#                                 size limit one at a time
#
# Extra arguments go to ctest. A sanitizer report fails the test that made it.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

./scripts/install-deps.sh

kind="${1:-asan}"
[ $# -gt 0 ] && shift

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

case "$kind" in
  asan)
    dir=build-asan
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCOLLAGE_SANITIZE=ON -DCOLLAGE_BENCH=OFF "${launcher[@]}" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0"
    export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    cd "$dir"
    exec xvfb-run -a -s "-screen 0 1600x1000x24" ctest -j"$(nproc)" --output-on-failure "$@"
    ;;
  tsan)
    dir=build-tsan
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCOLLAGE_TSAN=ON -DCOLLAGE_BENCH=OFF "${launcher[@]}" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
    export TSAN_OPTIONS="suppressions=$root/scripts/tsan.supp:halt_on_error=0:exitcode=66:second_deadlock_stack=1"
    cd "$dir"
    if [ $# -gt 0 ]; then
      exec xvfb-run -a -s "-screen 0 1600x1000x24" ctest -j"$(nproc)" --output-on-failure "$@"
    fi
    xvfb-run -a -s "-screen 0 1600x1000x24" ctest -j"$(nproc)" --output-on-failure -L viewer \
      -E 'huge_picture|ViewerHugePicture'
    # A picture at the size limit takes some 10 GB here: one test at a time,
    # each once (not again in a whole program's run, which three at once
    # took past the memory of a 24 GB machine).
    xvfb-run -a -s "-screen 0 1600x1000x24" ctest -j1 --output-on-failure -R '^ViewerHugePicture[.]'
    exec ctest -j"$(nproc)" --output-on-failure -R Thread
    ;;
  *)
    echo "usage: scripts/sanitize.sh [asan|tsan] [ctest arguments]" >&2
    exit 2
    ;;
esac
