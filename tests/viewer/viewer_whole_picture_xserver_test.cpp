// A large JPEG opened at its own size on the X server: the window shows the
// part in view first and gets the whole picture in the background, so the
// first pointer move finds it; stepping away, deleting or closing while it
// is being decoded leaves nothing behind.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "baselib/thread.h"
#include "forms/form_bridge.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_memory_support.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;

namespace {

// A picture whose pixels say where they are: red counts the columns and
// green the rows, each from 0 to 255 and again.
bool write_position_picture(const std::string& path, int w, int h) {
  Pixels p(w, h);
  for (int y = 0; y < h; ++y) {
    uint32_t* row = p.row(y);
    for (int x = 0; x < w; ++x) row[x] = Pixels::bgra(96, uint8_t(y), uint8_t(x));
  }
  return Image_file_io::save_jpeg(p, path);
}

// Distance of two levels of a channel that wraps at 256.
int wrapped_distance(int a, int b) {
  const int d = std::abs(a - b) % 256;
  return std::min(d, 256 - d);
}

struct Whole_screen : Viewer_on_screen<C_Collage_viewer> {
  Whole_screen() : Viewer_on_screen<C_Collage_viewer>(rect{0, 0, 1600, 1000}) {}
  brek_platform::Decoded_image shot;
  // The pointer put on a point of the box (points) as the user moves it.
  void point_at(double x, double y) { rest_pointer_at(in_box(x, y)); }
  bool shown() {
    if (!v->is_visible()) v->show();
    const bool exposed = te::wait_exposed(v->native);
    te::settle();
    return exposed;
  }
  // The rgb of a pixel of the box (device pixels) as the screen shows it.
  uint32_t at(int64_t x, int64_t y) {
    const rect outer = v->get_bounds();
    const point client = v->client_origin();
    const rect box = v->pb->get_bounds();
    x += C_Brek_form::points_to_pixels(client.x - outer.x + box.x);
    y += C_Brek_form::points_to_pixels(client.y - outer.y + box.y);
    if (x < 0 || y < 0 || x >= shot.width || y >= shot.height) return 0x123456;
    return shot.pixels[size_t(y) * size_t(shot.width) + size_t(x)] & 0xFFFFFF;
  }
};

// Where a picture of extent d lies on one axis of a box of extent w with
// the pointer at p, margin m: panned linearly from its start (pointer 5m
// from the box's start) to its end (pointer 5m from the box's end).
double panned(double w, double d, double p, double m) {
  double x = (p - 5 * m) * (w - d) / (w - 10 * m);
  if (x > 0) x = 0;
  if (x + d < w) x = w - d;
  return x;
}

}  // namespace

TEST(ViewerWholePicture, AnOpenAtItsOwnSizeGetsTheWholePictureWithoutAMoveAndAMoveShowsIt) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  constexpr int PW = 4000, PH = 3000;
  brek_test::Temp_dir dir;
  const std::string path = dir.file("photo.jpg");
  ASSERT_TRUE(write_position_picture(path, PW, PH));
  Whole_screen s;
  ASSERT_TRUE(s.shown());
  const double box_w = s.v->pb->get_width(), box_h = s.v->pb->get_height();
  s.point_at(box_w / 2, box_h / 2);
  s.v->open_file(path);
  te::settle();
  ASSERT_TRUE(s.v->single_mode);
  EXPECT_FALSE(s.v->fit_mode);
  const Ref<C_Image> image = s.v->current_image();

  // No move: the whole picture arrives all the same.
  EXPECT_TRUE(brek_test::wait_until([&] {
    te::settle();
    return !image->picture.is_none();
  }));
  ASSERT_EQ(image->picture->width, PW);
  ASSERT_EQ(image->picture->height, PH);

  // The pointer moves towards the bottom right: the picture follows it.
  const double to_x = box_w / 2 + 150, to_y = box_h / 2 + 90;
  s.point_at(to_x, to_y);
  ASSERT_TRUE(s.shoot(s.shot));
  const double W = double(C_Canvas::to_device_pixels(box_w)), H = double(C_Canvas::to_device_pixels(box_h));
  const double m = double(C_Canvas::to_device_pixels(8));
  const double left = panned(W, PW, double(C_Canvas::to_device_pixels(to_x)), m);
  const double top = panned(H, PH, double(C_Canvas::to_device_pixels(to_y)), m);
  ASSERT_LT(left, -PW / 4);  // far from where the first paint had it
  for (int k = 1; k <= 3; ++k) {
    int64_t x = int64_t(W) * k / 4, y = int64_t(H) * k / 4;
    // Probes stay clear of the levels where the picture wraps.
    while (int64_t(x - left) % 256 < 16 || int64_t(x - left) % 256 > 240) ++x;
    while (int64_t(y - top) % 256 < 16 || int64_t(y - top) % 256 > 240) ++y;
    const uint32_t p = s.at(x, y);
    EXPECT_LE(wrapped_distance(int(p >> 16 & 0xFF), int(int64_t(x - left) % 256)), 6) << x << "," << y;
    EXPECT_LE(wrapped_distance(int(p >> 8 & 0xFF), int(int64_t(y - top) % 256)), 6) << x << "," << y;
  }
}

