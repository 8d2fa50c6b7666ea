#include "forms/timer_ticks.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <vector>

#include "forms/control.h"
#include "forms/event_routing.h"
#include "forms/form.h"
#include "forms/timer.h"
#include "platform/timer.h"
#include "runtime/clock.h"
#include "runtime/runtime_services.h"

namespace brek::Timer_ticks {

namespace {

struct Entry {
  uint64_t id = 0;      // tells entries apart while ticks change the table
  int64_t handle = 0;   // a C_Timer's handle; 0 for an animation
  Weak<C_Timer> timer;
  Weak<C_Control> control;  // animation
  int64_t interval = 0;
  int64_t due = 0;
  bool enabled = false;
  int64_t ticks = 0;  // animation: ticks so far and the limit
  int64_t limit = 0;
};

struct Table {
  std::vector<Entry> entries;
  uint64_t last_id = 0;
  int64_t last_handle = 0;
};

// Never destroyed: it holds references, which must not outlive the
// thread's handle pool.
Table& table() {
  static auto* t = new Table();
  return *t;
}

bool ticking(const Entry& e) { return e.enabled && e.interval > 0; }

// The tick count ms after now; a period too long to count is due never.
int64_t due_after(int64_t now, int64_t ms) { return ms > INT64_MAX - now ? INT64_MAX : now + ms; }

Entry* by_id(uint64_t id) {
  for (Entry& e : table().entries)
    if (e.id == id) return &e;
  return nullptr;
}

Entry* by_handle(int64_t handle) {
  if (handle == 0) return nullptr;
  for (Entry& e : table().entries)
    if (e.handle == handle) return &e;
  return nullptr;
}

Entry* by_control(const C_Control* control) {
  for (Entry& e : table().entries)
    if (e.handle == 0 && e.control.get() == control) return &e;
  return nullptr;
}

void erase_id(uint64_t id) {
  auto& v = table().entries;
  v.erase(std::remove_if(v.begin(), v.end(), [id](const Entry& e) { return e.id == id; }), v.end());
}

void on_wakeup();

// Asks the platform to wake the loop when the next timer is due.
void rearm() {
  int64_t due = next_due();
  if (due < 0) {
    brek_platform::set_timer_wakeup(-1, nullptr);
    return;
  }
  int64_t delay = due - Brek_runtime::tick_count_ms();
  brek_platform::set_timer_wakeup(delay > 0 ? delay : 0, &on_wakeup);
}

void on_wakeup() {
  // Called from the platform's event loop: nothing may leave.
  try {
    run_due(Brek_runtime::tick_count_ms());
  } catch (...) {
  }
}

template <class F>
void tick_guarded(F&& fire) {
  try {
    fire();
  } catch (const std::exception& e) {
    Brek_runtime::log_exception(e);
  } catch (...) {
    Brek_runtime::log_exception_text("unknown exception");
  }
}

}  // namespace

int64_t add(const Ref<C_Timer>& timer) {
  if (timer.is_none()) return 0;
  Table& t = table();
  Entry e;
  e.id = ++t.last_id;
  e.handle = --t.last_handle;
  e.timer = timer;
  e.interval = timer->interval;
  e.enabled = timer->enabled != 0;
  e.due = due_after(Brek_runtime::tick_count_ms(), e.interval);
  t.entries.push_back(e);
  rearm();
  return e.handle;
}

void remove(int64_t handle) {
  Entry* e = by_handle(handle);
  if (!e) return;
  erase_id(e->id);
  rearm();
}

void set_interval(int64_t handle, int64_t ms) {
  Entry* e = by_handle(handle);
  if (!e || e->interval == ms) return;
  e->interval = ms;
  e->due = due_after(Brek_runtime::tick_count_ms(), ms);
  rearm();
}

void set_enabled(int64_t handle, bool enabled) {
  Entry* e = by_handle(handle);
  if (!e || e->enabled == enabled) return;
  e->enabled = enabled;
  if (enabled) e->due = due_after(Brek_runtime::tick_count_ms(), e->interval);
  rearm();
}

bool is_running(int64_t handle) {
  Entry* e = by_handle(handle);
  return e && e->enabled;
}

void start_animation(const Ref<C_Control>& control, int64_t limit, int64_t interval, int64_t first_ms) {
  if (control.is_none()) return;
  Entry* e = by_control(control.get());
  if (limit <= 0 || interval <= 0) {
    if (e) erase_id(e->id);
    rearm();
    return;
  }
  if (!e) {
    Table& t = table();
    Entry fresh;
    fresh.id = ++t.last_id;
    fresh.control = control;
    fresh.enabled = true;
    t.entries.push_back(fresh);
    e = &t.entries.back();
  }
  e->ticks = 0;
  e->limit = limit;
  e->interval = interval;
  e->due = due_after(Brek_runtime::tick_count_ms(), first_ms > 0 ? first_ms : interval);
  rearm();
}

bool animation_running(const Ref<C_Control>& control) {
  return !control.is_none() && by_control(control.get()) != nullptr;
}

int64_t animation_count(const Ref<C_Form>& form) {
  int64_t n = 0;
  for (const Entry& e : table().entries)
    if (e.handle == 0 && !form.is_none() && e.control.get()->form.get() == form.get()) ++n;
  return n;
}

void stop_animations(const Ref<C_Form>& form) {
  if (form.is_none()) return;
  auto& v = table().entries;
  v.erase(std::remove_if(v.begin(), v.end(),
                         [&](const Entry& e) { return e.handle == 0 && e.control.get()->form.get() == form.get(); }),
          v.end());
  rearm();
}

int64_t run_due(int64_t now_ms) {
  // The ticks may add, remove and restart timers: work from a list of ids
  // and look each one up again.
  std::vector<uint64_t> due;
  for (const Entry& e : table().entries)
    if (ticking(e) && e.due <= now_ms) due.push_back(e.id);

  int64_t fired = 0;
  for (uint64_t id : due) {
    Entry* e = by_id(id);
    if (!e || !ticking(*e) || e->due > now_ms) continue;
    e->due = due_after(now_ms, e->interval);

    if (e->handle != 0) {
      Ref<C_Timer> timer = e->timer.lock();
      Ref<C_Form> form = timer->form.lock();
      if (timer.is_none() || form->native == 0) {
        // The native timer went with its form's window.
        if (!timer.is_none()) timer->native = 0;
        erase_id(id);
        continue;
      }
      ++fired;
      tick_guarded([&] { Event_routing::timer(form, timer); });
      continue;
    }

    Ref<C_Control> control = e->control.lock();
    Ref<C_Form> form = control->form.lock();
    if (control.is_none() || form->native == 0) {
      erase_id(id);
      continue;
    }
    e->ticks += 1;
    ++fired;
    tick_guarded([&] { Event_routing::animation(form, control); });
    Entry* after = by_id(id);  // the handler may have restarted or stopped it
    if (after && after->ticks >= after->limit) erase_id(id);
  }
  rearm();
  return fired;
}

int64_t next_due() {
  int64_t best = -1;
  for (const Entry& e : table().entries)
    if (ticking(e) && (best < 0 || e.due < best)) best = e.due;
  return best;
}

int64_t count() { return static_cast<int64_t>(table().entries.size()); }

void reset() {
  table().entries.clear();
  brek_platform::set_timer_wakeup(-1, nullptr);
}

}  // namespace brek::Timer_ticks
