// The viewer's memory on a real X server, as the process's resident size
// shows it, while folders of large photographs are stepped and scrolled
// through: what the views no longer show goes back to the system. The
// background tick is driven by a test clock through the program's timers.

#include <gtest/gtest.h>

#include "tests/viewer/viewer_memory_support.h"

using namespace viewer_test;
namespace te = brek_platform::test_events;

// A slideshow through a folder of large photographs keeps the one it shows
// and its neighbours; the pictures shown before go, and so does their
// memory.
TEST(ViewerMemory, ASlideshowKeepsOnlyThePicturesNearTheOneItShows) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  constexpr int N = 14;
  // 2400 x 1800: shown fitted at more than half its size, so the whole
  // picture is decoded (17 MB).
  constexpr int64_t PICTURE = int64_t(2400) * 1800 * 4;
  Clocked_viewer t;
  ASSERT_TRUE(t.list_folder(N, 2400, 1800, 2));
  // The first picture alone; Space starts the slideshow.
  ASSERT_TRUE(t.show_first_alone());
  const int64_t start = resident();
  ASSERT_TRUE(press(t.s.v->native, 32, " "));
  ASSERT_TRUE(t.s.v->slideshow);
  // A second a picture, on the 200 ms ticks, round the folder once.
  for (int i = 0; i < 5 * (N - 2); ++i) t.tick(200);
  t.tick(200);
  EXPECT_EQ(t.s.v->current_file, t.s.v->files.get(N - 1)->file_name);
  // The one shown and the one before it, for a step back.
  for (int64_t i = 0; i < N; ++i) {
    const Ref<C_Image> e = t.s.v->files.get(i);
    EXPECT_EQ(e->picture.is_none() && e->reduced.is_none(), i < N - 2) << i;
  }
  const int64_t stepped = resident();
  if (RESIDENT_SIZE_COUNTS) {
    EXPECT_LT(stepped - start, 5 * PICTURE) << "from " << start / MB << " MB to " << stepped / MB << " MB";
  }

  // Back in the folder's view, nothing more is held.
  ASSERT_NO_FATAL_FAILURE(t.back_to_folder());
  if (RESIDENT_SIZE_COUNTS) {
    EXPECT_LT(resident() - start, 5 * PICTURE) << resident() / MB << " MB";
  }
}

// The wheel turned hard with the pointer on the scroll mark at the bottom
// edge scrolls to the end of a long folder; the view then rests, and what
// the pictures scrolled past held goes back to the system.
TEST(ViewerMemory, AViewRestingAfterAFastScrollToTheEndGivesItsMemoryBack) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  constexpr int N = 200;
  Clocked_viewer t;
  ASSERT_TRUE(t.list_folder(N, 1600, 1200, 4));
  const int64_t first_screen = resident();

  const rect box = t.s.v->pb->get_bounds();
  // The middle mark of the bottom edge.
  t.s.rest_pointer_at(t.s.in_box(box.w / 2, box.h - 14));
  const double box_h_px = double(C_Canvas::to_device_pixels(box.h));
  for (int burst = 0; burst < 120 && t.s.v->scroll_y < t.s.v->layout_bottom - box_h_px; ++burst) {
    for (int k = 0; k < 20; ++k) te::wheel(t.s.v->pb->native, brek_platform::Point_pt{box.w / 2, box.h - 14}, -120);
    te::settle();
    t.tick(16);
    t.tick(200);
  }
  ASSERT_DOUBLE_EQ(t.s.v->scroll_y, t.s.v->layout_bottom - box_h_px);
  const int64_t at_end = resident();
  if (RESIDENT_SIZE_COUNTS) {
    ASSERT_GT(at_end - first_screen, 100 * MB) << "the scroll held little";
  }

  // Twenty seconds at rest: the cells in view keep their pictures.
  for (int i = 0; i < 100; ++i) t.tick(200);
  int64_t in_view = 0;
  for (const Ref<C_Image>& e : t.s.v->files)
    in_view += e->rect.y + e->rect.h >= t.s.v->scroll_y && e->rect.y <= t.s.v->scroll_y + box_h_px;
  EXPECT_LE(pictures_held(t.s.v), in_view);
  if (!RESIDENT_SIZE_COUNTS) return;
  const int64_t rested = resident();
  EXPECT_LT(rested, 3 * first_screen);
  EXPECT_LT(rested - first_screen, (at_end - first_screen) / 3)
      << first_screen / MB << " MB at first, " << at_end / MB << " MB at the end, " << rested / MB
      << " MB after resting";
}

// Photographs of 12 megapixels looked at closely one after another, then
// the folder's view again: its cells draw from reduced pictures, so the
// full ones the single view read for the picture shown and its neighbours
// go, and so does their memory.
TEST(ViewerMemory, BackInTheFoldersViewTheCellsHoldOnlyWhatTheyDraw) {
  if (!have_display()) GTEST_SKIP() << "no X server";
  constexpr int N = 10;
  constexpr int64_t PICTURE = int64_t(4000) * 3000 * 4;
  Clocked_viewer t;
  ASSERT_TRUE(t.list_folder(N, 4000, 3000, 2));
  for (int i = 0; i < 3; ++i) t.tick(200);
  const int64_t first_screen = resident();
  const Ref<Test_viewer> v = t.s.v;
  ASSERT_TRUE(t.show_first_alone());
  // Zoomed in about the middle of the window, each picture is read whole.
  const rect box = v->pb->get_bounds();
  v->pointer = point{double(C_Canvas::to_device_pixels(box.w / 2)), double(C_Canvas::to_device_pixels(box.h / 2))};
  ASSERT_TRUE(press(v->native, 187, "+"));
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(press(v->native, 40));
    t.tick(200);
    ASSERT_FALSE(v->current_image()->picture.is_none()) << i;
  }
  ASSERT_NO_FATAL_FAILURE(t.back_to_folder());
  for (const Ref<C_Image>& e : v->files) {
    EXPECT_TRUE(e->picture.is_none()) << e->file_name;
    EXPECT_LT(e->reduced->width, 4000 / 4) << e->file_name;  // what a cell reads: an eighth
  }
  if (RESIDENT_SIZE_COUNTS) {
    EXPECT_LT(resident() - first_screen, PICTURE) << first_screen / MB << " MB before, " << resident() / MB
                                                  << " MB back in the folder's view";
  }
}
