// A large JPEG opened at its own size on the X server: the window shows the
// part in view first and gets the whole picture in the background, so the
// first pointer move finds it; commands that need the whole picture meanwhile
// take the worker's; stepping away, deleting or closing while it is being
// decoded stops it; a file replaced meanwhile is shown as it is now. A
// picture read whole by a worker is read once also when it does not
// decode, when its header misstates its size, when no memory or no thread
// is to be had for the worker; one deleted while it is read says so at
// once; a worker stuck in a read holds no other picture back.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "baselib/thread.h"
#include "forms/form_bridge.h"
#include "images/format_classes.h"
#include "images/image_header.h"
#include "tests/support/child_failures.h"
#include "tests/support/entry_changes.h"
#include "tests/support/file_reads.h"
#include "tests/support/process_limits.h"
#include "tests/support/process_memory.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_memory_support.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;
using brek_test::File_reads;

namespace {

constexpr int POSITION_BLUE = 96, OTHER_BLUE = 220;

// A picture whose pixels say where they are: red counts the columns and
// green the rows, each from 0 to 255 and again; blue tells the picture.
bool write_position_picture(const std::string& path, int w, int h, int blue = POSITION_BLUE) {
  Pixels p(w, h);
  for (int y = 0; y < h; ++y) {
    uint32_t* row = p.row(y);
    for (int x = 0; x < w; ++x) row[x] = Pixels::bgra(uint8_t(blue), uint8_t(y), uint8_t(x));
  }
  return Image_file_io::save_jpeg(p, path);
}

// The same picture as an OS/2 BMP: a 12-byte core header, whose width and
// height are 16-bit words at 18 and 20, then 24-bit rows, bottom-up, each
// padded to 4 bytes.
bool write_os2_position_bmp(const std::string& path, int w, int h, int blue = POSITION_BLUE) {
  const size_t stride = (size_t(w) * 3 + 3) / 4 * 4;
  std::string s;
  const auto le = [&s](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s.push_back(char((v >> (8 * i)) & 0xFF));
  };
  s += "BM";
  le(uint32_t(26 + stride * size_t(h)), 4);
  le(0, 4);
  le(26, 4);  // where the rows start
  le(12, 4);  // the core header's size
  le(uint32_t(w), 2);
  le(uint32_t(h), 2);
  le(1, 2);   // planes
  le(24, 2);  // bits per pixel
  s.reserve(s.size() + stride * size_t(h));
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) s += {char(blue), char(y & 0xFF), char(x & 0xFF)};
    s.append(stride - size_t(w) * 3, '\0');
  }
  return brek_test::write_file(path, s);
}

// Distance of two levels of a channel that wraps at 256.
int wrapped_distance(int a, int b) {
  const int d = std::abs(a - b) % 256;
  return std::min(d, 256 - d);
}

// Where a picture of extent d lies on one axis of a box of extent w with
// the pointer at p, margin m: panned linearly from its start (pointer 5m
// from the box's start) to its end (pointer 5m from the box's end).
double panned(double w, double d, double p, double m) {
  double x = (p - 5 * m) * (w - d) / (w - 10 * m);
  if (x > 0) x = 0;
  if (x + d < w) x = w - d;
  return x;
}

