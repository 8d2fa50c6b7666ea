#include <gtest/gtest.h>

#include <cmath>

#include "baselib/geometry.h"

using namespace brek;
using G = brek::C_Geometry;

TEST(Geometry, ContainmentIsClosedOnAllEdges) {
  rect r{0, 0, 10, 10};
  EXPECT_TRUE(G::point_in_rect(r, {10, 10}));
  EXPECT_TRUE(G::point_in_rect(r, {0, 0}));
  EXPECT_FALSE(G::point_in_rect(r, {10.000001, 5}));
  EXPECT_FALSE(G::point_in_rect(r, {-0.000001, 5}));
  EXPECT_TRUE(G::point_in_rect({5, 0, 0, 10}, {5, 3}));  // zero width: its left edge
  EXPECT_FALSE(G::point_in_rect({5, 0, -1, 10}, {5, 3}));
  EXPECT_FALSE(G::point_in_rect(r, {NAN, 5}));
  EXPECT_FALSE(G::point_in_rect({NAN, 0, 10, 10}, {5, 5}));
}

TEST(Geometry, TouchingRectanglesOverlap) {
  rect a{0, 0, 10, 10};
  EXPECT_TRUE(G::rects_overlap(a, {10, 0, 5, 5}));
  EXPECT_FALSE(G::rects_overlap(a, {10.5, 0, 5, 5}));
  EXPECT_TRUE(G::rects_overlap(a, {-5, -5, 5, 5}));  // corner to corner
  EXPECT_TRUE(G::rects_overlap(a, {2, 2, 1, 1}));   // inside
  EXPECT_FALSE(G::rects_overlap(a, {0, 11, 10, 10}));
  EXPECT_FALSE(G::rects_overlap(a, {NAN, 0, 5, 5}));
}

TEST(Geometry, OffsetsInflateAndDistance) {
  EXPECT_EQ(G::rect_inflate({10, 10, 4, 4}, 2, 3), (rect{8, 7, 8, 10}));
  EXPECT_EQ(G::rect_inflate({10, 10, 4, 4}, -3, -1), (rect{13, 11, -2, 2}));
  EXPECT_EQ(G::point_distance({0, 0}, {3, 4}), 5);
  EXPECT_EQ(G::rect_offset({1, 2, 3, 4}, 10, 20), (rect{11, 22, 3, 4}));
  EXPECT_EQ(G::point_offset({1, 2}, -1, -2), G::point_zero());
  EXPECT_EQ(G::rect_right({1, 2, 3, 4}), 4);
  EXPECT_EQ(G::rect_bottom({1, 2, 3, 4}), 6);
}
