// The viewer's window on a real X server, read back from the screen: one
// picture fitted into the window, the title block of an empty window, and
// an animation reached by stepping.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "baselib/file_path.h"
#include "forms/event_routing.h"
#include "forms/form_bridge.h"
#include "forms/screen.h"
#include "platform/test_events.h"
#include "platform/window.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_memory_support.h"
#include "tests/viewer/viewer_on_screen.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;

namespace {

// The window shown and painted, read back with the paint box's top-left
// corner as the origin.
struct On_screen : viewer_test::Viewer_on_screen<Test_viewer> {
  On_screen() : viewer_test::Viewer_on_screen<Test_viewer>(rect{30, 30, 420, 320}) {}
  // At the size the program starts with.
  struct As_started {};
  explicit On_screen(As_started) {}
  brek_platform::Decoded_image shot;
  int64_t ox = 0, oy = 0;  // the box's corner in the shot
  bool shoot() {
    if (!viewer_test::Viewer_on_screen<Test_viewer>::shoot(shot)) return false;
    const rect outer = v->get_bounds();
    const point client = v->client_origin();
    const rect box = v->pb->get_bounds();
    ox = C_Brek_form::points_to_pixels(client.x - outer.x + box.x);
    oy = C_Brek_form::points_to_pixels(client.y - outer.y + box.y);
    if (const char* dir = std::getenv("COLLAGE_SCREENSHOT_DIR")) save(shot, std::string(dir) + "/viewer.ppm");
    return true;
  }
  // A w x h quadrant picture written to path, opened and shown.
  bool show_picture(const std::string& path, int w, int h) {
    if (!write_bmp(quadrants(w, h), path)) return false;
    v->open_file(path);
    return shoot();
  }
  // The rgb of a pixel of the box in the last shot.
  uint32_t at(int64_t x, int64_t y) const {
    x += ox;
    y += oy;
    if (x < 0 || y < 0 || x >= shot.width || y >= shot.height) return 0x123456;
    return shot.pixels[size_t(y) * size_t(shot.width) + size_t(x)] & 0xFFFFFF;
  }
};

}  // namespace

TEST(ViewerOnXServer, OnePictureFillsTheWindowFitted) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  On_screen s;
  // 1200 x 600: far larger than the window, so it is shrunk to its width.
  ASSERT_TRUE(s.show_picture(dir.file("wide.bmp"), 1200, 600));
  ASSERT_TRUE(s.v->single_mode);

  const int64_t w = C_Brek_form::points_to_pixels(s.v->pb->get_width());
  const int64_t h = C_Brek_form::points_to_pixels(s.v->pb->get_height());
  ASSERT_GT(w, 100);
  ASSERT_GT(h, 100);
  // The box fills the window but for its margins.
  EXPECT_GE(s.v->pb->get_width(), s.v->get_client_width() - 6);
  EXPECT_DOUBLE_EQ(s.v->pb->get_height(), s.v->get_client_height());
  // Fitted to the width, centred: black bands above and below, the four
  // quadrants in between.
  const int ph = int(h < w / 2 ? h : w / 2), top = int(h - ph) / 2, qw = int(w / 4);
  expect_pixels(s, {{qw, top + ph / 4, 0xFF0000u}, {3 * qw, top + ph / 4, 0x00FF00u},
                    {qw, top + 3 * ph / 4, 0x0000FFu}, {3 * qw, top + 3 * ph / 4, 0xFFFFFFu}}, "quadrants");
  if (top > 4) expect_pixels(s, {{int(w / 2), top / 2, 0}, {int(w / 2), int(h) - top / 2, 0}}, "bands");
}

TEST(ViewerOnXServer, AnEmptyWindowShowsItsTitleBlockInTheMiddle) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  On_screen s;
  ASSERT_TRUE(s.shoot());
  const int64_t w = C_Brek_form::points_to_pixels(s.v->pb->get_width());
  const int64_t h = C_Brek_form::points_to_pixels(s.v->pb->get_height());
  int light_middle = 0, light_edges = 0, black = 0;
  for (int64_t y = 0; y < h; ++y)
    for (int64_t x = 0; x < w; ++x) {
      const uint32_t p = s.at(x, y);
      const bool light = (p & 0xFF) > 0x80 && ((p >> 8) & 0xFF) > 0x80 && ((p >> 16) & 0xFF) > 0x80;
      if (p == 0) ++black;
      if (!light) continue;
      if (y > h / 4 && y < 3 * h / 4)
        ++light_middle;
      else
        ++light_edges;
    }
  // Text in the middle band, nothing at the top and bottom, black around.
  EXPECT_GT(light_middle, 50);
  EXPECT_EQ(light_edges, 0);
  EXPECT_GT(black, w * h / 2);
}

