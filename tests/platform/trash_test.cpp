// The trash on file systems that lack what a plain local one offers, and
// against other programs at work at the same time.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/trash.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"

namespace fs = std::filesystem;
using brek_test::read_file;
using brek_test::write_file;

namespace {

std::string uid_text() { return std::to_string(::getuid()); }

}  // namespace

// Without rename flags and without hard links of folders, a folder still
// reaches the trash whole.
TEST(PlatformTrash, AFolderMovesWhereRenamesTakeNoFlags) {
  brek_test::Bindfs_mount disk;
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  fs::create_directories(disk.file("album/inner"));
  ASSERT_TRUE(write_file(disk.file("album/inner/a.jpg"), "picture"));
  std::string where;
  ASSERT_TRUE(brek_platform::move_to_trash(disk.file("album"), &where));
  const std::string trash = disk.file(".Trash-" + uid_text());
  EXPECT_EQ(where, trash + "/files/album");
  EXPECT_EQ(read_file(trash + "/files/album/inner/a.jpg"), "picture");
  EXPECT_EQ(read_file(trash + "/info/album.trashinfo").find("Path=album\n"), 13u);
  EXPECT_FALSE(fs::exists(disk.file("album")));
}
