// Full screen and back under a window manager (openbox on an X server of
// the test's own, with the monitors 1920 x 1080 and, at its right,
// 1280 x 1024), which frames, maximizes and restores the window on its own
// time: F11 fills the monitor the window is on, F11 again gives the window
// back where it was, at its size, unframed by what the manager adds and
// not maximized, and the stored placement holds what it held. The window
// is read from the X server, the placement from the settings file.

#include <gtest/gtest.h>

#include <string>

#include "platform/screens.h"
#include "tests/viewer/viewer_under_a_manager.h"
#include "viewer/move_to_dirs.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;

namespace {

constexpr int VK_F6 = 117;

// The stored placement: 900 x 600 points at 200, 150 (1200 x 800 pixels
// inside the window's border of 2 at 266, 200).
const std::string STORED = stored_at(900, 600, 200, 150);
const Box STORED_BOX{266, 200, 1204, 804};
const Box SCREEN{0, 0, 1920, 1080};
// 375 x 300 points at 1950, 300 (504 x 404 pixels at 2600, 400): on the
// right monitor.
const std::string STORED_RIGHT = stored_at(375, 300, 1950, 300);
const Box STORED_RIGHT_BOX{2600, 400, 504, 404};

class ViewerFullScreenUnderAWindowManager : public Viewer_on_two_monitors {
 protected:
  void expect_full_screen(const Box& monitor = SCREEN) { Viewer_under_a_manager::expect_full_screen(monitor); }
  void enter_full_screen(const Box& monitor = SCREEN) { Viewer_under_a_manager::enter_full_screen(monitor); }
};

}  // namespace

TEST_F(ViewerFullScreenUnderAWindowManager, TwiceF11GivesTheStoredWindowBackAndStoresNothing) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", STORED));
  start();
  expect_box(STORED_BOX, "started");
  const Stored_placement before = stored_placement();
  for (int round = 1; round <= 2; ++round) {
    enter_full_screen();
    EXPECT_EQ(stored_placement(), before) << "round " << round << ", full screen";
    leave_full_screen();
    expect_box(STORED_BOX, round == 1 ? "first round" : "second round");
    EXPECT_EQ(stored_placement(), before) << "round " << round;
  }
}

// The window on the right monitor, the pointer resting on the left one:
// full screen fills the window's monitor and F11 again gives the window
// back there.
TEST_F(ViewerFullScreenUnderAWindowManager, FullScreenFillsTheMonitorTheWindowIsOn) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", STORED_RIGHT));
  start();
  expect_box(STORED_RIGHT_BOX, "started");
  const Stored_placement before = stored_placement();
  for (int round = 1; round <= 2; ++round) {
    te::move_screen_pointer(brek_platform::Point_pt{600, 400});
    enter_full_screen(RIGHT_SCREEN);
    leave_full_screen();
    expect_box(STORED_RIGHT_BOX, round == 1 ? "first round" : "second round");
    EXPECT_EQ(stored_placement(), before) << "round " << round;
  }
}

// Started ten times from its stored placement on the right monitor: the
// window comes back there each time and the placement stays as stored.
TEST_F(ViewerFullScreenUnderAWindowManager, TenStartsComeBackAtTheStoredPlacement) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", STORED_RIGHT));
  const Stored_placement before = stored_placement();
  for (int start_count = 1; start_count <= 10; ++start_count) {
    start();
    expect_box(STORED_RIGHT_BOX, ("start " + std::to_string(start_count)).c_str());
    s.reset();
    te::settle();
    EXPECT_EQ(stored_placement(), before) << "start " << start_count;
  }
}

TEST_F(ViewerFullScreenUnderAWindowManager, TheDefaultWindowComesBackWhereItWas) {
  start();
  const Box first = box();
  ASSERT_LT(first.w, SCREEN.w);
  for (int round = 1; round <= 2; ++round) {
    enter_full_screen();
    leave_full_screen();
    expect_box(first, round == 1 ? "first round" : "second round");
  }
}

TEST_F(ViewerFullScreenUnderAWindowManager, StartedFullScreenF11GivesTheStoredWindow) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", STORED + "Full_screen = 1\n"));
  start();
  expect_full_screen();
  leave_full_screen();
  expect_box(STORED_BOX, "after F11");
  EXPECT_FALSE(s->v->collage->full_screen);
}

