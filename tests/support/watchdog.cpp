#include "tests/support/watchdog.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace brek_test {

int start_watchdog(const std::string& script, const std::vector<std::string>& arguments) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return -1;
  // The shell started here ends at once; the watchdog, its child, is
  // orphaned and taken by another.
  const std::string background = "(\n" + script + "\n) 3<&3 </dev/null >/dev/null 2>&1 &";
  std::vector<char*> argv = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(background.c_str()),
                             const_cast<char*>("sh")};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  ::posix_spawn_file_actions_init(&files);
  ::posix_spawn_file_actions_adddup2(&files, ends[0], 3);
  ::posix_spawn_file_actions_addclosefrom_np(&files, 4);
  // A session of its own: a Ctrl+C or a hang-up that ends the test's
  // process group reaches it no more than a time limit's kill does.
  posix_spawnattr_t attributes;
  ::posix_spawnattr_init(&attributes);
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t shell = 0;
  const bool started = ::posix_spawn(&shell, "/bin/sh", &files, &attributes, argv.data(), environ) == 0;
  ::posix_spawnattr_destroy(&attributes);
  ::posix_spawn_file_actions_destroy(&files);
  ::close(ends[0]);
  if (!started) {
    ::close(ends[1]);
    return -1;
  }
  int status = 0;
  while (::waitpid(shell, &status, 0) < 0 && errno == EINTR) {
  }
  return ends[1];
}

}  // namespace brek_test
