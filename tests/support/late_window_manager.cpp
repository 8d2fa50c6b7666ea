// A window manager of the tests' own, as small as a manager can be: it
// takes the root's requests, maps each window where the window asks and
// frames it only when a test tells it (late, or never), so that it writes
// _NET_FRAME_EXTENTS on its own time. It announces itself
// (_NET_SUPPORTING_WM_CHECK) and lists no other hint: _NET_WM_STATE
// requests (maximize, full screen) and frame estimates go unanswered, as
// with many small managers.
//
// A test frames a window with a client message "_TEST_WM_FRAME" to the
// root, data[0] naming the window (0: every window mapped and unframed).
// With the option --frame-at-map the manager frames every window as it
// maps it, as most managers do. Windows of the instance "barrier"
// (x11_client.h's window_manager_barrier) are framed at once either way,
// so that a test can wait for the manager to have handled every earlier
// request. The frame is a window around the client:
// FRAME_SIDE pixels on three sides, FRAME_TOP above; the client keeps its
// place on the screen (static gravity).

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int FRAME_SIDE = 4, FRAME_TOP = 24;

xcb_connection_t* c = nullptr;
xcb_window_t root = 0;
bool frame_at_map = false;

xcb_atom_t atom(const char* name) {
  auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
  const xcb_atom_t a = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
  std::free(r);
  return a;
}

struct Client {
  xcb_window_t frame = 0;   // 0: not framed
  int ignore_unmaps = 0;    // unmaps the manager caused itself
};
std::map<xcb_window_t, Client> clients;

void set_words(xcb_window_t w, const char* name, xcb_atom_t type, const std::vector<uint32_t>& v) {
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom(name), type, 32, uint32_t(v.size()), v.data());
}

bool is_barrier(xcb_window_t w) {
  auto* r = xcb_get_property_reply(c, xcb_get_property(c, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64), nullptr);
  bool barrier = false;
  if (r) {
    const char* p = static_cast<const char*>(xcb_get_property_value(r));
    const int n = xcb_get_property_value_length(r);
    barrier = std::string(p, strnlen(p, size_t(n))) == "barrier";
  }
  std::free(r);
  return barrier;
}

// The client's place on the screen.
bool place_of(xcb_window_t w, int& x, int& y, int& width, int& height) {
  auto* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, w), nullptr);
  auto* t = xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, w, root, 0, 0), nullptr);
  const bool ok = g && t;
  if (ok) {
    x = t->dst_x;
    y = t->dst_y;
    width = g->width;
    height = g->height;
  }
  std::free(g);
  std::free(t);
  return ok;
}

// Puts the mapped client into a frame around it, where it stands.
void frame(xcb_window_t w) {
  auto it = clients.find(w);
  if (it == clients.end() || it->second.frame != 0) return;
  int x = 0, y = 0, width = 0, height = 0;
  if (!place_of(w, x, y, width, height)) return;
  const xcb_window_t f = xcb_generate_id(c);
  const uint32_t values[] = {0x404040, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, f, root, int16_t(x - FRAME_SIDE), int16_t(y - FRAME_TOP),
                    uint16_t(width + 2 * FRAME_SIDE), uint16_t(height + FRAME_TOP + FRAME_SIDE), 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
  xcb_change_save_set(c, XCB_SET_MODE_INSERT, w);
  it->second.ignore_unmaps += 1;
  xcb_reparent_window(c, w, f, FRAME_SIDE, FRAME_TOP);
  xcb_map_window(c, f);
  xcb_map_window(c, w);
  it->second.frame = f;
  set_words(w, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL, {FRAME_SIDE, FRAME_SIDE, FRAME_TOP, FRAME_SIDE});
}

// The client back on the root where it stood, its frame gone.
void unframe(xcb_window_t w, Client& cl, bool destroyed) {
  if (cl.frame == 0) return;
  if (!destroyed) {
    int x = 0, y = 0, width = 0, height = 0;
    if (place_of(w, x, y, width, height)) xcb_reparent_window(c, w, root, int16_t(x), int16_t(y));
    xcb_delete_property(c, w, atom("_NET_FRAME_EXTENTS"));
    xcb_change_save_set(c, XCB_SET_MODE_DELETE, w);
  }
  xcb_destroy_window(c, cl.frame);
  cl.frame = 0;
}

void on_map_request(const xcb_map_request_event_t* e) {
  Client& cl = clients[e->window];
  set_words(e->window, "WM_STATE", atom("WM_STATE"), {1, XCB_WINDOW_NONE});
  if (cl.frame) xcb_map_window(c, cl.frame);
  xcb_map_window(c, e->window);
  if (frame_at_map || is_barrier(e->window)) frame(e->window);
}

// As asked; a framed client keeps its place on the screen, its frame
// going with it.
void on_configure_request(const xcb_configure_request_event_t* e) {
  auto it = clients.find(e->window);
  const xcb_window_t f = it == clients.end() ? 0 : it->second.frame;
  std::vector<uint32_t> values;
  uint16_t mask = 0;
  auto add = [&](uint16_t bit, uint32_t v) {
    if (e->value_mask & bit) {
      mask |= bit;
      values.push_back(v);
    }
  };
  if (!f) {
    add(XCB_CONFIG_WINDOW_X, uint32_t(int32_t(e->x)));
    add(XCB_CONFIG_WINDOW_Y, uint32_t(int32_t(e->y)));
    add(XCB_CONFIG_WINDOW_WIDTH, e->width);
    add(XCB_CONFIG_WINDOW_HEIGHT, e->height);
    add(XCB_CONFIG_WINDOW_BORDER_WIDTH, e->border_width);
    add(XCB_CONFIG_WINDOW_SIBLING, e->sibling);
    add(XCB_CONFIG_WINDOW_STACK_MODE, e->stack_mode);
    xcb_configure_window(c, e->window, mask, values.data());
    return;
  }
  add(XCB_CONFIG_WINDOW_X, uint32_t(int32_t(e->x) - FRAME_SIDE));
  add(XCB_CONFIG_WINDOW_Y, uint32_t(int32_t(e->y) - FRAME_TOP));
  add(XCB_CONFIG_WINDOW_WIDTH, uint32_t(e->width + 2 * FRAME_SIDE));
  add(XCB_CONFIG_WINDOW_HEIGHT, uint32_t(e->height + FRAME_TOP + FRAME_SIDE));
  add(XCB_CONFIG_WINDOW_STACK_MODE, e->stack_mode);
  xcb_configure_window(c, f, mask, values.data());
  const uint32_t size[] = {e->width, e->height};
  const uint16_t size_mask = e->value_mask & (XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT);
  std::vector<uint32_t> sizes;
  if (size_mask & XCB_CONFIG_WINDOW_WIDTH) sizes.push_back(size[0]);
  if (size_mask & XCB_CONFIG_WINDOW_HEIGHT) sizes.push_back(size[1]);
  if (size_mask) xcb_configure_window(c, e->window, size_mask, sizes.data());
  // The client learns its place on the screen (ICCCM's synthetic notice).
  int x = 0, y = 0, width = 0, height = 0;
  if (!place_of(e->window, x, y, width, height)) return;
  if (e->value_mask & XCB_CONFIG_WINDOW_X) x = e->x;
  if (e->value_mask & XCB_CONFIG_WINDOW_Y) y = e->y;
  xcb_configure_notify_event_t n;
  std::memset(&n, 0, sizeof n);
  n.response_type = XCB_CONFIGURE_NOTIFY;
  n.event = n.window = e->window;
  n.x = int16_t(x);
  n.y = int16_t(y);
  n.width = uint16_t(width);
  n.height = uint16_t(height);
  xcb_send_event(c, 0, e->window, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&n));
}

