// The viewer's window under each window manager a user may have (openbox,
// icewm, fluxbox on an X server of the test's own, one monitor of
// 1920 x 1080), each of which maximizes, frames and answers in its own way:
// a maximized window goes full screen and comes back maximized, a stored
// window lands whole on the screen, frame and title bar included, and the
// stored placement is never a maximized or full-screen one; a window
// stored too large first shows with its title bar on the screen.

#include <gtest/gtest.h>

#include <string>

#include "tests/viewer/viewer_under_a_manager.h"

using namespace viewer_test;

namespace {

class ViewerWindowUnderEachManager : public Viewer_under_a_manager {};

}  // namespace

// Maximized through the manager, F11 twice gives the maximized window
// back; given back by the manager then, the window has its size from
// before it was maximized, and a new start opens at that size too.
TEST_F(ViewerWindowUnderEachManager, MaximizedF11TwiceGivesTheMaximizedWindowBack) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", STORED_ON_ONE));
  start();
  expect_box(STORED_ON_ONE_BOX, "started");
  const Stored_placement before = stored_placement();
  maximize(true);
  const Box maximized = box();
  ASSERT_GT(maximized.w, STORED_ON_ONE_BOX.w);
  EXPECT_EQ(stored_placement(), before) << "maximized";
  enter_full_screen(ONE_SCREEN);
  EXPECT_EQ(stored_placement(), before) << "full screen";
  expect_maximized_again(maximized);
  EXPECT_EQ(stored_placement(), before) << "after F11 twice";
  maximize(false);
  expect_box(STORED_ON_ONE_BOX, "given back");
  EXPECT_EQ(stored_placement(), before) << "given back";
  s.reset();
  start();
  expect_box(STORED_ON_ONE_BOX, "started again");
}

// Stored larger than the whole screen (2000 x 1200 pixels at 0, 0): cut
// to the screen less the panel, it lands wholly on it, frame included.
TEST_F(ViewerWindowUnderEachManager, AStoredWindowLargerThanTheScreenLandsWholeOnIt) {
  x.open_panel(0, 1040, 1920, 40, {0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 1919});
  ASSERT_TRUE(x.window_manager_barrier());
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", stored_at(1497, 897, 0, 0)));
  start();
  const Box work{0, 0, 1920, 1040};
  EXPECT_TRUE(brek_test::inside(frame(), work)) << "frame " << brek_test::describe(frame());
}

// Stored larger than the screen, beside another program's window (the
// terminal it was started from): the window first shows with its frame
// and title bar on the screen, also where the manager tells a window's
// frame only once it framed it.
TEST_F(ViewerWindowUnderEachManager, AStoredWindowFirstShowsWithItsTitleBarOnTheScreen) {
  x.open_window(300, 300, 500, 300, "terminal", "Terminal", "A terminal");
  ASSERT_TRUE(x.window_manager_barrier());
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", stored_at(1497, 897, 0, 0)));
  x.watch_maps();
  start();
  const Box first = x.first_mapped(window());
  EXPECT_TRUE(first.w > 0 && first.x >= 0 && first.y >= 0) << "first shown at " << brek_test::describe(first);
  EXPECT_TRUE(brek_test::inside(frame(), ONE_SCREEN)) << brek_test::describe(frame());
}
