#include "tests/support/own_desktop.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <sys/uio.h>
#include <unistd.h>
#include <xcb/randr.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/wait_until.h"
#include "tests/support/x11_client.h"

namespace brek_test {

namespace {

pid_t g_server = 0;
pid_t g_manager = 0;
std::string g_failure = "no desktop of the test's own was asked for";
std::vector<Own_monitor> g_monitors;

// "WxH+X+Y,..." as monitors; empty when an item does not read.
std::vector<Own_monitor> parse_monitors(const std::string& text) {
  if (text.empty()) return {Own_monitor{0, 0, OWN_DESKTOP_WIDTH, OWN_DESKTOP_HEIGHT}};
  std::vector<Own_monitor> list;
  size_t from = 0;
  while (from <= text.size()) {
    const size_t end = std::min(text.find(',', from), text.size());
    Own_monitor m;
    char tail = 0;
    if (std::sscanf(text.substr(from, end - from).c_str(), "%dx%d+%d+%d%c", &m.w, &m.h, &m.x, &m.y, &tail) != 4 ||
        m.w <= 0 || m.h <= 0 || m.x < 0 || m.y < 0)
      return {};
    list.push_back(m);
    from = end + 1;
  }
  return list;
}

std::string monitor_name(size_t index) { return "MONITOR-" + std::to_string(index + 1); }

// Declares the monitors on the server (RandR 1.5), the first holding the
// server's one output so that the output makes no monitor of its own.
// The monitors last as long as the server (it never resets).
bool set_monitors(const std::vector<Own_monitor>& monitors, size_t first = 0) {
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  bool done = !xcb_connection_has_error(c);
  const xcb_window_t root = done ? xcb_setup_roots_iterator(xcb_get_setup(c)).data->root : 0;
  auto* version = done ? xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 5), nullptr) : nullptr;
  auto* res = version ? xcb_randr_get_screen_resources_reply(c, xcb_randr_get_screen_resources(c, root), nullptr)
                      : nullptr;
  done = res && res->num_outputs > 0 && (version->major_version > 1 || version->minor_version >= 5);
  for (size_t i = first; done && i < monitors.size(); ++i) {
    const Own_monitor& m = monitors[i];
    const std::string name = monitor_name(i);
    auto* a = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.c_str()), nullptr);
    struct {
      xcb_randr_monitor_info_t info;
      xcb_randr_output_t output;
    } info{};
    info.info = {a ? a->atom : 0, uint8_t(i == 0), 0, uint16_t(i == 0 ? 1 : 0), int16_t(m.x), int16_t(m.y),
                 uint16_t(m.w), uint16_t(m.h), uint32_t(m.w * 254 / 960), uint32_t(m.h * 254 / 960)};
    info.output = xcb_randr_get_screen_resources_outputs(res)[0];
    std::free(a);
    // Sent as the protocol lays it out: libxcb's own xcb_randr_set_monitor
    // gets the request's length wrong and the server drops the connection.
    struct {
      uint8_t major = 0, minor = XCB_RANDR_SET_MONITOR;
      uint16_t length = 0;
      xcb_window_t window;
    } head{.window = root};
    iovec parts[4] = {{}, {}, {&head, sizeof head}, {&info, size_t(xcb_randr_monitor_info_sizeof(&info.info))}};
    xcb_protocol_request_t request{2, &xcb_randr_id, XCB_RANDR_SET_MONITOR, 0};
    xcb_generic_error_t* error =
        xcb_request_check(c, xcb_void_cookie_t{xcb_send_request(c, XCB_REQUEST_CHECKED, parts + 2, &request)});
    done = !error && !xcb_connection_has_error(c);
    std::free(error);
  }
  std::free(res);
  std::free(version);
  xcb_disconnect(c);
  return done;
}

