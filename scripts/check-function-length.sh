#!/usr/bin/env bash
# Lists every function of the program longer than 120 lines (universal-ctags
# gives each function's first and last line) and fails when there is one.
cd "${1:-$(dirname "$0")/..}" || exit 2
ctags -R --languages=C++ --kinds-C++=f --fields=+ne -f - runtime baselib forms drawing images viewer printing platform app |
  awk -F'\t' '{ for (i = 4; i <= NF; i++) { if ($i ~ /^line:/) l = substr($i, 6); if ($i ~ /^end:/) e = substr($i, 5) }
                if (e - l + 1 > 120) { print $2 ":" l ": " $1 " is " e - l + 1 " lines"; bad = 1 } }
              END { exit bad }'
