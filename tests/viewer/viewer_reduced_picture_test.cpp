// A large JPEG's first paint decodes only what it shows: fitted, a reduced
// picture; at its own size, the part in the window. It must look as the
// full picture does, and every command that works on the picture itself
// must still get the full one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "baselib/thread.h"
#include "drawing/pixel_math.h"
#include "forms/timer_ticks.h"
#include "images/format_classes.h"
#include "images/image_file_io.h"
#include "images/jpeg_codec.h"
#include "platform/test_events.h"
#include "runtime/clock.h"
#include "tests/support/file_reads.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
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
  full.image()->load_whole();
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
    image()->load_whole();
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

namespace {

// Ticks of the window's timers on the test clock until `done` holds; false
// when it never did.
bool tick_until(Brek_runtime::Test_clock& clock, const std::function<bool()>& done) {
  return brek_test::wait_until([&] {
    clock.advance(10);
    Timer_ticks::run_due(clock.ticks());
    return done();
  });
}

// Whether every pixel the box shows is the photograph's pixel at its place
// under image_rect, as a whole decode of the file gives it.
bool shows_photo_where_placed(const Photo_box& p) {
  Pixels photo;
  std::vector<uint8_t> bytes;
  if (!Image_file_io::read_whole_file(p.path, bytes) || !Jpeg_codec::decode(bytes.data(), bytes.size(), 1, photo))
    return false;
  const int64_t left = Pixel_math::round_even(p.v->image_rect.x), top = Pixel_math::round_even(p.v->image_rect.y);
  for (int y = 0; y < 300; y += 3)
    for (int x = 0; x < 400; x += 3)
      if (p.b.at(x, y) != (photo.at(int(x - left), int(y - top)) | 0xFF000000u)) return false;
  return true;
}

}  // namespace

// A pan before the whole picture came is answered as the first paint is,
// from the part in view decoded alone: the picture follows the pointer at
// once, as a whole decode shows it; the worker's picture then comes on the
// window's ticks.
TEST(ViewerFirstScreen, APanBeforeTheWholePictureComesFollowsFromThePartInView) {
  Brek_runtime::Test_clock clock;
  Part_shown p;
  const Ref<C_Image> im = p.image();
  ASSERT_TRUE(im->picture.is_none());
  EXPECT_TRUE(shows_photo_where_placed(p));
  for (point at : {point{300, 200}, point{40, 260}}) {
    p.v->pointer = at;
    p.b.paint();
    EXPECT_TRUE(im->picture.is_none());
    EXPECT_FALSE(p.v->fit_mode);
    EXPECT_EQ(differing(p, Whole_shown(at)), 0) << at.x << "," << at.y;
  }

  ASSERT_TRUE(tick_until(clock, [&] { return !im->picture.is_none(); }));
  EXPECT_EQ(im->picture->width, PW);
  p.v->pointer = {300, 200};
  p.b.paint();
  EXPECT_EQ(differing(p, Whole_shown({300, 200})), 0);
  // The worker is gone with its job.
  EXPECT_TRUE(tick_until(clock, [] { return Thread_registry::global().live_count() == 0; }));
}

// A pan beyond the part in view before the whole picture came decodes the
// part the new view needs with a quarter of the view's size around it on
// every side: the pan goes on over that room, to and fro, reading the file
// no more, each view as the whole picture shows it.
TEST(ViewerFirstScreen, APanBeforeTheWholePictureComesGoesOnOverRoomAroundThePartDecodedForIt) {
  Brek_runtime::Test_clock clock;
  Part_shown p;
  const double opened_left = p.v->image_rect.x;
  brek_test::File_reads file(p.path);
  // Times the photograph is opened to paint the pointer at `at`.
  const auto opens_to_paint = [&](point at) {
    const int before = file.opens();
    p.v->pointer = at;
    p.b.paint();
    return file.opens() - before;
  };
  // The view moves about 80 pixels right, past the part of the first
  // paint: its part is decoded.
  EXPECT_GT(opens_to_paint({157, 91}), 0);
  const double first_left = p.v->image_rect.x;
  ASSERT_LT(first_left, opened_left - 60);
  EXPECT_TRUE(shows_photo_where_placed(p));
  // To and fro within 100 pixels (a quarter of the 400 shown) of that view.
  for (double x : {162.0, 167.0, 172.0, 152.0, 147.0}) {
    EXPECT_EQ(opens_to_paint({x, 91}), 0) << x;
    ASSERT_FALSE(p.v->fit_mode);
    EXPECT_LT(std::fabs(p.v->image_rect.x - first_left), 100) << x;
    EXPECT_NE(p.v->image_rect.x, first_left) << x;
    EXPECT_TRUE(shows_photo_where_placed(p)) << x;
  }
  EXPECT_TRUE(p.image()->picture.is_none());
}

// A picture let go of (stepped far from, or the directory view shown in
// between) and shown again at its own size starts from its part again,
// not from a whole decode in the paint.
TEST(ViewerFirstScreen, APictureShownAgainAfterItWasLetGoStartsFromItsPartAgain) {
  Brek_runtime::Test_clock clock;
  Part_shown p;
  const Ref<C_Image> im = p.image();
  ASSERT_TRUE(tick_until(clock, [&] { return !im->picture.is_none(); }));
  im->release_pictures();
  p.b.paint();
  EXPECT_TRUE(im->picture.is_none());
  EXPECT_TRUE(shows_photo_where_placed(p));
  ASSERT_TRUE(tick_until(clock, [&] { return !im->picture.is_none(); }));
  EXPECT_TRUE(tick_until(clock, [] { return Thread_registry::global().live_count() == 0; }));
}

// The file was replaced by another picture of the same size after its part
// was shown: the worker's picture is not taken for the one shown (the
// listing gives the new file an entry of its own).
TEST(ViewerFirstScreen, AFileReplacedBeforeTheWholePictureIsReadIsNotTakenForIt) {
  Brek_runtime::Test_clock clock;
  Part_shown p;
  const Ref<C_Image> im = p.image();
  ASSERT_TRUE(im->picture.is_none());
  const std::string other = p.dir.file("other.jpg");
  ASSERT_TRUE(Image_file_io::save_jpeg(Pixels(PW, PH, 0xFF2040E0u), other));
  std::filesystem::rename(other, p.path);
  // The decode's first tick starts the worker; its end leaves nothing.
  clock.advance(10);
  Timer_ticks::run_due(clock.ticks());
  ASSERT_TRUE(tick_until(clock, [] { return Thread_registry::global().live_count() == 0; }));
  EXPECT_TRUE(im->picture.is_none());
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
