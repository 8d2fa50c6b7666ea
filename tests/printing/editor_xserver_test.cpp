// The collage print editor on a real X server, keys given as the window
// system gives them and its window read back from the screen.

#include <gtest/gtest.h>

#include "forms/form_bridge.h"
#include "platform/image_decode.h"
#include "platform/test_events.h"
#include "platform/window.h"
#include "tests/printing/editor_test_support.h"

using namespace editor_test;
namespace te = brek_platform::test_events;

namespace {

class EditorOnXServer : public On_x_server<Editor> {
 protected:
  // Pixels of the band's colours on the screen along the line from (x0,
  // y) to (x1, y) of the sheet (points).
  int band_pixels_on_screen(double x0, double x1, double y) {
    brek_platform::Decoded_image shot;
    if (!brek_platform::grab_window(e->native, shot)) return -1;
    const rect outer = e->get_bounds();
    const point client = e->client_origin();
    const rect box = e->pbox->get_bounds();
    const double ox = client.x - outer.x + box.x, oy = client.y - outer.y + box.y;
    int n = 0;
    const int64_t py = C_Brek_form::points_to_pixels(oy + y);
    for (int64_t px = C_Brek_form::points_to_pixels(ox + x0); px <= C_Brek_form::points_to_pixels(ox + x1); ++px) {
      if (px < 0 || py < 0 || px >= shot.width || py >= shot.height) continue;
      const uint32_t c = shot.pixels[size_t(py) * size_t(shot.width) + size_t(px)] | 0xFF000000u;
      if (c == RED || c == BLUE) ++n;
    }
    return n;
  }
};

}  // namespace

// Shift typed with a key that aligns draws the rubber band while it is
// held, as every paint with Shift does; letting it go takes it away.
TEST_F(EditorOnXServer, TypingWithShiftLeavesNoRubberBandBehind) {
  add(30, 30, 60, 60, GREEN);
  click(60, 60);  // selected, and the band's first corner
  te::mouse_move(e->pbox->native, {200, 150});
  te::settle();
  brek_platform::Key_modifiers none, shift;
  shift.shift = true;
  struct Typed {
    int vk;
    const char* text;
  };
  for (const Typed& t : {Typed{'6', "^"}, Typed{219, "{"}}) {
    te::window_key_press(e->native, 16, none);
    te::window_key_press(e->native, t.vk, shift, t.text);
    te::window_key_release(e->native, t.vk, shift, t.text);
    te::settle();
    EXPECT_GT(band_pixels_on_screen(100, 190, 60), 0) << t.text;  // held: the band shows
    te::window_key_release(e->native, 16, shift);
    te::settle();
    EXPECT_EQ(band_pixels_on_screen(100, 190, 60), 0) << t.text;
  }
}
