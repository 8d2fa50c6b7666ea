#include "tests/support/own_desktop.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/wait_until.h"

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

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  auto* a = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
  const xcb_atom_t r = a ? a->atom : xcb_atom_t(XCB_ATOM_NONE);
  std::free(a);
  return r;
}

bool has_property(xcb_connection_t* c, xcb_window_t w, const char* name) {
  auto* p = xcb_get_property_reply(c, xcb_get_property(c, 0, w, atom(c, name), XCB_GET_PROPERTY_TYPE_ANY, 0, 4),
                                   nullptr);
  const bool set = p && xcb_get_property_value_length(p) > 0;
  std::free(p);
  return set;
}

// A window of c's mapped and framed by the manager; false when the
// manager did not frame it within the bound.
bool framed_probe(xcb_connection_t* c, xcb_window_t root, pid_t manager, std::chrono::milliseconds bound) {
  const xcb_window_t probe = xcb_generate_id(c);
  xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, root, 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb_map_window(c, probe);
  xcb_flush(c);
  const bool framed =
      wait_until([&] { return !running(manager) || has_property(c, probe, "_NET_FRAME_EXTENTS"); }, bound) &&
      running(manager);
  xcb_destroy_window(c, probe);
  xcb_flush(c);
  return framed;
}

// The manager announces itself while it starts, and loses windows mapped
// before it handles requests: it is ready once it frames one. A probe it
// missed is replaced by a new one.
bool window_manager_ready(const std::string& display, pid_t manager) {
  xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
  bool ready = false;
  if (!xcb_connection_has_error(c)) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    ready = wait_until([&] {
      return !running(manager) || (has_property(c, root, "_NET_SUPPORTING_WM_CHECK") &&
                                   framed_probe(c, root, manager, std::chrono::milliseconds(250)));
    }) && running(manager);
  }
  xcb_disconnect(c);
  return ready;
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
  if (!window_manager_ready(display, g_manager)) return fail("openbox did not take the screen (package openbox)");
  g_failure.clear();
  return true;
}

void stop_own_desktop() {
  end(g_manager);
  end(g_server);
}

const std::string& own_desktop_failure() { return g_failure; }

}  // namespace brek_test
