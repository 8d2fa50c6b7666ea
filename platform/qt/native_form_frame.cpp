#include "platform/qt/native_form_frame.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
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

// What the running manager showed of itself. Another manager (another
// check window) starts afresh.
struct Manager_record {
  xcb_window_t check = 0;
  // Cleared once it let a request for an estimate pass unanswered: it is
  // not asked again. Set once it answered one.
  bool estimates_answered = true;
  bool estimate_given = false;
  // Cleared once it mapped a window without framing it: windows it shows
  // are not waited for, and are placed again when it frames them.
  bool frames_as_it_maps = true;
  // Cleared once a wait for it ran out: it is not waited on again.
  bool answers = true;
  // The frame it gave a window of another program, by window type.
  std::map<uint32_t, std::vector<uint32_t>> like_frames;
};

// The running manager's check window; 0 when none runs.
xcb_window_t manager_check(xcb_connection_t* c) {
  const std::vector<uint32_t> check = x11_words(c, x11_root(), "_NET_SUPPORTING_WM_CHECK");
  if (check.size() != 1) return 0;
  // A manager that ended leaves its property on the root: its window
  // names itself only while it lives.
  const std::vector<uint32_t> own = x11_words(c, check[0], "_NET_SUPPORTING_WM_CHECK");
  return own.size() == 1 && own[0] == check[0] ? check[0] : 0;
}

Manager_record& manager(xcb_connection_t* c) {
  static Manager_record record;
  const xcb_window_t check = manager_check(c);
  // The server hands a new client the ids of one that left: a manager
  // started in place of another may name its check window as the other
  // did. The window the record was made for carries a mark of ours.
  const char* const MARK = "_COLLAGE_MANAGER_RECORDED";
  if (check != record.check || (check && x11_words(c, check, MARK).empty())) {
    record = Manager_record();
    record.check = check;
    if (check) {
      const uint32_t one = 1;
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, check, x11_atom(c, MARK), XCB_ATOM_CARDINAL, 32, 1, &one);
      xcb_flush(c);
    }
  }
  return record;
}

// A window of ours the manager does not manage, made wider through it
// (a manager takes every configure request of the root's children). The
// manager handles requests in their order: once the window is wider, it
// has handled every request sent before, and answered what it answers at
// once.
class Manager_barrier {
 public:
  explicit Manager_barrier(xcb_connection_t* c) : c_(c), probe_(xcb_generate_id(c)) {
    xcb_create_window(c, XCB_COPY_FROM_PARENT, probe_, x11_root(), -16, -16, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    const uint32_t width = 2;
    xcb_configure_window(c, probe_, XCB_CONFIG_WINDOW_WIDTH, &width);
    xcb_flush(c);
  }
  ~Manager_barrier() {
    xcb_destroy_window(c_, probe_);
    xcb_flush(c_);
  }
  Manager_barrier(const Manager_barrier&) = delete;
  Manager_barrier& operator=(const Manager_barrier&) = delete;

  bool passed() {
    if (!passed_) {
      X11_reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c_, xcb_get_geometry(c_, probe_), nullptr));
      passed_ = g && g->width == 2;
    }
    return passed_;
  }

 private:
  xcb_connection_t* c_;
  xcb_window_t probe_;
  bool passed_ = false;
};