struct Whole_screen : Viewer_on_screen<C_Collage_viewer> {
  Whole_screen() : Viewer_on_screen<C_Collage_viewer>(rect{0, 0, 1600, 1000}) {}
  brek_platform::Decoded_image shot;
  // The pointer put on a point of the box (points) as the user moves it.
  void point_at(double x, double y) { rest_pointer_at(in_box(x, y)); }
  void point_at_middle() { point_at(v->pb->get_width() / 2, v->pb->get_height() / 2); }
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
  // The rgb of the middle of the box as the screen shows it now.
  uint32_t middle() {
    if (!shoot(shot)) return 0x123456;
    return at(C_Canvas::to_device_pixels(v->pb->get_width() / 2), C_Canvas::to_device_pixels(v->pb->get_height() / 2));
  }
  // C typed with Ctrl held, and Ctrl let go (its own event holds Ctrl as
  // it was before it). Ctrl went down before the window had the keyboard:
  // the view shows no fitted picture for it meanwhile.
  void copy() {
    brek_platform::Key_modifiers ctrl;
    ctrl.ctrl = ctrl.left_ctrl = true;
    EXPECT_TRUE(te::window_key_press(v->native, 'C', ctrl, "C"));
    EXPECT_TRUE(te::window_key_release(v->native, 'C', ctrl, "C"));
    EXPECT_TRUE(te::window_key_release(v->native, 17, ctrl));
    te::settle();
  }
  // The screen shows the position picture of pw x ph pixels with that blue
  // panned for the pointer at (to_x, to_y) (points of the box), by probes
  // across the box; the picture's left edge there.
  double expect_panned(double to_x, double to_y, int pw, int ph, int blue) {
    EXPECT_TRUE(shoot(shot));
    const double W = double(C_Canvas::to_device_pixels(v->pb->get_width()));
    const double H = double(C_Canvas::to_device_pixels(v->pb->get_height()));
    const double m = double(C_Canvas::to_device_pixels(8));
    const double left = panned(W, pw, double(C_Canvas::to_device_pixels(to_x)), m);
    const double top = panned(H, ph, double(C_Canvas::to_device_pixels(to_y)), m);
    for (int k = 1; k <= 3; ++k) {
      int64_t x = int64_t(W) * k / 4, y = int64_t(H) * k / 4;
      // Probes stay clear of the levels where the picture wraps.
      while (int64_t(x - left) % 256 < 16 || int64_t(x - left) % 256 > 240) ++x;
      while (int64_t(y - top) % 256 < 16 || int64_t(y - top) % 256 > 240) ++y;
      const uint32_t p = at(x, y);
      EXPECT_LE(wrapped_distance(int(p >> 16 & 0xFF), int(int64_t(x - left) % 256)), 6) << x << "," << y;
      EXPECT_LE(wrapped_distance(int(p >> 8 & 0xFF), int(int64_t(y - top) % 256)), 6) << x << "," << y;
      EXPECT_LE(std::abs(int(p & 0xFF) - blue), 6) << x << "," << y;
    }
    return left;
  }
};

// A colour as "#rrggbb".
std::string rgb_text(uint32_t rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "#%06x", unsigned(rgb & 0xFFFFFF));
  return text;
}

// Waits until no worker is left, the window's events running.
bool no_worker_left() {
  return brek_test::wait_until([] {
    te::settle();
    return Thread_registry::global().live_count() == 0;
  });
}

// The pointer moved across the window in ten steps, each paint done and
// then `after` run.
void move_across(Whole_screen& s, const std::function<void()>& after = [] {}) {
  const double box_w = s.v->pb->get_width(), box_h = s.v->pb->get_height();
  for (int i = 1; i <= 10; ++i) {
    s.point_at(box_w / 4 + i * box_w / 20, box_h / 4 + i * box_h / 20);
    after();
  }
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
  // Far from where the first paint had it.
  EXPECT_LT(s.expect_panned(to_x, to_y, PW, PH, POSITION_BLUE), -PW / 4);
}

// A BMP whose header says 4096 x 2048 with its rows a PNG, which no reader
// here takes, opened alone with the pointer over the window: its whole
// picture is read once, on a worker, and fails with its reason, which the
// title says; pointer moves over the black window read nothing again and
// start no worker.
TEST(ViewerWholePicture, AHugeBmpThatDoesNotDecodeIsReadOnceAndSaysWhy) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  const std::string path = dir.file("broken.bmp");
  ASSERT_TRUE(brek_test::write_file(path, bmp_header_only(4096, 2048, 5)));
  File_reads file(path);
  Whole_screen s;
  ASSERT_TRUE(s.shown());
  const double box_w = s.v->pb->get_width(), box_h = s.v->pb->get_height();
  s.point_at(box_w / 2, box_h / 2);
  s.v->open_file(path);
  const Ref<C_Image> image = s.v->current_image();
  ASSERT_TRUE(brek_test::wait_until([&] {
    te::settle();
    return image->load_failed;
  })) << file.opens() << " opens";
  EXPECT_EQ(image->load_failure(), "unsupported: BMP compression 5");
  EXPECT_TRUE(brek_test::wait_until([&] {
    te::settle();
    return testing::Value(s.v->get_caption(), testing::EndsWith(": unsupported: BMP compression 5"));
  })) << s.v->get_caption();
  ASSERT_TRUE(no_worker_left());
  const int opened = file.opens();
  move_across(s);
  EXPECT_TRUE(no_worker_left());
  EXPECT_EQ(file.opens(), opened);
}

