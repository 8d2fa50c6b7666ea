#include <gtest/gtest.h>

#include "drawing/pixels.h"

using brek::Pixels;

TEST(Pixels, LayoutIsBgraInMemory) {
  Pixels p(2, 1);
  p.set(1, 0, Pixels::bgra(10, 20, 30, 40));
  const uint8_t* b = p.bytes() + 4;
  EXPECT_EQ(b[0], 10);
  EXPECT_EQ(b[1], 20);
  EXPECT_EQ(b[2], 30);
  EXPECT_EQ(b[3], 40);
  EXPECT_EQ(Pixels::red(p.at(1, 0)), 30);
  EXPECT_EQ(p.at(0, 0), 0xFF000000u);  // opaque black by default
}

TEST(Pixels, SizesAreBoundedAndAccessIsChecked) {
  Pixels huge(65535, 65535);
  EXPECT_TRUE(huge.empty());
  Pixels negative(-3, 4);
  EXPECT_TRUE(negative.empty());
  Pixels zero(0, 10);
  EXPECT_TRUE(zero.empty());
  EXPECT_EQ(zero.at(0, 0), 0u);
  zero.set(0, 0, 1);  // ignored
  Pixels small(3, 2);
  EXPECT_EQ(small.at(3, 0), 0u);
  EXPECT_EQ(small.at(-1, 0), 0u);
  small.set(5, 5, 7);
  EXPECT_EQ(small.stride(), 12);
}
