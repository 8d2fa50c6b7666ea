#!/usr/bin/env bash
# Fails when a Qt header is included outside platform/qt/.
root="${1:-.}"
cd "$root" || exit 2
# <QWidget>, <QtCore/qstring.h>, <QtWidgets>, and the lower-case forms such
# as <qwidget.h>.
hits=$(grep -rnE '^\s*#\s*include\s*([<"](Q[A-Za-z]*|Qt[A-Za-z]*/)|<q[a-z0-9_]+\.h>)' \
  runtime baselib forms drawing images viewer printing platform tests bench app fuzz 2>/dev/null \
  | grep -v '^platform/qt/' | grep -v '<quadmath\.h>')
if [ -n "$hits" ]; then
  echo "Qt headers included outside platform/qt/:"
  echo "$hits"
  exit 1
fi
exit 0