// Escape typed into the window ends the program: the main loop returns and
// the window is gone. Should it not, a safety net ends the loop after ten
// seconds and the test fails.
TEST(ViewerOnXServer, EscapeEndsTheProgram) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  On_screen s;
  auto net = std::make_shared<bool>(false);
  auto done = std::make_shared<bool>(false);
  Ref<C_Screen> screen = s.screen;
  Ref<Test_viewer> v = s.v;
  te::post_task([v] {
    te::wait_exposed(v->native);
    te::key(v->native, 27);
  }, 50);
  te::post_task([net, done, screen] {
    if (*done) return;
    *net = true;
    screen->terminate();
  }, 10000);
  screen->run_forms(v);
  *done = true;
  EXPECT_FALSE(*net);
  EXPECT_FALSE(C_Screen::loop_running());
  EXPECT_EQ(v->native, 0);
}

// Ctrl and a drag of the left button over the picture: the rectangle to
// cut is drawn over the picture as it is dragged, dashed in white and
// black.
TEST(ViewerOnXServer, TheCutRectangleShowsOverThePictureWhileDragged) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  On_screen s;
  ASSERT_TRUE(s.show_picture(dir.file("wide.bmp"), 1200, 600));
  const rect box = s.v->pb->get_bounds();
  // Ctrl goes down as the window system reports it: no modifier was held
  // before.
  ASSERT_TRUE(te::window_key_press(s.v->native, 17));
  ASSERT_TRUE(te::mouse_press(s.v->native, {box.x + 60, box.y + 100}));
  for (int i = 1; i <= 4; ++i) ASSERT_TRUE(te::mouse_move(s.v->native, {box.x + 60 + 35 * i, box.y + 100 + 12 * i}));
  te::settle();
  ASSERT_TRUE(s.v->collage->cutting);
  ASSERT_TRUE(s.shoot());
  te::mouse_release(s.v->native, {box.x + 200, box.y + 148});
  brek_platform::Key_modifiers ctrl;
  ctrl.ctrl = true;
  te::window_key_release(s.v->native, 17, ctrl);

  // The top side runs through the red quadrant, which holds neither.
  const int64_t y = C_Brek_form::points_to_pixels(100);
  int black = 0, white = 0;
  for (int64_t x = C_Brek_form::points_to_pixels(62); x < C_Brek_form::points_to_pixels(198); ++x) {
    const uint32_t p = s.at(x, y);
    black += p == 0;
    white += p == 0xFFFFFF;
  }
  EXPECT_GT(black, 20);
  EXPECT_GT(white, 20);
}

// Delete on the only picture of the single view: the file goes to the
// trash, and the window's title names it no more.
TEST(ViewerOnXServer, DeletingTheOnlyPictureTakesItsNameOffTheTitle) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  brek_test::Temp_dir dir;
  const std::string path = dir.file("only one.bmp");
  On_screen s;
  ASSERT_TRUE(s.show_picture(path, 120, 90));
  ASSERT_NE(s.v->get_caption().find("only one.bmp"), std::string::npos);

  ASSERT_TRUE(te::window_key_press(s.v->native, 46));
  te::window_key_release(s.v->native, 46);
  te::settle();
  EXPECT_FALSE(File_path::file_exists(path));
  EXPECT_TRUE(s.v->current_file.empty());
  EXPECT_EQ(s.v->get_caption().find("only one.bmp"), std::string::npos) << s.v->get_caption();
}

// Files that do not show, opened alone: the window stays black and its
// title says why after the file's name, sizes and bytes. Files over the
// read cap (1 GiB, sparse) are refused whichever way they are read: a BMP
// too large for the window's thread at its own size (its worker), a GIF
// like it fitted (the fitted copy's worker), a small JPEG (the window's
// own decode); a small BMP of a kind no reader takes says so alike.
TEST(ViewerOnXServer, AFileThatDoesNotShowSaysWhyInTheTitle) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  const int64_t over_cap = Image_file_io::MAX_FILE_BYTES + 4096;
  const std::string too_large = "too large: a file of " + std::to_string(over_cap) + " bytes";
  struct Case {
    const char* name;
    bool pointer_inside;
    std::string why;
  };
  for (const Case& c : {Case{"huge.bmp", true, too_large}, Case{"huge.gif", false, too_large},
                        Case{"small.jpg", true, too_large}, Case{"png inside.bmp", true,
                                                                  "unsupported: BMP compression 5"}}) {
    SCOPED_TRACE(c.name);
    brek_test::Temp_dir dir;
    const std::string path = dir.file(c.name), name = c.name;
    const bool written = name == "huge.bmp"    ? brek_test::write_file(path, bmp_header_only(4096, 2048, 0))
                         : name == "huge.gif"  ? brek_test::write_file(path, one_colour_gif(3000, 3000))
                         : name == "small.jpg" ? Image_file_io::save_jpeg(quadrants(120, 90), path)
                                               : brek_test::write_file(path, bmp_header_only(64, 32, 5));
    ASSERT_TRUE(written);
    if (c.why == too_large) std::filesystem::resize_file(path, uint64_t(over_cap));
    On_screen s;
    ASSERT_TRUE(s.shoot());
    s.rest_pointer_at(c.pointer_inside ? s.in_box(200, 150) : s.in_box(-100, -100));
    s.v->open_file(path);
    EXPECT_TRUE(brek_test::wait_until([&] {
      te::settle();
      return testing::Value(s.v->get_caption(), testing::EndsWith(": " + c.why));
    })) << s.v->get_caption();
    EXPECT_NE(s.v->get_caption().find(path), std::string::npos) << s.v->get_caption();
    ASSERT_TRUE(s.shoot());
    for (const auto& [x, y] : {std::pair{60, 45}, std::pair{200, 150}, std::pair{340, 255}})
      EXPECT_EQ(s.at(x, y), 0u) << x << "," << y;
  }
}

