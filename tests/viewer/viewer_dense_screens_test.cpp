// The viewer on two offscreen monitors side by side, the right one of
// twice the pixel density (device pixel ratio 2): the paint box's picture
// follows the window to the monitor it is on.
#include <gtest/gtest.h>

#include "forms/event_routing.h"
#include "forms/form_bridge.h"
#include "forms/screen.h"
#include "platform/native_forms.h"
#include "platform/test_events.h"
#include "platform/window.h"
#include "tests/viewer/viewer_test_support.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;

TEST(DenseScreen, ThePictureFollowsTheWindowToADenserMonitorAndBack) {
  brek_platform::Native_forms* previous = brek_platform::set_native_forms(brek_platform::window_layer());
  Event_routing::reset_state();
  Ref<C_Screen> screen = make<C_Screen>();
  Ref<C_Collage_viewer> v = make<C_Collage_viewer>();
  v->screen = screen;
  v->create();
  C_Brek_form::remember_main_window(v->native);
  v->set_bounds(rect{60, 60, 300, 200});
  v->show();
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

  C_Brek_form::remember_main_window(0);
  dispose_now(v);
  dispose_now(screen);
  te::settle();
  Event_routing::reset_state();
  brek_platform::set_native_forms(previous);
}

// Thumbnails keep the size they have on any screen: their pixels are the
// window system's, not the device's.
TEST(DenseScreen, ThumbnailsKeepTheirSizeOnTheScreen) {
  brek_platform::Native_forms* previous = brek_platform::set_native_forms(brek_platform::window_layer());
  Event_routing::reset_state();
  Ref<C_Screen> screen = make<C_Screen>();
  Ref<C_Collage_viewer> v = make<C_Collage_viewer>();
  v->screen = screen;
  v->create();
  C_Brek_form::remember_main_window(v->native);
  v->set_bounds(rect{1000, 40, 700, 500});
  v->show();
  ASSERT_TRUE(te::wait_exposed(v->native));
  te::settle();
  ASSERT_DOUBLE_EQ(brek_platform::device_pixel_ratio(), 2.0);

  Ref<C_Image> e = C_Image::create();
  e->file_name = "/nowhere/a.jpg";
  v->files.append(e);
  v->collage->mode_view = mode_view::THUMB;
  v->collage->thumb_w = 100;
  v->collage->thumb_h = 80;
  EXPECT_TRUE(v->collage->layout_set());
  EXPECT_DOUBLE_EQ(e->rect.w, 200);
  EXPECT_DOUBLE_EQ(e->rect.h, 160);

  C_Brek_form::remember_main_window(0);
  dispose_now(v);
  dispose_now(screen);
  te::settle();
  Event_routing::reset_state();
  brek_platform::set_native_forms(previous);
}
