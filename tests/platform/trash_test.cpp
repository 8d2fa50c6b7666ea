// The trash on file systems that lack what a plain local one offers, and
// against other programs at work at the same time.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/trash.h"
#include "platform/trash_mounts.h"
#include "tests/support/entry_changes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"

namespace fs = std::filesystem;
using brek_test::entries_of;
using brek_test::read_file;
using brek_test::save_over;
using brek_test::write_file;

namespace {

std::string uid_text() { return std::to_string(::getuid()); }

// Takes a mount of the test's own away at the end, also after a failure.
struct Unmounted_at_end {
  std::string at;
  ~Unmounted_at_end() { ::umount2(at.c_str(), MNT_DETACH); }
};

}  // namespace

// On kernels that do not tell an entry's mount, the mount table does: read
// from the kernel's table, it names the mount the kernel gives, on mount
// points whose names the table escapes, and where a mount made on a folder
// above covers an older one.
TEST(PlatformTrash, TheMountTableNamesTheMountTheKernelGives) {
  brek_test::Tmpfs_mount outer;
  if (!outer.mounted()) GTEST_SKIP() << outer.failure();
  std::vector<std::string> paths = {outer.path()};
  for (const char* name : {"a b", "tab\there", "new\nline", "back\\slash", "x/covered"}) {
    fs::create_directories(outer.file(name));
    ASSERT_EQ(::mount("tmpfs", outer.file(name).c_str(), "tmpfs", 0, "size=64k"), 0) << name;
    ASSERT_TRUE(write_file(outer.file(std::string(name) + "/f"), "")) << name;
    if (name[0] != 'x') paths.push_back(outer.file(std::string(name) + "/f"));
  }
  ASSERT_EQ(::mount(outer.file("a b").c_str(), outer.file("x").c_str(), nullptr, MS_BIND, nullptr), 0);
  fs::create_directory(outer.file("x/covered"));
  paths.push_back(outer.file("x/covered"));
  std::ostringstream table;
  table << std::ifstream("/proc/self/mountinfo").rdbuf();
  for (const std::string& path : paths) {
    struct statx sx {};
    ASSERT_EQ(::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &sx), 0) << path;
    if (!(sx.stx_mask & STATX_MNT_ID)) GTEST_SKIP() << "this kernel does not tell an entry's mount";
    EXPECT_EQ(brek_platform::mount_in_table(table.str(), path), sx.stx_mnt_id) << path;
  }
}

// A FUSE file system over several (a home of its own mounted within the
// folder bindfs shows, as sshfs shows a server's): the home trash on it
// refuses the rename across, and the entry goes to the trash at the top
// of the FUSE mount instead, its record only there.
TEST(PlatformTrash, ARenameRefusedAcrossMountsTakesTheTrashAtTheEntrysTop) {
  brek_test::Bindfs_mount disk;
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  fs::create_directory(disk.source_file("home"));
  ASSERT_EQ(::mount("tmpfs", disk.source_file("home").c_str(), "tmpfs", 0, "size=64k"), 0);
  Unmounted_at_end home{disk.source_file("home")};
  brek_test::Env_guard data("XDG_DATA_HOME", disk.file("home/data"));
  ASSERT_TRUE(write_file(disk.file("a.jpg"), "picture"));
  std::string where;
  ASSERT_TRUE(brek_platform::move_to_trash(disk.file("a.jpg"), &where));
  const std::string trash = disk.file(".Trash-" + uid_text());
  EXPECT_EQ(where, trash + "/files/a.jpg");
  EXPECT_EQ(read_file(where), "picture");
  EXPECT_EQ(read_file(trash + "/info/a.jpg.trashinfo").find("Path=a.jpg\n"), 13u);
  EXPECT_EQ(entries_of(disk.file("home/data/Trash/info")), std::vector<std::string>{});
}

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

// A mount point never moves, and no trash is made on the file system
// around it for the attempt.
TEST(PlatformTrash, AMountPointStaysAndLeavesNoTrashAroundIt) {
  brek_test::Tmpfs_mount outer;
  if (!outer.mounted()) GTEST_SKIP() << outer.failure();
  fs::create_directory(outer.file("inner"));
  ASSERT_EQ(::mount("tmpfs", outer.file("inner").c_str(), "tmpfs", 0, "size=64k"), 0);
  ASSERT_TRUE(write_file(outer.file("inner/a.jpg"), "picture"));
  EXPECT_FALSE(brek_platform::move_to_trash(outer.file("inner")));
  EXPECT_EQ(read_file(outer.file("inner/a.jpg")), "picture");
  EXPECT_EQ(outer.entries(), std::vector<std::string>{"inner"});
  ::umount2(outer.file("inner").c_str(), MNT_DETACH);
}

