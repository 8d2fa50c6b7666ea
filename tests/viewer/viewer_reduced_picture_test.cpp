// A large JPEG's first paint decodes only what it shows: fitted, a reduced
// picture; at its own size, the part in the window. It must look as the
// full picture does, and every command that works on the picture itself
// must still get the full one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

#include "images/format_classes.h"
#include "images/jpeg_codec.h"
#include "platform/test_events.h"
#include "tests/support/temp_dir.h"
#include "tests/viewer/viewer_input_support.h"

using namespace viewer_input;
namespace te = brek_platform::test_events;
namespace R = brek::Event_routing;

namespace {

constexpr int PW = 1600, PH = 1200;

// Light that changes across the picture, fine texture and sharp edges:
// what a box filter and a DCT reduction would treat differently if either
// went wrong.
void write_photo(const std::string& path) {
  Pixels p(PW, PH);
  uint32_t seed = 7;
  for (int y = 0; y < PH; ++y)
    for (int x = 0; x < PW; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = int(seed >> 28) - 8;
      auto c = [](int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
      const int edge = ((x / 50 + y / 70) % 2) * 80;
      p.set(x, y, Pixels::bgra(c(edge + noise), c(y * 255 / PH + noise), c(x * 255 / PW)));
    }
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(Jpeg_codec::encode(p, 90, jpeg));
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(jpeg.data()), std::streamsize(jpeg.size()));
}

struct Photo_box {
  brek_test::Temp_dir dir;
  std::string path = dir.file("photo.jpg");
  // 400 x 300 pixels: the photograph fits at a quarter of its size.
  Input_box b{400, 300};
  Ref<Test_viewer> v = b.v;
  Photo_box() {
    write_photo(path);
    v->open_file(path);
  }
  Ref<C_Image> image() { return v->current_image(); }
};

// Saving from the first paint's view writes the whole picture.
void expect_saved_whole(Photo_box& p) {
  te::File_dialog_seen seen;
  te::answer_next_file_dialog(true, {p.dir.file("saved.bmp")}, &seen);
  p.b.menu("SAVAS");
  Ref<C_Bitmap> saved = C_Bmp::load_from_file(p.dir.file("saved.bmp"));
  EXPECT_EQ(saved->width, PW);
  EXPECT_EQ(saved->height, PH);
}

// A turn or a zoom after the first paint shows the whole picture.
void expect_whole_after(Photo_box& p, const std::string& command) {
  p.b.menu(command);
  p.b.paint();
  EXPECT_EQ(p.image()->picture->width, PW);
}

}  // namespace

TEST(ViewerReducedPicture, TheFittedPictureLooksAsTheFullOneDoes) {
  Photo_box reduced;
  reduced.b.paint();
  Ref<C_Image> im = reduced.image();
  // Only the quarter-size decode was made.
  EXPECT_TRUE(im->picture.is_none());
  ASSERT_FALSE(im->reduced.is_none());
  EXPECT_EQ(im->reduced->width, PW / 4);
  EXPECT_EQ(im->reduced->height, PH / 4);
  EXPECT_TRUE(reduced.v->fit_mode);

  Photo_box full;
  full.image()->load_native();
  full.b.paint();
  ASSERT_FALSE(full.image()->picture.is_none());
  EXPECT_TRUE(full.image()->reduced.is_none());

  // The same place, and on average less than two levels apart per channel.
  EXPECT_EQ(reduced.v->image_rect.x, full.v->image_rect.x);
  EXPECT_EQ(reduced.v->image_rect.y, full.v->image_rect.y);
  EXPECT_EQ(reduced.v->image_rect.w, full.v->image_rect.w);
  EXPECT_EQ(reduced.v->image_rect.h, full.v->image_rect.h);
  double sum[3] = {0, 0, 0};
  int n = 0;
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 400; ++x, ++n) {
      const uint32_t a = reduced.b.at(x, y), c = full.b.at(x, y);
      sum[0] += std::abs(int(Pixels::red(a)) - int(Pixels::red(c)));
      sum[1] += std::abs(int(Pixels::green(a)) - int(Pixels::green(c)));
      sum[2] += std::abs(int(Pixels::blue(a)) - int(Pixels::blue(c)));
    }
  for (double s : sum) EXPECT_LT(s / n, 2.0);
  // Not black: both show the photograph.
  EXPECT_NE(reduced.b.at(200, 150), BLACK);
}

TEST(ViewerReducedPicture, AWindowTooLargeForAReductionShowsTheFullPicture) {
  Photo_box p;
  // 1000 x 750 fitted is more than half of 1600 x 1200.
  p.b.resize(1000, 750);
  p.b.paint();
  EXPECT_FALSE(p.image()->picture.is_none());
  EXPECT_TRUE(p.image()->reduced.is_none());
}

