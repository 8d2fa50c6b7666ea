#include "platform/application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>

#include <cstdlib>
#include <cstring>

namespace brek_platform {

namespace {
QApplication* g_app = nullptr;

bool display_available() {
  const char* forced = std::getenv("QT_QPA_PLATFORM");
  if (forced && *forced) return true;  // the caller chose a platform
  const char* x = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (w && *w);
}
}  // namespace

void init_application(int& argc, char** argv) {
  if (g_app) return;
  if (!display_available()) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  g_app = new QApplication(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
}

bool application_exists() { return g_app != nullptr; }

void process_events() {
  if (!g_app) return;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  // A bare processEvents never runs deferred deletions: run them each turn.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void shutdown_application() {
  delete g_app;
  g_app = nullptr;
}

}  // namespace brek_platform
