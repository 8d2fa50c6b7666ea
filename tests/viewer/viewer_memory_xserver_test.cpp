// The viewer's memory on a real X server, as the process's resident size
// shows it, while folders of large photographs are stepped and scrolled
// through: what the views no longer show goes back to the system. The
// background tick is driven by a test clock through the program's timers.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "forms/timer_ticks.h"
#include "images/image_file_io.h"
#include "runtime/clock.h"
#include "tests/support/temp_dir.h"
#include "tests/viewer/viewer_on_screen.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;
namespace fs = std::filesystem;

namespace {

constexpr int64_t MB = int64_t(1) << 20;

bool have_display() {
  const char* display = std::getenv("DISPLAY");
  return display && *display;
}

// VmRSS of this process, bytes.
int64_t resident() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atoll(line.c_str() + 6) * 1024;
  return 0;
}

// Gradients under noise: a JPEG of it is as large as a photograph's.
Pixels photo(int w, int h, uint32_t seed) {
  Pixels p(w, h);
  for (int y = 0; y < h; ++y) {
    uint32_t* row = p.row(y);
    for (int x = 0; x < w; ++x) {
      seed = seed * 1103515245u + 12345u;
      row[x] = 0xFF000000u | uint32_t((x * 255 / w) << 16) | uint32_t((y * 255 / h) << 8) | (seed >> 24);
    }
  }
  return p;
}

// n photographs named p10000.jpg, p10001.jpg ...: copies of `kinds`
// pictures, each kind a little larger than the last.
void fill_folder(const brek_test::Temp_dir& dir, int n, int w, int h, int kinds) {
  for (int k = 0; k < kinds; ++k) {
    const std::string seed = dir.file("seed" + std::to_string(k));
    ASSERT_TRUE(Image_file_io::save_jpeg(photo(w + 40 * k, h + 30 * k, uint32_t(k + 1)), seed));
  }
  for (int i = 0; i < n; ++i)
    fs::copy_file(dir.file("seed" + std::to_string(i % kinds)), dir.file("p" + std::to_string(10000 + i) + ".jpg"));
  for (int k = 0; k < kinds; ++k) fs::remove(dir.file("seed" + std::to_string(k)));
}

// The viewer on the whole 1600 x 1000 screen with its timers on a test
// clock: each tick runs what is due, then the window's events (paints).
struct Viewer_at_rest_test {
  Brek_runtime::Test_clock clock;
  Viewer_on_screen<Test_viewer> s{rect{0, 0, 1600, 1000}};
  void tick(int64_t ms) {
    clock.advance(ms);
    Timer_ticks::run_due(clock.ticks());
    te::settle();
  }
  // Ticks of the background timer until the folder is listed and laid out.
  bool list_folder(const std::string& path, int64_t n) {
    s.v->open_dir(path);
    brek_platform::Decoded_image shot;
    if (!s.shoot(shot)) return false;
    for (int i = 0; i < 300 && (s.v->files.count() < n || s.v->laid_out_count < n); ++i) tick(200);
    te::settle();
    return s.v->laid_out_count == n;
  }
  // A point of the paint box (points) as its client point and on the screen.
  brek_platform::Point_pt in_box(double x, double y) {
    const rect box = s.v->pb->get_bounds();
    return brek_platform::Point_pt{box.x + x, box.y + y};
  }
  void rest_pointer_at(const brek_platform::Point_pt& at) {
    const point origin = s.v->client_origin();
    te::move_screen_pointer(brek_platform::Point_pt{origin.x + at.x, origin.y + at.y});
    te::mouse_move(s.v->native, at);
    te::settle();
  }
};

}  // namespace