// An OS/2 BMP of 3000 x 2000, whose 12-byte core header holds its size in
// 16-bit words (read as 32-bit ones they make 131075000 x 1572865, a
// picture past every limit), opened alone, with the pointer over the
// window or near its edge: the title names the size it has, and it is
// read as any BMP of that size is, on workers: at its own size whole,
// fitted only to the size shown (the whole picture never held). Pointer
// moves read nothing again, and at its own size pan it.
TEST(ViewerWholePicture, AnOs2BmpIsReadOnceAtTheSizeItsCoreHeaderGivesAndShown) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  constexpr int PW = 3000, PH = 2000;
  brek_test::Temp_dir dir;
  const std::string path = dir.file("old.bmp");
  ASSERT_TRUE(write_os2_position_bmp(path, PW, PH));
  for (const bool own_size : {true, false}) {
    SCOPED_TRACE(own_size ? "at its own size" : "fitted");
    File_reads file(path);
    Whole_screen s;
    ASSERT_TRUE(s.shown());
    const double box_w = s.v->pb->get_width(), box_h = s.v->pb->get_height();
    if (own_size)
      s.point_at(box_w / 2, box_h / 2);
    else
      s.point_at(5, 5);
    s.v->open_file(path);
    const Ref<C_Image> image = s.v->current_image();
    EXPECT_EQ(image->width, PW);
    EXPECT_EQ(image->height, PH);
    // The middle of the box, as painted: the picture's blue once it came.
    const auto painted = [&] {
      const Pixels* p = s.v->pb->back_buffer->pixels();
      return p && std::abs(int(p->at(p->width() / 2, p->height() / 2) & 0xFF) - POSITION_BLUE) <= 6;
    };
    EXPECT_TRUE(brek_test::wait_until([&] {
      te::settle();
      return own_size ? !image->picture.is_none() || image->load_failed : painted();
    })) << file.opens() << " opens";
    ASSERT_FALSE(image->load_failed) << image->load_failure();
    EXPECT_EQ(s.v->fit_mode, !own_size);
    ASSERT_TRUE(no_worker_left());
    EXPECT_THAT(s.v->get_caption(), testing::HasSubstr(" 3000x2000 "));
    // Its header, and the worker's read.
    const int opened = file.opens();
    EXPECT_EQ(opened, 2);
    if (!own_size) {
      EXPECT_TRUE(image->picture.is_none()) << "the whole picture held, fitted";
      const uint32_t middle = s.middle();
      EXPECT_LE(std::abs(int(middle & 0xFF) - POSITION_BLUE), 6) << rgb_text(middle);
      continue;
    }
    ASSERT_FALSE(image->picture.is_none());
    EXPECT_EQ(image->picture->width, PW);
    EXPECT_EQ(image->picture->height, PH);
    move_across(s);
    EXPECT_TRUE(no_worker_left());
    EXPECT_EQ(file.opens(), opened);
    const double to_x = box_w / 2 + 150, to_y = box_h / 2 + 90;
    s.point_at(to_x, to_y);
    s.expect_panned(to_x, to_y, PW, PH, POSITION_BLUE);
  }
}

namespace {

// A GIF of w x h pixels, two frames of 100 ms each over the whole screen:
// the first does not decode (a minimum code size of 12, past what a GIF
// allows) and shows nothing, the second is green.
std::string gif_with_an_empty_first_frame(int w, int h) {
  std::string s = one_colour_gif(w, h, 2);
  // The first image descriptor's code size, after its position, size and
  // packed byte; the header and its palette hold no ','.
  s[s.find(',') + 10] = char(12);
  return s;
}

}  // namespace

