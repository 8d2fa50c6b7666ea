#pragma once
// The kinds of events a form receives and the letter that says, per kind,
// whether an event arriving while the form is inside another one is taken at
// once ("i", "k"), queued with the newest equal one winning ("q") or queued
// with the oldest equal one winning ("s").

#include <cstdint>
#include <string_view>

namespace brek {

enum class event_kind : uint8_t {
  CLICK,
  CLOSING,
  CLOSED,
  ACTIVATED,
  GET_INFO,
  VALUE_CHANGE,
  SELECTION_CHANGE,
  RESIZE,
  MOVED,
  SHOWN,
  MOUSE_MOVE,
  MOUSE_DOWN,
  MOUSE_UP,
  MOUSE_DOUBLE_CLICK,
  MOUSE_WHEEL,
  KEY_DOWN,
  KEY_UP,
  KEY_PRESS,
  TIMER,
  ANIMATION,
  MENU,
  BEFORE_PAINT,
  PAINT,
  AFTER_PAINT,
  KEYBOARD_FOCUS,
  SCROLLED,
  COMMAND,
};

inline constexpr int EVENT_KIND_COUNT = 27;

// One letter per kind, indexed by the kind's value.
inline constexpr const char* QUEUE_POLICY = "kiiqiqqqqqssssskkkqkkiiiqqk";

// The item's name as the type table spells it ("" out of range).
const char* event_kind_name(event_kind kind);

// The policy letter of a kind in a policy string; a kind beyond the string
// is taken at once ('k').
char policy_letter(const std::string_view& policy, event_kind kind);

}  // namespace brek