// Locks the keyboard on its first layout (XKB group), as a desktop that
// sets layouts starts on the first: a group locked before (Caps Lock under
// "grp:caps_toggle") outlives the layouts it was locked on. XKB's own
// requests: UseExtension 1.0, then LatchLockState.
bool lock_first_group() {
  static xcb_extension_t xkb{"XKEYBOARD", 0};
  constexpr uint8_t USE_EXTENSION = 0, LATCH_LOCK_STATE = 5;
  constexpr uint16_t CORE_KEYBOARD = 0x100;
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  bool done = !xcb_connection_has_error(c);
  if (done) {
    struct {
      uint8_t major = 0, minor = USE_EXTENSION;
      uint16_t length = 0;
      uint16_t wanted_major = 1, wanted_minor = 0;
    } use;
    iovec parts[3] = {{}, {}, {&use, sizeof use}};
    xcb_protocol_request_t request{1, &xkb, USE_EXTENSION, 0};
    xcb_generic_error_t* error = nullptr;
    void* reply = xcb_wait_for_reply(c, xcb_send_request(c, XCB_REQUEST_CHECKED, parts + 2, &request), &error);
    done = reply && !error;
    std::free(reply);
    std::free(error);
  }
  if (done) {
    struct {
      uint8_t major = 0, minor = LATCH_LOCK_STATE;
      uint16_t length = 0;
      uint16_t device = CORE_KEYBOARD;
      uint8_t affect_mod_locks = 0, mod_locks = 0, lock_group = 1, group_lock = 0;
      uint8_t affect_mod_latches = 0, pad0 = 0, pad1 = 0, latch_group = 0;
      uint16_t group_latch = 0;
    } lock;
    iovec parts[3] = {{}, {}, {&lock, sizeof lock}};
    xcb_protocol_request_t request{1, &xkb, LATCH_LOCK_STATE, 1};
    xcb_generic_error_t* error =
        xcb_request_check(c, xcb_void_cookie_t{xcb_send_request(c, XCB_REQUEST_CHECKED, parts + 2, &request)});
    done = !error && !xcb_connection_has_error(c);
    std::free(error);
  }
  xcb_disconnect(c);
  return done;
}

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

bool start_own_desktop(const std::string& monitors) {
  g_monitors = parse_monitors(monitors);
  if (g_monitors.empty()) return fail("monitors \"" + monitors + "\" do not read as WxH+X+Y,...");
  int right = 0, bottom = 0;
  for (const Own_monitor& m : g_monitors) {
    right = std::max(right, m.x + m.w);
    bottom = std::max(bottom, m.y + m.h);
  }
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return fail("no pipe for the X server's display number");
  const std::string screen = std::to_string(right) + "x" + std::to_string(bottom) + "x24";
  g_server = spawn({"Xvfb", "-displayfd", std::to_string(pipe_fds[1]), "-screen", "0", screen, "-nolisten", "tcp", "-noreset"},
                   pipe_fds[1]);
  ::close(pipe_fds[1]);
  const int number = g_server > 0 ? read_display_number(pipe_fds[0]) : -1;
  ::close(pipe_fds[0]);
  if (number < 0) return fail("Xvfb did not start (package xvfb)");
  const std::string display = ":" + std::to_string(number);
  ::setenv("DISPLAY", display.c_str(), 1);
  if (g_monitors.size() > 1 && !set_monitors(g_monitors)) return fail("the X server took no monitors (RandR 1.5)");

  g_manager = spawn({"openbox"});
  if (!window_manager_ready(g_manager)) return fail("openbox did not take the screen (package openbox)");
  g_failure.clear();
  return true;
}

void stop_own_desktop() {
  end(g_manager);
  end(g_server);
}

bool set_keyboard_layout(const std::string& layouts, const std::string& options) {
  const char* display = std::getenv("DISPLAY");
  if (g_server <= 0 || !display) return false;
  // An empty option clears those set before.
  std::vector<std::string> args{"setxkbmap", "-display", display, "-layout", layouts, "-option", ""};
  if (!options.empty()) args.insert(args.end(), {"-option", options});
  const pid_t pid = spawn(args);
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
         lock_first_group();
}

const std::vector<Own_monitor>& own_desktop_monitors() { return g_monitors; }

bool remove_own_monitor(size_t index) {
  if (index == 0 || index >= g_monitors.size()) return false;
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  bool done = !xcb_connection_has_error(c);
  if (done) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const std::string name = monitor_name(index);
    auto* a = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(name.size()), name.c_str()), nullptr);
    xcb_generic_error_t* error = a ? xcb_request_check(c, xcb_randr_delete_monitor_checked(c, root, a->atom)) : nullptr;
    done = a && !error;
    std::free(a);
    std::free(error);
  }
  xcb_disconnect(c);
  return done;
}

// The first monitor holds the output and is never taken away.
bool restore_own_monitors() { return g_monitors.size() < 2 || set_monitors(g_monitors, 1); }

const std::string& own_desktop_failure() { return g_failure; }

}  // namespace brek_test
