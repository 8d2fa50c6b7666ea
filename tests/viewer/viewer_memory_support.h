#pragma once
// What the memory tests share: folders of large photographs, and the
// viewer on the whole screen of the X server with its timers on a test
// clock (the resident size is in tests/support/process_memory.h).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "forms/timer_ticks.h"
#include "images/image_file_io.h"
#include "runtime/clock.h"
#include "tests/support/temp_dir.h"
#include "tests/viewer/viewer_on_screen.h"

namespace viewer_test {

// Gradients under noise: a JPEG of it is as large as a photograph's.
inline Pixels photo(int w, int h, uint32_t seed) {
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
inline void fill_folder(const brek_test::Temp_dir& dir, int n, int w, int h, int kinds) {
  for (int k = 0; k < kinds; ++k) {
    const std::string seed = dir.file("seed" + std::to_string(k));
    ASSERT_TRUE(Image_file_io::save_jpeg(photo(w + 40 * k, h + 30 * k, uint32_t(k + 1)), seed));
  }
  for (int i = 0; i < n; ++i)
    std::filesystem::copy_file(dir.file("seed" + std::to_string(i % kinds)),
                               dir.file("p" + std::to_string(10000 + i) + ".jpg"));
  for (int k = 0; k < kinds; ++k) std::filesystem::remove(dir.file("seed" + std::to_string(k)));
}

// A key pressed and released at the window as the window system gives it;
// false when either did not arrive.
inline bool press(brek_platform::Native_handle window, int vk, const std::string& text = "") {
  const bool down = brek_platform::test_events::window_key_press(window, vk, {}, text);
  const bool up = brek_platform::test_events::window_key_release(window, vk, {}, text);
  brek_platform::test_events::settle();
  return down && up;
}

// The viewer on the whole 1600 x 1000 screen with its timers on a test
// clock, and a folder of its own: each tick runs what is due, then the
// window's events (paints).
struct Clocked_viewer {
  brek_test::Temp_dir dir;
  Brek_runtime::Test_clock clock;
  Viewer_on_screen<Test_viewer> s{rect{0, 0, 1600, 1000}};
  brek_platform::Point_pt first;  // where show_first_alone clicked
  void tick(int64_t ms) {
    clock.advance(ms);
    Timer_ticks::run_due(clock.ticks());
    brek_platform::test_events::settle();
  }
  // The folder filled (see fill_folder) and opened; ticks of the background
  // timer until it is listed and laid out.
  bool list_folder(int n, int w, int h, int kinds) {
    fill_folder(dir, n, w, h, kinds);
    s.v->open_dir(dir.path());
    brek_platform::Decoded_image shot;
    if (!s.shoot(shot)) return false;
    for (int i = 0; i < 300 && (s.v->files.count() < n || s.v->laid_out_count < n); ++i) tick(200);
    brek_platform::test_events::settle();
    return s.v->laid_out_count == n;
  }
  // A click on the first cell shows it alone; false when it did not show.
  bool show_first_alone() {
    first = s.cell_middle(0);
    s.rest_pointer_at(first);
    if (!brek_platform::test_events::click(s.v->native, first)) return false;
    brek_platform::test_events::settle();
    return s.v->single_mode;
  }
  // A click where show_first_alone clicked goes back to the folder's view.
  void back_to_folder() {
    ASSERT_TRUE(brek_platform::test_events::click(s.v->native, first));
    brek_platform::test_events::settle();
    ASSERT_FALSE(s.v->single_mode);
    for (int i = 0; i < 3; ++i) tick(200);
  }
};

}  // namespace viewer_test
