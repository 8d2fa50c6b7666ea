#include <gtest/gtest.h>

#include <limits>

#include "viewer/single_view.h"

namespace S = brek::Single_view;
using brek::point;

namespace {
// 800x600 device pixels at 96 dpi: the 25-point border is 33 pixels, the
// 8-point margin 10.
S::Input in_box(double w, double h, double scale, point p, bool ctrl = false) {
  S::Input in;
  in.box_w = 800;
  in.box_h = 600;
  in.pic_w = w;
  in.pic_h = h;
  in.scale = scale;
  in.pointer = p;
  in.ctrl = ctrl;
  in.inner = 33;
  in.margin = 10;
  return in;
}
void expect_rect(const brek::rect& r, double x, double y, double w, double h) {
  EXPECT_DOUBLE_EQ(r.x, x);
  EXPECT_DOUBLE_EQ(r.y, y);
  EXPECT_DOUBLE_EQ(r.w, w);
  EXPECT_DOUBLE_EQ(r.h, h);
}
const point MID{400, 300};
}  // namespace

TEST(SingleView, FittedAndZoomedPlacements) {
  // Natural size, centred.
  auto p = S::place(in_box(400, 300, 1.0, MID));
  EXPECT_TRUE(p.fitted);
  expect_rect(p.r, 200, 150, 400, 300);
  // Zoomed out with the pointer inside: the zoom applies, centred.
  p = S::place(in_box(400, 300, 0.5, MID));
  expect_rect(p.r, 300, 225, 200, 150);
  // With Ctrl: fitted to the window less the margin on every side.
  p = S::place(in_box(400, 300, 0.5, MID, true));
  EXPECT_TRUE(p.fitted);
  expect_rect(p.r, 10, 10, 780, 580);
  // Zoomed in with the pointer near an edge or outside: fitted.
  for (point q : {point{10, 300}, point{400, 590}, point{-5, -5}, point{900, 300}}) {
    p = S::place(in_box(400, 300, 3.0, q));
    EXPECT_TRUE(p.fitted);
    expect_rect(p.r, 0, 0, 800, 600);
  }
  // A small picture zoomed in that still fits is centred at the zoom.
  p = S::place(in_box(100, 100, 1.5, MID));
  expect_rect(p.r, 325, 225, 150, 150);
}

TEST(SingleView, PannedPlacementsFollowThePointer) {
  // 5m from the top-left corner shows the top-left of the picture.
  auto p = S::place(in_box(400, 300, 3.0, point{50, 50}));
  EXPECT_FALSE(p.fitted);
  expect_rect(p.r, 0, 0, 1200, 900);
  p = S::place(in_box(400, 300, 3.0, point{750, 550}));
  expect_rect(p.r, -400, -300, 1200, 900);
  // Half-way in between moves half-way; beyond the pan margins it clamps.
  p = S::place(in_box(400, 300, 3.0, point{400, 300}));
  expect_rect(p.r, -200, -150, 1200, 900);
  p = S::place(in_box(400, 300, 3.0, point{40, 760 - 200}));
  EXPECT_DOUBLE_EQ(p.r.x, 0);
  EXPECT_DOUBLE_EQ(p.r.y, -300);
  // A picture larger than the window at scale 1 is panned at its natural
  // size; one axis that fits stays centred.
  p = S::place(in_box(2000, 500, 1.0, MID));
  EXPECT_FALSE(p.fitted);
  EXPECT_DOUBLE_EQ(p.r.w, 2000);
  EXPECT_DOUBLE_EQ(p.r.y, 50);
  // ... and shrunk to fit, keeping its proportions, with Ctrl or near an edge.
  p = S::place(in_box(2000, 500, 1.0, point{5, 300}));
  expect_rect(p.r, 0, 200, 800, 200);
}

TEST(SingleView, ZoomAndPanSurviveExtremes) {
  // Zoom is bounded; NaN is no zoom.
  EXPECT_DOUBLE_EQ(S::clamp_scale(1e300), S::MAX_SCALE);
  EXPECT_DOUBLE_EQ(S::clamp_scale(0), S::MIN_SCALE);
  EXPECT_DOUBLE_EQ(S::clamp_scale(-3), S::MIN_SCALE);
  EXPECT_DOUBLE_EQ(S::clamp_scale(std::numeric_limits<double>::quiet_NaN()), 1.0);
  auto p = S::place(in_box(65535, 65535, 1e308, MID));
  EXPECT_LE(p.r.w, S::MAX_SIDE);
  EXPECT_GT(p.r.w, 800);
  // A window narrower than its two pan margins (10m = 100 pixels): the
  // picture still moves from its start to its end across the window.
  for (double px : {-10.0, 0.0, 30.0, 60.0, 200.0}) {
    double x = S::pan(60, 600, px, 10);
    EXPECT_LE(x, 0);
    EXPECT_GE(x, 60 - 600);
  }
  EXPECT_DOUBLE_EQ(S::pan(60, 600, 0, 10), 0);
  EXPECT_DOUBLE_EQ(S::pan(60, 600, 60, 10), -540);
  EXPECT_DOUBLE_EQ(S::pan(100, 600, 50, 10), -250);  // span exactly 0
  EXPECT_DOUBLE_EQ(S::pan(0, 600, 0, 10), 0);
  // No area, no picture; a zero window draws nothing visible.
  EXPECT_DOUBLE_EQ(S::place(in_box(0, 300, 1.0, MID)).r.w, 0);
  S::Input z = in_box(400, 300, 1.0, MID);
  z.box_w = 0;
  EXPECT_DOUBLE_EQ(S::place(z).r.w, 0);
}