TEST(ViewerReducedPicture, CopySaveAndPasteWorkOnTheFullPicture) {
  Photo_box p;
  p.b.paint();
  ASSERT_TRUE(p.image()->picture.is_none());
  expect_saved_whole(p);

  p.v->open_file(p.path);
  p.b.paint();
  p.b.menu("COPY");
  p.b.menu("PASTE");
  ASSERT_EQ(p.v->current_file, "<clipboard>");
  EXPECT_EQ(p.image()->width, PW);
  EXPECT_EQ(p.image()->height, PH);
  EXPECT_TRUE(p.b.messages.empty()) << p.b.last_message();
}

TEST(ViewerReducedPicture, ZoomAndTurnsShowTheFullPicture) {
  Photo_box p;
  p.b.paint();
  ASSERT_TRUE(p.image()->picture.is_none());
  expect_whole_after(p, "SCALE_I");

  Photo_box t;
  t.b.paint();
  expect_whole_after(t, "ROTATER");
  // Turned: 225 x 300, centred.
  EXPECT_EQ(t.v->image_rect.w, 225);
  EXPECT_EQ(t.v->image_rect.h, 300);
}

TEST(ViewerReducedPicture, ACutTakesItsPixelsFromTheFullPicture) {
  Photo_box p;
  p.b.paint();
  ASSERT_TRUE(p.image()->picture.is_none());
  ASSERT_EQ(p.v->image_rect.w, 400);
  // 100 x 100 pixels of the box (75 points at 96 dpi) are 400 x 400 of
  // the photograph.
  R::key_down(p.v, Ref<C_Control>(), 17, ctrl());
  p.b.press({75, 75});
  p.b.move({150, 150});
  p.b.release({150, 150});
  R::key_up(p.v, Ref<C_Control>(), 17, {});
  ASSERT_EQ(p.v->current_file, "<cut>");
  Ref<C_Bitmap> part = p.image()->picture;
  EXPECT_EQ(part->width, 400);
  EXPECT_EQ(part->height, 400);
}

namespace {

// Pixels of the two boxes that differ.
int differing(const Photo_box& a, const Photo_box& b) {
  int n = 0;
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 400; ++x) n += a.b.at(x, y) != b.b.at(x, y);
  return n;
}

// The photograph at its own size, the pointer at `at` (by default in the
// middle): its first paint decodes only the part in view.
struct Part_shown : Photo_box {
  explicit Part_shown(point at = {137, 91}) {
    v->pointer = at;
    b.paint();
  }
};

// The photograph decoded whole, shown with the pointer at `at`.
struct Whole_shown : Photo_box {
  explicit Whole_shown(point at) {
    v->pointer = at;
    image()->load_native();
    b.paint();
  }
};

}  // namespace

TEST(ViewerFirstScreen, AtItsOwnSizeOnlyThePartInViewIsDecodedWithTheWholePicturesPixels) {
  // The pointer in the middle and near the corners: the part lies inside
  // the picture and at its edges.
  for (point at : {point{137, 91}, point{40, 40}, point{360, 260}}) {
    Part_shown part(at);
    EXPECT_TRUE(part.image()->picture.is_none());
    EXPECT_FALSE(part.v->fit_mode);

    Whole_shown whole(at);
    ASSERT_FALSE(whole.image()->picture.is_none());
    EXPECT_EQ(part.v->image_rect.x, whole.v->image_rect.x);
    EXPECT_EQ(part.v->image_rect.y, whole.v->image_rect.y);
    EXPECT_EQ(part.v->image_rect.w, PW);
    EXPECT_EQ(differing(part, whole), 0) << at.x << "," << at.y;
    EXPECT_NE(part.b.at(200, 150), BLACK);
  }
}

TEST(ViewerFirstScreen, PanningLoadsTheWholePicture) {
  Part_shown p;
  ASSERT_TRUE(p.image()->picture.is_none());
  p.v->pointer = {300, 200};
  p.b.paint();
  EXPECT_EQ(p.image()->picture->width, PW);
  EXPECT_EQ(differing(p, Whole_shown({300, 200})), 0);
}

TEST(ViewerFirstScreen, TurnsSavesAndZoomWorkOnTheWholePicture) {
  Part_shown p;
  ASSERT_TRUE(p.image()->picture.is_none());
  expect_saved_whole(p);

  Part_shown t;
  expect_whole_after(t, "ROTATER");
  EXPECT_EQ(t.v->image_rect.w, PH);
  EXPECT_EQ(t.v->image_rect.h, PW);

  Part_shown z;
  expect_whole_after(z, "SCALE_I");
  EXPECT_GT(z.v->image_rect.w, PW);
}
