// Scanning a directory tree one directory a step: the walk's order, new and
// vanished files, grouping by directory, links, and the listing worker.
#include <gtest/gtest.h>

#include <filesystem>

#include "runtime/runtime_services.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_test_support.h"
#include "viewer/dir_scan.h"

using namespace viewer_test;
namespace fs = std::filesystem;

namespace {

// A tiny picture file (only names and directories matter here).
void picture(const std::string& path) {
  fs::create_directories(fs::path(path).parent_path());
  ASSERT_TRUE(write_bmp(quadrants(4, 4), path));
}

std::vector<std::string> names(const Ref<Test_viewer>& v, const std::string& root) {
  std::vector<std::string> out;
  for (const Ref<C_Image>& f : v->files) out.push_back(f->file_name.substr(root.size() + 1));
  return out;
}

// A viewer that scans without a window (no caption pauses): scanning set,
// as the directory view leaves it.
Ref<Test_viewer> scanner(const std::string& dir) {
  Ref<Test_viewer> v = new_viewer();
  v->scan_dir = dir;
  v->root_dir = dir;
  v->scanning = true;
  return v;
}

}  // namespace

TEST(DirScan, ATreeIsWalkedDepthFirstInPathOrderOneDirectoryAStep) {
  brek_test::Temp_dir t;
  const std::string r = t.path();
  for (const char* f : {"top.jpg.bmp", "b/x.bmp", "a/y.bmp", "a/z/deep.bmp", "a/readme.txt"}) picture(t.file(f));
  Ref<Test_viewer> v = scanner(r);
  std::vector<std::string> listed;
  for (int i = 0; i < 4; ++i) {
    v->scan_step(i == 0);
    listed.push_back(v->scan_dir.substr(r.size()));
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"", "/a/", "/a/z/", "/b/"}));
  EXPECT_EQ(names(v, r), (std::vector<std::string>{"top.jpg.bmp", "a/y.bmp", "a/z/deep.bmp", "b/x.bmp"}));
  EXPECT_EQ(v->current_file, r + "/top.jpg.bmp");
  // The tree is walked: the steps go round the known directories.
  EXPECT_TRUE(v->dir_queue.empty());
  EXPECT_EQ(v->known_dirs.count(), 4);
  for (int i = 0; i < 8; ++i) v->scan_step(false);
  EXPECT_EQ(v->files.count(), 4);
  EXPECT_EQ(v->known_dirs.count(), 4);
}

TEST(DirScan, NewAndVanishedFilesAreFoundWhenTheirDirectoryIsListedAgain) {
  brek_test::Temp_dir t;
  const std::string r = t.path();
  for (const char* f : {"a/1.bmp", "a/2.bmp", "b/1.bmp", "c/1.bmp", "c/2.bmp"}) picture(t.file(f));
  Ref<Test_viewer> v = scanner(r);
  for (int i = 0; i < 6; ++i) v->scan_step(i == 0);
  ASSERT_EQ(names(v, r), (std::vector<std::string>{"a/1.bmp", "a/2.bmp", "b/1.bmp", "c/1.bmp", "c/2.bmp"}));
  // A file added to the first directory joins its set; the other sets stay
  // whole and in their order.
  picture(t.file("a/3.bmp"));
  fs::remove(t.file("c/2.bmp"));
  // Every directory gone in turn: b's only image too, so its set goes.
  fs::remove(t.file("b/1.bmp"));
  for (int i = 0; i < 8; ++i) v->scan_step(false);
  EXPECT_EQ(names(v, r), (std::vector<std::string>{"a/1.bmp", "a/2.bmp", "a/3.bmp", "c/1.bmp"}));
  // A directory removed as a whole takes its files along.
  fs::remove_all(t.file("a"));
  for (int i = 0; i < 8; ++i) v->scan_step(false);
  EXPECT_EQ(names(v, r), (std::vector<std::string>{"c/1.bmp"}));
}

TEST(DirScan, ALinkBackUpTheTreeIsNeverDescended) {
  brek_test::Temp_dir t;
  const std::string r = t.path();
  picture(t.file("sub/p.bmp"));
  fs::create_directory_symlink(r, t.file("sub/loop"));
  Ref<Test_viewer> v = scanner(r);
  for (int i = 0; i < 20; ++i) v->scan_step(i == 0);
  EXPECT_EQ(v->known_dirs.count(), 2);
  EXPECT_EQ(names(v, r), (std::vector<std::string>{"sub/p.bmp"}));
}

