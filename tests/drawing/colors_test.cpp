#include <gtest/gtest.h>

#include <cmath>

#include "drawing/canvas.h"
#include "drawing/colors.h"

using namespace brek;

TEST(Colors, DarkTestStopsAt384AndIgnoresAlpha) {
  EXPECT_FALSE(Colors::is_dark(Colors::make(128, 128, 128)));
  EXPECT_TRUE(Colors::is_dark(Colors::make(128, 128, 127)));
  EXPECT_TRUE(Colors::is_dark(Colors::make(128, 128, 127, 0)));
  EXPECT_EQ(COLOR_BLACK, Colors::make(0, 0, 0));
  EXPECT_EQ(COLOR_WHITE, Colors::make(255, 255, 255));
  EXPECT_EQ(Colors::to_pixel(Colors::make(1, 2, 3, 4)), 0x04010203u);
  EXPECT_EQ(Colors::from_pixel(0x04010203u), Colors::make(1, 2, 3, 4));
}

TEST(Colors, HslRoundTripTruncatesAndDropsAlpha) {
  C_HSV::hsl v;
  C_HSV::rgb_to_hsl(v, Colors::make(153, 102, 51));
  EXPECT_NEAR(v.hue, 30, 1e-9);
  EXPECT_NEAR(v.saturation, 0.5, 1e-9);
  EXPECT_NEAR(v.lightness, 0.4, 1e-9);
  Color back = C_HSV::hsl_to_rgb(v);
  EXPECT_EQ(Colors::red(back), 153);
  EXPECT_EQ(Colors::green(back), 102);
  EXPECT_EQ(Colors::blue(back), 50);
  EXPECT_EQ(Colors::alpha(back), 0);

  C_HSV::rgb_to_hsl(v, Colors::make(90, 90, 90));
  EXPECT_EQ(v.hue, 0);
  EXPECT_EQ(v.saturation, 0);
  // (g - b) < 0 wraps into 0..360.
  C_HSV::rgb_to_hsl(v, Colors::make(255, 0, 128));
  EXPECT_GT(v.hue, 329);
  EXPECT_LT(v.hue, 360);
}

TEST(Colors, ContrastMirrorsLightnessAndKeepsAlpha) {
  EXPECT_EQ(Colors::contrast(COLOR_WHITE), COLOR_BLACK);
  EXPECT_EQ(Colors::contrast(COLOR_BLACK), COLOR_WHITE);
  EXPECT_EQ(Colors::contrast(Colors::make(128, 128, 128)), Colors::make(127, 127, 127));
  EXPECT_EQ(Colors::contrast(Colors::make(255, 0, 0)), Colors::make(255, 0, 0));
  EXPECT_EQ(Colors::contrast(Colors::make(0, 0, 255, 7)), Colors::make(0, 0, 255, 7));
}

TEST(Colors, AverageAndBlend) {
  EXPECT_EQ(Colors::alpha(C_Canvas::average_colors(COLOR_BLACK, Colors::make(0, 0, 0, 0))), 127);
  EXPECT_EQ(Colors::red(C_Canvas::average_colors(Colors::make(1, 0, 0), Colors::make(1, 0, 0))), 0);

  Color a = Colors::make(200, 100, 0, 255), b = Colors::make(0, 200, 100, 0);
  Color m = C_Canvas::blend_colors(a, b, 70);
  EXPECT_EQ(m, Colors::make(140, 130, 30, 178));
  // Out-of-range percentages are held to 0..100: no channel spills over.
  EXPECT_EQ(C_Canvas::blend_colors(a, b, 150), a);
  EXPECT_EQ(C_Canvas::blend_colors(a, b, -20), b);
  EXPECT_EQ(C_Canvas::blend_colors(COLOR_WHITE, COLOR_WHITE, 1000), COLOR_WHITE);
}

TEST(Colors, SystemColoursHaveNoAlphaAndShareTheirAliases) {
  auto sc = [](system_color c) { return C_Canvas::system_color(int64_t(c)); };
  EXPECT_EQ(sc(system_color::DESKTOP), sc(system_color::WINDOW_FRAME));
  EXPECT_EQ(sc(system_color::ACTIVE_GRADIENT), sc(system_color::INACTIVE_GRADIENT));
  EXPECT_EQ(Colors::alpha(sc(system_color::BUTTON)), 0);
  EXPECT_NE(sc(system_color::BUTTON), sc(system_color::BUTTON_TEXT));
  EXPECT_EQ(C_Canvas::system_color(25), sc(system_color::ACTIVE_CAPTION));
  EXPECT_EQ(C_Canvas::system_color(-3), sc(system_color::ACTIVE_CAPTION));
  EXPECT_FALSE(C_Canvas::pixel_order_rgba());
}

TEST(Colors, WrapDegreesKeepsTheFraction) {
  EXPECT_DOUBLE_EQ(C_HSV::wrap_degrees(360, 370), 10);
  EXPECT_DOUBLE_EQ(C_HSV::wrap_degrees(360, -30), 330);
  EXPECT_DOUBLE_EQ(C_HSV::wrap_degrees(360, 720.5), 0.5);
  EXPECT_DOUBLE_EQ(C_HSV::wrap_degrees(360, -360), 0);
  EXPECT_EQ(C_HSV::wrap_degrees(360, NAN), 0);
  EXPECT_EQ(C_HSV::wrap_degrees(0, 5), 0);
}
