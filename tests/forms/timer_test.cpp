#include <gtest/gtest.h>

#include <stdexcept>

#include "forms/timer.h"
#include "forms/timer_ticks.h"
#include "forms_test_support.h"
#include "platform/application.h"
#include "platform/timer.h"
#include "tests/support/wait_until.h"

using namespace forms_test;

namespace {

namespace R = Event_routing;

class Animated : public C_Control {
  BREK_CLASS(Animated)
 public:
  int ticks = 0;
  std::function<void()> inside;
  void on_animation_tick() override {
    ++ticks;
    if (inside) inside();
  }
};

class Timer_test : public Forms_test {
 protected:
  // Moves the test clock in steps of 10 ms, as a running loop would.
  void run_for(int64_t ms) {
    for (int64_t t = 0; t < ms; t += 10) {
      clock.advance(10);
      Timer_ticks::run_due(clock.ticks());
    }
  }
  int count(const Ref<Log_form>& f, const std::string& entry) {
    int n = 0;
    for (const auto& e : f->log) n += e == entry;
    return n;
  }
  Brek_runtime::Test_clock clock;
};

R::Pointer left_button() {
  R::Pointer p;
  p.button = button_mouse::LMB;
  return p;
}

}  // namespace

TEST_F(Timer_test, TicksReachOnTimerWithTheTimerAsCurrentControl) {
  auto f = new_form();
  auto t = C_Timer::new_timer(f, "TICK", 100);
  EXPECT_LT(t->native, 0);  // the tick table's handle, never the native layer's
  EXPECT_TRUE(t->is_enabled());
  EXPECT_FALSE(t->is_visual());
  run_for(350);
  EXPECT_EQ(count(f, "timer:TICK"), 3);
  EXPECT_EQ(f->event_depth, 0);

  // Falling behind gives one tick, not a burst.
  clock.advance(1000);
  EXPECT_EQ(Timer_ticks::run_due(clock.ticks()), 1);

  t->set_interval(40);  // a new period starts now
  run_for(100);
  EXPECT_EQ(count(f, "timer:TICK"), 6);
}

TEST_F(Timer_test, PeriodsTooLongToCountNeverFallDue) {
  auto f = new_form();
  auto t = C_Timer::new_timer(f, "NEVER", INT64_MAX);
  t->set_interval(INT64_MAX - 1);
  t->set_enabled(false);
  t->set_enabled(true);
  auto c = make_on<Animated>(f, "PBOX");
  C_Timer::start_animation(c, 2, INT64_MAX);
  run_for(100);
  EXPECT_EQ(count(f, "timer:NEVER"), 0);
  EXPECT_EQ(c->ticks, 0);
  EXPECT_GT(Timer_ticks::next_due(), clock.ticks());
}

TEST_F(Timer_test, StoppedTimerTicksOnlyOnceSwitchedOn) {
  auto f = new_form();
  auto t = C_Timer::new_timer_stopped(f, "LATER", 50);
  run_for(200);
  EXPECT_TRUE(f->log.empty());
  EXPECT_EQ(Timer_ticks::next_due(), -1);
  t->set_enabled(true);
  run_for(100);
  EXPECT_EQ(count(f, "timer:LATER"), 2);
  t->set_enabled(false);
  run_for(100);
  EXPECT_EQ(count(f, "timer:LATER"), 2);

  // Without a native window there is no timer.
  brek_platform::set_native_forms(nullptr);
  auto headless = new_form();
  auto h = C_Timer::new_timer(headless, "NONE", 10);
  EXPECT_EQ(h->native, 0);
  run_for(50);
  EXPECT_TRUE(headless->log.empty());
  brek_platform::set_native_forms(&native);
}

