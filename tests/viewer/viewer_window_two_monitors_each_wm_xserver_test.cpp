// The viewer's window under each window manager a user may have (openbox,
// icewm, fluxbox on an X server of the test's own) on two monitors,
// 1920 x 1080 and, at its right, 1280 x 1024: a stored window lands whole
// on the monitor it is stored on, frame included, off the panels there,
// and a maximized window on the right monitor goes full screen there and
// comes back maximized.

#include <gtest/gtest.h>

#include <vector>

#include "platform/screens.h"
#include "tests/viewer/viewer_under_a_manager.h"

using namespace viewer_test;

namespace {

class ViewerWindowOnTwoMonitorsUnderEachManager : public Viewer_on_two_monitors {};

}  // namespace

// Stored larger than the right monitor, its top at the screen's top
// (1604 x 1004 pixels at 2000, 0): it lands wholly on that monitor, its
// frame above the monitor's bottom and its title bar on the screen.
TEST_F(ViewerWindowOnTwoMonitorsUnderEachManager, AStoredWindowLargerThanItsMonitorLandsWholeOnIt) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", stored_at(1200, 750, 1500, 0)));
  start();
  EXPECT_TRUE(brek_test::inside(frame(), RIGHT_SCREEN)) << "frame " << brek_test::describe(frame());
}

// Stored across both monitors, its top-left corner on the left one but
// most of it on the right (1204 x 904 pixels at 1800, 100): it lands
// wholly on the right monitor, where most of it was.
TEST_F(ViewerWindowOnTwoMonitorsUnderEachManager, AStoredWindowMostlyOnTheRightMonitorLandsWhollyOnIt) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", stored_at(900, 675, 1350, 75)));
  start();
  EXPECT_TRUE(brek_test::inside(frame(), RIGHT_SCREEN)) << "frame " << brek_test::describe(frame());
  EXPECT_EQ(box().w, 1204) << brek_test::describe(box());
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
  expect_maximized_again(maximized);
  maximize(false);
  expect_box(normal, "given back");
  EXPECT_EQ(stored_placement(), before);
}

// A monitor of 1024 x 768 takes the right one's place after the program
// started (the screen narrows to 2944 pixels), and a panel of 30 pixels
// stands along its right edge: a window stored against that edge lands
// left of the panel, the panel's strip measured from the screen's edge as
// it is now, not as it was when the program connected.
TEST_F(ViewerWindowOnTwoMonitorsUnderEachManager, APanelOnASmallerMonitorPluggedInKeepsTheWindowOffIt) {
  // Both monitors back as they were, for the program and the manager,
  // before the next test of the process.
  struct Screen_back {
    x11_test::Client& x;
    ~Screen_back() {
      EXPECT_TRUE(brek_test::resize_own_screen(3200, 1080, "1920x1080+0+0,1280x1024+1920+0"));
      EXPECT_TRUE(brek_test::wait_until([] {
        brek_platform::test_events::settle();
        const std::vector<brek_platform::Monitor_px> m = brek_platform::monitors();
        return m.size() == 2 && m[1].w == 1280 && m[1].h == 1024;
      }));
      EXPECT_TRUE(x.window_manager_barrier());
    }
  } back{x};
  ASSERT_TRUE(brek_test::resize_own_screen(2944, 1080, "1920x1080+0+0,1024x768+1920+0"));
  ASSERT_TRUE(brek_test::wait_until([] {
    brek_platform::test_events::settle();
    const std::vector<brek_platform::Monitor_px> m = brek_platform::monitors();
    return m.size() == 2 && m[1].x == 1920 && m[1].w == 1024 && m[1].h == 768;
  }));
  x.open_panel(2914, 0, 30, 768, {0, 30, 0, 0, 0, 0, 0, 767, 0, 0, 0, 0});
  ASSERT_TRUE(x.window_manager_barrier());
  // 375 x 300 points at 1830, 225: 504 x 404 pixels at 2440, 300, its
  // right edge at the monitor's.
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", stored_at(375, 300, 1830, 225)));
  start();
  EXPECT_TRUE(brek_test::inside(frame(), Box{1920, 0, 994, 768})) << "frame " << brek_test::describe(frame());
}