// A slideshow through a folder of large photographs keeps the one it shows
// and its neighbours; the pictures shown before go, and so does their
// memory.
TEST(ViewerMemory, ASlideshowKeepsOnlyThePicturesNearTheOneItShows) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  constexpr int N = 14;
  // 2400 x 1800: shown fitted at more than half its size, so the whole
  // picture is decoded (17 MB).
  constexpr int64_t PICTURE = int64_t(2400) * 1800 * 4;
  brek_test::Temp_dir dir;
  fill_folder(dir, N, 2400, 1800, 2);
  Viewer_at_rest_test t;
  ASSERT_TRUE(t.list_folder(dir.path(), N));
  // A click on the first cell shows it alone; Space starts the slideshow.
  const rect cell = t.s.v->files.get(0)->rect;
  const brek_platform::Point_pt first =
      t.in_box(C_Canvas::from_device_pixels(cell.x + cell.w / 2), C_Canvas::from_device_pixels(cell.y + cell.h / 2));
  t.rest_pointer_at(first);
  ASSERT_TRUE(te::click(t.s.v->native, first));
  te::settle();
  ASSERT_TRUE(t.s.v->single_mode);
  const int64_t start = resident();
  ASSERT_TRUE(te::window_key_press(t.s.v->native, 32, {}, " "));
  ASSERT_TRUE(te::window_key_release(t.s.v->native, 32, {}, " "));
  te::settle();
  ASSERT_TRUE(t.s.v->slideshow);
  // A second a picture, on the 200 ms ticks, round the folder once.
  for (int i = 0; i < 5 * (N - 2); ++i) t.tick(200);
  t.tick(200);
  EXPECT_EQ(t.s.v->current_file, t.s.v->files.get(N - 1)->file_name);
  const int64_t stepped = resident();
  EXPECT_LT(stepped - start, 5 * PICTURE) << "from " << start / MB << " MB to " << stepped / MB << " MB";

  // Back in the folder's view, nothing more is held.
  ASSERT_TRUE(te::click(t.s.v->native, first));
  te::settle();
  ASSERT_FALSE(t.s.v->single_mode);
  for (int i = 0; i < 3; ++i) t.tick(200);
  EXPECT_LT(resident() - start, 5 * PICTURE) << resident() / MB << " MB";
}

// The wheel turned hard with the pointer on the scroll mark at the bottom
// edge scrolls to the end of a long folder; the view then rests, and what
// the pictures scrolled past held goes back to the system.
TEST(ViewerMemory, AViewRestingAfterAFastScrollToTheEndGivesItsMemoryBack) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  constexpr int N = 200;
  brek_test::Temp_dir dir;
  fill_folder(dir, N, 1600, 1200, 4);
  Viewer_at_rest_test t;
  ASSERT_TRUE(t.list_folder(dir.path(), N));
  const int64_t first_screen = resident();

  const rect box = t.s.v->pb->get_bounds();
  // The middle mark of the bottom edge.
  const brek_platform::Point_pt edge = t.in_box(box.w / 2, box.h - 14);
  t.rest_pointer_at(edge);
  const double box_h_px = double(C_Canvas::to_device_pixels(box.h));
  for (int burst = 0; burst < 120 && t.s.v->scroll_y < t.s.v->layout_bottom - box_h_px; ++burst) {
    for (int k = 0; k < 20; ++k) te::wheel(t.s.v->pb->native, brek_platform::Point_pt{box.w / 2, box.h - 14}, -120);
    te::settle();
    t.tick(16);
    t.tick(200);
  }
  ASSERT_DOUBLE_EQ(t.s.v->scroll_y, t.s.v->layout_bottom - box_h_px);
  const int64_t at_end = resident();
  ASSERT_GT(at_end - first_screen, 100 * MB) << "the scroll held little";

  // Twenty seconds at rest.
  for (int i = 0; i < 100; ++i) t.tick(200);
  const int64_t rested = resident();
  EXPECT_LT(rested, 3 * first_screen);
  EXPECT_LT(rested - first_screen, (at_end - first_screen) / 3)
      << first_screen / MB << " MB at first, " << at_end / MB << " MB at the end, " << rested / MB
      << " MB after resting";
}
