// The viewer at long work of its own under a window manager (openbox on
// an X server of the test's own): a folder dropped on it is listed a file
// at a time, and a clock of the test's moves with the listing, so no test
// sleeps.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/own_desktop.h"
#include "tests/support/temp_dir.h"
#include "tests/support/work_ticks.h"
#include "tests/viewer/viewer_on_screen.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;

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
    brek_test::Work_ticks ticks(clock);
    ticks.each = [&] {
      auto window = ref_cast<C_Long_operation>(s.screen->long_operation);
      if (cancelled || window.is_none() || !window->is_visible()) return;
      cancelled = true;
      brek_test::press_close_box(x, s.v);
      brek_test::cancel_through_the_server(x, window);
    };
    ASSERT_TRUE(te::drop_files(s.v->native, {dir.path()}, {20, 20}));
  }
  ASSERT_TRUE(cancelled);
  EXPECT_NE(s.v->native, 0);
  EXPECT_TRUE(s.v->is_visible());
}
