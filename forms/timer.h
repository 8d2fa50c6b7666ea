#pragma once
// C_Timer: a periodic timer of a form. It is a control without a place in
// any column; each tick reaches the form's on_timer as a TIMER event with
// the timer as the current control. Animation timers of controls
// (start_animation) tick a given number of times into the control's
// on_animation_tick and then stop by themselves. The ticking itself is
// kept by forms/timer_ticks.h.

#include <cstdint>
#include <string>

#include "forms/control.h"

namespace brek {

class C_Timer : public C_Control {
  BREK_CLASS(C_Timer)
 public:
  C_Timer() = default;
  C_Timer(int64_t interval_ms, bool on) : interval(interval_ms), enabled(on ? 1 : 0) {}

  int64_t interval = 0;  // milliseconds between ticks; 0 or less: no ticks
  uint8_t enabled = 0;

  // A timer on the form that ticks from now on.
  static Ref<C_Timer> new_timer(const Ref<C_Form>& form, const std::string& name, int64_t interval);
  // The same, switched off until set_enabled(true).
  static Ref<C_Timer> new_timer_stopped(const Ref<C_Form>& form, const std::string& name, int64_t interval);

  // The timer exists only while its form has a native window; native is
  // then the timer's handle.
  void create_native() override;
  void destroy_hook() override;
  // Not visual: C_Control::get_bounds gives it no place.
  bool is_visual() override { return false; }

  void set_interval(int64_t ms);
  bool is_enabled() const { return enabled != 0; }
  // Switching off from inside the timer's own TIMER event lets the form's
  // pointer and key events through again for the rest of that event.
  void set_enabled(bool on);

  // Ticks the control's on_animation_tick tick_count times, interval ms
  // apart, as ANIMATION events of its form; a new start for the same
  // control counts again from 0.
  static void start_animation(const Ref<C_Control>& control, int64_t tick_count, int64_t interval);
};

}  // namespace brek
