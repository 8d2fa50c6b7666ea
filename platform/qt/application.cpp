#include "platform/application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>

#include <cstdlib>
#include <cstring>

#include "platform/painter.h"
#include "platform/qt/keyboard_back.h"
#include "platform/qt/window_layer.h"
#include "platform/window.h"

namespace brek_platform {

namespace {

// Every event passes notify once, before Qt hands it to the receiver and
// its parents: the window layer reports input there, and nothing the
// program raises ever unwinds through Qt.
class Brek_application final : public QApplication {
 public:
  Brek_application(int& argc, char** argv) : QApplication(argc, argv) {}

  bool notify(QObject* receiver, QEvent* event) override {
    qt::Delivery_scope scope;
    try {
      if (qt::Keyboard_back::pass_on(receiver, event)) return true;
      if (qt::translate_event(receiver, event)) return true;
      return QApplication::notify(receiver, event);
    } catch (...) {
      return false;
    }
  }
};

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
  g_app = new Brek_application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  install_window_layer();
}

bool application_exists() { return g_app != nullptr; }

void process_events() {
  if (!g_app) return;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  // A bare processEvents never runs deferred deletions: run them each turn,
  // but never under a handler that may still be running on what they free.
  if (qt::delivery_depth() == 0) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    qt::free_pending();
  }
}

void shutdown_application() {
  release_painters();
  remove_window_layer();
  delete g_app;
  g_app = nullptr;
}

}  // namespace brek_platform
