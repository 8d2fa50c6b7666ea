#!/usr/bin/env bash
# A test program run whole, in one process, as a developer runs it by hand
# (CTest runs each test in a process of its own): in its own order, or
# shuffled. No test may depend on what ran before it in the same process.
#
# Usage: run_whole_program_test.sh XVFB PROGRAM [ordered|shuffled]
# XVFB: the X server to start for the program alone (its tests need one
# screen and pointer to themselves), or "" to run on $DISPLAY as it is.
set -u
xvfb="$1"
program="$2"
order="${3:-ordered}"

if [ -n "$xvfb" ]; then
  work="$(mktemp -d)"
  server=""
  trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT
  # The server picks a free display and names it once it takes clients; the
  # pipe's reader waits for that line, or for its end if the server fails.
  mkfifo "$work/display"
  "$xvfb" -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$work/display" 2>"$work/log" &
  server=$!
  read -r number <"$work/display"
  if [ -z "${number:-}" ]; then
    echo "$xvfb did not start:"
    cat "$work/log"
    exit 1
  fi
  export DISPLAY=":$number"
fi

# Every test's start is printed: a run that hangs names the test it hangs in.
if [ "$order" = shuffled ]; then
  seed=$((RANDOM % 99999 + 1))
  echo "Shuffled: $program --gtest_shuffle --gtest_random_seed=$seed"
  "$program" --gtest_shuffle --gtest_random_seed="$seed"
else
  "$program"
fi
