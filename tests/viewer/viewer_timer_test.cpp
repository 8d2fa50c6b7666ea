// The background tick of the main window: overlapping ticks, the pause of
// listings, cells laid out again, and a file without a known size.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"
#include "tests/viewer/viewer_test_support.h"

using namespace viewer_test;
namespace fs = std::filesystem;

TEST(ViewerTimer, ATickWhileAnotherRunsDoesNothingAndLostCellsComeBack) {
  brek_test::Temp_dir t;
  ASSERT_TRUE(write_bmp(quadrants(40, 30), t.file("a.bmp")));
  Boxed b(400, 300);
  Ref<Test_viewer> v = b.v;
  v->open_dir(t.path());
  ASSERT_EQ(v->files.count(), 1);
  ASSERT_TRUE(write_bmp(quadrants(40, 30), t.file("b.bmp")));

  v->in_timer = true;
  v->on_timer();
  EXPECT_EQ(v->files.count(), 1);
  v->in_timer = false;
  // Long after the last listing: the directory is listed again.
  v->last_scan_time = date_time{};
  v->on_timer();
  EXPECT_FALSE(v->in_timer);
  ASSERT_EQ(v->files.count(), 2);
  EXPECT_EQ(v->laid_out_count, 2);
  // Right after a listing the known tree waits.
  ASSERT_TRUE(write_bmp(quadrants(40, 30), t.file("c.bmp")));
  v->on_timer();
  EXPECT_EQ(v->files.count(), 2);

  // An entry that lost its cell is laid out again on the next tick.
  v->files.get(1)->set_load_options(rect{});
  v->on_timer();
  EXPECT_GT(v->files.get(1)->rect.w, 0);
  EXPECT_EQ(v->laid_out_count, 2);
}

TEST(ViewerTimer, ABrokenFileStillGetsACellAndTheRestFollows) {
  brek_test::Temp_dir t;
  brek_test::write_file(t.file("a.jpg"), "no picture in here");
  for (const char* n : {"b.bmp", "c.bmp"}) ASSERT_TRUE(write_bmp(quadrants(40, 30), t.file(n)));
  Boxed b(400, 300);
  Ref<Test_viewer> v = b.v;
  v->open_dir(t.path());
  ASSERT_EQ(v->files.count(), 3);
  v->relayout();
  EXPECT_EQ(v->laid_out_count, 3);
  for (const Ref<C_Image>& f : v->files) {
    EXPECT_GE(f->rect.w, 16) << f->file_name;
    EXPECT_GE(f->rect.h, 16) << f->file_name;
  }
  // Painting it twice decodes nothing again.
  b.paint();
  b.paint();
  EXPECT_TRUE(v->files.get(v->index_of_file(t.file("a.jpg")))->load_failed);
}
