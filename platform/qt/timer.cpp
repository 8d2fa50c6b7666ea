#include "platform/timer.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <climits>

namespace brek_platform {

namespace {


QPointer<QTimer> g_timer;
void (*g_callback)() = nullptr;

QTimer* wakeup_timer() {
  if (!g_timer) {
    // Owned by the application, so it goes before the application does.
    g_timer = new QTimer(QCoreApplication::instance());
    g_timer->setSingleShot(true);
    QObject::connect(g_timer.data(), &QTimer::timeout, [] {
      void (*cb)() = g_callback;
      if (cb) cb();  // callbacks catch their own exceptions
    });
  }
  return g_timer.data();
}

}  // namespace

void set_timer_wakeup(int64_t delay_ms, void (*callback)()) {
  if (!QCoreApplication::instance()) return;
  QTimer* t = wakeup_timer();
  if (delay_ms < 0 || !callback) {
    t->stop();
    g_callback = nullptr;
    return;
  }
  g_callback = callback;
  int ms = delay_ms > INT_MAX ? INT_MAX : static_cast<int>(delay_ms);
  // Always precise: a coarse timer may fire up to 5% early, before the
  // program's timer is due, and the loop would then wake a second time for
  // the rest of the period.
  t->setTimerType(Qt::PreciseTimer);
  t->start(ms);
}

bool timer_wakeup_pending() { return g_timer && g_timer->isActive(); }

}  // namespace brek_platform
