// Full screen under each window manager a user may have (openbox, icewm,
// fluxbox on an X server of the test's own, one monitor of 1920 x 1080),
// when the manager's own key or menu puts the window in full screen or
// takes it out: F11 and the stored settings follow what the manager
// holds.

#include <gtest/gtest.h>

#include <string>

#include "tests/viewer/viewer_under_a_manager.h"

using namespace viewer_test;

namespace {

class ViewerFullScreenUnderEachManager : public Viewer_under_a_manager {};

}  // namespace

// Full screen by the manager's own key: the first F11 gives the window
// back as it was before, not maximized.
TEST_F(ViewerFullScreenUnderEachManager, F11AfterTheManagersFullScreenGivesTheWindowBack) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", STORED_ON_ONE));
  start();
  x.request_full_screen(window(), true);
  ASSERT_TRUE(brek_test::wait_until([&] {
    brek_platform::test_events::settle();
    return x.full_screen(window()) && box() == ONE_SCREEN;
  })) << brek_test::describe(box());
  settled();
  leave_full_screen();
  EXPECT_TRUE(brek_test::wait_until([&] {
    brek_platform::test_events::settle();
    return !x.full_screen(window()) && box() == STORED_ON_ONE_BOX;
  })) << brek_test::describe(box()) << (x.full_screen(window()) ? ", full screen" : "");
  expect_box(STORED_ON_ONE_BOX, "after F11");
}

// F11, then the manager's own key leaves full screen, then the program
// ends: full screen is not stored, and the next start opens the window.
TEST_F(ViewerFullScreenUnderEachManager, FullScreenLeftThroughTheManagerIsNotStored) {
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", STORED_ON_ONE));
  start();
  enter_full_screen(ONE_SCREEN);
  x.request_full_screen(window(), false);
  ASSERT_TRUE(brek_test::wait_until([&] {
    brek_platform::test_events::settle();
    return !x.full_screen(window()) && box() != ONE_SCREEN;
  })) << brek_test::describe(box());
  settled();
  s.reset();
  Ref<C_Config> c = C_Config::open_read("Collage_viewer", area_where_configuration_is_stored::USER, "Main");
  EXPECT_FALSE(c->read_boolean("Full_screen"));
  start();
  EXPECT_TRUE(brek_test::wait_until([&] {
    brek_platform::test_events::settle();
    return !s->v->collage->pending_placement;
  }));
  settled();
  EXPECT_FALSE(x.full_screen(window()));
  expect_box(STORED_ON_ONE_BOX, "started again");
}