// Nothing within a trash is trashed again, down in a trashed folder neither:
// its record would point into the trash.
TEST(PlatformTrash, NothingWithinATrashIsTrashedAgain) {
  brek_test::Temp_dir dir;
  fs::create_directories(dir.file("album/inner"));
  ASSERT_TRUE(write_file(dir.file("album/inner/a.jpg"), "picture"));
  std::string where;
  ASSERT_TRUE(brek_platform::move_to_trash(dir.file("album"), &where));
  const std::string trash = fs::path(where).parent_path().parent_path().string();
  EXPECT_FALSE(brek_platform::move_to_trash(where + "/inner/a.jpg"));
  EXPECT_FALSE(brek_platform::move_to_trash(where + "/inner"));
  EXPECT_FALSE(brek_platform::move_to_trash(trash + "/info/album.trashinfo"));
  EXPECT_EQ(read_file(where + "/inner/a.jpg"), "picture");
  EXPECT_TRUE(fs::exists(trash + "/info/album.trashinfo"));
  int entries = 0;
  for (const auto& e : fs::directory_iterator(trash + "/info")) entries += e.exists();
  for (const auto& e : fs::directory_iterator(trash + "/files")) entries += e.exists();
  EXPECT_EQ(entries, 2);
}

// Another program saves a new version onto the name (a temporary renamed
// over it) at one step of a trash after the other, on a local folder and
// where renames take no flags (NFS, FUSE): the new version always stays in
// place, and the trash holds the old one with its record exactly when it
// says it took it, nothing else.
TEST(PlatformTrash, ASaveOntoTheNameAtAnyStepOfATrashLosesNoVersion) {
  brek_test::Temp_dir local;
  brek_test::Bindfs_mount disk;
  struct Place {
    std::string folder, trash;
  };
  std::vector<Place> places = {{local.path(), std::string(std::getenv("XDG_DATA_HOME")) + "/Trash"}};
  if (disk.mounted()) places.push_back({disk.path(), disk.file(".Trash-" + uid_text())});
  for (const Place& at : places) {
    const std::string path = at.folder + "/a.jpg";
    for (int step = 0;; ++step) {
      SCOPED_TRACE(at.folder + ", a save after step " + std::to_string(step));
      ASSERT_TRUE(write_file(path, "old"));
      const std::string fresh = "new " + std::to_string(step);
      bool moved = false;
      std::string where;
      const int steps = brek_test::with_entry_changes_held(
          [&] { moved = brek_platform::move_to_trash(path, &where); },
          [&](int done) {
            if (done == step) save_over(path, fresh);
          });
      if (steps < 0) GTEST_SKIP() << "entry changes cannot be held here (seccomp user notification)";
      if (step > steps) break;
      EXPECT_EQ(read_file(path), fresh);
      const std::vector<std::string> kept = entries_of(at.trash + "/files");
      if (moved) {
        EXPECT_EQ(read_file(where), "old");
        EXPECT_EQ(kept, std::vector<std::string>{"a.jpg"});
        EXPECT_EQ(entries_of(at.trash + "/info"), std::vector<std::string>{"a.jpg.trashinfo"});
      } else {
        EXPECT_EQ(kept, std::vector<std::string>{});
        EXPECT_EQ(entries_of(at.trash + "/info"), std::vector<std::string>{});
      }
      for (const char* sub : {"/files", "/info"})
        for (const std::string& name : entries_of(at.trash + sub)) fs::remove(at.trash + sub + "/" + name);
      std::vector<std::string> left = entries_of(at.folder);
      std::erase(left, fs::path(at.trash).filename().string());
      EXPECT_EQ(left, std::vector<std::string>{"a.jpg"});
    }
  }
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
}

// On an overlay, a container's root file system, a folder of the lower
// layer cannot be renamed: the home trash there refuses it across, and
// the trash at the overlay's top is none of the user's (a folder of
// another user's holds its place). Trashing fails with the first refusal,
// and no folder made for either attempt stays, on a fresh account either.
TEST(PlatformTrash, ARefusedTrashOnAnOverlayGivesTheFirstReasonAndLeavesNoFolder) {
  const std::string own_trash = ".Trash-" + uid_text();
  brek_test::Overlay_mount overlay([&](const std::string& lower) {
    fs::create_directory(lower + "/album");
    write_file(lower + "/album/a.jpg", "picture");
    fs::create_directory(lower + "/" + own_trash);
    if (::chown((lower + "/" + own_trash).c_str(), 65534, 65534) != 0) ADD_FAILURE() << "chown";
  });
  if (!overlay.mounted()) GTEST_SKIP() << overlay.failure();
  brek_test::Env_guard data("XDG_DATA_HOME", overlay.file("home/data"));
  errno = 0;
  EXPECT_FALSE(brek_platform::move_to_trash(overlay.file("album")));
  EXPECT_EQ(errno, EXDEV) << std::strerror(errno);
  EXPECT_EQ(read_file(overlay.file("album/a.jpg")), "picture");
  EXPECT_EQ(overlay.entries(), (std::vector<std::string>{own_trash, "album"}));
  EXPECT_TRUE(fs::is_empty(overlay.file(own_trash)));
}
