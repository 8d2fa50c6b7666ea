// The viewer's window on a real X server whose windows are scaled by 2 (a
// high-density screen), read back from the screen: pictures are drawn
// pixel for pixel of the screen, a picture that fits the window is shown
// whole and centred after the window grows or goes full screen, and a
// larger one follows the pointer.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "drawing/units.h"
#include "forms/event_routing.h"
#include "forms/form_bridge.h"
#include "forms/screen.h"
#include "platform/screens.h"
#include "platform/test_events.h"
#include "platform/window.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_on_screen.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;

namespace {

struct On_screen : viewer_test::Viewer_on_screen<C_Collage_viewer> {
  using viewer_test::Viewer_on_screen<C_Collage_viewer>::Viewer_on_screen;
  brek_platform::Decoded_image shot;
  // A picture written to path, opened and shown.
  bool show_picture(const std::string& path, const Pixels& picture) {
    if (!write_bmp(picture, path)) return false;
    v->open_file(path);
    return shoot(shot);
  }
  // The paint box's centre in the shot, device pixels.
  point box_centre() {
    const rect outer = v->get_bounds(), box = v->pb->get_bounds();
    const point client = v->client_origin();
    const double x = client.x - outer.x + box.x + box.w / 2, y = client.y - outer.y + box.y + box.h / 2;
    return {double(Draw_units::screen_points_to_pixels(x)), double(Draw_units::screen_points_to_pixels(y))};
  }
};

// The pictures' own colours (white is the window's too).
bool is_picture(uint32_t p) {
  p &= 0xFFFFFF;
  return p == (RED & 0xFFFFFF) || p == (GREEN & 0xFFFFFF) || p == (BLUE & 0xFFFFFF);
}

// Where the picture's pure colours are in the shot.
struct Box {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
  int w() const { return x1 - x0 + 1; }
  int h() const { return y1 - y0 + 1; }
};
Box picture_box(const brek_platform::Decoded_image& s) {
  Box b;
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      if (is_picture(s.pixels[size_t(y) * size_t(s.width) + size_t(x)])) {
        b.x0 = std::min(b.x0, x);
        b.y0 = std::min(b.y0, y);
        b.x1 = std::max(b.x1, x);
        b.y1 = std::max(b.y1, y);
      }
  return b;
}

}  // namespace

TEST(ScaledViewer, StripesOneDevicePixelWideStayApart) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  ASSERT_GT(brek_platform::device_pixel_ratio(), 1.0) << "the group runs on a scaled screen";
  brek_test::Temp_dir dir;
  // 600 x 200: wider than the window in window pixels, narrower in device
  // pixels.
  Pixels stripes(600, 200);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 600; ++x) stripes.set(x, y, x % 2 ? RED : BLUE);
  On_screen s(rect{20, 20, 420, 320});
  ASSERT_TRUE(s.show_picture(dir.file("stripes.bmp"), stripes));
  const brek_platform::Decoded_image& shot = s.shot;

  const Box b = picture_box(shot);
  EXPECT_EQ(b.w(), 600);
  EXPECT_EQ(b.h(), 200);
  // Every device pixel of a row is a stripe of its own.
  int alternations = 0;
  const int y = (b.y0 + b.y1) / 2;
  for (int x = b.x0 + 1; x <= b.x1 && x < shot.width; ++x) {
    const uint32_t a = shot.pixels[size_t(y) * shot.width + x - 1] & 0xFFFFFF;
    const uint32_t c = shot.pixels[size_t(y) * shot.width + x] & 0xFFFFFF;
    if (a != c && is_picture(a) && is_picture(c)) ++alternations;
  }
  EXPECT_EQ(alternations, 599);
}

