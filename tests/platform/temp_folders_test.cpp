// A test program leaves nothing in the temporary folder: neither its own
// folders nor those of its death tests' children, which end without
// cleaning up, nor those of a program killed at its time limit.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

extern char** environ;

namespace {

// Set for the run of this program that the test below starts.
constexpr const char* INNER = "COLLAGE_TEST_INNER_RUN";

// A death test's children, re-run ("threadsafe") and forked ("fast"), each
// making a folder and ending by exit, as the children of the program's
// death tests do.
void children_making_folders() {
  for (const char* style : {"threadsafe", "fast"}) {
    GTEST_FLAG_SET(death_test_style, style);
    EXPECT_EXIT(
        {
          brek_test::Temp_dir made;
          brek_test::write_file(made.file("a.jpg"), "x");
          std::exit(0);
        },
        testing::ExitedWithCode(0), "");
  }
}

}  // namespace

TEST(TempFolders, AProgramAndItsDeathTestsLeaveNothingBehind) {
  if (const char* inner = std::getenv(INNER)) {
    if (std::string(inner) == "exit") return children_making_folders();
    brek_test::Temp_dir made;
    brek_test::write_file(made.file("a.jpg"), "x");
    ::raise(SIGKILL);
  }
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter = "--gtest_filter=" + std::string(test->test_suite_name()) + "." + test->name();
  for (const bool killed : {false, true}) {
    SCOPED_TRACE(killed ? "killed" : "ended by exit");
    brek_test::Temp_dir tmp;
    std::vector<char*> argv{const_cast<char*>(self.c_str()), const_cast<char*>(filter.c_str()), nullptr};
    brek_test::Env_guard inner(INNER, killed ? "kill" : "exit");
    brek_test::Env_guard in_tmp("TMPDIR", tmp.path());
    posix_spawn_file_actions_t files;
    ::posix_spawn_file_actions_init(&files);
    ::posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, self.c_str(), &files, nullptr, argv.data(), environ), 0);
    ::posix_spawn_file_actions_destroy(&files);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    if (killed)
      ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    else
      ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the inner run failed: " << status;
    EXPECT_TRUE(brek_test::wait_until([&] { return brek_test::entries_of(tmp.path()).empty(); }))
        << testing::PrintToString(brek_test::entries_of(tmp.path()));
  }
}
