// Other programs' windows on X11, through the connection Qt holds: the
// window manager's client list when there is one, else the root window's
// children (a bare X server has no window manager to keep a list).

#include "platform/outside_windows.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "platform/qt/x11_connection.h"

namespace brek_platform {

namespace {

// A window id fits in 29 bits; anything else names no window.
bool is_window_id(int64_t h) { return h > 0 && h <= 0x1FFFFFFF; }

// The bytes of a property, whatever its type; empty when it is not set.
std::string property_bytes(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
  if (property == XCB_ATOM_NONE) return {};
  qt::X11_reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
      c, xcb_get_property(c, 0, w, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1u << 16), nullptr));
  if (!r || r->type == XCB_ATOM_NONE) return {};
  const int n = xcb_get_property_value_length(r.get());
  return std::string(static_cast<const char*>(xcb_get_property_value(r.get())), size_t(std::max(n, 0)));
}

// The top-level windows, topmost first where the order is known.
std::vector<xcb_window_t> top_level_windows(xcb_connection_t* c, xcb_window_t root) {
  std::vector<uint32_t> clients = qt::x11_words(c, root, "_NET_CLIENT_LIST");
  if (!clients.empty()) return std::vector<xcb_window_t>(clients.begin(), clients.end());
  std::vector<xcb_window_t> children;
  qt::X11_reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
  if (!tree) return children;
  const xcb_window_t* ch = xcb_query_tree_children(tree.get());
  children.assign(ch, ch + xcb_query_tree_children_length(tree.get()));
  std::reverse(children.begin(), children.end());  // the tree lists the bottom first
  return children;
}

bool same_ignoring_case(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// WM_CLASS holds two names, each ended by a zero byte.
bool class_matches(const std::string& wm_class, const std::string& wanted) {
  if (wanted.empty()) return true;
  size_t start = 0;
  while (start < wm_class.size()) {
    size_t end = wm_class.find('\0', start);
    if (end == std::string::npos) end = wm_class.size();
    if (same_ignoring_case(wm_class.substr(start, end - start), wanted)) return true;
    start = end + 1;
  }
  return false;
}

std::string title_of(xcb_connection_t* c, xcb_window_t w) {
  std::string t = property_bytes(c, w, qt::x11_atom(c, "_NET_WM_NAME"));
  return t.empty() ? property_bytes(c, w, XCB_ATOM_WM_NAME) : t;
}

}  // namespace

int64_t find_window(const std::string& class_name, const std::string& title) {
  xcb_connection_t* c = qt::x11_connection();
  if (!c) return 0;
  for (xcb_window_t w : top_level_windows(c, qt::x11_root())) {
    if (!class_matches(property_bytes(c, w, XCB_ATOM_WM_CLASS), class_name)) continue;
    if (!title.empty() && title_of(c, w) != title) continue;
    return w;
  }
  return 0;
}

Window_rect_px window_rect(int64_t window) {
  xcb_connection_t* c = qt::x11_connection();
  if (!c || !is_window_id(window)) return {};
  const auto w = static_cast<xcb_window_t>(window);
  qt::X11_reply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr));
  if (!g) return {};
  qt::X11_reply<xcb_translate_coordinates_reply_t> at(
      xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, qt::x11_root(), 0, 0), nullptr));
  if (!at) return {};
  Window_rect_px r{at->dst_x, at->dst_y, g->width, g->height};
  // The frame a window manager drew around it: left, right, top, bottom.
  std::vector<uint32_t> frame = qt::x11_words(c, w, "_NET_FRAME_EXTENTS");
  if (frame.size() == 4) {
    r.x -= int32_t(frame[0]);
    r.y -= int32_t(frame[2]);
    r.w += int32_t(frame[0] + frame[1]);
    r.h += int32_t(frame[2] + frame[3]);
  }
  return r;
}

bool set_foreground(int64_t window) {
  xcb_connection_t* c = qt::x11_connection();
  if (!c || !is_window_id(window)) return false;
  const auto w = static_cast<xcb_window_t>(window);
  if (!qt::x11_viewable(c, w)) return false;
  if (qt::x11_supported(c, "_NET_ACTIVE_WINDOW")) {
    // The window manager decides; source 2 asks as a pager would, which
    // managers honour without focus-stealing checks.
    qt::x11_ask_manager(c, w, "_NET_ACTIVE_WINDOW", {2, XCB_CURRENT_TIME});
  } else {
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c, w, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, w, XCB_CURRENT_TIME);
  }
  qt::x11_sync();
  return true;
}

}  // namespace brek_platform
