// The viewer on two offscreen monitors side by side, the right one of
// twice the pixel density (device pixel ratio 2): the paint box's picture
// follows the window to the monitor it is on, and thumbnails keep their
// size there.
#include <gtest/gtest.h>

#include "platform/native_forms.h"
#include "tests/viewer/viewer_on_screen.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;

namespace {

// The viewer as the program's main window, whose screen sets the ratio.
struct Main_viewer : Viewer_on_screen<C_Collage_viewer> {
  explicit Main_viewer(const rect& bounds) : Viewer_on_screen<C_Collage_viewer>(bounds) {
    C_Brek_form::remember_main_window(v->native);
    v->show();
  }
  ~Main_viewer() { C_Brek_form::remember_main_window(0); }
};

}  // namespace

TEST(DenseScreen, ThePictureFollowsTheWindowToADenserMonitorAndBack) {
  Main_viewer s(rect{60, 60, 300, 200});
  Ref<C_Collage_viewer> v = s.v;
  ASSERT_TRUE(te::wait_exposed(v->native));
  auto painted_width = [&] {
    v->repaint();
    te::settle();
    te::settle();
    return v->pb->back_buffer.is_none() ? int64_t(0) : v->pb->back_buffer->width;
  };
  // The drawing surface's width in window pixels.
  auto wide = [&] { return C_Brek_form::points_to_pixels(v->pb->get_client_width()); };
  EXPECT_DOUBLE_EQ(brek_platform::device_pixel_ratio(), 1.0);
  EXPECT_GE(painted_width(), wide());
  EXPECT_LT(painted_width(), 2 * wide());

  // To the right monitor (960 points on): twice the device pixels.
  v->set_bounds(rect{1100, 60, 300, 200});
  te::settle();
  EXPECT_DOUBLE_EQ(brek_platform::device_pixel_ratio(), 2.0);
  EXPECT_GE(painted_width(), 2 * wide());

  v->set_bounds(rect{60, 60, 300, 200});
  te::settle();
  EXPECT_DOUBLE_EQ(brek_platform::device_pixel_ratio(), 1.0);
  EXPECT_LT(painted_width(), 2 * wide());
}

// Their sizes are pixels of the window system, not of the device.
TEST(DenseScreen, ThumbnailsKeepTheirSizeOnTheScreen) {
  Main_viewer s(rect{1000, 40, 700, 500});
  ASSERT_TRUE(te::wait_exposed(s.v->native));
  ASSERT_DOUBLE_EQ(brek_platform::device_pixel_ratio(), 2.0);
  Ref<C_Image> e = C_Image::create();
  e->file_name = "/nowhere/a.jpg";
  s.v->files.append(e);
  s.v->collage->mode_view = mode_view::THUMB;
  s.v->collage->thumb_w = 100;
  s.v->collage->thumb_h = 80;
  EXPECT_TRUE(s.v->collage->layout_set());
  EXPECT_DOUBLE_EQ(e->rect.w, 200);
  EXPECT_DOUBLE_EQ(e->rect.h, 160);
}
