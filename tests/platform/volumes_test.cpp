// The mounted volumes, as the folder dialogs list them, with a mount whose
// daemon hangs somewhere on the machine, and the mount table they come
// from, whatever its lines hold.
#include <gtest/gtest.h>

#include <sys/mount.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/mount_table.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"

using brek_platform::Volume;

namespace {

const Volume* listed(const std::vector<Volume>& volumes, const std::string& root) {
  const auto at = std::find_if(volumes.begin(), volumes.end(), [&](const Volume& v) { return v.root == root; });
  return at == volumes.end() ? nullptr : &*at;
}

}  // namespace

// Nothing asks a mount that does not answer: the list comes from the mount
// table and names the stalled mount with its file system and source,
// and the volume of a path elsewhere is told as well. A mount point with a
// blank in its name is listed as it is named.
TEST(PlatformVolumes, AStalledMountIsListedWithoutWaitingForIt) {
  brek_test::Stalled_mount stalled;
  if (!stalled.mounted()) GTEST_SKIP() << stalled.failure();
  brek_test::Temp_dir dir;
  const std::string blank = dir.file("a b");
  std::filesystem::create_directory(blank);
  ASSERT_EQ(::mount("tmpfs", blank.c_str(), "tmpfs", 0, "size=64k"), 0);
  struct Unmounted {
    std::string at;
    ~Unmounted() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmounted{blank};

  std::vector<Volume> volumes;
  Volume of_dir;
  bool told = false;
  EXPECT_TRUE(stalled.ends_while_stalled([&] {
    volumes = brek_platform::mounted_volumes();
    told = brek_platform::volume_of(dir.path(), of_dir);
  }));

  EXPECT_FALSE(stalled.asked_by_this_process());
  const Volume* s = listed(volumes, stalled.path());
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->file_system.rfind("fuse", 0), 0u) << s->file_system;
  EXPECT_FALSE(s->device.empty());
  const Volume* b = listed(volumes, blank);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->file_system, "tmpfs");
  EXPECT_EQ(b->device, "tmpfs");
  ASSERT_TRUE(told);
  EXPECT_EQ(dir.path().rfind(of_dir.root == "/" ? "/" : of_dir.root + "/", 0), 0u) << of_dir.root;
  EXPECT_NE(listed(volumes, of_dir.root), nullptr) << of_dir.root;

  Volume in_blank;
  ASSERT_TRUE(brek_platform::volume_of(blank + "/", in_blank));
  EXPECT_EQ(in_blank.root, blank);
  EXPECT_EQ(in_blank.file_system, "tmpfs");
  EXPECT_FALSE(brek_platform::volume_of(dir.file("none"), in_blank));
}

// The table as the kernel writes it, and lines it never writes: a name's
// escapes are undone, an escape cut short or past a byte stays as written,
// a line without a number, a mount point or its "-" is passed by or lacks
// what it does not say, and a line far longer than any read at once is
// read whole.
TEST(PlatformVolumes, TheMountTableReadsWhatItSaysAndPassesByWhatDoesNotRead) {
  const std::string long_point = "/" + std::string(100000, 'a');
  const std::string table =
      "36 35 98:0 / /mnt\\040a\\011b\\134c rw,noatime master:1 - ext3 /dev/root\\040x rw\n"
      "\n"
      "x 35 0:1 / /no-id rw - ext4 /dev/a rw\n"
      "37 36 0:1 / /cut\\04 rw - ext4 /dev/a rw\n"
      "38 36 0:1 / /high\\777 rw shared:2 master:3 - tmpfs\n"
      "39 36 0:1 /\n"
      "40 36 0:1 / " + long_point + " rw -\n"
      "41 36";
  const std::vector<brek_platform::Table_mount> m = brek_platform::parsed_mount_table(table);
  ASSERT_EQ(m.size(), 4u);
  EXPECT_EQ(m[0].id, 36u);
  EXPECT_EQ(m[0].parent, 35u);
  EXPECT_EQ(m[0].point, "/mnt a\tb\\c");
  EXPECT_EQ(m[0].file_system, "ext3");
  EXPECT_EQ(m[0].source, "/dev/root x");
  EXPECT_EQ(m[1].point, "/cut\\04");
  EXPECT_EQ(m[2].point, "/high\\777");
  EXPECT_EQ(m[2].file_system, "tmpfs");
  EXPECT_EQ(m[2].source, "");
  EXPECT_EQ(m[3].point, long_point);
  EXPECT_EQ(m[3].file_system, "");
}

// The mount that holds a path goes by names: the longest mount point that
// is the path or one of its folders, never one that merely begins alike.
TEST(PlatformVolumes, AMountHoldsThePathsBelowItsPoint) {
  const std::vector<std::string> points = {"/", "/a/mnt", "/a/mnt/inner", "/a/mnt2"};
  EXPECT_EQ(brek_platform::holding_mount(points, "/a/mnt"), "/a/mnt");
  EXPECT_EQ(brek_platform::holding_mount(points, "/a/mnt/"), "/a/mnt");
  EXPECT_EQ(brek_platform::holding_mount(points, "/a/mnt/x/p.jpg"), "/a/mnt");
  EXPECT_EQ(brek_platform::holding_mount(points, "/a/mnt/inner/p.jpg"), "/a/mnt/inner");
  EXPECT_EQ(brek_platform::holding_mount(points, "/a/mnt2x/p.jpg"), "/");
  EXPECT_EQ(brek_platform::holding_mount(points, "/a"), "/");
  EXPECT_EQ(brek_platform::holding_mount({"/a/mnt"}, "/b"), "");
  // Those with a server or daemon of their own may stop answering.
  for (const char* here : {"ext4", "xfs", "btrfs", "vfat", "tmpfs", "overlay"})
    EXPECT_TRUE(brek_platform::kept_here(here)) << here;
  for (const char* away : {"nfs4", "cifs", "fuse.sshfs", "fuse.bindfs", "fuseblk", "9p", "virtiofs", "unknownfs"})
    EXPECT_FALSE(brek_platform::kept_here(away)) << away;
}

// The mount points follow the table as mounts come and go, without
// reading it again while it stays as it was.
TEST(PlatformVolumes, TheMountPointsFollowTheTable) {
  brek_platform::Mount_points points;
  brek_test::Temp_dir dir;
  const auto has = [&](const std::string& p) {
    const std::vector<std::string>& now = points.now();
    return std::find(now.begin(), now.end(), p) != now.end();
  };
  EXPECT_FALSE(has(dir.path()));
  if (::mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "no tmpfs of the test's own";
  EXPECT_TRUE(has(dir.path()));
  EXPECT_TRUE(points.kept_here(dir.path()));
  ::umount2(dir.path().c_str(), MNT_DETACH);
  EXPECT_FALSE(has(dir.path()));
}
