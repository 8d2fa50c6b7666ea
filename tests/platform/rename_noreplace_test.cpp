// Renames that never replace, on a FUSE file system that refuses rename
// flags as the NFS client does: the fallbacks keep what is at the target.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "platform/rename_noreplace.h"
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
