#include "platform/screens.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>

#include "platform/qt/work_area.h"

namespace brek_platform {

std::vector<Monitor_px> monitors() {
  std::vector<Monitor_px> list;
  if (!QGuiApplication::instance()) return list;
  // Qt keeps the primary screen first.
  const QList<QScreen*> screens = QGuiApplication::screens();
  const QList<QRect> work = qt::work_areas(screens);
  for (qsizetype i = 0; i < screens.size(); ++i) {
    const QRect r = screens[i]->geometry();
    const QRect a = work[i];
    list.push_back({r.x(), r.y(), r.width(), r.height(), a.x(), a.y(), a.width(), a.height()});
  }
  return list;
}

}  // namespace brek_platform
