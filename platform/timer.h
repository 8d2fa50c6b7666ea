#pragma once
// The platform timer behind the program's timers. The program keeps its
// periodic timers itself (forms/timer_ticks.h) and asks the platform for one
// wake-up at the moment the next of them falls due. No Qt types here;
// platform/qt/timer.cpp implements it. The wake-up is precise: a coarse
// timer may fire early, before the tick is due, and wake the loop twice.

#include <cstdint>

namespace brek_platform {

// callback runs once on the main thread's event loop after delay_ms (0: at
// the next turn of the loop). A new request replaces the pending one; a
// negative delay cancels it. Without an application object nothing is
// scheduled.
void set_timer_wakeup(int64_t delay_ms, void (*callback)());

// Whether a wake-up is pending.
bool timer_wakeup_pending();

}  // namespace brek_platform