// Sleeps between checks until done() holds or the bound passes; false
// when it passed, and the manager is then waited on no more.
template <class Done>
bool poll_manager(xcb_connection_t* c, Done done) {
  Manager_record& m = manager(c);
  if (!m.answers) return done();
  const auto limit = Clock::now() + ANSWER_BOUND;
  while (!done()) {
    if (Clock::now() >= limit) {
      m.answers = false;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

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
// placed it, would pass for its place. A manager that lists the request
// may still leave it unanswered (fluxbox): once it handled what came
// after the request, no answer is coming.
std::vector<uint32_t> requested_extents(xcb_connection_t* c, xcb_window_t w) {
  Manager_record& m = manager(c);
  if (!m.estimates_answered || !x11_supported(c, "_NET_REQUEST_FRAME_EXTENTS")) return {};
  const xcb_window_t probe = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, x11_root(), 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  for (const char* name : {"_NET_WM_WINDOW_TYPE", "_MOTIF_WM_HINTS", "WM_TRANSIENT_FOR"}) copy_property(c, w, probe, name);
  x11_ask_manager(c, probe, "_NET_REQUEST_FRAME_EXTENTS", {});
  std::vector<uint32_t> extents;
  {
    Manager_barrier barrier(c);
    poll_manager(c, [&] {
      const bool caught_up = barrier.passed();
      return (extents = x11_words(c, probe, "_NET_FRAME_EXTENTS")).size() == 4 || caught_up;
    });
  }
  xcb_destroy_window(c, probe);
  xcb_flush(c);
  if (extents.size() != 4) m.estimates_answered = false;
  else m.estimate_given = true;
  return extents;
}

// The frame the manager gives another window of the same type that it
// shows in the normal state (another program's, a terminal's say): a
// manager frames windows of one type alike. Empty when it shows none.
std::vector<uint32_t> like_window_extents(xcb_connection_t* c, xcb_window_t w) {
  auto type_of = [&](xcb_window_t window) {
    const std::vector<uint32_t> types = x11_words(c, window, "_NET_WM_WINDOW_TYPE");
    return types.empty() ? x11_atom(c, "_NET_WM_WINDOW_TYPE_NORMAL") : types.front();
  };
  const uint32_t type = type_of(w);
  std::map<uint32_t, std::vector<uint32_t>>& known = manager(c).like_frames;
  if (known.count(type)) return known[type];
  std::vector<uint32_t> other_states;
  for (const char* name : {"_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ", "_NET_WM_STATE_FULLSCREEN",
                           "_NET_WM_STATE_SHADED", "_NET_WM_STATE_HIDDEN"})
    other_states.push_back(x11_atom(c, name));
  for (const uint32_t client : x11_words(c, x11_root(), "_NET_CLIENT_LIST")) {
    if (client == w || type_of(client) != type) continue;
    const std::vector<uint32_t> states = x11_words(c, client, "_NET_WM_STATE");
    if (std::find_first_of(states.begin(), states.end(), other_states.begin(), other_states.end()) != states.end())
      continue;
    const std::vector<uint32_t> e = own_extents(c, client);
    if (!e.empty()) return known[type] = e;
  }
  return {};
}

bool g_waiting = false;

// Lets the window system's events reach the windows (input waits) until
// done() holds or the bound passes; false when it passed, and the manager
// is then waited on no more. A wait inside a wait returns at once.
template <class Done>
bool wait_for_manager(xcb_connection_t* c, Done done) {
  if (g_waiting || !manager(c).answers) return done();
  g_waiting = true;
  const bool answered = poll_manager(c, [&] {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return done();
  });
  // What the server sent before the answer is Qt's now, not later.
  x11_sync();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  g_waiting = false;
  return answered;
}

}  // namespace

bool window_manager_runs() {
  xcb_connection_t* c = x11_connection();
  return c && manager_check(c) != 0;
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
  // Not shown yet: the frame it had, else the manager's estimate, else
  // the frame it gives a window like it (still to be confirmed once it
  // framed this one: frame_known).
  std::vector<uint32_t> e = own_extents(c, id);
  if (e.empty()) e = requested_extents(c, xcb_window_t(w->winId()));
  if (e.empty()) e = like_window_extents(c, xcb_window_t(w->winId()));
  return margins_of(e, ratio);
}

bool frame_known(QWidget* w) {
  xcb_connection_t* c = x11_connection();
  if (!c || !w || !window_manager_runs()) return true;
  const xcb_window_t id = x11_id(w);
  if (id && x11_viewable(c, id)) return x11_words(c, id, "_NET_FRAME_EXTENTS").size() == 4;
  if (w->windowFlags().testFlag(Qt::FramelessWindowHint) || !own_extents(c, id).empty()) return true;
  // The manager is asked once for all windows.
  Manager_record& m = manager(c);
  if (!m.estimate_given && m.estimates_answered) frame_margins(w);
  return m.estimate_given && m.estimates_answered;
}

void await_mapped(QWidget* w) {
  xcb_connection_t* c = x11_connection();
  const xcb_window_t id = w ? x11_id(w) : 0;
  if (!c || !id || !w->isVisible()) return;
  // A manager that handled the map without mapping the window (another
  // desktop's) maps it on its own time.
  Manager_barrier barrier(c);
  wait_for_manager(c, [&] { return barrier.passed() || x11_viewable(c, id); });
}

void await_framed(QWidget* w) {
  xcb_connection_t* c = x11_connection();
  const xcb_window_t id = w ? x11_id(w) : 0;
  if (!c || !id || !w->isVisible() || !manager(c).frames_as_it_maps) return;
  auto framed = [&] { return x11_words(c, id, "_NET_FRAME_EXTENTS").size() == 4; };
  // A manager frames a window as it takes it, later or never: once it has
  // handled the map, what it did tells which.
  Manager_barrier barrier(c);
  if (wait_for_manager(c, [&] { return framed() || barrier.passed(); }) && !framed() && x11_viewable(c, id))
    manager(c).frames_as_it_maps = false;
}

void await_withdrawn(QWidget* w) {
  xcb_connection_t* c = x11_connection();
  const xcb_window_t id = w ? x11_id(w) : 0;
  if (!c || !id || !window_manager_runs()) return;
  // Held while it sits in the manager's frame or is still marked as shown
  // or minimized (WM_STATE: 0 is withdrawn).
  auto held = [&] {
    X11_reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, id), nullptr));
    if (tree && tree->parent != x11_root()) return true;
    const std::vector<uint32_t> state = x11_words(c, id, "WM_STATE");
    return !state.empty() && state[0] != 0;
  };
  if (!held()) return;
  // Once the manager has handled what was sent before, it has had the
  // unmap; one that keeps a window it let go marked is not waited on
  // further. Nothing of the program's runs meanwhile: this is inside a
  // show.
  Manager_barrier barrier(c);
  poll_manager(c, [&] { return !held() || barrier.passed(); });
}