// Maximized by the window manager (its title bar button) and given back:
// the maximized size is never stored, the window comes back as it was.
TEST_F(ViewerFullScreenUnderAWindowManager, AWindowTheManagerMaximizesStoresNothingOfIt) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", STORED));
  start();
  const Stored_placement before = stored_placement();
  x.request_maximized(window(), true);
  EXPECT_TRUE(brek_test::wait_until([&] {
    te::settle();
    return x.maximized(window()) && box().w == SCREEN.w;
  }));
  settled();
  EXPECT_EQ(stored_placement(), before);
  x.request_maximized(window(), false);
  EXPECT_TRUE(brek_test::wait_until([&] {
    te::settle();
    return !x.maximized(window());
  }));
  settled();
  expect_box(STORED_BOX, "given back");
  EXPECT_EQ(stored_placement(), before);
}

// A window dragged to straddle the two monitors: F11 twice gives it back
// exactly there, and its stored place stays the one the user gave.
TEST_F(ViewerFullScreenUnderAWindowManager, AWindowAcrossBothMonitorsComesBackWhereItWas) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", STORED_RIGHT));
  start();
  drag_to(1419, 300);
  const Box across{1419, 300, 504, 404};
  const Stored_placement before = stored_placement();
  EXPECT_EQ(before.left, 1419);
  for (int round = 1; round <= 2; ++round) {
    enter_full_screen();
    leave_full_screen();
    expect_box(across, round == 1 ? "first round" : "second round");
    EXPECT_EQ(stored_placement(), before) << "round " << round;
  }
}

// Stored larger than the monitor it lands on (1604 x 1004 pixels at 2000,
// 200, on the right monitor of 1280 x 1024): it is cut to that monitor,
// frame included.
TEST_F(ViewerFullScreenUnderAWindowManager, AWindowLargerThanItsMonitorIsCutToIt) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", stored_at(1200, 750, 1500, 150)));
  start();
  const Box frame = x.frame_geometry(window());
  EXPECT_TRUE(brek_test::inside(frame, RIGHT_SCREEN)) << brek_test::describe(frame);
}

// A panel of 30 pixels at the bottom of the left monitor: a window stored
// low starts with its frame above it; full screen covers it, and F11 again
// gives the window back.
TEST_F(ViewerFullScreenUnderAWindowManager, APanelKeepsWindowsOffItAndFullScreenCoversIt) {
  x.open_panel(0, 1050, 1920, 30, {0, 0, 0, 30, 0, 0, 0, 0, 0, 0, 0, 1919});
  ASSERT_TRUE(x.window_manager_barrier());
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", stored_at(900, 600, 400, 800)));
  start();
  const Box frame = x.frame_geometry(window());
  EXPECT_TRUE(brek_test::inside(frame, Box{0, 0, 1920, 1050})) << brek_test::describe(frame);
  const Box was = box();
  enter_full_screen();
  leave_full_screen();
  expect_box(was, "after F11");
}

// The right monitor taken away while most of the window is on it: the
// window comes wholly onto the left one.
TEST_F(ViewerFullScreenUnderAWindowManager, AWindowOnAMonitorTakenAwayComesOntoTheOther) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", STORED_RIGHT));
  start();
  drag_to(1871, 300);
  // Both monitors back, for the program and the manager, before the next
  // test of the process.
  struct Monitors_back {
    x11_test::Client& x;
    ~Monitors_back() {
      EXPECT_TRUE(brek_test::restore_own_monitors());
      EXPECT_TRUE(brek_test::wait_until([] {
        te::settle();
        return brek_platform::monitors().size() == 2;
      }));
      EXPECT_TRUE(x.window_manager_barrier());
    }
  } back{x};
  ASSERT_TRUE(brek_test::remove_own_monitor(1));
  EXPECT_TRUE(brek_test::wait_until([&] {
    te::settle();
    return brek_test::inside(x.frame_geometry(window()), SCREEN);
  })) << brek_test::describe(x.frame_geometry(window()));
}

// The move window, with no place stored, opens on the monitor of the main
// window.
TEST_F(ViewerFullScreenUnderAWindowManager, TheMoveWindowOpensOnTheMonitorOfTheMainWindow) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", STORED_RIGHT));
  start();
  ASSERT_TRUE(te::window_key_press(s->v->native, VK_F6));
  te::window_key_release(s->v->native, VK_F6);
  Ref<C_Move_to_dirs> w = s->v->collage->move_dialog;
  ASSERT_TRUE(!w.is_none() && te::wait_exposed(w->native));
  settled();
  const Box frame = x.frame_geometry(brek_test::x11_window_of(w));
  EXPECT_TRUE(brek_test::inside(frame, RIGHT_SCREEN)) << brek_test::describe(frame);
}