namespace {

enum class while_decoding { STEP_AWAY, DELETE, CLOSE };

}  // namespace

// While the whole picture is being decoded the user steps two pictures on,
// deletes the picture, or closes the window: the decode ends, nothing holds
// its picture, and the window goes on.
TEST(ViewerWholePicture, SteppingAwayDeletingOrClosingDuringTheDecodeLeavesNothingHeld) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  constexpr int PW = 6000, PH = 4000;
  constexpr int64_t PICTURE = int64_t(PW) * PH * 4;
  brek_test::Temp_dir seed_dir;
  const std::string seed = seed_dir.file("seed.jpg");
  ASSERT_TRUE(write_position_picture(seed, PW, PH));
  for (while_decoding what : {while_decoding::STEP_AWAY, while_decoding::DELETE, while_decoding::CLOSE}) {
    SCOPED_TRACE(int(what));
    brek_test::Temp_dir dir;
    std::filesystem::copy_file(seed, dir.file("a.jpg"));
    for (const char* n : {"b.bmp", "c.bmp", "d.bmp"}) ASSERT_TRUE(write_bmp(quadrants(40, 30), dir.file(n)));
    auto s = std::make_unique<Whole_screen>();
    ASSERT_TRUE(s->shown());
    s->v->open_dir(dir.path());
    ASSERT_TRUE(brek_test::wait_until([&] {
      te::settle();
      return s->v->files.count() == 4 && s->v->laid_out_count == 4;
    }));
    const int64_t before = resident();
    // A click on the photograph's cell shows it alone, at its own size
    // under the pointer.
    const brek_platform::Point_pt middle = s->cell_middle(0);
    s->rest_pointer_at(middle);
    ASSERT_TRUE(te::click(s->v->native, middle));
    te::settle();
    const Ref<C_Image> big = s->v->current_image();
    ASSERT_EQ(big->file_name, dir.file("a.jpg"));
    ASSERT_TRUE(s->v->single_mode);
    ASSERT_FALSE(s->v->fit_mode);
    ASSERT_TRUE(brek_test::wait_until([&] {
      te::settle();
      return Thread_registry::global().running_bodies() > 0;
    }));

    switch (what) {
      case while_decoding::STEP_AWAY:
        ASSERT_TRUE(press(s->v->native, 40));
        ASSERT_TRUE(press(s->v->native, 40));
        EXPECT_EQ(s->v->current_file, dir.file("c.bmp"));
        break;
      case while_decoding::DELETE:
        ASSERT_TRUE(press(s->v->native, 46));
        EXPECT_FALSE(std::filesystem::exists(dir.file("a.jpg")));
        EXPECT_EQ(s->v->current_file, dir.file("b.bmp"));
        break;
      case while_decoding::CLOSE:
        s.reset();
        break;
    }
    EXPECT_TRUE(brek_test::wait_until([&] {
      te::settle();
      return Thread_registry::global().live_count() == 0;
    }));
    EXPECT_TRUE(big->picture.is_none());
    if (s) {
      // The window still answers: what it shows now is painted.
      brek_platform::Decoded_image shot;
      EXPECT_TRUE(s->shoot(shot));
      EXPECT_TRUE(s->v->single_mode);
    }
    // The whole picture held would be all of PICTURE; half of it leaves
    // room for what earlier tests of the same process left in the heap.
    if (RESIDENT_SIZE_COUNTS) {
      EXPECT_LT(resident() - before, PICTURE / 2) << resident() / MB << " MB";
    }
  }
}