void skip_taskbar(QWidget* w) {
  xcb_connection_t* c = x11_connection();
  if (!c || !w) return;
  const auto id = xcb_window_t(w->winId());
  const xcb_atom_t skip = x11_atom(c, "_NET_WM_STATE_SKIP_TASKBAR");
  if (x11_viewable(c, id)) {
    x11_ask_manager(c, id, "_NET_WM_STATE", {1u, skip, 0u, 1u});
    return;
  }
  // Qt keeps what the property holds as it adds its own states.
  const std::vector<uint32_t> states = x11_words(c, id, "_NET_WM_STATE");
  if (std::find(states.begin(), states.end(), skip) == states.end())
    xcb_change_property(c, XCB_PROP_MODE_APPEND, id, x11_atom(c, "_NET_WM_STATE"), XCB_ATOM_ATOM, 32, 1, &skip);
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
  // A manager that does not list the state never sets it.
  if (x11_supported(c, states[0])) wait_for_manager(c, [&] { return state_on_server(c, id, states) == on; });
}

}  // namespace

bool managed_by_window_manager(QWidget* w) {
  xcb_connection_t* c = x11_connection();
  const xcb_window_t id = w ? x11_id(w) : 0;
  return c && id && w->isVisible() && x11_viewable(c, id) && window_manager_runs();
}

bool maximized_by_manager(QWidget* w) { return by_manager(w, MAXIMIZED); }

void await_window_state(QWidget* w, bool maximized) { await_states(w, MAXIMIZED, maximized); }

bool manager_shows_full_screen() {
  xcb_connection_t* c = x11_connection();
  return c && window_manager_runs() && x11_supported(c, FULL_SCREEN[0]);
}

bool full_screen_by_manager(QWidget* w) { return by_manager(w, FULL_SCREEN); }

void await_full_screen(QWidget* w, bool on) { await_states(w, FULL_SCREEN, on); }

namespace {

// The frame the manager writes on a window, told once the event loop
// turns (not inside Qt's delivery of the server's events).
class Frame_watch final : public QAbstractNativeEventFilter {
 public:
  std::function<void(QWidget*)> framed;

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t" || !framed) return false;
    const auto* e = static_cast<const xcb_generic_event_t*>(message);
    if ((e->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) return false;
    const auto* p = static_cast<const xcb_property_notify_event_t*>(message);
    xcb_connection_t* c = x11_connection();
    if (!c || p->state != XCB_PROPERTY_NEW_VALUE || p->atom != x11_atom(c, "_NET_FRAME_EXTENTS")) return false;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (x11_id(w) == p->window) {
        QTimer::singleShot(0, qApp, [this, widget = QPointer<QWidget>(w)] {
          if (widget && framed) framed(widget);
        });
        break;
      }
    return false;
  }
};

}  // namespace

void watch_frames(std::function<void(QWidget*)> framed) {
  // Never destroyed: a report may be under way as the layer goes.
  static Frame_watch* watch = new Frame_watch;
  static QCoreApplication* installed_on = nullptr;
  if (qApp && installed_on != qApp) {
    qApp->installNativeEventFilter(watch);
    installed_on = qApp;
  }
  watch->framed = std::move(framed);
}

}  // namespace brek_platform::qt
