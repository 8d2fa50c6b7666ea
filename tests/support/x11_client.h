#pragma once
// A second client of the X server, with a connection of its own: it opens
// windows as another program would and reads what the program under test
// wrote on its windows, without going through the program's code.

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/wait_until.h"

namespace x11_test {

class Client {
 public:
  Client() {
    int screen_number = 0;
    c_ = xcb_connect(nullptr, &screen_number);
    if (xcb_connection_has_error(c_)) return;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c_));
    for (int i = 0; i < screen_number && it.rem; ++i) xcb_screen_next(&it);
    if (it.rem) root_ = it.data->root;
  }
  ~Client() {
    for (xcb_window_t w : windows_)
      if (w != XCB_WINDOW_NONE) xcb_destroy_window(c_, w);
    xcb_flush(c_);
    xcb_disconnect(c_);
  }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool ok() const { return root_ != 0; }
  xcb_window_t root() const { return root_; }

  xcb_atom_t atom(const char* name) {
    auto* r = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, uint16_t(std::strlen(name)), name), nullptr);
    xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(r);
    return a;
  }

  // A mapped top-level window at (x, y) of w x h pixels with the class
  // pair (instance, class) and the title, both as WM_NAME and _NET_WM_NAME.
  xcb_window_t open_window(int x, int y, int w, int h, const std::string& instance, const std::string& cls,
                           const std::string& title) {
    xcb_window_t win = xcb_generate_id(c_);
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, win, root_, int16_t(x), int16_t(y), uint16_t(w), uint16_t(h), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    std::string pair = instance + '\0' + cls + '\0';
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, win, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        uint32_t(pair.size()), pair.data());
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, win, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        uint32_t(title.size()), title.data());
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, win, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8,
                        uint32_t(title.size()), title.data());
    xcb_map_window(c_, win);
    windows_.push_back(win);
    sync();
    return win;
  }

  // A desktop's panel: a dock window that reserves a strip along an edge
  // of the screen (_NET_WM_STRUT_PARTIAL: left, right, top, bottom, then
  // the start and end of each strip), which the window manager keeps other
  // windows off. The strips' widths go in _NET_WM_STRUT too, as panels
  // write them for managers that read only that.
  xcb_window_t open_panel(int x, int y, int w, int h, const std::vector<uint32_t>& strut) {
    xcb_window_t win = xcb_generate_id(c_);
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, win, root_, int16_t(x), int16_t(y), uint16_t(w), uint16_t(h), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t dock = atom("_NET_WM_WINDOW_TYPE_DOCK");
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, win, atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &dock);
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, win, atom("_NET_WM_STRUT_PARTIAL"), XCB_ATOM_CARDINAL, 32,
                        uint32_t(strut.size()), strut.data());
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, win, atom("_NET_WM_STRUT"), XCB_ATOM_CARDINAL, 32,
                        uint32_t(std::min<size_t>(strut.size(), 4)), strut.data());
    xcb_map_window(c_, win);
    windows_.push_back(win);
    sync();
    return win;
  }

  void close_window(xcb_window_t win) {
    xcb_destroy_window(c_, win);
    for (auto& w : windows_)
      if (w == win) w = XCB_WINDOW_NONE;
    sync();
  }

  // A 32-bit property of a window (empty when it is not set).
  std::vector<uint32_t> cardinals(xcb_window_t win, const char* name) {
    std::vector<uint32_t> v;
    auto* r = xcb_get_property_reply(
        c_, xcb_get_property(c_, 0, win, atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 1u << 24), nullptr);
    if (r && r->format == 32) {
      auto* p = static_cast<const uint32_t*>(xcb_get_property_value(r));
      v.assign(p, p + xcb_get_property_value_length(r) / 4);
    }
    std::free(r);
    return v;
  }

  // Sets a list of windows on the root window, as a window manager keeps
  // its lists there; an empty list deletes the property.
  void set_root_windows(const char* name, const std::vector<xcb_window_t>& list) {
    if (list.empty())
      xcb_delete_property(c_, root_, atom(name));
    else
      xcb_change_property(c_, XCB_PROP_MODE_REPLACE, root_, atom(name), XCB_ATOM_WINDOW, 32, uint32_t(list.size()),
                          list.data());
    sync();
  }

  void set_cardinals(xcb_window_t win, const char* name, const std::vector<uint32_t>& values) {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, win, atom(name), XCB_ATOM_CARDINAL, 32, uint32_t(values.size()),
                        values.data());
    sync();
  }

  // Takes the window manager's part: requests to the root's children come
  // here (no other client may hold it, so false under a real manager).
  bool act_as_window_manager() {
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    xcb_generic_error_t* e =
        xcb_request_check(c_, xcb_change_window_attributes_checked(c_, root_, XCB_CW_EVENT_MASK, &mask));
    std::free(e);
    return e == nullptr;
  }
  void stop_acting_as_window_manager() {
    const uint32_t mask = 0;
    xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &mask);
    sync();
  }

  // Waits for the next client message of the type to reach this client;
  // false when none came.
  bool next_client_message(const char* type, xcb_client_message_event_t& out) {
    const xcb_atom_t wanted = atom(type);
    return brek_test::wait_until([&] {
      while (xcb_generic_event_t* ev = xcb_poll_for_event(c_)) {
        note(ev);
        const bool hit = (ev->response_type & 0x7F) == XCB_CLIENT_MESSAGE &&
                         reinterpret_cast<xcb_client_message_event_t*>(ev)->type == wanted;
        if (hit) out = *reinterpret_cast<xcb_client_message_event_t*>(ev);
        std::free(ev);
        if (hit) return true;
      }
      return false;
    });
  }

  // From now on notes where each child of the root (a window manager's
  // frame, or a window it does not frame) is as it maps, from the
  // server's own reports, so that no place it passes through is missed.
  void watch_maps() {
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &mask);
    sync();
  }

  // A window's rectangle on the screen, without the frame a window
  // manager puts around it (pixels); all zero when it names no window.
  struct Box {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const Box&) const = default;
  };
  // Where the window's frame (its child of the root) was as it first
  // mapped since watch_maps (border included); all zero when it did not.
  Box first_mapped(xcb_window_t win) {
    while (xcb_generic_event_t* ev = xcb_poll_for_event(c_)) {
      note(ev);
      std::free(ev);
    }
    const xcb_window_t top = top_level(win);
    for (const Mapped& m : mapped_)
      if (m.window == top) return m.first;
    return Box{};
  }
  Box geometry(xcb_window_t win) {
    Box b;
    auto* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, win), nullptr);
    auto* t = xcb_translate_coordinates_reply(c_, xcb_translate_coordinates(c_, win, root_, 0, 0), nullptr);
    if (g && t) b = Box{t->dst_x, t->dst_y, g->width, g->height};
    std::free(g);
    std::free(t);
    return b;
  }
  // The window with the frame its window manager gives it
  // (_NET_FRAME_EXTENTS: left, right, top, bottom).
  Box frame_geometry(xcb_window_t win) {
    Box b = geometry(win);
    std::vector<uint32_t> e = cardinals(win, "_NET_FRAME_EXTENTS");
    if (e.size() != 4) return b;
    return Box{b.x - int(e[0]), b.y - int(e[2]), b.w + int(e[0] + e[1]), b.h + int(e[2] + e[3])};
  }
  // Whether the window manager keeps the window maximized in either
  // direction.
  bool maximized(xcb_window_t win) {
    const xcb_atom_t v = atom("_NET_WM_STATE_MAXIMIZED_VERT"), h = atom("_NET_WM_STATE_MAXIMIZED_HORZ");
    for (uint32_t a : cardinals(win, "_NET_WM_STATE"))
      if (a == v || a == h) return true;
    return false;
  }
  // The work area the window manager leaves windows (x, y, w, h of the
  // first desktop); the root's size when it names none.
  Box work_area() {
    std::vector<uint32_t> a = cardinals(root_, "_NET_WORKAREA");
    if (a.size() >= 4) return Box{int(a[0]), int(a[1]), int(a[2]), int(a[3])};
    return geometry(root_);
  }
  // Asks the window manager to maximize the window or give it back its
  // size, as its own title bar button does.
  void request_maximized(xcb_window_t win, bool on) {
    ask_manager(win, "_NET_WM_STATE",
                {on ? 1u : 0u, atom("_NET_WM_STATE_MAXIMIZED_VERT"), atom("_NET_WM_STATE_MAXIMIZED_HORZ"), 2u});
  }
  // Asks the window manager to show the window full screen or to give it
  // back, as its own key for full screen does.
  void request_full_screen(xcb_window_t win, bool on) {
    ask_manager(win, "_NET_WM_STATE", {on ? 1u : 0u, atom("_NET_WM_STATE_FULLSCREEN"), 0u, 2u});
  }
  // Whether the window manager keeps the window full screen.
  bool full_screen(xcb_window_t win) {
    const xcb_atom_t f = atom("_NET_WM_STATE_FULLSCREEN");
    for (uint32_t a : cardinals(win, "_NET_WM_STATE"))
      if (a == f) return true;
    return false;
  }
  // Tells the tests' own window manager (late_window_manager.cpp) to frame
  // the window now (0: every window it shows unframed).
  void frame_now(xcb_window_t win) { ask_manager(win, "_TEST_WM_FRAME", {win}); }
  // Asks the window manager to move the window itself (not its frame) to
  // x, y, as the user does by dragging its title bar.
  void request_move(xcb_window_t win, int x, int y) {
    constexpr uint32_t STATIC_GRAVITY = 10, X_AND_Y = 3u << 8, BY_USER = 2u << 12;
    ask_manager(win, "_NET_MOVERESIZE_WINDOW", {STATIC_GRAVITY | X_AND_Y | BY_USER, uint32_t(x), uint32_t(y), 0, 0});
  }
  // Asks the window manager to close the window, as the close box of its
  // title bar does: the manager sends the program the window's close
  // request (WM_DELETE_WINDOW).
  void request_close(xcb_window_t win) { ask_manager(win, "_NET_CLOSE_WINDOW", {XCB_CURRENT_TIME, 2u}); }
  // Asks the window manager to give the window the focus, as the user does
  // by picking it in a task bar.
  void activate(xcb_window_t win) { ask_manager(win, "_NET_ACTIVE_WINDOW", {2u, XCB_CURRENT_TIME, 0u}); }
  // Picks the window until it has the focus (a program may move the focus
  // to a window of its own meanwhile, as one it has just shown); false when
  // it does not take it.
  bool pick(xcb_window_t win) {
    for (int tries = 0; tries < 3; ++tries) {
      activate(win);
      if (brek_test::wait_until([&] { return input_focus() == win; }, std::chrono::seconds(1))) return true;
    }
    return false;
  }

  // Returns once the window manager has handled every request that
  // reached the server before: a window of this client's is mapped and
  // waited for until the manager has framed it, as it handles requests in
  // their order. false without a manager that frames windows (within the
  // bound).
  bool window_manager_barrier(std::chrono::milliseconds bound = std::chrono::seconds(20)) {
    xcb_window_t win = open_window(0, 0, 10, 10, "barrier", "Barrier", "barrier");
    const bool framed = brek_test::wait_until([&] { return cardinals(win, "_NET_FRAME_EXTENTS").size() == 4; }, bound);
    close_window(win);
    return framed;
  }

  // A left click at a point of the window (pixels from its top-left
  // corner), as the server reports one to the program that made it.
  void click(xcb_window_t win, int x, int y) {
    const Box at = geometry(win);
    for (uint8_t type : {uint8_t(XCB_BUTTON_PRESS), uint8_t(XCB_BUTTON_RELEASE)}) {
      xcb_button_press_event_t e;
      std::memset(&e, 0, sizeof e);
      e.response_type = type;
      e.detail = 1;
      e.time = XCB_CURRENT_TIME;
      e.root = root_;
      e.event = win;
      e.child = XCB_WINDOW_NONE;
      e.root_x = int16_t(at.x + x);
      e.root_y = int16_t(at.y + y);
      e.event_x = int16_t(x);
      e.event_y = int16_t(y);
      e.state = type == XCB_BUTTON_RELEASE ? XCB_BUTTON_MASK_1 : 0;
      e.same_screen = 1;
      xcb_send_event(c_, 0, win, 0, reinterpret_cast<const char*>(&e));
    }
    sync();
  }

  // A key pressed or released as the keyboard does it, by its keysym
  // (X11/keysymdef.h): the server sends it to the window that has the
  // focus. false when no key of the keyboard gives the keysym.
  bool key(uint32_t keysym, bool press) {
    const xcb_keycode_t code = keycode_of(keysym);
    if (code == 0) return false;
    key_code(code, press);
    return true;
  }
  // A key pressed or released by its X key code, its place on the
  // keyboard, whatever the layout makes of it.
  void key_code(xcb_keycode_t code, bool press) {
    xcb_test_fake_input(c_, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0,
                        0);
    xcb_flush(c_);
  }
  // A key pressed and released with the keys held (X key codes, pressed
  // in order and released the other way round).
  void stroke(xcb_keycode_t code, const std::vector<xcb_keycode_t>& held = {}) {
    for (xcb_keycode_t h : held) key_code(h, true);
    key_code(code, true);
    key_code(code, false);
    for (auto h = held.rbegin(); h != held.rend(); ++h) key_code(*h, false);
    sync();
  }
  // A left click of the pointer at a point of the screen: it goes to
  // whatever window shows there.
  void click_at(int x, int y) {
    xcb_test_fake_input(c_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_, int16_t(x), int16_t(y), 0);
    xcb_test_fake_input(c_, XCB_BUTTON_PRESS, 1, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
    xcb_test_fake_input(c_, XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
    sync();
  }

  // Gives the window the keyboard at once, as a window manager does, or a
  // program that takes it where none runs.
  void set_input_focus(xcb_window_t win) {
    xcb_set_input_focus(c_, XCB_INPUT_FOCUS_POINTER_ROOT, win, XCB_CURRENT_TIME);
    sync();
  }

  xcb_window_t input_focus() {
    auto* r = xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr);
    xcb_window_t w = r ? r->focus : xcb_window_t(XCB_WINDOW_NONE);
    std::free(r);
    return w;
  }

  // Whether the window shows: it and its ancestors are mapped.
  bool viewable(xcb_window_t win) {
    auto* a = xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, win), nullptr);
    const bool shown = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(a);
    return shown;
  }

  // The window WM_TRANSIENT_FOR names; none when it is not set.
  xcb_window_t transient_for(xcb_window_t win) {
    std::vector<uint32_t> v = cardinals(win, "WM_TRANSIENT_FOR");
    return v.empty() ? xcb_window_t(XCB_WINDOW_NONE) : xcb_window_t(v.front());
  }
  // The child of the root that holds the window: its frame under a window
  // manager, else the window itself.
  xcb_window_t top_level(xcb_window_t win) {
    for (int depth = 0; depth < 16; ++depth) {
      auto* r = xcb_query_tree_reply(c_, xcb_query_tree(c_, win), nullptr);
      const xcb_window_t parent = r ? r->parent : xcb_window_t(XCB_WINDOW_NONE);
      std::free(r);
      if (parent == XCB_WINDOW_NONE || parent == root_) return win;
      win = parent;
    }
    return win;
  }
  // Whether window a shows above window b (their frames, by the stacking
  // order of the root's children).
  bool above(xcb_window_t a, xcb_window_t b) {
    const std::vector<xcb_window_t> order = stacking();
    const xcb_window_t ta = top_level(a), tb = top_level(b);
    int ia = -1, ib = -1;
    for (int i = 0; i < int(order.size()); ++i) {
      if (order[size_t(i)] == ta) ia = i;
      if (order[size_t(i)] == tb) ib = i;
    }
    return ia >= 0 && ib >= 0 && ia > ib;
  }

  // The root's children, bottom of the stack first.
  std::vector<xcb_window_t> stacking() {
    std::vector<xcb_window_t> v;
    auto* r = xcb_query_tree_reply(c_, xcb_query_tree(c_, root_), nullptr);
    if (r) {
      xcb_window_t* ch = xcb_query_tree_children(r);
      v.assign(ch, ch + xcb_query_tree_children_length(r));
    }
    std::free(r);
    return v;
  }

  // Waits until the server has handled every request sent so far.
  void sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

 private:
  // A request to the window manager about a window (the source 2 in the
  // data says the user asked).
  void ask_manager(xcb_window_t win, const char* type, const std::vector<uint32_t>& data) {
    xcb_client_message_event_t e;
    std::memset(&e, 0, sizeof e);
    e.response_type = XCB_CLIENT_MESSAGE;
    e.format = 32;
    e.window = win;
    e.type = atom(type);
    for (size_t i = 0; i < data.size() && i < 5; ++i) e.data.data32[i] = data[i];
    xcb_send_event(c_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&e));
    sync();
  }

  // The first key whose unshifted symbol is the keysym; 0 for none.
  xcb_keycode_t keycode_of(uint32_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(c_);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto* r = xcb_get_keyboard_mapping_reply(
        c_, xcb_get_keyboard_mapping(c_, setup->min_keycode, uint8_t(count)), nullptr);
    xcb_keycode_t code = 0;
    if (r && r->keysyms_per_keycode > 0) {
      const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r);
      for (int i = 0; i < count && code == 0; ++i)
        if (syms[i * r->keysyms_per_keycode] == keysym) code = xcb_keycode_t(setup->min_keycode + i);
    }
    std::free(r);
    return code;
  }

  // Where the root's children are, by the server's reports (watch_maps).
  struct Mapped {
    xcb_window_t window = 0;
    Box now, first;
    bool shown = false;
  };
  Mapped& mapped(xcb_window_t win) {
    for (Mapped& m : mapped_)
      if (m.window == win) return m;
    mapped_.push_back(Mapped{win, {}, {}, false});
    return mapped_.back();
  }
  void note(const xcb_generic_event_t* ev) {
    switch (ev->response_type & 0x7F) {
      case XCB_CREATE_NOTIFY: {
        auto* e = reinterpret_cast<const xcb_create_notify_event_t*>(ev);
        const int border = 2 * e->border_width;
        if (e->parent == root_) mapped(e->window).now = Box{e->x, e->y, e->width + border, e->height + border};
        break;
      }
      case XCB_CONFIGURE_NOTIFY: {
        auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(ev);
        const int border = 2 * e->border_width;
        if (e->event == root_) mapped(e->window).now = Box{e->x, e->y, e->width + border, e->height + border};
        break;
      }
      case XCB_REPARENT_NOTIFY: {
        auto* e = reinterpret_cast<const xcb_reparent_notify_event_t*>(ev);
        if (e->event == root_ && e->parent == root_) {
          Mapped& m = mapped(e->window);
          m.now = Box{e->x, e->y, m.now.w, m.now.h};
        }
        break;
      }
      case XCB_MAP_NOTIFY: {
        auto* e = reinterpret_cast<const xcb_map_notify_event_t*>(ev);
        if (e->event != root_) break;
        Mapped& m = mapped(e->window);
        if (!m.shown) m.first = m.now;
        m.shown = true;
        break;
      }
      default:
        break;
    }
  }

  xcb_connection_t* c_ = nullptr;
  xcb_window_t root_ = 0;
  std::vector<xcb_window_t> windows_;
  std::vector<Mapped> mapped_;
};

}  // namespace x11_test
