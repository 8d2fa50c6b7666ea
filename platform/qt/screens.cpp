#include "platform/screens.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

namespace brek_platform {

std::vector<Monitor_px> monitors() {
  std::vector<Monitor_px> list;
  if (!QGuiApplication::instance()) return list;
  // Qt keeps the primary screen first.
  for (QScreen* s : QGuiApplication::screens()) {
    QRect r = s->geometry();
    QRect a = s->availableGeometry();
    if (a.isEmpty()) a = r;
    list.push_back({r.x(), r.y(), r.width(), r.height(), a.x(), a.y(), a.width(), a.height()});
  }
  return list;
}

}  // namespace brek_platform
