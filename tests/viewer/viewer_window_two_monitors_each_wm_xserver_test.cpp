// The viewer's window under each window manager a user may have (openbox,
// icewm, fluxbox on an X server of the test's own) on two monitors,
// 1920 x 1080 and, at its right, 1280 x 1024: a stored window lands whole
// on the monitor it is stored on, frame included, and a maximized window
// on the right monitor goes full screen there and comes back maximized.

#include <gtest/gtest.h>

#include "tests/viewer/viewer_under_a_manager.h"

using namespace viewer_test;

namespace {

const Box RIGHT_SCREEN{1920, 0, 1280, 1024};

class ViewerWindowOnTwoMonitorsUnderEachManager : public Viewer_under_a_manager {
 protected:
  void SetUp() override {
    Viewer_under_a_manager::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_EQ(brek_test::own_desktop_monitors().size(), 2u);
  }
};

}  // namespace

// Stored larger than the right monitor, its top at the screen's top
// (1604 x 1004 pixels at 2000, 0): it lands wholly on that monitor, its
// frame above the monitor's bottom and its title bar on the screen.
TEST_F(ViewerWindowOnTwoMonitorsUnderEachManager, AStoredWindowLargerThanItsMonitorLandsWholeOnIt) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", stored_at(1200, 750, 1500, 0)));
  start();
  EXPECT_TRUE(brek_test::inside(frame(), RIGHT_SCREEN)) << "frame " << brek_test::describe(frame());
}

// Maximized on the right monitor, F11 twice gives the maximized window
// back there; given back by the manager, it has its size from before.
TEST_F(ViewerWindowOnTwoMonitorsUnderEachManager, MaximizedOnTheRightMonitorF11TwiceGivesItBackMaximized) {
  // 375 x 300 points at 1950, 300: 504 x 404 pixels at 2600, 400.
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", stored_at(375, 300, 1950, 300)));
  start();
  const Box normal{2600, 400, 504, 404};
  expect_box(normal, "started");
  const Stored_placement before = stored_placement();
  maximize(true);
  const Box maximized = box();
  ASSERT_TRUE(brek_test::inside(maximized, RIGHT_SCREEN)) << brek_test::describe(maximized);
  enter_full_screen(RIGHT_SCREEN);
  leave_full_screen();
  EXPECT_TRUE(brek_test::wait_until([&] {
    brek_platform::test_events::settle();
    return x.maximized(window()) && box() == maximized;
  })) << "after F11 twice: " << brek_test::describe(box()) << (x.maximized(window()) ? "" : ", not maximized");
  settled();
  maximize(false);
  expect_box(normal, "given back");
  EXPECT_EQ(stored_placement(), before);
}