// That GIF at 3000 x 3000, opened alone with the pointer over the window,
// shown at its own size: its worker reads it once, and the window shows
// it as it shows one of 2000 x 2000 (decoded on the window's thread): the
// first frame (nothing), then the second as the animation plays (its
// frames composed by workers of their own). Pointer moves read nothing
// again.
TEST(ViewerWholePicture, AHugeGifWhoseFirstFrameShowsNothingIsReadOnceAndPlaysAsASmallerOne) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  for (const int side : {2000, 3000}) {
    SCOPED_TRACE(side);
    brek_test::Temp_dir dir;
    const std::string path = dir.file("late.gif");
    ASSERT_TRUE(brek_test::write_file(path, gif_with_an_empty_first_frame(side, side)));
    File_reads file(path);
    Whole_screen s;
    ASSERT_TRUE(s.shown());
    const double box_w = s.v->pb->get_width(), box_h = s.v->pb->get_height();
    // The timers wait for the test's ticks: the animation stands still
    // between them.
    Brek_runtime::Test_clock clock;
    const auto tick = [&](int64_t ms) {
      clock.advance(ms);
      Timer_ticks::run_due(clock.ticks());
      te::settle();
    };
    const auto settled = [&] {
      return brek_test::wait_until([&] {
        tick(10);
        return Thread_registry::global().running_bodies() == 0;
      });
    };
    s.point_at(box_w / 2, box_h / 2);
    s.v->open_file(path);
    te::settle();
    ASSERT_FALSE(s.v->fit_mode);
    const Ref<C_Image> image = s.v->current_image();
    EXPECT_TRUE(brek_test::wait_until([&] {
      tick(10);
      return !image->animation.is_none() || image->load_failed;
    })) << file.opens() << " opens";
    EXPECT_FALSE(image->load_failed) << image->load_failure();
    ASSERT_TRUE(settled());
    // Its header, and the decode.
    const int opened = file.opens();
    EXPECT_EQ(opened, 2);

    // The first frame, nothing: black in the middle of the box.
    const int64_t mid_x = C_Canvas::to_device_pixels(box_w / 2), mid_y = C_Canvas::to_device_pixels(box_h / 2);
    ASSERT_TRUE(s.shoot(s.shot));
    EXPECT_EQ(image->animation->current_frame, 0);
    EXPECT_EQ(s.at(mid_x, mid_y), 0u);
    move_across(s, [&] { EXPECT_TRUE(settled()); });
    EXPECT_EQ(file.opens(), opened);
    // The second, green, as the animation plays.
    EXPECT_TRUE(brek_test::wait_until([&] {
      tick(20);
      return s.shoot(s.shot) && s.at(mid_x, mid_y) == 0x00FF00u;
    })) << std::hex << s.at(mid_x, mid_y);
    EXPECT_EQ(file.opens(), opened);
  }
}

namespace {

enum class while_decoding { STEP_AWAY, DELETE, CLOSE };

// Lets a stalled disk go on at the first pass of long work's ticks: once a
// command waits for the worker.
class Released_by_long_work final : public Brek_handler {
 public:
  explicit Released_by_long_work(brek_test::Stalled_reads& disk) : disk_(disk) {
    Brek_runtime::register_tick_handler(this);
    Brek_runtime::set_tick_counter(0);
  }
  ~Released_by_long_work() override { Brek_runtime::unregister_tick_handler(this); }
  void run() override { disk_.release(); }

 private:
  brek_test::Stalled_reads& disk_;
};

}  // namespace

