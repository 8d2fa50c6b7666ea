#include "platform/qt/x11_connection.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <utility>

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

// Atoms stay what they are for the server's life: each is asked once.
xcb_atom_t x11_atom(xcb_connection_t* c, const char* name) {
  static auto* known = new std::map<std::pair<xcb_connection_t*, std::string>, xcb_atom_t>();
  const auto key = std::make_pair(c, std::string(name));
  auto it = known->find(key);
  if (it != known->end()) return it->second;
  X11_reply<xcb_intern_atom_reply_t> r(
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
  if (!r) return XCB_ATOM_NONE;
  (*known)[key] = r->atom;
  return r->atom;
}

std::vector<uint32_t> x11_words(xcb_connection_t* c, xcb_window_t w, const char* property) {
  std::vector<uint32_t> words;
  const xcb_atom_t a = x11_atom(c, property);
  if (a == XCB_ATOM_NONE) return words;
  X11_reply<xcb_get_property_reply_t> r(
      xcb_get_property_reply(c, xcb_get_property(c, 0, w, a, XCB_GET_PROPERTY_TYPE_ANY, 0, 1u << 16), nullptr));
  if (!r || r->format != 32) return words;
  auto* p = static_cast<const uint32_t*>(xcb_get_property_value(r.get()));
  words.assign(p, p + xcb_get_property_value_length(r.get()) / 4);
  return words;
}

std::vector<uint32_t> x11_key_symbols(xcb_connection_t* c, uint8_t keycode) {
  std::vector<uint32_t> symbols;
  if (!c) return symbols;
  const xcb_setup_t* setup = xcb_get_setup(c);
  if (keycode < setup->min_keycode || keycode > setup->max_keycode) return symbols;
  X11_reply<xcb_get_keyboard_mapping_reply_t> r(
      xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, keycode, 1), nullptr));
  if (!r) return symbols;
  const xcb_keysym_t* p = xcb_get_keyboard_mapping_keysyms(r.get());
  symbols.assign(p, p + xcb_get_keyboard_mapping_keysyms_length(r.get()));
  return symbols;
}

bool x11_viewable(xcb_connection_t* c, xcb_window_t w) {
  X11_reply<xcb_get_window_attributes_reply_t> a(
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr));
  return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
}

bool x11_supported(xcb_connection_t* c, const char* hint) {
  const xcb_atom_t a = x11_atom(c, hint);
  const std::vector<uint32_t> supported = x11_words(c, x11_root(), "_NET_SUPPORTED");
  return a != XCB_ATOM_NONE && std::find(supported.begin(), supported.end(), a) != supported.end();
}

void x11_ask_manager(xcb_connection_t* c, xcb_window_t w, const char* type, const std::vector<uint32_t>& data) {
  xcb_client_message_event_t e;
  std::memset(&e, 0, sizeof e);
  e.response_type = XCB_CLIENT_MESSAGE;
  e.format = 32;
  e.window = w;
  e.type = x11_atom(c, type);
  for (size_t i = 0; i < data.size() && i < 5; ++i) e.data.data32[i] = data[i];
  xcb_send_event(c, 0, x11_root(), XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&e));
  xcb_flush(c);
}

}  // namespace brek_platform::qt