// Stepping onto an animated GIF in the single view (Down, Up, Space) plays
// it as opening it does: the window shows its next frame at the frame's
// delay.
TEST(ViewerOnXServer, SteppingOntoAnAnimationPlaysIt) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  Clocked_viewer t;
  ASSERT_TRUE(write_bmp(quadrants(200, 150), t.dir.file("a.bmp")));
  // Red, then green, 100 ms each.
  ASSERT_TRUE(brek_test::write_file(t.dir.file("b.gif"), one_colour_gif(200, 150, 2)));
  ASSERT_TRUE(write_bmp(quadrants(200, 150), t.dir.file("c.bmp")));
  const Ref<Test_viewer> v = t.s.v;
  v->open_dir(t.dir.path());
  brek_platform::Decoded_image shot;
  ASSERT_TRUE(t.s.shoot(shot));
  for (int i = 0; i < 50 && v->laid_out_count < 3; ++i) t.tick(200);
  ASSERT_TRUE(t.show_first_alone());
  // The middle of the window as the screen shows it.
  auto middle = [&] {
    EXPECT_TRUE(t.s.shoot(shot));
    return shot.pixels[size_t(shot.height / 2) * size_t(shot.width) + size_t(shot.width / 2)] | 0xFF000000u;
  };
  struct Step {
    int key;
    const char* what;
  };
  // a.bmp -> b.gif, on to c.bmp and back, back to a.bmp and on by Space.
  for (Step step : {Step{40, "Down"}, Step{40, nullptr}, Step{38, "Up"}, Step{38, nullptr}, Step{32, "Space"}}) {
    ASSERT_TRUE(press(v->native, step.key));
    if (!step.what) continue;
    SCOPED_TRACE(step.what);
    ASSERT_EQ(v->current_file, t.dir.file("b.gif"));
    const uint32_t first = middle();
    EXPECT_TRUE(first == RED || first == GREEN) << std::hex << first;
    t.tick(100);
    EXPECT_EQ(middle(), first == RED ? GREEN : RED);
    t.tick(100);
    EXPECT_EQ(middle(), first);
  }
}

// The empty window at the size it starts with: its two hints and its
// title block stay inside the box, none cut at either side.
TEST(ViewerOnXServer, TheEmptyWindowsTextsFitTheWindowItStartsWith) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  On_screen s{On_screen::As_started{}};
  const Ref<C_Additional_collage> c = s.v->collage;
  for (const int phase : {0, 1, 2}) {
    SCOPED_TRACE(phase == 2 ? "title block" : "hint " + std::to_string(phase));
    c->blink_on = phase < 2;
    c->blink_time = c->hint_time = Date_time::now();
    c->hint_index = phase;
    ASSERT_TRUE(s.shoot());
    const int64_t w = C_Brek_form::points_to_pixels(s.v->pb->get_width());
    const int64_t h = C_Brek_form::points_to_pixels(s.v->pb->get_height());
    int64_t left = w, right = -1;
    for (int64_t y = 0; y < h; ++y)
      for (int64_t x = 0; x < w; ++x) {
        const uint32_t p = s.at(x, y);
        if ((p & 0xFF) > 0x80 && ((p >> 8) & 0xFF) > 0x80 && ((p >> 16) & 0xFF) > 0x80) {
          left = std::min(left, x);
          right = std::max(right, x);
        }
      }
    ASSERT_GE(right, 0) << "no text";
    EXPECT_GE(left, 2) << "box " << w << " wide";
    EXPECT_LE(right, w - 3) << "box " << w << " wide";
  }
}
