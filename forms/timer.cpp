#include "forms/timer.h"

#include "forms/form.h"
#include "forms/timer_ticks.h"

namespace brek {

Ref<C_Timer> C_Timer::new_timer(const Ref<C_Form>& form, const std::string& name, int64_t interval) {
  return make_on<C_Timer>(form, name, interval, true);
}

Ref<C_Timer> C_Timer::new_timer_stopped(const Ref<C_Form>& form, const std::string& name, int64_t interval) {
  return make_on<C_Timer>(form, name, interval, false);
}

void C_Timer::create_native() {
  if (is_none() || native != 0) return;
  if (form.lock()->native == 0) return;  // no window, no timer: as with any control
  native = Timer_ticks::add(Ref<C_Timer>(this));
}

void C_Timer::destroy_hook() {
  // The handle is the tick table's, not the native layer's: it must not
  // reach the control teardown.
  if (native != 0) {
    Timer_ticks::remove(native);
    native = 0;
  }
  C_Control::destroy_hook();
}

void C_Timer::set_interval(int64_t ms) {
  if (is_none()) return;
  interval = ms;
  Timer_ticks::set_interval(native, ms);
}

void C_Timer::set_enabled(bool on) {
  if (is_none()) return;
  bool was = enabled != 0;
  enabled = on ? 1 : 0;
  Timer_ticks::set_enabled(native, on);
  if (was && !on) form.lock()->timer_event_adjust();
}

void C_Timer::start_animation(const Ref<C_Control>& control, int64_t tick_count, int64_t interval) {
  if (control.is_none() || control->form.lock()->native == 0) return;
  Timer_ticks::start_animation(control, tick_count, interval);
}

}  // namespace brek