// While the worker reads the file for the whole picture (the disk stalls
// on it till then), the user steps two pictures on, deletes the picture,
// or closes the window: the worker stops, never holds the whole picture,
// nothing keeps it, and the window goes on. Each in a process of its own,
// whose reads stay held.
using ViewerStalledPictureDeathTest = brek_test::Stalled_reads_death_test;
TEST_F(ViewerStalledPictureDeathTest, SteppingAwayDeletingOrClosingDuringTheDecodeLeavesNothingHeld) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  constexpr int PW = 6000, PH = 4000;
  constexpr int64_t PICTURE = int64_t(PW) * PH * 4;
  for (while_decoding what : {while_decoding::STEP_AWAY, while_decoding::DELETE, while_decoding::CLOSE}) {
    SCOPED_TRACE(int(what));
    const auto acting = [&] {
      brek_test::Temp_dir dir;
      ASSERT_TRUE(write_position_picture(dir.file("a.jpg"), PW, PH));
      for (const char* n : {"b.bmp", "c.bmp", "d.bmp"}) ASSERT_TRUE(write_bmp(quadrants(40, 30), dir.file(n)));
      auto s = std::make_unique<Whole_screen>();
      ASSERT_TRUE(s->shown());
      s->v->open_dir(dir.path());
      ASSERT_TRUE(brek_test::wait_until([&] {
        te::settle();
        return s->v->files.count() == 4 && s->v->laid_out_count == 4;
      }));
      // A click on the photograph's cell shows it alone, at its own size
      // under the pointer.
      const brek_platform::Point_pt middle = s->cell_middle(0);
      s->rest_pointer_at(middle);
      brek_test::Stalled_reads disk(dir.file("a.jpg"));
      ASSERT_TRUE(disk.holding());
      ASSERT_TRUE(te::click(s->v->native, middle));
      te::settle();
      const Ref<C_Image> big = s->v->current_image();
      ASSERT_EQ(big->file_name, dir.file("a.jpg"));
      ASSERT_TRUE(s->v->single_mode);
      ASSERT_FALSE(s->v->fit_mode);
      // Read for the part in view, then by the worker.
      ASSERT_TRUE(brek_test::wait_until([&] {
        te::settle();
        return disk.waiting();
      })) << "the worker read nothing";
      ASSERT_TRUE(big->picture.is_none()) << "decoded before the user acted";
      const int64_t grown = brek_test::peak_growth([&] {
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
        disk.release();
        EXPECT_TRUE(brek_test::wait_until([&] {
          te::settle();
          return Thread_registry::global().live_count() == 0;
        }));
      });
      EXPECT_TRUE(big->picture.is_none());
      if (s) {
        // The window still answers: what it shows now is painted.
        brek_platform::Decoded_image shot;
        EXPECT_TRUE(s->shoot(shot));
        EXPECT_TRUE(s->v->single_mode);
      }
      // A worker that decoded on would have made all of PICTURE.
      if (RESIDENT_SIZE_COUNTS) {
        EXPECT_LT(grown, PICTURE / 4) << grown / MB << " MB";
      }
    };
    EXPECT_EXIT(brek_test::exit_with_failures(acting), testing::ExitedWithCode(0), "");
  }
}

// A step from a photograph whose disk stalls while its worker reads it
// (a mount that went away) onto another photograph: the stopped worker,
// stuck in its read, does not hold the next one's worker back for good,
// and the next photograph comes whole. In a process of its own, whose
// reads stay held.
TEST_F(ViewerStalledPictureDeathTest, AWorkerStuckInAReadDoesNotHoldTheNextPictureBack) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  const auto stepped = [] {
    brek_test::Temp_dir dir;
    ASSERT_TRUE(write_position_picture(dir.file("a.jpg"), 6000, 4000));
    ASSERT_TRUE(write_position_picture(dir.file("b.jpg"), 4000, 3000, OTHER_BLUE));
    Whole_screen s;
    ASSERT_TRUE(s.shown());
    s.v->open_dir(dir.path());
    ASSERT_TRUE(brek_test::wait_until([&] {
      te::settle();
      return s.v->files.count() == 2 && s.v->laid_out_count == 2;
    }));
    const brek_platform::Point_pt middle = s.cell_middle(0);
    s.rest_pointer_at(middle);
    brek_test::Stalled_reads disk(dir.file("a.jpg"), std::chrono::seconds(60));
    ASSERT_TRUE(disk.holding());
    ASSERT_TRUE(te::click(s.v->native, middle));
    te::settle();
    ASSERT_EQ(s.v->current_file, dir.file("a.jpg"));
    ASSERT_FALSE(s.v->fit_mode);
    ASSERT_TRUE(brek_test::wait_until([&] {
      te::settle();
      return disk.waiting();
    })) << "the worker read nothing";
    ASSERT_TRUE(press(s.v->native, 40));
    ASSERT_EQ(s.v->current_file, dir.file("b.jpg"));
    const Ref<C_Image> next = s.v->current_image();
    EXPECT_TRUE(brek_test::wait_until([&] {
      te::settle();
      return !next->picture.is_none();
    })) << "the next picture never came";
    EXPECT_TRUE(disk.waiting()) << "the first worker's read went on";
    disk.release();
    EXPECT_TRUE(no_worker_left());
  };
  EXPECT_EXIT(brek_test::exit_with_failures(stepped), testing::ExitedWithCode(0), "");
}

