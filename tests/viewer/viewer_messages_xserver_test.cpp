// A message of the platform over a window in the screen's corner, on the X
// server: wider than the window, it shows wholly on the screen.

#include <gtest/gtest.h>

#include "platform/test_events.h"
#include "tests/support/x11_client.h"
#include "tests/viewer/viewer_on_screen.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;

TEST(ViewerMessages, AMessageOverAWindowInTheCornerIsWhollyOnTheScreen) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  x11_test::Client x;
  ASSERT_TRUE(x.ok());
  const x11_test::Client::Box screen = x.geometry(x.root());
  // 90 x 60 points, 4 pixels in from the screen's right and bottom edges.
  const double right = C_Brek_form::pixels_to_points(screen.w - 4), bottom = C_Brek_form::pixels_to_points(screen.h - 4);
  Viewer_on_screen<Test_viewer> s(rect{right - 90, bottom - 60, 90, 60});
  s.v->show();
  ASSERT_TRUE(te::wait_exposed(s.v->native));
  brek_platform::Rect_pt where;
  te::answer_next_message(true, &where);
  s.v->message("A message a good deal wider than the window it is shown over");
  ASSERT_GT(where.w, C_Brek_form::points_to_pixels(s.v->get_width()));
  EXPECT_GE(where.x, screen.x);
  EXPECT_GE(where.y, screen.y);
  EXPECT_LE(where.x + where.w, screen.x + screen.w) << where.w << " wide at " << where.x;
  EXPECT_LE(where.y + where.h, screen.y + screen.h) << where.h << " high at " << where.y;
}
