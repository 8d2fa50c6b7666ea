#include <gtest/gtest.h>

#include <cmath>

#include "baselib/config.h"
#include "placement_test_support.h"

using namespace forms_test;

namespace {

using area = area_where_configuration_is_stored;

void expect_rect(const rect& r, double x, double y, double w, double h) {
  EXPECT_DOUBLE_EQ(r.x, x);
  EXPECT_DOUBLE_EQ(r.y, y);
  EXPECT_DOUBLE_EQ(r.w, w);
  EXPECT_DOUBLE_EQ(r.h, h);
}

Ref<C_Config> stored(const std::string& app) { return C_Config::open_read(app, area::USER, "Main"); }

}  // namespace

TEST(Placement_rules, TaskbarShortensTheMonitorOnTheEdgeItSitsOn) {
  rect m{0, 0, 800, 600};
  expect_rect(Placement::taskbar_work_area(m, {0, 570, 800, 30}), 0, 0, 800, 570);
  expect_rect(Placement::taskbar_work_area(m, {0, 0, 800, 30}), 0, 30, 800, 570);
  expect_rect(Placement::taskbar_work_area(m, {770, 0, 30, 600}), 0, 0, 770, 600);
  expect_rect(Placement::taskbar_work_area(m, {0, 0, 30, 600}), 30, 0, 770, 600);
  // Nearly as wide is within 6 points; a short bar or one on another
  // monitor is no taskbar.
  expect_rect(Placement::taskbar_work_area(m, {3, 570, 795, 30}), 0, 0, 800, 570);
  expect_rect(Placement::taskbar_work_area(m, {100, 570, 300, 30}), 0, 0, 800, 600);
  expect_rect(Placement::taskbar_work_area(m, {900, 570, 800, 30}), 0, 0, 800, 600);
  // The monitor of a bar that is not the first one.
  expect_rect(Placement::taskbar_work_area({800, 0, 800, 600}, {800, 570, 800, 30}), 800, 0, 800, 570);
}

TEST(Placement_rules, WorkAreaFollowsThePlatform) {
  rect m{0, 0, 800, 600};
  rect bar{0, 570, 800, 30};
  rect panel_free{0, 28, 800, 572};
  expect_rect(Placement::work_area_for(m, panel_free, bar, "collage;linux"), 0, 28, 800, 572);
  expect_rect(Placement::work_area_for(m, panel_free, bar, "collage;windows 10"), 0, 0, 800, 570);
  expect_rect(Placement::work_area_for(m, rect{}, bar, "linux"), 0, 0, 800, 600);
}

TEST(Placement_rules, BestMonitorByLargestOverlapLaterWinsTiesTouchingCounts) {
  std::vector<rect> mons{{0, 0, 100, 100}, {100, 0, 100, 100}, {0, 200, 100, 100}};
  EXPECT_EQ(Placement::best_monitor(mons, {50, 10, 100, 20}), 1);  // half on each
  EXPECT_EQ(Placement::best_monitor(mons, {40, 10, 100, 20}), 0);
  EXPECT_EQ(Placement::best_monitor(mons, {120, 10, 100, 300}), 1);
  // Touching the third monitor only: area 0, but it is met.
  EXPECT_EQ(Placement::best_monitor(mons, {0, 180, 50, 20}), 2);
  EXPECT_EQ(Placement::best_monitor(mons, {5000, 5000, 10, 10}), 0);
  EXPECT_EQ(Placement::best_monitor({}, {0, 0, 10, 10}), 0);
  EXPECT_EQ(Placement::best_monitor(mons, {NAN, 0, 10, 10}), 0);
}

TEST(Placement_rules, KeepCentreAndFit) {
  rect work{0, 30, 800, 570};
  point p = Placement::keep_in(work, -50, 0, 300, 200);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 30);
  p = Placement::keep_in(work, 700, 500, 300, 200);
  EXPECT_EQ(p.x, 500);
  EXPECT_EQ(p.y, 400);
  p = Placement::keep_in(work, 100, 100, 1000, 1000);  // larger: the top-left stays on
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 30);
  p = Placement::center_in(work, 300, 200);
  EXPECT_EQ(p.x, 250);
  EXPECT_EQ(p.y, 215);

  // A bar 30 high atop the first monitor; no work area known for the second.
  std::vector<rect> mons{{0, 0, 800, 600}, {800, 0, 800, 600}};
  std::vector<rect> works{{0, 30, 800, 570}, {}};
  expect_rect(Placement::fit_to_display(mons, works, {700, 500, 200, 200}), 600, 400, 200, 200);
  expect_rect(Placement::fit_to_display(mons, works, {100, 10, 200, 200}), 100, 30, 200, 200);  // under the bar
  expect_rect(Placement::fit_to_display(mons, works, {900, 10, 100, 100}), 900, 10, 100, 100);  // fits
  // Larger than its monitor: cut to it, wholly on it.
  expect_rect(Placement::fit_to_display(mons, works, {850, 10, 2000, 2000}), 800, 0, 800, 600);
  expect_rect(Placement::fit_to_display(mons, works, {100, 100, 600, 1000}), 100, 30, 600, 570);
  // Its corner on no monitor: the one it shares most with, else the first.
  expect_rect(Placement::fit_to_display(mons, works, {-50, 100, 300, 200}), 0, 100, 300, 200);
  expect_rect(Placement::fit_to_display(mons, works, {-500, 10, 100, 100}), 0, 30, 100, 100);
  expect_rect(Placement::fit_to_display({}, {}, {-500, 10, 100, 100}), -500, 10, 100, 100);
}

