// Questions to the file system put to a mount whose daemon does not
// answer: answered within a bound, one worker at most waiting on the
// mount however often it is asked, and answered again once it goes on.

#include "baselib/bounded_ask.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"
#include "tests/support/wait_until.h"

using namespace brek;

namespace {

int64_t threads_of_this_process() {
  int64_t n = 0;
  for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

std::vector<std::string> strings(const DynAStr& list) {
  std::vector<std::string> out;
  for (int64_t i = 0; i < list.count(); ++i) out.push_back(list.get(i));
  return out;
}

}  // namespace

TEST(BoundedAsk, AFolderThatAnswersIsListedAsItIs) {
  brek_test::Temp_dir dir;
  ASSERT_TRUE(brek_test::write_file(dir.file("a.jpg"), "x"));
  std::filesystem::create_directory(dir.file("sub"));
  DynAStr list;
  int error = -1;
  ASSERT_TRUE(Bounded_ask::list_directory(dir.path(), list, &error));
  EXPECT_EQ(error, 0);
  std::vector<std::string> names = strings(list);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.jpg", "sub/"}));
  ASSERT_TRUE(Bounded_ask::list_directory(dir.file("gone"), list, &error));
  EXPECT_EQ(error, ENOENT);
  EXPECT_EQ(Bounded_ask::file_exists(dir.file("a.jpg")), std::optional<bool>(true));
  EXPECT_EQ(Bounded_ask::directory_exists(dir.file("a.jpg")), std::optional<bool>(false));
  EXPECT_EQ(Bounded_ask::existing_folder_or({"", dir.file("gone"), dir.file("sub")}, "/"), dir.file("sub"));
  EXPECT_TRUE(Bounded_ask::silent_mount_of(dir.path()).empty());
}

TEST(BoundedAsk, AStalledMountHoldsOneWorkerAndAnswersOnceItGoesOn) {
  brek_test::Temp_dir parent;
  brek_test::Env_guard tmp("TMPDIR", parent.path());
  brek_test::Stalled_mount stalled;
  if (!stalled.mounted()) GTEST_SKIP() << stalled.failure();
  ASSERT_TRUE(brek_test::write_file(stalled.source_file("a.jpg"), "x"));
  brek_test::Temp_dir beside;
  ASSERT_TRUE(brek_test::write_file(beside.file("b.jpg"), "x"));
  const std::string mount = stalled.path();

  DynAStr list;
  bool listed = true;
  int64_t threads = 0, threads_after = -1;
  std::optional<bool> exists, folder;
  std::string start;
  EXPECT_TRUE(stalled.ends_while_stalled([&] {
    listed = Bounded_ask::list_directory(mount, list);
    threads = threads_of_this_process();
    // Asked again and again: no answer at once, and no one more waiting.
    for (int i = 0; i < 5; ++i) {
      listed = listed || Bounded_ask::list_directory(mount + "/", list);
      exists = Bounded_ask::file_exists(mount + "/a.jpg");
      folder = Bounded_ask::directory_exists(mount);
    }
    start = Bounded_ask::existing_folder_or({mount}, beside.path());
    threads_after = threads_of_this_process();
  }));
  EXPECT_FALSE(listed);
  EXPECT_FALSE(exists.has_value());
  EXPECT_FALSE(folder.has_value());
  EXPECT_EQ(start, beside.path());
  EXPECT_EQ(threads_after, threads);
  EXPECT_EQ(Bounded_ask::silent_mount_of(mount + "/a.jpg"), mount);
  EXPECT_EQ(Bounded_ask::silent_mounts(), std::vector<std::string>{mount});
  // Other folders answer meanwhile.
  ASSERT_TRUE(Bounded_ask::list_directory(beside.path(), list));
  EXPECT_EQ(strings(list), std::vector<std::string>{"b.jpg"});

  stalled.resume();
  EXPECT_TRUE(brek_test::wait_until([&] { return Bounded_ask::list_directory(mount, list); }));
  EXPECT_EQ(strings(list), std::vector<std::string>{"a.jpg"});
  EXPECT_TRUE(Bounded_ask::silent_mounts().empty());
}
