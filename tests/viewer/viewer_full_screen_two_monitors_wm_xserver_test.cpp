// Full screen and back under a window manager (openbox on an X server of
// the test's own, with the monitors 1920 x 1080 and, at its right,
// 1280 x 1024), which frames, maximizes and restores the window on its own
// time: F11 fills the monitor the window is on, F11 again gives the window
// back where it was, at its size, unframed by what the manager adds and
// not maximized, and the stored placement holds what it held. The window
// is read from the X server, the placement from the settings file.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <ostream>
#include <string>

#include "baselib/config.h"
#include "platform/screens.h"
#include "platform/test_events.h"
#include "tests/support/on_screen_rect.h"
#include "tests/support/own_desktop.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_on_screen.h"
#include "viewer/move_to_dirs.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;
using Box = x11_test::Client::Box;
using area = area_where_configuration_is_stored;

namespace {

constexpr int VK_F11 = 122, VK_F6 = 117;

// A placement in points as stored: the client size, the window's own size
// (a border of 2 pixels around the client) and its place.
std::string stored_at(double cwidth, double cheight, double left, double top) {
  auto v = [](double d) { return "\"" + std::to_string(d) + "\"\n"; };
  return "[Main]\nCWidth = " + v(cwidth) + "CHeight = " + v(cheight) + "Width = " + v(cwidth + 3) +
         "Height = " + v(cheight + 3) + "Left = " + v(left) + "Top = " + v(top);
}

// The stored placement: 900 x 600 points at 200, 150 (1200 x 800 pixels
// inside the window's border of 2 at 266, 200).
const char* const STORED =
    "[Main]\nCWidth = \"900\"\nCHeight = \"600\"\nWidth = \"903\"\nHeight = \"603\"\nLeft = \"200\"\nTop = \"150\"\n";
const Box STORED_BOX{266, 200, 1204, 804};
const Box SCREEN{0, 0, 1920, 1080};
const Box RIGHT_SCREEN{1920, 0, 1280, 1024};
// 375 x 300 points at 1950, 300 (504 x 404 pixels at 2600, 400): on the
// right monitor.
const char* const STORED_RIGHT =
    "[Main]\nCWidth = \"375\"\nCHeight = \"300\"\nWidth = \"378\"\nHeight = \"303\"\nLeft = \"1950\"\nTop = \"300\"\n";
const Box STORED_RIGHT_BOX{2600, 400, 504, 404};

// The stored placement in the screen's pixels (96 per inch): a save of the
// same window may write other points for the same pixels.
struct Placement {
  int left, top, width, height, cwidth, cheight;
  bool operator==(const Placement&) const = default;
};
void PrintTo(const Placement& p, std::ostream* os) {
  *os << p.width << " x " << p.height << " at " << p.left << ", " << p.top << " (client " << p.cwidth << " x "
      << p.cheight << ")";
}
Placement stored_placement() {
  Ref<C_Config> c = C_Config::open_read("Collage_viewer", area::USER, "Main");
  auto px = [&](const char* key) { return int(std::floor(c->read_real_value(key) * 96 / 72 + 1e-6)); };
  return {px("Left"), px("Top"), px("Width"), px("Height"), px("CWidth"), px("CHeight")};
}

class ViewerFullScreenUnderAWindowManager : public testing::Test {
 protected:
  void SetUp() override {
    if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
    ASSERT_TRUE(x.ok());
    ASSERT_EQ(brek_test::own_desktop_monitors().size(), 2u);
  }
  // The viewer started as the program starts it, on the screen.
  void start() {
    s = std::make_unique<Viewer_on_screen<Test_viewer>>();
    s->v->show();
    ASSERT_TRUE(te::wait_exposed(s->v->native));
    settled();
  }
  xcb_window_t window() { return brek_test::x11_window_of(s->v); }
  Box box() { return x.geometry(window()); }
  // Everything the program and the window manager had to do is done.
  void settled() {
    te::settle();
    ASSERT_TRUE(x.window_manager_barrier());
    te::settle();
  }
  void f11() {
    ASSERT_TRUE(te::window_key_press(s->v->native, VK_F11));
    te::window_key_release(s->v->native, VK_F11);
  }
  // The window covers the monitor once the viewer placed it.
  void expect_full_screen(const Box& monitor = SCREEN) {
    EXPECT_TRUE(brek_test::wait_until([&] {
      te::settle();
      return box() == monitor && !s->v->collage->pending_placement;
    })) << brek_test::describe(box());
    settled();
  }
  void enter_full_screen(const Box& monitor = SCREEN) {
    f11();
    expect_full_screen(monitor);
  }
  void leave_full_screen() {
    f11();
    settled();
  }
  void expect_box(const Box& want, const char* when) {
    const Box b = box();
    EXPECT_TRUE(b == want) << when << ": " << brek_test::describe(b) << ", not " << brek_test::describe(want);
    EXPECT_FALSE(x.maximized(window())) << when;
  }

  // The user drags the window to x, y (pixels); the viewer stores it.
  void drag_to(int to_x, int to_y) {
    x.request_move(window(), to_x, to_y);
    EXPECT_TRUE(brek_test::wait_until([&] {
      te::settle();
      return box().x == to_x && box().y == to_y;
    })) << brek_test::describe(box());
    settled();
  }

  x11_test::Client x;
  std::unique_ptr<Viewer_on_screen<Test_viewer>> s;
};

}  // namespace

TEST_F(ViewerFullScreenUnderAWindowManager, TwiceF11GivesTheStoredWindowBackAndStoresNothing) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", STORED));
  start();
  expect_box(STORED_BOX, "started");
  const Placement before = stored_placement();
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
  const Placement before = stored_placement();
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
  const Placement before = stored_placement();
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
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", std::string(STORED) + "Full_screen = 1\n"));
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
  const Placement before = stored_placement();
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
  const Placement before = stored_placement();
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
