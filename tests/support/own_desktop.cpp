#include "tests/support/own_desktop.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/wait_until.h"
#include "tests/support/x11_client.h"

namespace brek_test {

namespace {

pid_t g_server = 0;
pid_t g_manager = 0;
std::string g_failure = "no desktop of the test's own was asked for";

// A child running program with the arguments; keep_fd stays open in it.
// It gets SIGTERM when the test process ends, however that happens.
pid_t spawn(const std::vector<std::string>& args, int keep_fd = -1) {
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != parent) ::_exit(127);
  const int null = ::open("/dev/null", O_RDWR);
  if (null >= 0) {
    ::dup2(null, 0);
    ::dup2(null, 1);
    ::dup2(null, 2);
  }
  for (int fd = 3; fd < 1024; ++fd)
    if (fd != keep_fd) ::close(fd);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  ::execvp(argv[0], argv.data());
  ::_exit(127);
}

bool running(pid_t pid) {
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, WNOHANG) == 0;
}

void end(pid_t& pid) {
  if (pid <= 0) return;
  ::kill(pid, SIGTERM);
  int status = 0;
  ::waitpid(pid, &status, 0);
  pid = 0;
}

// The display number the server writes once it takes clients; -1 when it
// ended first.
int read_display_number(int fd) {
  std::string text;
  char c = 0;
  while (::read(fd, &c, 1) == 1 && c != '\n') text += c;
  return text.empty() ? -1 : std::atoi(text.c_str());
}

// The manager announces itself while it starts, and loses windows mapped
// before it handles requests: it is ready once it frames one (on the
// display DISPLAY names). A window it missed is replaced by a new one.
bool window_manager_ready(pid_t manager) {
  x11_test::Client x;
  if (!x.ok()) return false;
  const bool done = wait_until([&] {
    return !running(manager) || (!x.cardinals(x.root(), "_NET_SUPPORTING_WM_CHECK").empty() &&
                                 x.window_manager_barrier(std::chrono::milliseconds(250)));
  });
  return done && running(manager);
}

bool fail(const std::string& why) {
  g_failure = why;
  stop_own_desktop();
  ::unsetenv("DISPLAY");
  return false;
}

}  // namespace

bool start_own_desktop() {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return fail("no pipe for the X server's display number");
  const std::string screen =
      std::to_string(OWN_DESKTOP_WIDTH) + "x" + std::to_string(OWN_DESKTOP_HEIGHT) + "x24";
  g_server = spawn({"Xvfb", "-displayfd", std::to_string(pipe_fds[1]), "-screen", "0", screen, "-nolisten", "tcp", "-noreset"},
                   pipe_fds[1]);
  ::close(pipe_fds[1]);
  const int number = g_server > 0 ? read_display_number(pipe_fds[0]) : -1;
  ::close(pipe_fds[0]);
  if (number < 0) return fail("Xvfb did not start (package xvfb)");
  const std::string display = ":" + std::to_string(number);
  ::setenv("DISPLAY", display.c_str(), 1);

  g_manager = spawn({"openbox"});
  if (!window_manager_ready(g_manager)) return fail("openbox did not take the screen (package openbox)");
  g_failure.clear();
  return true;
}

void stop_own_desktop() {
  end(g_manager);
  end(g_server);
}

const std::string& own_desktop_failure() { return g_failure; }

}  // namespace brek_test
