#include "platform/qt/native_form_frame.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QRect>
#include <QWindow>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <thread>
#include <vector>

#include "platform/qt/x11_connection.h"

namespace brek_platform::qt {

namespace {

using Clock = std::chrono::steady_clock;

// A manager that does not answer within this is taken as one that will not.
constexpr std::chrono::milliseconds ANSWER_BOUND{1000};

struct Free_reply {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, Free_reply>;

// Atoms stay what they are for the server's life: each is asked once.
xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  static auto* known = new std::map<std::pair<xcb_connection_t*, std::string>, xcb_atom_t>();
  const auto key = std::make_pair(c, std::string(name));
  auto it = known->find(key);
  if (it != known->end()) return it->second;
  Reply<xcb_intern_atom_reply_t> r(
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
  if (!r) return XCB_ATOM_NONE;
  (*known)[key] = r->atom;
  return r->atom;
}

std::vector<uint32_t> words(xcb_connection_t* c, xcb_window_t w, const char* name) {
  std::vector<uint32_t> v;
  Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
      c, xcb_get_property(c, 0, w, atom(c, name), XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr));
  if (!r || r->format != 32) return v;
  auto* p = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
  v.assign(p, p + xcb_get_property_value_length(r.get()) / 4);
  return v;
}

bool root_lists(xcb_connection_t* c, const char* list, const char* name) {
  const std::vector<uint32_t> atoms = words(c, x11_root(), list);
  return std::find(atoms.begin(), atoms.end(), atom(c, name)) != atoms.end();
}

// The window's X id; 0 while it has none (it is made on first show).
xcb_window_t x11_id(QWidget* w) {
  return w->testAttribute(Qt::WA_WState_Created) ? xcb_window_t(w->winId()) : xcb_window_t(0);
}

bool viewable(xcb_connection_t* c, xcb_window_t w) {
  Reply<xcb_get_window_attributes_reply_t> a(
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr));
  return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
}

bool maximized_on_server(xcb_connection_t* c, xcb_window_t w) {
  const xcb_atom_t vert = atom(c, "_NET_WM_STATE_MAXIMIZED_VERT"), horz = atom(c, "_NET_WM_STATE_MAXIMIZED_HORZ");
  for (uint32_t a : words(c, w, "_NET_WM_STATE"))
    if (a == vert || a == horz) return true;
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

// A message about window w to the manager (EWMH: sent to the root).
void ask_manager(xcb_connection_t* c, xcb_window_t w, const char* type, const std::vector<uint32_t>& data) {
  xcb_client_message_event_t e;
  std::memset(&e, 0, sizeof e);
  e.response_type = XCB_CLIENT_MESSAGE;
  e.format = 32;
  e.window = w;
  e.type = atom(c, type);
  for (size_t i = 0; i < data.size() && i < 5; ++i) e.data.data32[i] = data[i];
  xcb_send_event(c, 0, x11_root(), XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&e));
  xcb_flush(c);
}

// Cleared once the manager left a request for an estimate unanswered: it
// is not asked again.
bool g_estimates_answered = true;

// The manager's estimate for a window it does not manage yet; empty when
// it gives none.
std::vector<uint32_t> requested_extents(xcb_connection_t* c, xcb_window_t w) {
  if (!g_estimates_answered || !root_lists(c, "_NET_SUPPORTED", "_NET_REQUEST_FRAME_EXTENTS")) return {};
  ask_manager(c, w, "_NET_REQUEST_FRAME_EXTENTS", {});
  const auto limit = Clock::now() + ANSWER_BOUND;
  std::vector<uint32_t> extents;
  while ((extents = words(c, w, "_NET_FRAME_EXTENTS")).size() != 4 && Clock::now() < limit)
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
  const std::vector<uint32_t> check = words(c, x11_root(), "_NET_SUPPORTING_WM_CHECK");
  if (check.size() != 1) return false;
  // A manager that ended leaves its property on the root: its window
  // names itself only while it lives.
  const std::vector<uint32_t> own = words(c, check[0], "_NET_SUPPORTING_WM_CHECK");
  return own.size() == 1 && own[0] == check[0];
}

QMargins frame_margins(QWidget* w) {
  xcb_connection_t* c = x11_connection();
  if (!c) return qt_frame(w);
  if (!window_manager_runs()) return {};
  const double ratio = w->devicePixelRatioF();
  const xcb_window_t id = x11_id(w);
  if (id && viewable(c, id)) {
    // Managed: the frame it has.
    const std::vector<uint32_t> e = words(c, id, "_NET_FRAME_EXTENTS");
    return e.size() == 4 ? margins_of(e, ratio) : qt_frame(w);
  }
  if (w->windowFlags().testFlag(Qt::FramelessWindowHint)) return {};
  // Not shown yet: the frame it had, else the manager's estimate.
  if (id) {
    const std::vector<uint32_t> e = words(c, id, "_NET_FRAME_EXTENTS");
    if (e.size() == 4 && e != std::vector<uint32_t>(4, 0)) return margins_of(e, ratio);
  }
  return margins_of(requested_extents(c, xcb_window_t(w->winId())), ratio);
}

void await_mapped(QWidget* w) {
  xcb_connection_t* c = x11_connection();
  const xcb_window_t id = w ? x11_id(w) : 0;
  if (!c || !id || !w->isVisible()) return;
  wait_for_manager([&] { return viewable(c, id); });
}

bool maximized_by_manager(QWidget* w) {
  xcb_connection_t* c = x11_connection();
  const xcb_window_t id = w ? x11_id(w) : 0;
  return c && id && maximized_on_server(c, id);
}

void await_window_state(QWidget* w, bool maximized) {
  xcb_connection_t* c = x11_connection();
  const xcb_window_t id = w ? x11_id(w) : 0;
  if (!c || !id || !w->isVisible() || !viewable(c, id) || !window_manager_runs()) return;
  // Qt asks only when its own record of the state differs, and that record
  // lags behind a manager that changed the state itself: ask once more (a
  // second request for the same state changes nothing).
  // Add or remove both, asked by a normal application (source 1).
  if (maximized_on_server(c, id) != maximized)
    ask_manager(c, id, "_NET_WM_STATE",
                {maximized ? 1u : 0u, atom(c, "_NET_WM_STATE_MAXIMIZED_VERT"),
                 atom(c, "_NET_WM_STATE_MAXIMIZED_HORZ"), 1u});
  wait_for_manager([&] { return maximized_on_server(c, id) == maximized; });
}

}  // namespace brek_platform::qt
