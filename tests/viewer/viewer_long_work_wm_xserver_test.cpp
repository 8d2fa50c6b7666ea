// The viewer at long work of its own under a window manager (openbox on
// an X server of the test's own): a folder dropped on it is listed a file
// at a time, and a clock of the test's moves with the listing, so no test
// sleeps.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "forms/long_operation.h"
#include "runtime/clock.h"
#include "runtime/runtime_services.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/own_desktop.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_on_screen.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;

namespace {

// Runs `each` at every tick of the work, the clock a tenth of a second on.
class Ticks final : public Brek_handler {
 public:
  explicit Ticks(Brek_runtime::Test_clock& clock) : clock_(clock) {
    Brek_runtime::register_tick_handler(this);
    Brek_runtime::set_tick_counter(65535);
  }
  ~Ticks() override { Brek_runtime::unregister_tick_handler(this); }
  void run() override {
    Brek_runtime::set_tick_counter(65535);
    clock_.advance(100);
    if (each) each();
  }
  std::function<void()> each;

 private:
  Brek_runtime::Test_clock& clock_;
};

}  // namespace

// The manager's close box on the viewer while the long-operation window
// shows: the viewer stays, and the Cancel clicked afterwards stops the
// listing.
TEST(ViewerAtLongWork, TheCloseBoxLeavesTheViewer) {
  if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
  x11_test::Client x;
  ASSERT_TRUE(x.ok());
  brek_test::Temp_dir dir;
  for (int i = 0; i < 80; ++i) ASSERT_TRUE(brek_test::write_file(dir.file(std::to_string(i) + ".jpg"), "x"));
  Viewer_on_screen<Test_viewer> s;
  s.v->show();
  ASSERT_TRUE(te::wait_exposed(s.v->native));
  Brek_runtime::Test_clock clock;
  bool cancelled = false;
  {
    Ticks ticks(clock);
    ticks.each = [&] {
      auto window = ref_cast<C_Long_operation>(s.screen->long_operation);
      if (cancelled || window.is_none() || !window->is_visible()) return;
      cancelled = true;
      x.request_close(brek_test::x11_window_of(s.v));
      // The manager has sent the request: it reaches the program before
      // the click sent after it.
      ASSERT_TRUE(x.window_manager_barrier());
      te::post_task([&, window] {
        ASSERT_TRUE(te::wait_exposed(window->native));
        brek_test::click_on_screen(x, window, window->cancel_button_);
        EXPECT_TRUE(brek_test::wait_until([&] {
          te::settle();
          return window->cancel_requested != 0;
        }));
      });
    };
    ASSERT_TRUE(te::drop_files(s.v->native, {dir.path()}, {20, 20}));
  }
  ASSERT_TRUE(cancelled);
  EXPECT_NE(s.v->native, 0);
  EXPECT_TRUE(s.v->is_visible());
}
