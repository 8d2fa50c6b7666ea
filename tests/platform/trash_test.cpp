// The trash on file systems that lack what a plain local one offers, and
// against other programs at work at the same time.
#include <gtest/gtest.h>

#include <linux/filter.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <stddef.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <thread>

#include "platform/trash.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"

namespace fs = std::filesystem;
using brek_test::read_file;
using brek_test::write_file;

namespace {

std::string uid_text() { return std::to_string(::getuid()); }

// Makes every renameat2 call of the calling thread wait for an answer from
// the returned listener (seccomp user notification); -1 where the kernel
// refuses. The filter binds this thread alone and ends with it.
int listen_to_own_renames() {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_renameat2, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_USER_NOTIF),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program = {sizeof filter / sizeof filter[0], filter};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return -1;
  return static_cast<int>(::syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, SECCOMP_FILTER_FLAG_NEW_LISTENER, &program));
}

// Runs work on a thread of its own whose renames this thread carries out
// for it, running after_first right after the first one: another program
// at work at that very moment. False where renames cannot be watched.
bool with_renames_watched(const std::function<void()>& work, const std::function<void()>& after_first) {
  const int done = ::eventfd(0, EFD_CLOEXEC);
  std::promise<int> listening;
  std::thread worker([&] {
    const int fd = listen_to_own_renames();
    listening.set_value(fd);
    if (fd >= 0) work();
    ::eventfd_write(done, 1);
  });
  const int fd = listening.get_future().get();
  for (int renames = 0; fd >= 0;) {
    pollfd ends[2] = {{fd, POLLIN, 0}, {done, POLLIN, 0}};
    if (::poll(ends, 2, -1) < 0 && errno == EINTR) continue;
    if (!(ends[0].revents & POLLIN)) break;  // the work is over
    seccomp_notif call{};
    if (::ioctl(fd, SECCOMP_IOCTL_NOTIF_RECV, &call) != 0) break;
    const auto* a = call.data.args;
    const int rc = ::renameat2(static_cast<int>(a[0]), reinterpret_cast<const char*>(a[1]), static_cast<int>(a[2]),
                               reinterpret_cast<const char*>(a[3]), static_cast<unsigned>(a[4]));
    seccomp_notif_resp answer{};
    answer.id = call.id;
    answer.val = rc;
    answer.error = rc == 0 ? 0 : -errno;
    if (renames++ == 0) after_first();
    ::ioctl(fd, SECCOMP_IOCTL_NOTIF_SEND, &answer);
  }
  // Closed first: a call still waiting then fails instead of waiting on.
  if (fd >= 0) ::close(fd);
  worker.join();
  ::close(done);
  return fd >= 0;
}

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

// Another program puts a new file where the trashed one was, right after
// the move: the move still succeeded, the trashed file keeps its record and
// the newcomer stays.
TEST(PlatformTrash, ANewFileAtTheOldPlaceRightAfterTheMoveChangesNothing) {
  brek_test::Temp_dir dir;
  const std::string path = dir.file("a.jpg");
  ASSERT_TRUE(write_file(path, "trashed"));
  bool moved = false;
  std::string where;
  const bool watched = with_renames_watched([&] { moved = brek_platform::move_to_trash(path, &where); },
                                            [&] { write_file(path, "newcomer"); });
  if (!watched) GTEST_SKIP() << "renames cannot be watched here (seccomp user notification)";
  EXPECT_TRUE(moved);
  const std::string trash = std::string(std::getenv("XDG_DATA_HOME")) + "/Trash";
  EXPECT_EQ(read_file(trash + "/files/a.jpg"), "trashed");
  EXPECT_NE(read_file(trash + "/info/a.jpg.trashinfo").find("\nPath=" + path + "\n"), std::string::npos);
  EXPECT_EQ(read_file(path), "newcomer");
}
