#!/usr/bin/env bash
# Fails when a Qt header is included outside platform/qt/.
root="${1:-.}"
cd "$root" || exit 2
hits=$(grep -rnE '^\s*#\s*include\s*[<"](Q[A-Za-z]*|Qt[A-Za-z]*/)' \
  runtime baselib forms drawing images viewer printing platform tests bench app 2>/dev/null \
  | grep -v '^platform/qt/')
if [ -n "$hits" ]; then
  echo "Qt headers included outside platform/qt/:"
  echo "$hits"
  exit 1
fi
exit 0
