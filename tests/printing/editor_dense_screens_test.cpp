// The print editor on the denser of two offscreen monitors (device pixel
// ratio 2): a new card has the size its picture has on any screen, so
// that the page prints the same wherever the window was.
#include <gtest/gtest.h>

#include "drawing/bitmap.h"
#include "forms/event_routing.h"
#include "forms/form_bridge.h"
#include "forms/screen.h"
#include "images/image.h"
#include "platform/native_forms.h"
#include "platform/test_events.h"
#include "platform/window.h"
#include "printing/edit_collage_print.h"

using namespace brek;
namespace te = brek_platform::test_events;

TEST(DenseScreen, ANewCardIsAsLargeInPointsAsOnAnyScreen) {
  brek_platform::Native_forms* previous = brek_platform::set_native_forms(brek_platform::window_layer());
  Event_routing::reset_state();
  Ref<C_Screen> screen = make<C_Screen>();
  Ref<C_Edit_collage_print> e = C_Edit_collage_print::create();
  e->build_controls();
  C_Brek_form::remember_main_window(e->native);
  e->set_bounds({1100, 40, 500, 500});  // on the right monitor
  e->show();
  ASSERT_TRUE(te::wait_exposed(e->native));
  te::settle();
  ASSERT_DOUBLE_EQ(brek_platform::device_pixel_ratio(), 2.0);

  Ref<C_Image> im = C_Image::create();
  im->file_name = "<clipboard>";
  im->picture = C_Bitmap::create(200, 150, 24);
  im->width = 200;
  im->height = 150;
  e->add_image(im);
  ASSERT_EQ(e->cards.count(), 1);
  // 200 x 150 pixels at 96 pixels per inch.
  EXPECT_DOUBLE_EQ(e->cards.get(0).rect.w, 150);
  EXPECT_DOUBLE_EQ(e->cards.get(0).rect.h, 112.5);

  C_Brek_form::remember_main_window(0);
  dispose_now(e);
  dispose_now(screen);
  te::settle();
  Event_routing::reset_state();
  brek_platform::set_native_forms(previous);
}