TEST(Placement_rules, DesktopBoxCoversGapsBetweenMonitors) {
  rect box;
  ASSERT_TRUE(Placement::desktop_box({{0, 0, 100, 100}, {300, 50, 100, 100}}, box));
  expect_rect(box, 1, 1, 399, 149);
  ASSERT_TRUE(Placement::desktop_box({{0, 0, 100, 100}}, box));
  expect_rect(box, 1, 1, 98, 98);
  EXPECT_FALSE(Placement::desktop_box({}, box));
}

TEST(Placement_rules, WhatStringLetters) {
  EXPECT_EQ(Placement::what_letters(""), "WHLT");
  EXPECT_EQ(Placement::what_letters("L*"), "WHLT");
  EXPECT_EQ(Placement::what_letters("WH"), "WH");
  EXPECT_FALSE(Placement::wants(Placement::what_letters("wh"), 'W'));  // case counts
}

TEST_F(Placement_test, MonitorListComesFromThePlatform) {
  ASSERT_GE(Placement::monitor_count(), 1);
  rect m = Placement::monitor_rect(0);
  EXPECT_GT(m.w, 0);
  EXPECT_GT(m.h, 0);
  rect w = Placement::monitor_work_area(0);
  EXPECT_GT(w.w, 0);
  expect_rect(Placement::monitor_rect(-1), 0, 0, 0, 0);
  expect_rect(Placement::monitor_rect(Placement::monitor_count()), 0, 0, 0, 0);
}

TEST_F(Placement_test, SizeModes) {
  rect m = Placement::monitor_rect(0);
  auto f = form_at(10, 10, 300, 200);
  f->set_size(sizing_options::SIZE_AS_IS, 250, 0);  // width 0 keeps the width
  EXPECT_EQ(bounds(f).w, 300);
  EXPECT_EQ(bounds(f).h, 250);
  EXPECT_EQ(f->want_width, 0);
  EXPECT_EQ(f->want_height, 250);

  // Passing the monitor's right edge moves the window back onto it.
  native.windows[f->native].bounds = {m.w - 150, 10, 300, 200};
  f->set_size(sizing_options::FIT_TO_DISPLAY, 200, 200);
  EXPECT_EQ(bounds(f).x, m.w - 200);
  EXPECT_EQ(f->want_width, 200);
  EXPECT_EQ(f->want_height, 200);

  f->set_size(sizing_options::FIT_TO_DESKTOP, 1e6, 1e6);
  EXPECT_EQ(bounds(f).w, m.w - 2);
  EXPECT_EQ(bounds(f).h, m.h - 2);
  EXPECT_EQ(f->placed, 0);  // fitting is no placement of the caller's

  f->set_size(sizing_options::SIZE_AS_IS, NAN, INFINITY);
  EXPECT_EQ(bounds(f).w, m.w - 2);
}

TEST_F(Placement_test, ClientSizeKeepsTheFrame) {
  auto f = form_at(10, 10, 300, 200);
  f->set_client_size(sizing_options::SIZE_AS_IS, 100, 400);
  EXPECT_EQ(bounds(f).w, 404);
  EXPECT_EQ(bounds(f).h, 124);
  EXPECT_EQ(f->want_width, 404);
  f->set_client_size(sizing_options::FIT_TO_DESKTOP, 1e6, 0);  // height cut, width kept
  EXPECT_EQ(bounds(f).w, 404);
  EXPECT_EQ(bounds(f).h, Placement::monitor_rect(0).h - 2);
}