// A photograph shown alone at its own size, deleted by another program
// while its worker reads it (the disk stalls on it till then), the
// pointer resting over the window: the worker finds the file gone, and
// the title says why as soon as the worker is done, with no move of the
// pointer to paint the window again. In a process of its own, whose reads
// stay held.
TEST_F(ViewerStalledPictureDeathTest, AFileDeletedWhileItsWorkerReadsItSaysWhyWithoutAMove) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  const auto deleted = [] {
    brek_test::Temp_dir dir;
    const std::string path = dir.file("gone.jpg");
    ASSERT_TRUE(write_position_picture(path, 6000, 4000));
    Whole_screen s;
    ASSERT_TRUE(s.shown());
    s.point_at_middle();
    brek_test::Stalled_reads disk(path);
    ASSERT_TRUE(disk.holding());
    s.v->open_file(path);
    ASSERT_FALSE(s.v->fit_mode);
    ASSERT_TRUE(brek_test::wait_until([&] {
      te::settle();
      return disk.waiting();
    })) << "the worker read nothing";
    ASSERT_TRUE(std::filesystem::remove(path));
    disk.release();
    EXPECT_TRUE(brek_test::wait_until([&] {
      te::settle();
      return testing::Value(s.v->get_caption(), testing::EndsWith(": No such file or directory"));
    })) << s.v->get_caption();
    EXPECT_TRUE(s.v->current_image()->picture.is_none());
  };
  EXPECT_EXIT(brek_test::exit_with_failures(deleted), testing::ExitedWithCode(0), "");
}

// Copy and Save As while the worker decodes the whole picture take the
// worker's picture: the file is read for its header, the part in view and
// the worker, and opened by nothing else. The disk stalls on the file
// until the command waits for the worker. Each in a process of its own,
// whose reads stay held.
TEST_F(ViewerStalledPictureDeathTest, CopyAndSaveAsDuringTheDecodeOpenTheFileNoMore) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  constexpr int PW = 6000, PH = 4000;
  for (bool copy : {true, false}) {
    SCOPED_TRACE(copy ? "Copy" : "Save As");
    const auto command = [&] {
      brek_test::Temp_dir dir;
      const std::string path = dir.file(copy ? "copied.jpg" : "saved.jpg");
      ASSERT_TRUE(write_position_picture(path, PW, PH));
      File_reads file(path);
      Whole_screen s;
      ASSERT_TRUE(s.shown());
      s.point_at_middle();
      brek_test::Stalled_reads disk(path);
      ASSERT_TRUE(disk.holding());
      s.v->open_file(path);
      ASSERT_TRUE(brek_test::wait_until([&] {
        te::settle();
        return disk.waiting();
      })) << file.opens() << " opens";
      // Counted now: an open by the command right after the worker's would
      // merge with it, unread.
      ASSERT_EQ(file.opens(), 3) << "the header, the part in view and the worker";
      const Ref<C_Image> image = s.v->current_image();
      ASSERT_TRUE(image->picture.is_none()) << "decoded before the command came";
      {
        const Released_by_long_work release(disk);
        if (copy) {
          s.copy();
        } else {
          te::answer_next_file_dialog(true, {dir.file("out.bmp")});
          ASSERT_TRUE(press(s.v->native, 113));  // F2
        }
        te::settle();
      }
      disk.release();
      EXPECT_TRUE(brek_test::wait_until([&] {
        te::settle();
        return Thread_registry::global().live_count() == 0;
      }));
      EXPECT_EQ(file.opens(), 3);
      const Image_header::Header_size made =
          copy ? Image_header::Header_size{C_Bmp::paste_clipboard()->width, C_Bmp::paste_clipboard()->height}
               : Image_header::read_file(dir.file("out.bmp"), ".bmp", true, false).size;
      EXPECT_EQ(made.width, PW);
      EXPECT_EQ(made.height, PH);
    };
    EXPECT_EXIT(brek_test::exit_with_failures(command), testing::ExitedWithCode(0), "");
  }
}

