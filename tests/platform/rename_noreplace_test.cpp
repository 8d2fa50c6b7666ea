// Renames that never replace, on a FUSE file system that refuses rename
// flags as the NFS client does: the fallbacks keep what is at the target.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/rename_noreplace.h"
#include "tests/support/entry_changes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"

namespace fs = std::filesystem;
using brek_platform::rename_noreplace;
using brek_test::read_file;
using brek_test::write_file;

TEST(RenameNoReplace, WithoutRenameFlagsNothingAtTheTargetIsReplaced) {
  brek_test::Bindfs_mount disk;
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  ASSERT_TRUE(write_file(disk.file("a"), "a"));
  ASSERT_TRUE(write_file(disk.file("b"), "b"));
  fs::create_directory(disk.file("dir"));
  fs::create_directory(disk.file("empty"));
  ASSERT_EQ(::symlink("a", disk.file("link").c_str()), 0);

  errno = 0;
  EXPECT_FALSE(rename_noreplace(disk.file("a"), disk.file("b")));
  EXPECT_EQ(errno, EEXIST);
  errno = 0;
  EXPECT_FALSE(rename_noreplace(disk.file("dir"), disk.file("empty")));
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(read_file(disk.file("a")), "a");
  EXPECT_EQ(read_file(disk.file("b")), "b");
  EXPECT_TRUE(fs::is_directory(disk.file("dir")));
  EXPECT_TRUE(fs::is_directory(disk.file("empty")));

  // A link moves as the link, a folder whole.
  EXPECT_TRUE(rename_noreplace(disk.file("link"), disk.file("moved link")));
  EXPECT_EQ(fs::read_symlink(disk.file("moved link")), "a");
  EXPECT_TRUE(rename_noreplace(disk.file("dir"), disk.file("moved dir")));
  EXPECT_TRUE(fs::is_directory(disk.file("moved dir")));
  EXPECT_FALSE(fs::exists(fs::symlink_status(disk.file("link"))));
  EXPECT_FALSE(fs::exists(disk.file("dir")));
}

// Another program saves a new version onto the source's name (a temporary
// renamed over it), or removes it, at one step of the move after the
// other: the version the move took is at the target, the new one stays at
// the source's name, or went itself when it came before the move took
// anything; a link made before the source went stays as the moved file.
TEST(RenameNoReplace, WithoutRenameFlagsASaveOrARemovalAtAnyStepLosesNoVersion) {
  brek_test::Bindfs_mount disk;
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  fs::create_directory(disk.file("to"));
  const std::string from = disk.file("a.jpg"), to = disk.file("to/a.jpg");
  for (const bool removal : {false, true}) {
    for (int step = 0;; ++step) {
      SCOPED_TRACE(std::string(removal ? "a removal" : "a save") + " after step " + std::to_string(step));
      ASSERT_TRUE(write_file(from, "old"));
      const std::string fresh = "new " + std::to_string(step);
      bool moved = false, taken = false;
      const int steps = brek_test::with_entry_changes_held([&] { moved = rename_noreplace(from, to); },
                                                           [&](int done) {
                                                             if (done != step) return;
                                                             taken = fs::exists(to);
                                                             if (removal) fs::remove(from);
                                                             else brek_test::save_over(from, fresh);
                                                           });
      if (steps < 0) GTEST_SKIP() << "entry changes cannot be held here (seccomp user notification)";
      if (step > steps) {
        fs::remove(to);
        break;
      }
      if (removal) {
        EXPECT_EQ(moved, taken);
        EXPECT_EQ(read_file(to), taken ? "old" : "");
      } else {
        EXPECT_TRUE(moved);
        if (fs::exists(from)) {
          EXPECT_EQ(read_file(from), fresh);
          EXPECT_EQ(read_file(to), "old");
        } else {
          EXPECT_EQ(read_file(to), fresh);
        }
        EXPECT_EQ(fs::hard_link_count(to), 1u);
      }
      fs::remove(to);
      fs::remove(from);
      EXPECT_EQ(disk.entries(), std::vector<std::string>{"to"});
    }
  }
}
