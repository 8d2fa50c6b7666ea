#pragma once
// The queue of events a form records while it is inside another event.

#include <cstdint>

#include "forms/event_kind.h"
#include "runtime/object.h"

namespace brek {

// What an event carries beyond its kind and sender, kept when it is queued
// so that a dispatched wheel turn, focus change or pointer event still knows
// its amount, direction and place.
struct Event_extra {
  double amount = 0;    // wheel amount (vertical)
  double amount_x = 0;  // wheel amount (horizontal)
  bool flag = false;    // focus: entering; activation: active
  double x = 0;         // pointer relative to the control, points
  double y = 0;
  uint8_t button = 0;   // button_mouse
  uint8_t shift = 0;    // shift-state bits
};

// One queued event.
struct St_event_q__C_Form {
  event_kind kind = event_kind::CLICK;
  Weak<Brek_object> control;  // the sender: a control, or the form itself
  Event_extra extra;
  uint64_t id = 0;      // tells entries apart while they are dispatched
  bool taken = false;   // its handler is running (still counts as equal)

  // Same kind and the very same sender.
  bool same_event(event_kind k, const Brek_object* sender) const {
    return kind == k && control.get() == sender;
  }
};

}  // namespace brek