// A file renamed over by another picture of another size after the first
// paint at its own size, found by the worker or by a Copy before the worker
// started: the window reads the new file at once, names its size in the
// caption and pans it under the pointer.
TEST(ViewerWholePicture, AFileRenamedOverAfterTheFirstPaintIsShownAsItIsNow) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  constexpr int NW = 4000, NH = 3000;
  brek_test::Temp_dir dir;
  const std::string path = dir.file("photo.jpg");
  for (bool copy : {false, true}) {
    SCOPED_TRACE(copy ? "found by Copy" : "found by the worker");
    ASSERT_TRUE(write_position_picture(path, 6000, 4000));
    ASSERT_TRUE(write_position_picture(dir.file("other.jpg"), NW, NH, OTHER_BLUE));
    Whole_screen s;
    ASSERT_TRUE(s.shown());
    const double box_w = s.v->pb->get_width(), box_h = s.v->pb->get_height();
    // The decode's timer waits for the test's ticks: the file changes
    // before the worker reads it.
    Brek_runtime::Test_clock clock;
    auto tick = [&] {
      clock.advance(10);
      Timer_ticks::run_due(clock.ticks());
      te::settle();
    };
    s.point_at(box_w / 2, box_h / 2);
    s.v->open_file(path);
    te::settle();
    ASSERT_FALSE(s.v->fit_mode);
    ASSERT_NE(s.v->get_caption().find("6000x4000"), std::string::npos) << s.v->get_caption();
    std::filesystem::rename(dir.file("other.jpg"), path);
    if (copy) {
      s.copy();
      EXPECT_EQ(C_Bmp::paste_clipboard()->width, NW);
    }
    EXPECT_TRUE(brek_test::wait_until([&] {
      tick();
      return s.v->get_caption().find("4000x3000") != std::string::npos;
    })) << s.v->get_caption();

    // The pointer moves while the new file's whole picture is decoded;
    // once it came the picture is where the pointer puts it.
    const double to_x = box_w / 2 + 150, to_y = box_h / 2 + 90;
    s.point_at(to_x, to_y);
    EXPECT_TRUE(brek_test::wait_until([&] {
      tick();
      return Thread_registry::global().live_count() == 0 && !s.v->current_image()->picture.is_none();
    }));
    s.expect_panned(to_x, to_y, NW, NH, OTHER_BLUE);
  }
}

namespace {

constexpr int SPARSE_SIDE = 8192;
constexpr uint32_t SPARSE_COLOUR = 0x3060C0;
const std::string NO_MEMORY = "too large: no memory for the picture";

}  // namespace

