#include "forms/event_kind.h"

namespace brek {

const char* event_kind_name(event_kind kind) {
  static const char* const names[EVENT_KIND_COUNT] = {
      "CLICK",      "CLOSING",      "CLOSED",     "ACTIVATED",          "GET_INFO",
      "VALUE_CHANGE", "SELECTION_CHANGE", "RESIZE", "MOVED",            "SHOWN",
      "MOUSE_MOVE", "MOUSE_DOWN",   "MOUSE_UP",   "MOUSE_DOUBLE_CLICK", "MOUSE_WHEEL",
      "KEY_DOWN",   "KEY_UP",       "KEY_PRESS",  "TIMER",              "ANIMATION",
      "MENU",       "BEFORE_PAINT", "PAINT",      "AFTER_PAINT",        "KEYBOARD_FOCUS",
      "SCROLLED",   "COMMAND"};
  auto i = static_cast<unsigned>(kind);
  return i < EVENT_KIND_COUNT ? names[i] : "";
}

char policy_letter(const std::string_view& policy, event_kind kind) {
  auto i = static_cast<size_t>(kind);
  return i < policy.size() ? policy[i] : 'k';
}

}  // namespace brek
