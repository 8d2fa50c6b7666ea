#include "platform/qt/x11_connection.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>

namespace brek_platform::qt {

xcb_connection_t* x11_connection() {
  auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
  if (!app) return nullptr;
  auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

xcb_window_t x11_root() {
  xcb_connection_t* c = x11_connection();
  if (!c) return 0;
  // Qt opens the display's default screen, which the connection names first
  // unless DISPLAY says otherwise; the first root serves both here.
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  return it.rem ? it.data->root : 0;
}

void x11_flush() {
  if (xcb_connection_t* c = x11_connection()) xcb_flush(c);
}

void x11_sync() {
  if (xcb_connection_t* c = x11_connection()) std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

}  // namespace brek_platform::qt