TEST_F(Timer_test, SwitchingOffInsideItsOwnTickLetsMouseDownsThrough) {
  auto f = new_form();
  auto t = C_Timer::new_timer(f, "T", 10);
  f->inside["timer"] = [&] { R::mouse_down(f, Ref<C_Control>(), left_button()); };
  run_for(10);
  EXPECT_EQ(count(f, "down"), 0);  // depth 2 inside the tick: dropped

  f->inside["timer"] = [&] {
    t->set_enabled(false);
    t->set_enabled(false);  // already off: changes nothing more
    R::mouse_down(f, Ref<C_Control>(), left_button());
  };
  run_for(10);
  EXPECT_EQ(count(f, "down"), 1);
  EXPECT_EQ(f->event_depth, 0);

  // Off from a click handler: no adjustment.
  t->set_enabled(true);
  f->inside["click"] = [&] {
    t->set_enabled(false);
    R::mouse_down(f, Ref<C_Control>(), left_button());
  };
  R::click(f, Ref<C_Control>(), point{});
  EXPECT_EQ(count(f, "down"), 1);
}

TEST_F(Timer_test, TimerGoesWithItsFormAndAFailingTickStopsNoOther) {
  auto f = new_form();
  auto g = new_form();
  auto bad = C_Timer::new_timer(f, "BAD", 10);
  auto good = C_Timer::new_timer(g, "GOOD", 10);
  f->inside["timer"] = [] { throw std::runtime_error("broken tick"); };
  run_for(30);
  EXPECT_EQ(count(g, "timer:GOOD"), 3);
  EXPECT_EQ(count(f, "timer:BAD"), 3);

  EXPECT_EQ(Timer_ticks::count(), 2);
  dispose_now(bad);
  EXPECT_EQ(Timer_ticks::count(), 1);
  // A form whose native window went away ticks no more.
  g->native = 0;
  run_for(20);
  EXPECT_EQ(count(g, "timer:GOOD"), 3);
  EXPECT_EQ(Timer_ticks::count(), 0);
  EXPECT_EQ(good->native, 0);
}

TEST_F(Timer_test, AnimationTicksItsCountThenStops) {
  auto f = new_form();
  auto c = make_on<Animated>(f, "PBOX");
  C_Timer::start_animation(c, 3, 20);
  EXPECT_TRUE(Timer_ticks::animation_running(c));
  EXPECT_EQ(Timer_ticks::animation_count(f), 1);
  run_for(200);
  EXPECT_EQ(c->ticks, 3);
  EXPECT_FALSE(Timer_ticks::animation_running(c));

  // A new start after the first tick counts three from then on.
  c->ticks = 0;
  C_Timer::start_animation(c, 3, 20);
  run_for(20);
  EXPECT_EQ(c->ticks, 1);
  C_Timer::start_animation(c, 3, 20);
  run_for(200);
  EXPECT_EQ(c->ticks, 4);

  // Restarted from its own tick, it keeps going.
  c->ticks = 0;
  c->inside = [&] {
    if (c->ticks == 2) C_Timer::start_animation(c, 2, 20);
  };
  C_Timer::start_animation(c, 2, 20);
  run_for(200);
  EXPECT_EQ(c->ticks, 4);

  // Nothing to count, nothing to tick.
  c->inside = nullptr;
  C_Timer::start_animation(c, 0, 20);
  EXPECT_FALSE(Timer_ticks::animation_running(c));
  C_Timer::start_animation(c, 5, 20);
  Timer_ticks::stop_animations(f);
  EXPECT_EQ(Timer_ticks::animation_count(f), 0);
}

// On the real clock: the platform's timer wakes the table when a timer is
// due, and nothing stays armed once the last timer is gone.
TEST_F(Forms_test, ThePlatformWakesTheTimersUp) {
  auto f = new_form();
  auto t = C_Timer::new_timer(f, "REAL", 5);
  EXPECT_TRUE(brek_platform::timer_wakeup_pending());
  EXPECT_TRUE(brek_test::wait_until([&] {
    brek_platform::process_events();
    return f->log.size() >= 2;
  }));
  dispose_now(t);
  EXPECT_FALSE(brek_platform::timer_wakeup_pending());
  Timer_ticks::reset();
}
