// A form built from columns of real controls on a real X server: a bottom
// row of buttons under a stretched memo, resized, and read back from the
// screen where the layout put each control.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstdio>
#include <string>

#include "forms/button.h"
#include "forms/control_bridge.h"
#include "forms/form.h"
#include "forms/form_bridge.h"
#include "forms/memo.h"
#include "forms/screen.h"
#include "platform/test_events.h"
#include "platform/window.h"
#include "tests/support/on_window_layer.h"
#include "tests/support/wait_until.h"

using namespace brek;
namespace te = brek_platform::test_events;

namespace {

// 64-bit colour values: red in the low byte, opaque.
constexpr int64_t colour(uint32_t r, uint32_t g, uint32_t b) {
  return static_cast<int32_t>(0xFF000000u | (b << 16) | (g << 8) | r);
}

struct Shot {
  brek_platform::Decoded_image image;
  int64_t ox = 0;  // the client area's place in the image
  int64_t oy = 0;
  // Red, green and blue of a client pixel.
  uint32_t at(int64_t x, int64_t y) const {
    int64_t ix = ox + x, iy = oy + y;
    if (ix < 0 || iy < 0 || ix >= image.width || iy >= image.height) return 0xFFFFFFFFu;
    return image.pixels[static_cast<size_t>(iy) * image.width + static_cast<size_t>(ix)] & 0xFFFFFF;
  }
  void save_ppm(const std::string& path) const {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fprintf(f, "P6\n%d %d\n255\n", image.width, image.height);
    for (uint32_t p : image.pixels) {
      unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                              static_cast<unsigned char>(p)};
      std::fwrite(rgb, 1, 3, f);
    }
    std::fclose(f);
  }
};

bool near_colour(uint32_t rgb, uint32_t want, int tolerance = 24) {
  for (int shift : {0, 8, 16}) {
    int a = static_cast<int>((rgb >> shift) & 0xFF), b = static_cast<int>((want >> shift) & 0xFF);
    if (std::abs(a - b) > tolerance) return false;
  }
  return true;
}

int64_t px(double points) { return C_Brek_form::points_to_pixels(points); }

// Where a control is in the form's client area, pixels.
struct Place {
  int64_t x, y, w, h;
};

Place place_of(const Ref<C_Control>& c) {
  int64_t col = c->form.lock()->column_handle(c->column);
  return {Control_bridge::column_pixels("L", col) + px(c->get_left()),
          Control_bridge::column_pixels("T", col) + px(c->get_top()), px(c->get_width()), px(c->get_height())};
}

}  // namespace

