// The tests' stalled mount (a FUSE mount whose daemon is stopped) outlives
// no test: whatever ends the test's process, the daemon goes on and the
// mount goes.
#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"
#include "tests/support/wait_until.h"

namespace {

// Whether the kernel's table holds a mount at path; nothing asks the mount.
bool mounted_at(const std::string& path) {
  const std::string table = brek_test::read_file("/proc/self/mountinfo");
  return table.find(" " + path + " ") != std::string::npos;
}

// The processes whose command line names path, with their state ("T":
// stopped); zombies of this process are reaped first, others passed by.
std::vector<std::pair<pid_t, char>> naming(const std::string& path) {
  while (::waitpid(-1, nullptr, WNOHANG) > 0) {
  }
  std::vector<std::pair<pid_t, char>> found;
  DIR* proc = ::opendir("/proc");
  if (!proc) return found;
  while (const dirent* e = ::readdir(proc)) {
    const pid_t pid = std::atoi(e->d_name);
    if (pid <= 0) continue;
    const std::string base = std::string("/proc/") + e->d_name;
    std::string line = brek_test::read_file(base + "/cmdline");
    for (char& c : line)
      if (c == '\0') c = ' ';
    if (line.find(path) == std::string::npos) continue;
    // "pid (name) S ...": the state follows the name's closing parenthesis.
    const std::string stat = brek_test::read_file(base + "/stat");
    const size_t close = stat.rfind(')');
    const char state = close != std::string::npos && close + 2 < stat.size() ? stat[close + 2] : '?';
    if (state != 'Z') found.emplace_back(pid, state);
  }
  ::closedir(proc);
  return found;
}

}  // namespace

// The test's process dies while its mount stalls: killed at its time limit
// (SIGKILL), stopped by --gtest_break_on_failure (SIGTRAP) or aborted. The
// process running the test here takes the orphans of its children, as a
// desktop session's manager or a container's first process does, so the
// kernel wakes no orphaned stopped daemon: the mount is gone and so is the
// daemon all the same.
TEST(StalledMount, NeitherTheMountNorAStoppedDaemonOutlivesATestThatDies) {
  if (::geteuid() != 0) GTEST_SKIP() << "a FUSE mount of the test's own needs root";
  brek_test::Temp_dir dir;
  ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
  struct Reaping_no_more {
    ~Reaping_no_more() { ::prctl(PR_SET_CHILD_SUBREAPER, 0); }
  } reaping_no_more;
  for (const int sig : {SIGKILL, SIGTRAP, SIGABRT}) {
    SCOPED_TRACE(::strsignal(sig));
    const std::string told = dir.file("mount");
    std::remove(told.c_str());
    const auto dying = [&] {
      const rlimit no_core{0, 0};
      ::setrlimit(RLIMIT_CORE, &no_core);
      brek_test::Stalled_mount stalled;
      if (!stalled.mounted()) std::_Exit(3);
      brek_test::write_file(told, stalled.path());
      ::raise(sig);
    };
    EXPECT_EXIT(dying(), testing::KilledBySignal(sig), "");
    const std::string at = brek_test::read_file(told);
    ASSERT_FALSE(at.empty()) << "the child made no stalled mount";
    EXPECT_TRUE(brek_test::wait_until([&] { return !mounted_at(at); })) << at << " is still mounted";
    EXPECT_TRUE(brek_test::wait_until([&] { return naming(at).empty(); })) << "its daemon is still there";
    // What the test found left is cleared, so that nothing stays stalled.
    for (const auto& [pid, state] : naming(at)) {
      ::kill(pid, SIGCONT);
      ::kill(pid, SIGTERM);
    }
    ::umount2(at.c_str(), MNT_DETACH);
  }
}
