// The name-clash dialog on offscreen windows: its buttons and their
// results, and both pictures painted side by side.
#include <gtest/gtest.h>

#include <functional>

#include "baselib/file_path.h"
#include "platform/control_input.h"
#include "platform/test_events.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_test_support.h"
#include "viewer/dialog_replace.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;
using brek_platform::user_click;
using brek_platform::user_key;

namespace {

// The dialog built for moving the source file onto the target's name.
Ref<C_Dialog_replace> dialog_for(const std::string& source, const std::string& target) {
  Ref<C_Dialog_replace> d = C_Dialog_replace::create();
  d->build();
  Ref<C_Image> image = C_Image::create();
  image->file_name = source;
  d->source_image = image;
  d->target_name = target;
  return d;
}

}  // namespace

TEST(DialogReplace, PicturesKeepTheirSizeWhenTheyFitAndShrinkWhenNot) {
  using D = C_Dialog_replace;
  // Smaller than the half: own size, centred, 2 points in.
  rect r = D::picture_place(100, 50, 300, 300, 400);
  EXPECT_DOUBLE_EQ(r.x, 300 + 100 + 2);
  EXPECT_DOUBLE_EQ(r.y, 175 + 2);
  EXPECT_DOUBLE_EQ(r.w, 96);
  EXPECT_DOUBLE_EQ(r.h, 46);
  // Wider than the half: shrunk by the width, proportions kept.
  r = D::picture_place(600, 200, 0, 300, 400);
  EXPECT_DOUBLE_EQ(r.w + 4, 300);
  EXPECT_DOUBLE_EQ(r.h + 4, 100);
  EXPECT_DOUBLE_EQ(r.y, 150 + 2);
  // As wide as the half is not narrower than it: scaled by 1.
  r = D::picture_place(300, 100, 0, 300, 400);
  EXPECT_DOUBLE_EQ(r.w + 4, 300);
  // No size, no place.
  r = D::picture_place(0, 100, 0, 300, 400);
  EXPECT_EQ(r.w, 0);
}

TEST(DialogReplace, ButtonsEndTheRunWithTheirNamesAndTheCloseBoxWithNone) {
  Boxed box(400, 300);
  Ref<C_Dialog_replace> d = C_Dialog_replace::create();
  d->build();
  EXPECT_EQ(d->caption, "Target file already exists");
  EXPECT_EQ(d->rename_button->get_text(), "Rename and move");
  EXPECT_EQ(d->cancel_button->get_text(), "Cancel [ESC]");
  EXPECT_EQ(d->delete_button->get_text(), "Delete source file");
  EXPECT_EQ(d->rename_button->get_font_name(), "Arial");
  EXPECT_EQ(d->rename_button->get_font_size(), 12);
  EXPECT_EQ(d->cancel_button->get_font_size(), 12);
  EXPECT_NE(d->delete_button->get_font_name(), "Arial");
  EXPECT_NEAR(d->get_width(), 600, 1);

  Ref<C_Form> owner = box.v;
  auto run = [&](std::function<void()> act) {
    te::post_task(act);
    return d->show_modal(owner);
  };
  EXPECT_EQ(run([&] { user_click(d->rename_button->native); }), "RENAME");
  EXPECT_EQ(run([&] { user_click(d->delete_button->native); }), "DELETE_SOURCE");
  EXPECT_EQ(run([&] { user_click(d->cancel_button->native); }), "CANCEL");
  EXPECT_EQ(run([&] { user_key(d->delete_button->native, 27); }), "CANCEL");
  EXPECT_EQ(run([&] { te::close(d->native); }), "");
  dispose_now(d);
}