// A BMP and a GIF of 8192 x 8192 (a quarter gibibyte once decoded), each
// opened alone with the pointer over the window in a process that may map
// only 160 MB more, so its worker gets no memory for the picture while
// the window's own needs are met (the GIF also with only 24 MB more, too
// little for its rows of palette indexes, which the C++ library refuses
// by throwing): the image fails once, the title saying so, and pointer
// moves read nothing again. Opened anew once memory is to be had again,
// it is read and shown.
TEST(ViewerWholePictureDeathTest, AHugePictureWithoutMemoryFailsOnceSayingSoAndIsReadWhenOpenedAnew) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  if (brek_test::SANITIZED_BUILD) GTEST_SKIP() << "the sanitizers map more than any limit allows";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Case {
    bool gif;
    int64_t more_mb;
  };
  for (const Case k : {Case{false, 160}, Case{true, 160}, Case{true, 24}}) {
    const bool gif = k.gif;
    SCOPED_TRACE(std::string(gif ? "GIF" : "BMP") + ", " + std::to_string(k.more_mb) + " MB more");
    const auto opened_without_memory = [gif, more = k.more_mb * brek_test::MB] {
      brek_test::Temp_dir dir, elsewhere;
      const std::string path = dir.file(gif ? "huge.gif" : "huge.bmp");
      const uint32_t colour = gif ? 0xFF0000u : SPARSE_COLOUR;  // the GIF's first palette entry
      EXPECT_TRUE(gif ? brek_test::write_file(path, one_colour_gif(SPARSE_SIDE, SPARSE_SIDE))
                      : write_sparse_bmp(path, SPARSE_SIDE, SPARSE_SIDE, colour))
          << "the file written";
      EXPECT_TRUE(write_bmp(quadrants(40, 30), elsewhere.file("small.bmp"))) << "the small file written";
      Whole_screen s;
      EXPECT_TRUE(s.shown()) << "the window shown";
      s.point_at_middle();
      Ref<C_Image> image;
      {
        brek_test::Address_space_limit limit(more);
        EXPECT_TRUE(limit.set()) << "the address space limited";
        File_reads file(path);
        s.v->open_file(path);
        image = s.v->current_image();
        EXPECT_TRUE(brek_test::wait_until([&] {
          te::settle();
          return image->load_failed;
        })) << "the image failed";
        EXPECT_EQ(image->load_failure(), NO_MEMORY) << "failed for want of memory";
        EXPECT_TRUE(brek_test::wait_until([&] {
          te::settle();
          return testing::Value(s.v->get_caption(), testing::EndsWith(": " + NO_MEMORY));
        })) << "the title says why: " << s.v->get_caption();
        EXPECT_TRUE(no_worker_left()) << "no worker left";
        const int opened = file.opens();
        move_across(s);
        EXPECT_TRUE(no_worker_left()) << "no worker left after the moves";
        EXPECT_EQ(file.opens(), opened) << "read again";
      }
      // Opened anew, from another folder: a new image.
      s.v->open_file(elsewhere.file("small.bmp"));
      s.v->open_file(path);
      const Ref<C_Image> anew = s.v->current_image();
      EXPECT_NE(anew.get(), image.get()) << "a new image";
      EXPECT_TRUE(brek_test::wait_until([&] {
        te::settle();
        return !anew->picture.is_none() || !anew->animation.is_none() || anew->load_failed;
      })) << "the picture came";
      EXPECT_FALSE(anew->load_failed) << "failed again: " << anew->load_failure();
      const uint32_t middle = s.middle();
      EXPECT_EQ(middle, colour) << "the picture shown: " << rgb_text(middle);
    };
    EXPECT_EXIT(brek_test::exit_with_failures(opened_without_memory), testing::ExitedWithCode(0), "");
  }
}

// The BMP of 8192 x 8192 opened alone with the pointer over the window in
// a process that can start no thread: the paint that needs the picture
// reads it, once, and shows it; pointer moves read nothing again.
TEST(ViewerWholePictureDeathTest, AHugePictureWithoutAThreadIsReadOnceByThePaintAndShown) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const auto opened_without_threads = [] {
    brek_test::Temp_dir dir;
    const std::string path = dir.file("huge.bmp");
    EXPECT_TRUE(write_sparse_bmp(path, SPARSE_SIDE, SPARSE_SIDE, SPARSE_COLOUR)) << "the file written";
    Whole_screen s;
    EXPECT_TRUE(s.shown()) << "the window shown";
    s.point_at_middle();
    EXPECT_TRUE(brek_test::refuse_new_threads()) << "threads refused";
    File_reads file(path);
    s.v->open_file(path);
    const Ref<C_Image> image = s.v->current_image();
    EXPECT_FALSE(s.v->fit_mode) << "shown at its own size";
    EXPECT_TRUE(brek_test::wait_until([&] {
      te::settle();
      return !image->picture.is_none() || image->load_failed;
    })) << "the picture came";
    EXPECT_FALSE(image->load_failed) << "failed: " << image->load_failure();
    EXPECT_EQ(Thread_registry::global().live_count(), 0) << "no worker";
    // Its header, and the paint's read.
    EXPECT_EQ(file.opens(), 2);
    move_across(s);
    EXPECT_EQ(file.opens(), 2) << "after the moves";
    const uint32_t middle = s.middle();
    EXPECT_EQ(middle, SPARSE_COLOUR) << "the picture shown: " << rgb_text(middle);
  };
  EXPECT_EXIT(brek_test::exit_with_failures(opened_without_threads), testing::ExitedWithCode(0), "");
}
