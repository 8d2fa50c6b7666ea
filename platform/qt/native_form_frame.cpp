#include "platform/qt/native_form_frame.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "platform/qt/x11_connection.h"

namespace brek_platform::qt {

namespace {

using Clock = std::chrono::steady_clock;

// A manager that does not answer within this is taken as one that will not.
constexpr std::chrono::milliseconds ANSWER_BOUND{1000};

// The window's X id; 0 while it has none (it is made on first show).
xcb_window_t x11_id(QWidget* w) {
  return w->testAttribute(Qt::WA_WState_Created) ? xcb_window_t(w->winId()) : xcb_window_t(0);
}

bool maximized_on_server(xcb_connection_t* c, xcb_window_t w) {
  const xcb_atom_t vert = x11_atom(c, "_NET_WM_STATE_MAXIMIZED_VERT");
  const xcb_atom_t horz = x11_atom(c, "_NET_WM_STATE_MAXIMIZED_HORZ");
  for (uint32_t a : x11_words(c, w, "_NET_WM_STATE"))
    if (a == vert || a == horz) return true;
  return false;
}

bool full_screen_on_server(xcb_connection_t* c, xcb_window_t w) {
  const xcb_atom_t full = x11_atom(c, "_NET_WM_STATE_FULLSCREEN");
  for (uint32_t a : x11_words(c, w, "_NET_WM_STATE"))
    if (a == full) return true;
  return false;
}

// Extents (left, right, top, bottom, in the server's pixels) as margins of
// the widget's pixels.
QMargins margins_of(const std::vector<uint32_t>& e, double ratio) {
  if (e.size() != 4 || !(ratio > 0)) return {};
  auto px = [&](uint32_t v) { return int(std::lround(double(std::min<uint32_t>(v, 10000)) / ratio)); };
  return QMargins(px(e[0]), px(e[2]), px(e[1]), px(e[3]));
}

// The platform's own idea of the frame (what it read last, or the frame
// it gives every window), also before the window is shown.
QMargins qt_frame(QWidget* w) {
  w->winId();
  const QWindow* win = w->windowHandle();
  return win ? win->frameMargins() : QMargins();
}

// Cleared once the manager left a request for an estimate unanswered: it
// is not asked again.
bool g_estimates_answered = true;

// The manager's estimate for a window it does not manage yet; empty when
// it gives none.
std::vector<uint32_t> requested_extents(xcb_connection_t* c, xcb_window_t w) {
  if (!g_estimates_answered || !x11_supported(c, "_NET_REQUEST_FRAME_EXTENTS")) return {};
  // What a manager left on a window it let go (openbox: all 0) is no
  // answer: only the extents the request brings are.
  xcb_delete_property(c, w, x11_atom(c, "_NET_FRAME_EXTENTS"));
  x11_ask_manager(c, w, "_NET_REQUEST_FRAME_EXTENTS", {});
  const auto limit = Clock::now() + ANSWER_BOUND;
  std::vector<uint32_t> extents;
  while ((extents = x11_words(c, w, "_NET_FRAME_EXTENTS")).size() != 4 && Clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  if (extents.size() != 4) g_estimates_answered = false;
  return extents;
}

bool g_waiting = false;

// Lets the window system's events reach the windows (input waits) until
// done() holds or the bound passes. A wait inside a wait returns at once.
template <class Done>
void wait_for_manager(Done done) {
  if (g_waiting) return;
  g_waiting = true;
  const auto limit = Clock::now() + ANSWER_BOUND;
  while (!done() && Clock::now() < limit) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  // What the server sent before the answer is Qt's now, not later.
  x11_sync();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  g_waiting = false;
}

}  // namespace

bool window_manager_runs() {
  xcb_connection_t* c = x11_connection();
  if (!c) return false;
  const std::vector<uint32_t> check = x11_words(c, x11_root(), "_NET_SUPPORTING_WM_CHECK");
  if (check.size() != 1) return false;
  // A manager that ended leaves its property on the root: its window
  // names itself only while it lives.
  const std::vector<uint32_t> own = x11_words(c, check[0], "_NET_SUPPORTING_WM_CHECK");
  return own.size() == 1 && own[0] == check[0];
}

QMargins frame_margins(QWidget* w) {
  xcb_connection_t* c = x11_connection();
  if (!c) return qt_frame(w);
  if (!window_manager_runs()) return {};
  const double ratio = w->devicePixelRatioF();
  const xcb_window_t id = x11_id(w);
  if (id && x11_viewable(c, id)) {
    // Managed: the frame it has.
    const std::vector<uint32_t> e = x11_words(c, id, "_NET_FRAME_EXTENTS");
    return e.size() == 4 ? margins_of(e, ratio) : qt_frame(w);
  }
  if (w->windowFlags().testFlag(Qt::FramelessWindowHint)) return {};
  // Not shown yet: the frame it had, else the manager's estimate.
  if (id) {
    const std::vector<uint32_t> e = x11_words(c, id, "_NET_FRAME_EXTENTS");
    if (e.size() == 4 && e != std::vector<uint32_t>(4, 0)) return margins_of(e, ratio);
  }
  return margins_of(requested_extents(c, xcb_window_t(w->winId())), ratio);
}

void await_mapped(QWidget* w) {
  xcb_connection_t* c = x11_connection();
  const xcb_window_t id = w ? x11_id(w) : 0;
  if (!c || !id || !w->isVisible()) return;
  wait_for_manager([&] { return x11_viewable(c, id); });
}

bool maximized_by_manager(QWidget* w) {
  xcb_connection_t* c = x11_connection();
  const xcb_window_t id = w ? x11_id(w) : 0;
  return c && id && maximized_on_server(c, id);
}

void await_window_state(QWidget* w, bool maximized) {
  xcb_connection_t* c = x11_connection();
  const xcb_window_t id = w ? x11_id(w) : 0;
  if (!c || !id || !w->isVisible() || !x11_viewable(c, id) || !window_manager_runs()) return;
  // Qt asks only when its own record of the state differs, and that record
  // lags behind a manager that changed the state itself: ask once more (a
  // second request for the same state changes nothing).
  // Add or remove both, asked by a normal application (source 1).
  if (maximized_on_server(c, id) != maximized)
    x11_ask_manager(c, id, "_NET_WM_STATE",
                    {maximized ? 1u : 0u, x11_atom(c, "_NET_WM_STATE_MAXIMIZED_VERT"),
                     x11_atom(c, "_NET_WM_STATE_MAXIMIZED_HORZ"), 1u});
  wait_for_manager([&] { return maximized_on_server(c, id) == maximized; });
}

bool full_screen_by_manager(QWidget* w) {
  xcb_connection_t* c = x11_connection();
  const xcb_window_t id = w ? x11_id(w) : 0;
  return c && id && full_screen_on_server(c, id);
}

void await_full_screen(QWidget* w, bool on) {
  xcb_connection_t* c = x11_connection();
  const xcb_window_t id = w ? x11_id(w) : 0;
  if (!c || !id || !w->isVisible() || !x11_viewable(c, id) || !window_manager_runs()) return;
  // As for maximizing: Qt's record of the state may lag behind the
  // manager's, so the request goes once more (the same state twice
  // changes nothing).
  if (full_screen_on_server(c, id) != on)
    x11_ask_manager(c, id, "_NET_WM_STATE", {on ? 1u : 0u, x11_atom(c, "_NET_WM_STATE_FULLSCREEN"), 0u, 1u});
  wait_for_manager([&] { return full_screen_on_server(c, id) == on; });
}

}  // namespace brek_platform::qt