TEST(DialogReplace, BothPicturesAreDrawnInTheirHalvesWithTheirSizes) {
  Boxed box(400, 300);
  brek_test::Temp_dir dir;
  ASSERT_TRUE(write_bmp(quadrants(40, 20), dir.file("small.bmp")));
  ASSERT_TRUE(write_bmp(quadrants(1200, 300), dir.file("large.bmp")));
  ASSERT_TRUE(brek_test::write_file(dir.file("broken.bmp"), "BM no picture"));
  Ref<C_Dialog_replace> d = dialog_for(dir.file("small.bmp"), dir.file("large.bmp"));

  // 800 x 400 pixels: halves of 300 x 300 points.
  Buffer b(800, 400);
  d->paint_into(b.bitmap->canvas(), b.box_w(), b.box_h());
  auto px = [](double points) { return int(points * 96 / 72); };
  const uint32_t grey = 0xFF404040u;
  // The small one at its own size (30 x 15 points), centred in the left
  // half; the large one (900 x 225 points) shrunk to the right half's width.
  expect_pixels(b,
                {{2, 390, grey}, {px(150 - 10), px(150 - 4), RED}, {px(150 + 10), px(150 + 4), WHITE},
                 {px(150 - 20), px(150), grey}},
                "the small one");
  EXPECT_EQ(d->target_image->width, 1200);
  expect_pixels(b,
                {{px(300 + 60), px(150 - 20), RED}, {px(600 - 60), px(150 + 20), WHITE},
                 {px(300 + 60), px(150 - 50), grey}},
                "the large one");
  // Size captions in white near the top of each picture's column.
  bool white_left = false, white_right = false;
  for (int y = 0; y < px(16); ++y)
    for (int x = 0; x < 800; ++x) {
      if (b.at(x, y) != WHITE) continue;
      (x < 400 ? white_left : white_right) = true;
    }
  EXPECT_TRUE(white_left);
  EXPECT_TRUE(white_right);

  // A target that is no picture leaves its half empty.
  d->target_image.reset();
  d->target_name = dir.file("broken.bmp");
  Buffer c(800, 400);
  d->paint_into(c.bitmap->canvas(), c.box_w(), c.box_h());
  for (int x = 400; x < 800; x += 7)
    for (int y = 0; y < 400; y += 7) ASSERT_EQ(c.at(x, y), grey) << x << "," << y;

  // A BMP stored top-down, its height negative in its header: drawn with
  // its size as its bottom-up twin is, the right way up (its top half
  // green).
  Buffer twin(800, 400), top_down(800, 400);
  for (const bool down : {false, true}) {
    d->target_image.reset();
    d->target_name = dir.file(down ? "down.bmp" : "up.bmp");
    ASSERT_TRUE(write_sparse_bmp(d->target_name, 120, 60, BLUE & 0xFFFFFFu, down, 30, GREEN & 0xFFFFFFu));
    d->paint_into((down ? top_down : twin).bitmap->canvas(), b.box_w(), b.box_h());
    EXPECT_EQ(d->target_image->height, 60);
  }
  // 90 x 45 points, centred in the right half.
  expect_pixels(top_down, {{px(450), px(150 - 12), GREEN}, {px(450), px(150 + 12), BLUE}}, "the top-down one");
  for (int x = 400; x < 800; ++x)
    for (int y = 0; y < 400; ++y) ASSERT_EQ(top_down.at(x, y), twin.at(x, y)) << x << "," << y;
  dispose_now(d);
}

// A picture far larger than the dialog (an 8000 x 8000 GIF, 256 MB once
// composed) comes from the worker at the size of its half: repaints
// stretch nothing the size of the picture and hold nothing of it.
TEST(DialogReplace, RepaintsOfAHugePictureCostItsPlaceNotItsSize) {
  Boxed box(400, 300);
  brek_test::Temp_dir dir;
  ASSERT_TRUE(write_bmp(quadrants(40, 20), dir.file("small.bmp")));
  ASSERT_TRUE(brek_test::write_file(dir.file("huge.gif"), one_colour_gif(8000, 8000)));
  Ref<C_Dialog_replace> d = dialog_for(dir.file("small.bmp"), dir.file("huge.gif"));
  Buffer b(800, 400);
  // The dialog's timer takes the picture from the worker and repaints;
  // a sanitized build reads it several times slower.
  ASSERT_TRUE(brek_test::wait_until(
      [&] {
        d->on_timer();
        d->paint_into(b.bitmap->canvas(), b.box_w(), b.box_h());
        return b.at(600, 200) == RED;  // the GIF's one colour, shrunk into the right half
      },
      std::chrono::seconds(20) * SLOW_BUILD));
  // The image holds nothing of the picture: repaints draw the copy.
  EXPECT_TRUE(d->target_image->animation.is_none());
  EXPECT_TRUE(d->target_image->picture.is_none());
  const int64_t growth = peak_growth([&] {
    for (int i = 0; i < 3; ++i) d->paint_into(b.bitmap->canvas(), b.box_w(), b.box_h());
  });
  EXPECT_EQ(b.at(600, 200), RED);
  if (RESIDENT_SIZE_COUNTS) {
    EXPECT_LT(growth, int64_t(8000) * 8000 * 4 / 8) << growth / MB << " MB";
  }
  dispose_now(d);
}
