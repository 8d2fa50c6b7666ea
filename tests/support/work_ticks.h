#pragma once
// Long work (a print, a listing) driven by a clock of the test's own: a
// tick handler advances the clock each time the work ticks and delivers
// the test's input, so no test sleeps; and the window manager's close box
// and the long-operation window's Cancel as the user uses them through
// the X server.

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "forms/form.h"
#include "forms/long_operation.h"
#include "runtime/clock.h"
#include "runtime/runtime_services.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/wait_until.h"

namespace brek_test {

// While `working` says so (always without it), runs `each` whenever the
// work's ticks run the tick handlers, after the clock has moved on by a
// tenth of a second. Every loop tick runs them.
class Work_ticks final : public brek::Brek_handler {
 public:
  explicit Work_ticks(brek::Brek_runtime::Test_clock& clock, std::function<bool()> working = {})
      : clock_(clock), working_(std::move(working)) {
    brek::Brek_runtime::register_tick_handler(this);
    brek::Brek_runtime::set_tick_counter(65535);
  }
  ~Work_ticks() override { brek::Brek_runtime::unregister_tick_handler(this); }
  void run() override {
    brek::Brek_runtime::set_tick_counter(65535);
    if (working_ && !working_()) return;
    clock_.advance(100);
    ticks += 1;
    if (each) each();
  }
  std::function<void()> each;
  int ticks = 0;

 private:
  brek::Brek_runtime::Test_clock& clock_;
  std::function<bool()> working_;
};

// The window manager's close box on the form: the request sent and the
// manager done with it, so it reaches the program before anything sent
// after.
inline void press_close_box(x11_test::Client& x, const brek::Ref<brek::C_Form>& form) {
  x.request_close(x11_window_of(form));
  ASSERT_TRUE(x.window_manager_barrier());
}

// From the work's next pass through the messages (as the window system's
// events come, not inside a paint the work's ticks reach), the window's
// Cancel clicked through the server, and taken.
inline void cancel_through_the_server(x11_test::Client& x, const brek::Ref<brek::C_Long_operation>& window) {
  brek_platform::test_events::post_task([&x, window] {
    ASSERT_TRUE(brek_platform::test_events::wait_exposed(window->native));
    click_on_screen(x, window, window->cancel_button_);
    EXPECT_TRUE(wait_until([&] {
      brek_platform::test_events::settle();
      return window->cancel_requested != 0;
    }));
  });
}

}  // namespace brek_test
