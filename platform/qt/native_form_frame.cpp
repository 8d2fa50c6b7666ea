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

// The states a request changes together: maximized (both ways), or full
// screen.
const std::vector<const char*> MAXIMIZED = {"_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ"};
const std::vector<const char*> FULL_SCREEN = {"_NET_WM_STATE_FULLSCREEN"};

// Whether the manager keeps any of the states on the window.
bool state_on_server(xcb_connection_t* c, xcb_window_t w, const std::vector<const char*>& states) {
  const std::vector<uint32_t> now = x11_words(c, w, "_NET_WM_STATE");
  for (const char* name : states)
    if (std::find(now.begin(), now.end(), x11_atom(c, name)) != now.end()) return true;
  return false;
}

// Extents (left, right, top, bottom, in the server's pixels) as margins of
// the widget's pixels.
QMargins margins_of(const std::vector<uint32_t>& e, double ratio) {
  if (e.size() != 4 || !(ratio > 0)) return {};
  auto px = [&](uint32_t v) { return int(std::lround(double(std::min<uint32_t>(v, 10000)) / ratio)); };
  return QMargins(px(e[0]), px(e[2]), px(e[1]), px(e[3]));
}

// The frame the window has had on the server; empty when none. Read once:
// a manager may take it away from a hidden window at any time.
std::vector<uint32_t> own_extents(xcb_connection_t* c, xcb_window_t id) {
  std::vector<uint32_t> e = id ? x11_words(c, id, "_NET_FRAME_EXTENTS") : std::vector<uint32_t>{};
  return e.size() == 4 && e != std::vector<uint32_t>(4, 0) ? e : std::vector<uint32_t>{};
}

// The platform's own idea of the frame (what it read last, or the frame
// it gives every window), also before the window is shown.
QMargins qt_frame(QWidget* w) {
  w->winId();
  const QWindow* win = w->windowHandle();
  return win ? win->frameMargins() : QMargins();
}

// Cleared once the manager left a request for an estimate unanswered: it
// is not asked again. Set once it answered one.
bool g_estimates_answered = true;
bool g_estimate_given = false;

// A property of one window given to another as it stands (nothing when
// the first has none).
void copy_property(xcb_connection_t* c, xcb_window_t from, xcb_window_t to, const char* name) {
  const xcb_atom_t a = x11_atom(c, name);
  X11_reply<xcb_get_property_reply_t> r(
      xcb_get_property_reply(c, xcb_get_property(c, 0, from, a, XCB_GET_PROPERTY_TYPE_ANY, 0, 1u << 16), nullptr));
  if (!r || r->type == XCB_ATOM_NONE) return;
  const int bytes = xcb_get_property_value_length(r.get());
  const int unit = r->format / 8;
  if (unit == 0) return;
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, to, a, r->type, r->format, uint32_t(bytes / unit),
                      xcb_get_property_value(r.get()));
}

// The manager's estimate for a window it does not manage yet; empty when
// it gives none. It is asked about a stand-in of the same kind and
// decoration: a manager may answer with word of where it would put the
// window (openbox does), which, reaching the window after the program
// placed it, would pass for its place.
std::vector<uint32_t> requested_extents(xcb_connection_t* c, xcb_window_t w) {
  if (!g_estimates_answered || !x11_supported(c, "_NET_REQUEST_FRAME_EXTENTS")) return {};
  const xcb_window_t probe = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, x11_root(), 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  for (const char* name : {"_NET_WM_WINDOW_TYPE", "_MOTIF_WM_HINTS", "WM_TRANSIENT_FOR"}) copy_property(c, w, probe, name);
  x11_ask_manager(c, probe, "_NET_REQUEST_FRAME_EXTENTS", {});
  const auto limit = Clock::now() + ANSWER_BOUND;
  std::vector<uint32_t> extents;
  while ((extents = x11_words(c, probe, "_NET_FRAME_EXTENTS")).size() != 4 && Clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  xcb_destroy_window(c, probe);
  xcb_flush(c);
  if (extents.size() != 4) g_estimates_answered = false;
  else g_estimate_given = true;
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
  const std::vector<uint32_t> had = own_extents(c, id);
  return margins_of(had.empty() ? requested_extents(c, xcb_window_t(w->winId())) : had, ratio);
}

bool frame_known(QWidget* w) {
  xcb_connection_t* c = x11_connection();
  if (!c || !w || !window_manager_runs()) return true;
  const xcb_window_t id = x11_id(w);
  if (id && x11_viewable(c, id)) return x11_words(c, id, "_NET_FRAME_EXTENTS").size() == 4;
  if (w->windowFlags().testFlag(Qt::FramelessWindowHint) || !own_extents(c, id).empty()) return true;
  // The manager is asked once for all windows.
  if (!g_estimate_given && g_estimates_answered) frame_margins(w);
  return g_estimate_given && g_estimates_answered;
}

void await_mapped(QWidget* w) {
  xcb_connection_t* c = x11_connection();
  const xcb_window_t id = w ? x11_id(w) : 0;
  if (!c || !id || !w->isVisible()) return;
  wait_for_manager([&] { return x11_viewable(c, id); });
}

void await_framed(QWidget* w) {
  xcb_connection_t* c = x11_connection();
  const xcb_window_t id = w ? x11_id(w) : 0;
  if (!c || !id || !w->isVisible()) return;
  wait_for_manager([&] { return x11_viewable(c, id) && x11_words(c, id, "_NET_FRAME_EXTENTS").size() == 4; });
}

namespace {

bool by_manager(QWidget* w, const std::vector<const char*>& states) {
  xcb_connection_t* c = x11_connection();
  const xcb_window_t id = w ? x11_id(w) : 0;
  return c && id && state_on_server(c, id, states);
}

void await_states(QWidget* w, const std::vector<const char*>& states, bool on) {
  xcb_connection_t* c = x11_connection();
  const xcb_window_t id = w ? x11_id(w) : 0;
  if (!c || !id || !w->isVisible() || !x11_viewable(c, id) || !window_manager_runs()) return;
  // Qt asks only when its own record of the state differs, and that record
  // lags behind a manager that changed the state itself: ask once more (a
  // second request for the same state changes nothing).
  // Add or remove them together, asked by a normal application (source 1).
  if (state_on_server(c, id, states) != on)
    x11_ask_manager(c, id, "_NET_WM_STATE",
                    {on ? 1u : 0u, x11_atom(c, states[0]), states.size() > 1 ? x11_atom(c, states[1]) : 0u, 1u});
  wait_for_manager([&] { return state_on_server(c, id, states) == on; });
}

}  // namespace

bool managed_by_window_manager(QWidget* w) {
  xcb_connection_t* c = x11_connection();
  const xcb_window_t id = w ? x11_id(w) : 0;
  return c && id && w->isVisible() && x11_viewable(c, id) && window_manager_runs();
}

bool maximized_by_manager(QWidget* w) { return by_manager(w, MAXIMIZED); }

void await_window_state(QWidget* w, bool maximized) { await_states(w, MAXIMIZED, maximized); }

bool full_screen_by_manager(QWidget* w) { return by_manager(w, FULL_SCREEN); }

void await_full_screen(QWidget* w, bool on) { await_states(w, FULL_SCREEN, on); }

}  // namespace brek_platform::qt