void on_unmap(const xcb_unmap_notify_event_t* e) {
  auto it = clients.find(e->window);
  if (it == clients.end()) return;
  if (it->second.ignore_unmaps > 0) {
    it->second.ignore_unmaps -= 1;
    return;
  }
  // Withdrawn: a hidden window is no longer managed.
  unframe(e->window, it->second, false);
  xcb_delete_property(c, e->window, atom("WM_STATE"));
  clients.erase(it);
}

void on_destroy(const xcb_destroy_notify_event_t* e) {
  auto it = clients.find(e->window);
  if (it == clients.end()) return;
  unframe(e->window, it->second, true);
  clients.erase(it);
}

void on_client_message(const xcb_client_message_event_t* e) {
  if (e->type != atom("_TEST_WM_FRAME")) return;
  if (e->data.data32[0] != 0) {
    frame(e->data.data32[0]);
    return;
  }
  for (auto& [w, cl] : clients) frame(w);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) frame_at_map = frame_at_map || std::strcmp(argv[i], "--frame-at-map") == 0;
  c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) return 1;
  root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  if (xcb_generic_error_t* error =
          xcb_request_check(c, xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &mask))) {
    std::free(error);
    std::fprintf(stderr, "another window manager runs\n");
    return 1;
  }
  const xcb_window_t check = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, check, root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  set_words(check, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {check});
  const std::string name = "late";
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, check, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8,
                      uint32_t(name.size()), name.data());
  set_words(root, "_NET_SUPPORTED", XCB_ATOM_ATOM, {atom("_NET_SUPPORTING_WM_CHECK")});
  set_words(root, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {check});
  xcb_flush(c);
  while (xcb_generic_event_t* ev = xcb_wait_for_event(c)) {
    switch (ev->response_type & 0x7F) {
      case XCB_MAP_REQUEST:
        on_map_request(reinterpret_cast<xcb_map_request_event_t*>(ev));
        break;
      case XCB_CONFIGURE_REQUEST:
        on_configure_request(reinterpret_cast<xcb_configure_request_event_t*>(ev));
        break;
      case XCB_UNMAP_NOTIFY:
        on_unmap(reinterpret_cast<xcb_unmap_notify_event_t*>(ev));
        break;
      case XCB_DESTROY_NOTIFY:
        on_destroy(reinterpret_cast<xcb_destroy_notify_event_t*>(ev));
        break;
      case XCB_CLIENT_MESSAGE:
        on_client_message(reinterpret_cast<xcb_client_message_event_t*>(ev));
        break;
      default:
        break;
    }
    std::free(ev);
    xcb_flush(c);
  }
  return 0;
}
