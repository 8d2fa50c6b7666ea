// The viewer's window under a small window manager that frames windows
// late or never and answers no state request (the tests' own, on an X
// server of the test's own, one monitor of 1920 x 1080; started afresh
// for each test, so that nothing the program learnt of one carries over):
// a window shows at once and takes its stored place once the manager
// framed it, F6 holds nothing that comes after it, F11 fills the monitor
// all the same, and where the manager frames a window as it maps it, the
// window is placed with that frame before the show returns.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/on_screen_rect.h"
#include "tests/viewer/viewer_under_a_manager.h"
#include "viewer/move_to_dirs.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;
using brek_test::describe;

namespace {

constexpr int VK_F6 = 117;
// Larger than the screen (1996 x 1196 pixels at 0, 0): cut to it.
const std::string TOO_LARGE = stored_at(1497, 897, 0, 0);

class ViewerUnderALateManager : public Viewer_under_a_manager {
 protected:
  void SetUp() override {
    Viewer_under_a_manager::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(brek_test::restart_own_window_manager(option()));
  }
  virtual std::string option() { return ""; }
};

// The manager frames each window as it maps it.
class ViewerUnderAManagerFramingAsItMaps : public ViewerUnderALateManager {
 protected:
  std::string option() override { return "--frame-at-map"; }
};

}  // namespace

// F6 three times, the move window closed in between: the manager never
// frames it, and a task queued as F6 comes runs after the key was
// handled, not inside its handling (the window's thread held in a wait
// for the frame).
TEST_F(ViewerUnderALateManager, F6HoldsNothingThatComesAfterIt) {
  start();
  int ran = 0, inside = 0;
  for (int round = 1; round <= 3; ++round) {
    te::post_task([&] {
      ++ran;
      if (s->v->event_depth > 0) ++inside;
    });
    ASSERT_TRUE(te::window_key_press(s->v->native, VK_F6));
    te::window_key_release(s->v->native, VK_F6);
    Ref<C_Move_to_dirs> w = s->v->collage->move_dialog;
    ASSERT_TRUE(!w.is_none() && te::wait_exposed(w->native)) << "round " << round;
    ASSERT_TRUE(brek_test::wait_until([&] {
      te::settle();
      return ran == round;
    }));
    te::close(w->native);
    settled();
  }
  EXPECT_EQ(inside, 0) << "of 3 presses of F6 held the window's thread";
}

// Stored larger than the screen: shown unframed, the window is placed
// again once the manager frames it, wholly on the screen, frame included.
TEST_F(ViewerUnderALateManager, AWindowFramedLateTakesItsPlaceWhollyOnTheScreen) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", TOO_LARGE));
  start();
  EXPECT_TRUE(brek_test::inside(frame(), ONE_SCREEN)) << "unframed: " << describe(frame());
  x.frame_now(window());
  ASSERT_TRUE(brek_test::wait_until([&] { return x.cardinals(window(), "_NET_FRAME_EXTENTS").size() == 4; }));
  EXPECT_TRUE(brek_test::wait_until([&] {
    te::settle();
    return brek_test::inside(frame(), ONE_SCREEN);
  })) << "framed: " << describe(frame());
}

// F11 under a manager that keeps no full screen: the viewer fills the
// monitor itself, and F11 again gives the window back where it was.
TEST_F(ViewerUnderALateManager, F11FillsTheMonitorAndGivesTheWindowBack) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", stored_at(525, 375, 150, 150)));
  start();
  const Box before = box();
  enter_full_screen(ONE_SCREEN);
  leave_full_screen();
  EXPECT_TRUE(brek_test::wait_until([&] {
    te::settle();
    return box() == before;
  })) << describe(box()) << ", not " << describe(before);
}

// Stored larger than the screen, under a manager that frames a window as
// it maps it but is slow to (stopped until the show lets a task run): when
// the show returns, before anything else runs, the window lies wholly on
// the screen with the frame it got.
TEST_F(ViewerUnderAManagerFramingAsItMaps, TheShowReturnsWithTheWindowPlacedInItsFrame) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", TOO_LARGE));
  s = std::make_unique<Viewer_on_screen<Test_viewer>>();
  ASSERT_TRUE(brek_test::pause_own_window_manager(true));
  bool resumed = false;
  te::post_task([&] { resumed = brek_test::pause_own_window_manager(false); });
  s->v->show();
  EXPECT_TRUE(resumed) << "the show did not wait for the manager";
  if (!resumed) ASSERT_TRUE(brek_test::pause_own_window_manager(false));
  ASSERT_TRUE(x.window_manager_barrier());
  EXPECT_EQ(x.cardinals(window(), "_NET_FRAME_EXTENTS").size(), 4u);
  EXPECT_TRUE(brek_test::inside(frame(), ONE_SCREEN)) << describe(frame());
}
