// Runs on two offscreen monitors of 1280 x 1024 pixels side by side, which
// are 960 x 768 points each at 96 pixels per inch.
#include <gtest/gtest.h>

#include "placement_test_support.h"

using namespace forms_test;

namespace {
class Two_screens : public Placement_test {};
}  // namespace

TEST_F(Two_screens, TwoMonitorsSideBySide) {
  ASSERT_EQ(Placement::monitor_count(), 2);
  rect a = Placement::monitor_rect(0);
  rect b = Placement::monitor_rect(1);
  EXPECT_EQ(a.x, 0);
  EXPECT_EQ(a.w, 960);
  EXPECT_EQ(a.h, 768);
  EXPECT_EQ(b.x, 960);
  EXPECT_EQ(b.w, 960);
  EXPECT_EQ(Placement::monitor_work_area(1).x, 960);
}

TEST_F(Two_screens, KeepOnScreenUsesTheMonitorSharingMost) {
  auto f = form_at(0, 0, 300, 200);
  f->set_position(positioning::KEEP_ON_SCREEN, 100, 900);  // mostly on the second
  EXPECT_EQ(bounds(f).x, 960);
  EXPECT_EQ(bounds(f).y, 100);
  f->set_position(positioning::KEEP_ON_SCREEN, 100, 810);  // half on each: the later
  EXPECT_EQ(bounds(f).x, 960);
  f->set_position(positioning::KEEP_ON_SCREEN, 100, 700);
  EXPECT_EQ(bounds(f).x, 660);
}

TEST_F(Two_screens, AWindowThatOnlyTouchesAMonitorIsKeptOnIt) {
  auto f = form_at(0, 0, 300, 200);
  // Its top edge lies on the second monitor's bottom edge.
  f->set_position(positioning::KEEP_ON_SCREEN, 768, 1200);
  EXPECT_EQ(bounds(f).x, 1200);
  EXPECT_EQ(bounds(f).y, 568);
}

TEST_F(Two_screens, AWindowOffEveryMonitorGoesToTheFirst) {
  auto f = form_at(0, 0, 300, 200);
  f->set_position(positioning::KEEP_ON_SCREEN, 5000, 5000);
  EXPECT_EQ(bounds(f).x, 660);
  EXPECT_EQ(bounds(f).y, 568);
  f->set_position(positioning::CENTER_ON_SCREEN, 10, 1500);
  EXPECT_EQ(bounds(f).x, 960 + 330);
  EXPECT_EQ(bounds(f).y, 284);
}

TEST_F(Two_screens, FitToDesktopSpansBothMonitors) {
  auto f = form_at(-50, -50, 300, 200);
  f->set_size(sizing_options::FIT_TO_DESKTOP, 5000, 5000);
  // Only the first monitor is shrunk by a point: the second one's top and
  // right edges bound the box.
  EXPECT_EQ(bounds(f).x, 1);
  EXPECT_EQ(bounds(f).y, 0);
  EXPECT_EQ(bounds(f).w, 1919);
  EXPECT_EQ(bounds(f).h, 768);
}