TEST(ScaledViewer, APictureThatFitsStaysWholeAndCentredAfterResizeAndFullScreen) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  On_screen s(rect{10, 10, 200, 150});
  // Larger than the grown window in window pixels, smaller in device ones.
  ASSERT_TRUE(s.show_picture(dir.file("q.bmp"), quadrants(1000, 600)));
  // The pointer in the middle of the window, far from its edges.
  auto pointer_in_middle = [&] {
    const rect b = s.v->get_bounds();
    te::move_screen_pointer({b.x + b.w / 2, b.y + b.h / 2});
    te::settle();
  };
  auto expect_whole_and_centred = [&](const char* when) {
    SCOPED_TRACE(when);
    // A window switched to full screen is mapped again and placed at a
    // later tick; on a loaded machine the server may show it before its
    // first paint lands, so the shot is taken again, the loop running
    // between.
    Box b;
    bool shot = true;
    brek_test::wait_until([&] {
      te::settle();
      shot = s.shoot(s.shot);
      b = picture_box(s.shot);
      return !shot || (!s.v->collage->pending_placement && b.w() == 1000 && b.h() == 600);
    });
    ASSERT_TRUE(shot);
    EXPECT_EQ(b.w(), 1000);
    EXPECT_EQ(b.h(), 600);
    const point c = s.box_centre();
    EXPECT_NEAR((b.x0 + b.x1 + 1) / 2.0, c.x, 2.0);
    EXPECT_NEAR((b.y0 + b.y1 + 1) / 2.0, c.y, 2.0);
  };

  s.v->set_bounds(rect{10, 10, 560, 340});
  pointer_in_middle();
  expect_whole_and_centred("grown");
  // "1" keeps it so.
  te::key(s.v->native, '1', {}, "1");
  expect_whole_and_centred("after 1");

  s.v->collage->set_full_screen(true);
  te::settle();
  pointer_in_middle();
  expect_whole_and_centred("full screen");
  // The pointer moves on; the background timer repaints what it must.
  const rect b = s.v->get_bounds();
  te::move_screen_pointer({b.x + b.w / 3, b.y + b.h / 3});
  for (int i = 0; i < 10; ++i) te::settle();
  expect_whole_and_centred("pointer moved");
}

TEST(ScaledViewer, APannedPictureFollowsThePointerOverTheWholeScreen) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  const std::string path = dir.file("big.bmp");
  // Larger than the screen in device pixels too.
  ASSERT_TRUE(write_bmp(quadrants(4000, 2400), path));
  On_screen s(rect{10, 10, 300, 200});
  s.v->open_file(path);
  s.v->collage->set_full_screen(true);
  te::settle();
  const rect b = s.v->get_bounds();
  // The colour at the box's centre with the pointer at a point of the
  // screen (points from the window's top-left corner).
  auto centre_with_pointer_at = [&](double x, double y) -> uint32_t {
    te::move_screen_pointer({b.x + x, b.y + y});
    for (int i = 0; i < 10; ++i) te::settle();
    brek_platform::Decoded_image shot;
    if (!s.shoot(shot)) return 0x123456;
    const point c = s.box_centre();
    return shot.pixels[size_t(c.y) * shot.width + size_t(c.x)] & 0xFFFFFF;
  };
  // Near a corner of the inner area the picture's quadrant of that corner
  // fills the middle, once the whole picture came from its worker.
  const struct {
    const char* corner;
    double x, y;
    uint32_t colour;
  } corners[] = {
      {"top-left", 40, 40, RED}, {"bottom-right", b.w - 40, b.h - 40, WHITE}, {"bottom-left", 40, b.h - 40, BLUE}};
  for (const auto& c : corners)
    EXPECT_TRUE(brek_test::wait_until([&] { return centre_with_pointer_at(c.x, c.y) == (c.colour & 0xFFFFFF); }))
        << c.corner;
}

// A placement stored larger than the screen (a window maximized on a larger
// monitor, say) comes back inside the screen's work area, the window's
// frame included, counted in the screen's own pixels.
TEST(ScaledViewer, ARestoredWindowStaysWithinTheWorkArea) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf",
                                "[Main]\nCWidth = \"1800\"\nWidth = \"1803\"\nHeight = \"1203\"\n"
                                "CHeight = \"1200\"\nLeft = \"0\"\nTop = \"15\"\n"));
  const std::vector<brek_platform::Monitor_px> monitors = brek_platform::monitors();
  ASSERT_FALSE(monitors.empty());
  const brek_platform::Monitor_px& m = monitors.front();
  On_screen s;  // placed as stored, as the program's start does
  Ref<C_Collage_viewer> v = s.v;
  v->show();
  ASSERT_TRUE(te::wait_exposed(v->native));
  te::settle();
  const double ratio = brek_platform::device_pixel_ratio();
  const rect b = v->get_bounds();
  auto device = [&](double points) { return double(C_Brek_form::points_to_pixels(points)) * ratio; };
  EXPECT_GE(device(b.x), m.work_x * ratio);
  EXPECT_GE(device(b.y), m.work_y * ratio);
  EXPECT_LE(device(b.x) + device(b.w), (m.work_x + m.work_w) * ratio);
  EXPECT_LE(device(b.y) + device(b.h), (m.work_y + m.work_h) * ratio);
}