TEST(FormLayoutOnXServer, ButtonsUnderAStretchedMemoFollowAResize) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "no X server";
  ASSERT_NE(brek_platform::window_layer(), nullptr);
  auto* previous = brek_platform::set_native_forms(brek_platform::window_layer());
  {
    const uint32_t background = 0x20C020;  // 0xRRGGBB as the screen shows it
    const uint32_t memo_red = 0xE02020;
    auto screen = make<C_Screen>();
    auto form = make<C_Form>();
    form->set_caption("Layout");
    form->set_bounds({40, 40, 360, 240});
    form->set_colors(colour(0, 0, 0), colour(0x20, 0xC0, 0x20));
    form->new_column("MAIN", layout_on_form::CENTER, St_sizes_col__C_Form());
    auto memo = C_Memo::new_on_form(form, "MEMO", 0);
    memo->set_stretch(true);
    memo->set_color(colour(0xE0, 0x20, 0x20));
    form->new_column("BUTTONS", layout_on_form::BOTTOM, St_sizes_col__C_Form());
    form->set_controls_layout("BUTTONS", controls_layout::CONTROLS_CENTER);
    std::vector<Ref<C_Button>> buttons;
    for (const char* name : {"OK", "APPLY", "CANCEL"}) {
      auto b = C_Button::new_on_form(form, name, name);
      b->set_width(60);
      buttons.push_back(b);
    }
    form->show();
    ASSERT_TRUE(te::wait_exposed(form->native));

    form->set_bounds({40, 40, 480, 330});
    te::settle();
    ASSERT_TRUE(te::wait_exposed(form->native));

    // The layout after the resize: the band at the bottom of the client
    // area, the buttons centred in it, the memo filling the rest.
    const double client_w = form->get_client_width();
    const double client_h = form->get_client_height();
    const int64_t band = form->column_handle("BUTTONS");
    EXPECT_EQ(Control_bridge::column_pixels("T", band), px(client_h) - px(28));
    EXPECT_EQ(Control_bridge::column_pixels("W", band), px(client_w));
    const double band_w = Control_bridge::column_client_width(band);
    const double gap = (band_w - (2 + 3 * 62) - 2 * 2) / 4;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(px(buttons[i]->get_left()), px(gap + i * (60 + gap))) << i;
    Place m = place_of(memo);
    EXPECT_EQ(m.y, 0);
    EXPECT_NEAR(m.y + m.h, Control_bridge::column_pixels("T", band), 1);

    Shot shot;
    ASSERT_TRUE(brek_platform::grab_window(form->native, shot.image));
    const brek::rect outer = form->get_bounds();
    const brek::point client = form->client_origin();
    shot.ox = px(client.x) - px(outer.x);
    shot.oy = px(client.y) - px(outer.y);
    if (const char* dir = std::getenv("COLLAGE_SCREENSHOT_DIR")) shot.save_ppm(std::string(dir) + "/layout.ppm");

    // The memo's red where the layout put it, up to the band.
    EXPECT_TRUE(near_colour(shot.at(m.x + m.w / 2, m.y + m.h / 2), memo_red));
    EXPECT_TRUE(near_colour(shot.at(m.x + m.w / 2, m.y + m.h - 4), memo_red));
    // Each button where the layout put it, the form's background between
    // them and around them in the band.
    for (int i = 0; i < 3; ++i) {
      Place b = place_of(buttons[i]);
      EXPECT_FALSE(near_colour(shot.at(b.x + b.w / 2, b.y + b.h / 2), background)) << i;
      EXPECT_TRUE(near_colour(shot.at(b.x - 3, b.y + b.h / 2), background)) << i;
      EXPECT_TRUE(near_colour(shot.at(b.x + b.w + 3, b.y + b.h / 2), background)) << i;
    }
    form->close_window();
    te::settle();
  }
  brek_platform::set_native_forms(previous);
}

// A change shown before a batch of window changes whose loop turns while it
// waits (for a window manager's answer, say) reaches the screen once the
// batch ends: a repaint the window system asked for meanwhile is not lost,
// nor every later one with it.
TEST(FormLayoutOnXServer, AChangeShownAcrossABatchThatWaitsIsPaintedWhenItEnds) {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "no X server";
  brek_test::On_window_layer<> layer;
  auto form = make<C_Form>();
  form->set_bounds({40, 40, 300, 200});
  form->new_column("MAIN", layout_on_form::CENTER, St_sizes_col__C_Form());
  auto memo = C_Memo::new_on_form(form, "MEMO", 0);
  memo->set_stretch(true);
  memo->set_color(colour(0xE0, 0x20, 0x20));
  form->show();
  ASSERT_TRUE(te::wait_exposed(form->native));
  const Place m = place_of(memo);
  const auto memo_shows = [&](uint32_t want) {
    return brek_test::wait_until([&] {
      te::settle();
      Shot shot;
      if (!brek_platform::grab_window(form->native, shot.image)) return false;
      shot.ox = px(form->client_origin().x) - px(form->get_bounds().x);
      shot.oy = px(form->client_origin().y) - px(form->get_bounds().y);
      return near_colour(shot.at(m.x + m.w / 2, m.y + m.h / 2), want);
    });
  };
  ASSERT_TRUE(memo_shows(0xE02020));
  for (uint32_t blue : {0x2020E0u, 0x2020A0u}) {
    memo->set_color(colour(0x20, 0x20, blue & 0xFF));
    form->begin_update();
    te::settle();  // the loop turns inside the batch
    form->end_update();
    EXPECT_TRUE(memo_shows(blue)) << std::hex << blue;
  }
  form->close_window();
}