TEST_F(Placement_test, PlacementRoundTripsThroughTheConfiguration) {
  auto f = form_at(0, 0, 300, 200);
  f->set_position(positioning::POSITION_AS_IS, 50, 40);
  EXPECT_EQ(f->placed, 1);
  f->save_placement("Placement_round", "Main");
  auto c = stored("Placement_round");
  EXPECT_EQ(c->read_real_value("Width"), 300);
  EXPECT_EQ(c->read_real_value("Height"), 200);
  EXPECT_EQ(c->read_real_value("CWidth"), 296);
  EXPECT_EQ(c->read_real_value("CHeight"), 176);
  EXPECT_EQ(c->read_real_value("Left"), 40);
  EXPECT_EQ(c->read_real_value("Top"), 50);

  auto g = form_at(5, 5, 100, 100);
  g->load_placement("Placement_round", "Main");
  EXPECT_EQ(bounds(g).x, 40);
  EXPECT_EQ(bounds(g).y, 50);
  EXPECT_EQ(bounds(g).w, 300);
  EXPECT_EQ(bounds(g).h, 200);
  EXPECT_EQ(g->placed, 1);
}

TEST_F(Placement_test, WhatStringsChooseWhatIsSaved) {
  auto f = form_at(40, 50, 300, 200);
  // Not placed yet: nothing without "A".
  f->save_placement("Placement_what", "Main", "WH");
  EXPECT_FALSE(stored("Placement_what")->exists("Width"));

  for (int state : {1, 2}) {  // minimized or maximized: not even with "A"
    native.windows[f->native].state = state;
    f->save_placement("Placement_what", "Main", "A");
    f->save_placement("Placement_what", "Main", "AWHLT");
    EXPECT_FALSE(stored("Placement_what")->exists("Width")) << "state " << state;
  }
  native.windows[f->native].state = 0;

  f->save_placement("Placement_what", "Main", "AWH");
  auto c = stored("Placement_what");
  EXPECT_TRUE(c->exists("Width"));
  EXPECT_TRUE(c->exists("Height"));
  EXPECT_TRUE(c->exists("CWidth"));
  EXPECT_TRUE(c->exists("CHeight"));
  EXPECT_FALSE(c->exists("Left"));
  EXPECT_FALSE(c->exists("Top"));

  f->set_left(40);  // placed now, but hidden: nothing
  native.windows[f->native].visible = false;
  f->save_placement("Placement_what", "Main", "L");
  EXPECT_FALSE(stored("Placement_what")->exists("Left"));
}

TEST_F(Placement_test, OneStoredCoordinateIsTakenAsItStands) {
  auto c = C_Config::open_write("Placement_left", area::USER, "Main");
  c->write_real("Left", -30);
  auto f = form_at(100, 120, 300, 200);
  f->load_placement("Placement_left", "Main");
  EXPECT_EQ(bounds(f).x, -30);  // partly off the monitor: not kept on it
  EXPECT_EQ(bounds(f).y, 120);
  EXPECT_EQ(bounds(f).w, 300);
}

TEST_F(Placement_test, StoredValuesNeverPutTheWindowOutOfSight) {
  rect m = Placement::monitor_rect(0);
  rect work = Placement::monitor_work_area(0);
  auto c = C_Config::open_write("Placement_bad", area::USER, "Main");
  c->write_string("Width", "1e400");  // reads as infinity: ignored
  c->write_real("Height", 1e9);       // more than every monitor: cut
  c->write_real("Left", 1e300);
  c->write_real("Top", -1e300);
  auto f = form_at(100, 120, 300, 200);
  f->load_placement("Placement_bad", "Main");
  auto b = bounds(f);
  EXPECT_EQ(b.w, 300);
  EXPECT_EQ(b.h, m.h - 2);
  EXPECT_EQ(b.x, work.x + work.w - 300);
  EXPECT_EQ(b.y, work.y);

  // A single coordinate far away is kept on the monitor as well.
  auto d = C_Config::open_write("Placement_far", area::USER, "Main");
  d->write_real("Top", 1e7);
  d->write_real("Width", -40);  // not a size: the width stays
  auto g = form_at(100, 120, 300, 200);
  g->load_placement("Placement_far", "Main");
  EXPECT_EQ(bounds(g).x, 100);
  EXPECT_EQ(bounds(g).w, 300);
  EXPECT_EQ(bounds(g).y, work.y + work.h - 200);
}

TEST(Placement_rules, OutsideWindowsAreUnknownWithoutAWindowSystemList) {
  // The tests run on the offscreen platform: no window system to ask.
  EXPECT_EQ(Placement::find_window("", ""), 0);
  EXPECT_EQ(Placement::find_window("Shell_TrayWnd", ""), 0);
  expect_rect(Placement::get_window_rect(0x400001), 0, 0, 0, 0);
  expect_rect(Placement::taskbar_rect(), 0, 0, 0, 0);
  EXPECT_FALSE(Placement::set_foreground(0x400001));
}
