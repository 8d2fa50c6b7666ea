#pragma once
// The program's periodic timers: the timers of forms (C_Timer) and the
// animation timers of controls. The table keeps each timer's period and the
// tick count (Brek_runtime::tick_count_ms) at which it is due next, and asks
// the platform for one wake-up when the earliest of them falls due
// (platform/timer.h). run_due is what that wake-up runs; tests call it
// with a test clock instead of waiting.
//
// A timer that fell behind ticks once and is due again a whole period
// later: ticks never come in bursts. A timer whose form has no native
// window (any more) ticks no more.

#include <cstdint>

#include "runtime/object.h"

namespace brek {

class C_Control;
class C_Form;
class C_Timer;

namespace Timer_ticks {

// Registers the timer with its interval and enabled state, due a period
// from now; returns its handle (below 0, so that it never meets a handle
// of the native layer).
int64_t add(const Ref<C_Timer>& timer);
void remove(int64_t handle);
// A new interval starts the period again; the same one changes nothing.
void set_interval(int64_t handle, int64_t ms);
// Switching on starts the period; switching a running timer on again
// changes nothing.
void set_enabled(int64_t handle, bool enabled);
// Whether a handle names a registered timer that is switched on.
bool is_running(int64_t handle);

// The control's animation: limit ticks, interval ms apart, the first one
// first_ms from now (0 or less: an interval from now). Restarts the count
// (and the period) of one already running. A limit or interval of 0 or
// less stops it.
void start_animation(const Ref<C_Control>& control, int64_t limit, int64_t interval, int64_t first_ms = 0);
bool animation_running(const Ref<C_Control>& control);
// The animation timers running for controls of the form.
int64_t animation_count(const Ref<C_Form>& form);
// Releases the form's animation timers (its native window goes).
void stop_animations(const Ref<C_Form>& form);

// Ticks every timer that is due at now_ms, once each, in the order they
// were registered; returns the number of ticks. A handler's exception is
// recorded and the other timers still tick.
int64_t run_due(int64_t now_ms);
// Tick count at which the next timer falls due, -1 when none will.
int64_t next_due();
// Number of registered timers, animations included.
int64_t count();
// Forgets every timer and cancels the wake-up (tests).
void reset();

}  // namespace Timer_ticks
}  // namespace brek