TEST(DirScan, NothingToScanAndTheListingWorker) {
  // No directory: the step does nothing.
  Ref<Test_viewer> v = new_viewer();
  v->scan_step(true);
  EXPECT_EQ(v->files.count(), 0);
  EXPECT_TRUE(v->known_dirs.empty());

  // The worker lists a directory with its subdirectories marked.
  brek_test::Temp_dir t;
  picture(t.file("one.bmp"));
  fs::create_directory(t.file("inner"));
  Ref<C_Rescan_dir> job = C_Rescan_dir::create(t.path());
  Ref<C_Thread> started = job->start();
  ASSERT_FALSE(started.is_none());
  ASSERT_TRUE(brek_test::wait_until([&] { return job->is_finished(); }));
  DynAStr e = job->entries;
  C_Sorting::sort_part(e);
  ASSERT_EQ(e.count(), 2);
  EXPECT_EQ(e.get(0), t.path() + "/inner/");
  EXPECT_EQ(e.get(1), t.path() + "/one.bmp");

  // A directory of subdirectories only hands its listing to the worker;
  // a later step of the same directory takes the result over.
  brek_test::Temp_dir u;
  fs::create_directory(u.file("only"));
  Ref<Test_viewer> w = scanner(u.path());
  ASSERT_TRUE(C_Collage_viewer::uses_scan_thread());
  w->scan_step(true);
  EXPECT_FALSE(w->rescan_job.is_none());
  ASSERT_TRUE(brek_test::wait_until([&] { return w->rescan_job->is_finished(); }));
  w->dir_queue.clear();
  w->last_listed_dir.clear();
  w->scan_dir = u.path() + "/only/";
  w->rescan_job->dir = w->scan_dir;
  w->rescan_thread = w->rescan_job;
  picture(u.file("only/late.bmp"));
  w->scan_step(false);
  EXPECT_EQ(w->files.count(), 1);
}

TEST(DirScan, ThePureSteps) {
  DynAStr list{"/r/b/", "/r/x.jpg", "/r/a/", "/r/.Trash-0/", "/r/notes.txt", "/r/.Trash/", "/r/y.JPEG"};
  DynAStr queue{"/r/c/"};
  Dir_scan::Known_dirs known;
  for (const char* d : {"/r", "/r/a/", "/r"}) known.add(d);
  Dir_scan::queue_subdirectories(list, queue, known, brek_platform::Trash_folders());
  // Known directories and trash folders are not walked; the queue is sorted.
  EXPECT_EQ(queue.count(), 2);
  EXPECT_EQ(queue.get(0), "/r/b/");
  EXPECT_EQ(queue.get(1), "/r/c/");
  Dir_scan::keep_image_files(list);
  ASSERT_EQ(list.count(), 2);
  EXPECT_EQ(list.get(0), "/r/x.jpg");
  EXPECT_EQ(known.count(), 2);
  EXPECT_EQ(known.next_after("/r/a/"), "/r");
  EXPECT_EQ(known.next_after("/elsewhere"), "/r");
  EXPECT_EQ(Dir_scan::Known_dirs().next_after("/r"), "");
  for (const char* name : {".Trash", ".Trash-0", ".Trash-1000"}) EXPECT_TRUE(brek_platform::is_trash_name(name)) << name;
  for (const char* name : {"Trash", ".Trash-", ".Trash-1x", ".Trashes", ".trash-0"})
    EXPECT_FALSE(brek_platform::is_trash_name(name)) << name;
  EXPECT_FALSE(Dir_scan::uses_scan_thread("Brek;VCL forms"));
  EXPECT_FALSE(Dir_scan::uses_scan_thread("qix"));
  EXPECT_TRUE(Dir_scan::uses_scan_thread("Brek runtime;Linux"));
}

// The window's messages may run while a folder already in the list is
// listed again (a long operation lets them through) and renew its entries
// (a copy that found a file changed): the entries listed are then told
// from new files by their names, not by the objects let go.
TEST(DirScan, EntriesRenewedWhileTheirFolderIsListedAgainStayOnce) {
  brek_test::Temp_dir t;
  for (int i = 10; i < 30; ++i) picture(t.file("p" + std::to_string(i) + ".bmp"));
  Ref<Test_viewer> v = scanner(t.path());
  v->scan_step(true);
  ASSERT_EQ(v->files.count(), 20);
  picture(t.file("p30.bmp"));
  // At every loop tick of the step, the listing's own included.
  struct Renew_all final : Brek_handler {
    Test_viewer* v = nullptr;
    bool done = false;
    void run() override {
      done = true;
      for (int64_t i = 0; i < v->files.count(); ++i) v->renew_entry(i);
      Brek_runtime::set_tick_counter(65535);
    }
  } renew;
  renew.v = v.get();
  Brek_runtime::register_tick_handler(&renew);
  Brek_runtime::set_tick_counter(65535);
  v->last_listed_dir.clear();
  v->scan_step(false);
  Brek_runtime::unregister_tick_handler(&renew);
  Brek_runtime::set_tick_counter(0);
  EXPECT_TRUE(renew.done);
  EXPECT_EQ(v->files.count(), 21);
}
