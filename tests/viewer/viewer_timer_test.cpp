// The background tick of the main window: overlapping ticks, the pause of
// listings, cells laid out again, a file without a known size, and the
// folders of a tree listed within a tick's time.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/clock.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"
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

// Folders waiting to be listed are listed on one tick until its time is
// up, in the walk's order, one at a time: a tree of a folder a day, wide
// or deep, shows whole after a few ticks, not after one tick per folder.
TEST(ViewerTimer, QueuedFoldersAreListedWithinATicksTime) {
  struct Tree {
    const char* name;
    int folders;
    bool nested;
  };
  // On a file system of the test's own where it can have one: thousands of
  // new inodes cost a busy disk seconds.
  brek_test::Tmpfs_mount disk("32m");
  brek_test::Temp_dir temp;
  for (const Tree& tree : {Tree{"wide", 2000, false}, Tree{"deep", 300, true}}) {
    const std::string top = (disk.mounted() ? disk.path() : temp.path()) + "/" + tree.name;
    std::vector<std::string> expected;  // made in the walk's order: each folder before those after or in it
    std::string dir = top;
    for (int i = 0; i < tree.folders; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "/%04d", i);
      const std::string folder = tree.nested ? dir + name : top + name;
      if (tree.nested) dir = folder;
      fs::create_directories(folder);
      tiny_gif(folder + "/p.gif");
      expected.push_back(folder + "/p.gif");
    }
    Boxed b(800, 600);
    Ref<Test_viewer> v = b.v;
    // The clock stands still: every queued folder fits into one tick.
    Brek_runtime::Test_clock clock;
    v->open_dir(top);
    int ticks = 0;
    while ((!v->dir_queue.empty() || v->laid_out_count < v->files.count()) && ticks < 50) {
      v->on_timer();
      ++ticks;
    }
    ASSERT_EQ(v->files.count(), tree.folders) << tree.name;
    EXPECT_EQ(v->laid_out_count, tree.folders) << tree.name;
    EXPECT_LE(ticks, 3) << tree.name;
    for (int i = 0; i < tree.folders; ++i) ASSERT_EQ(v->files.get(i)->file_name, expected[size_t(i)]) << i;

    // A clock that runs fast: each tick ends after one folder, and the
    // window answers in between.
    v->open_dir(top);
    int64_t now = clock.ticks();
    Brek_runtime::set_tick_source([&now] { return now += 1000; });
    v->on_timer();
    EXPECT_EQ(v->files.count(), 1) << tree.name;
  }
}
