// The mounted volumes, as the folder dialogs list them, with a mount whose
// daemon hangs somewhere on the machine.
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
