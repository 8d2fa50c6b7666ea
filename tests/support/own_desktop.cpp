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
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/wait_until.h"
#include "tests/support/x11_client.h"

namespace brek_test {

namespace {

pid_t g_server = 0;
pid_t g_manager = 0;
std::string g_manager_home;
std::string g_failure = "no desktop of the test's own was asked for";
std::vector<Own_monitor> g_monitors;
// Set once the server's output was switched off for a screen of another
// size: the monitors hold no output then.
bool g_output_off = false;

// Each manager's configuration in a home folder of its own, beside what
// it makes there itself: its panel off, the rest as it comes.
struct Manager_config {
  const char* name;
  const char* file;  // in its home folder; nullptr: none
  const char* text;
  const char* program;  // nullptr: the name
};
const Manager_config MANAGERS[] = {
    {"openbox", nullptr, nullptr, nullptr},
    {"icewm", ".icewm/preferences", "ShowTaskBar=0\n", nullptr},
    {"fluxbox", ".fluxbox/init", "session.screen0.toolbar.visible: false\n", nullptr},
    // The tests' own, which frames windows late or never (built beside them).
    {"late", nullptr, nullptr, COLLAGE_LATE_WINDOW_MANAGER},
};

const Manager_config* g_manager_config = nullptr;

const Manager_config* manager_config(const std::string& name) {
  for (const Manager_config& m : MANAGERS)
    if (name == m.name) return &m;
  return nullptr;
}

// A home folder holding the manager's configuration; "" when it could
// not be made.
std::string make_manager_home(const Manager_config& m) {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/collage-wm-XXXXXX";
  if (!::mkdtemp(templ.data())) return "";
  const std::filesystem::path file = std::filesystem::path(templ) / m.file;
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  std::ofstream out(file);
  out << m.text;
  out.close();
  if (!out) {
    std::filesystem::remove_all(templ, ec);
    return "";
  }
  return templ;
}

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

// Each monitor's name on the server. A monitor that changes takes a new
// name, as another monitor plugged in its place: Qt reads a monitor
// anew only when its name is new (it takes a known one's new size for its
// own but never tells the program).
std::vector<std::string> g_monitor_names;

std::string monitor_name(size_t index) {
  if (g_monitor_names.size() <= index) g_monitor_names.resize(index + 1);
  if (g_monitor_names[index].empty()) g_monitor_names[index] = "MONITOR-" + std::to_string(index + 1);
  return g_monitor_names[index];
}

// Declares the monitors on the server (RandR 1.5), the first holding the
// server's one output (while it is on) so that the output makes no monitor
// of its own. The monitors last as long as the server (it never resets).
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
    const bool holds_output = i == 0 && !g_output_off;
    info.info = {a ? a->atom : 0, uint8_t(i == 0), 0, uint16_t(holds_output ? 1 : 0), int16_t(m.x), int16_t(m.y),
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

// A child running program with the arguments; keep_fd stays open in it,
// home (unless empty) is its HOME. It gets SIGTERM when the test process
// ends, however that happens.
pid_t spawn(const std::vector<std::string>& args, int keep_fd = -1, const std::string& home = "") {
  // The environment is made before the fork: the child only execs.
  std::vector<std::string> env_texts;
  for (char** e = environ; *e; ++e)
    if (home.empty() || std::strncmp(*e, "HOME=", 5) != 0) env_texts.push_back(*e);
  if (!home.empty()) env_texts.push_back("HOME=" + home);
  std::vector<char*> envp;
  for (std::string& e : env_texts) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
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
  ::execvpe(argv[0], argv.data(), envp.data());
  ::_exit(127);
}

bool running(pid_t pid) {
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, WNOHANG) == 0;
}

void end(pid_t& pid, int signal = SIGTERM) {
  if (pid <= 0) return;
  ::kill(pid, signal);
  // A manager a test stopped takes the signal only once it runs again.
  ::kill(pid, SIGCONT);
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

// The manager of the desktop, with the option given (none: "").
bool start_manager(const std::string& option) {
  const Manager_config& m = *g_manager_config;
  std::vector<std::string> args{m.program ? m.program : m.name};
  if (!option.empty()) args.push_back(option);
  g_manager = spawn(args, -1, g_manager_home);
  return window_manager_ready(g_manager);
}

bool fail(const std::string& why) {
  g_failure = why;
  stop_own_desktop();
  ::unsetenv("DISPLAY");
  return false;
}

}  // namespace

bool start_own_desktop(const std::string& monitors, const std::string& manager) {
  const Manager_config* config = manager_config(manager);
  if (!config) return fail("no window manager \"" + manager + "\" is known to the tests");
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

  if (config->file) {
    g_manager_home = make_manager_home(*config);
    if (g_manager_home.empty()) return fail("no home folder for " + manager + "'s configuration");
  }
  g_manager_config = config;
  if (!start_manager("")) return fail(manager + " did not take the screen (package " + manager + ")");
  g_failure.clear();
  return true;
}

void stop_own_desktop() {
  // A manager keeps nothing a test needs; fluxbox, asked to end, talks to
  // the server from within its signal handler and can hang there for good.
  end(g_manager, SIGKILL);
  end(g_server);
  if (!g_manager_home.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(g_manager_home, ec);
    g_manager_home.clear();
  }
}

bool restart_own_window_manager(const std::string& option) {
  if (g_server <= 0 || !g_manager_config) return false;
  end(g_manager, SIGKILL);
  return start_manager(option);
}

bool pause_own_window_manager(bool paused) {
  return g_manager > 0 && ::kill(g_manager, paused ? SIGSTOP : SIGCONT) == 0;
}

bool own_desktop_manager_known(const std::string& manager) { return manager_config(manager) != nullptr; }

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

namespace {

// Takes the monitor of the index in the order given off the server.
bool delete_monitor(xcb_connection_t* c, xcb_window_t root, size_t index) {
  const std::string name = monitor_name(index);
  auto* a = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(name.size()), name.c_str()), nullptr);
  xcb_generic_error_t* error = a ? xcb_request_check(c, xcb_randr_delete_monitor_checked(c, root, a->atom)) : nullptr;
  const bool done = a && !error;
  std::free(a);
  std::free(error);
  return done;
}

// Switches the server's output off (Xvfb has one, on one CRTC).
bool switch_output_off(xcb_connection_t* c, xcb_window_t root) {
  auto* res = xcb_randr_get_screen_resources_reply(c, xcb_randr_get_screen_resources(c, root), nullptr);
  bool done = res && res->num_crtcs > 0;
  if (done) {
    const xcb_randr_crtc_t crtc = xcb_randr_get_screen_resources_crtcs(res)[0];
    auto* set = xcb_randr_set_crtc_config_reply(
        c,
        xcb_randr_set_crtc_config(c, crtc, XCB_CURRENT_TIME, res->config_timestamp, 0, 0, XCB_NONE,
                                  XCB_RANDR_ROTATION_ROTATE_0, 0, nullptr),
        nullptr);
    done = set && set->status == XCB_RANDR_SET_CONFIG_SUCCESS;
    std::free(set);
  }
  std::free(res);
  return done;
}

}  // namespace

bool remove_own_monitor(size_t index) {
  if (index == 0 || index >= g_monitors.size()) return false;
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  const bool done =
      !xcb_connection_has_error(c) && delete_monitor(c, xcb_setup_roots_iterator(xcb_get_setup(c)).data->root, index);
  xcb_disconnect(c);
  return done;
}

bool resize_own_screen(int w, int h, const std::string& monitors) {
  const std::vector<Own_monitor> list = parse_monitors(monitors);
  if (list.empty() || g_server <= 0 || w <= 0 || h <= 0) return false;
  auto same = [&](size_t i) {
    return i < g_monitors.size() && i < list.size() && g_monitors[i].x == list[i].x && g_monitors[i].y == list[i].y &&
           g_monitors[i].w == list[i].w && g_monitors[i].h == list[i].h;
  };
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  bool done = !xcb_connection_has_error(c);
  const xcb_window_t root = done ? xcb_setup_roots_iterator(xcb_get_setup(c)).data->root : 0;
  std::free(done ? xcb_randr_query_version_reply(c, xcb_randr_query_version(c, 1, 5), nullptr) : nullptr);
  // Xvfb refuses a screen smaller than its output's one mode.
  if (done && !g_output_off) done = g_output_off = switch_output_off(c, root);
  // Every monitor goes, to be declared anew (the server takes no monitor
  // of a name it has; one never declared fails alone).
  for (size_t i = 0; done && i < g_monitors.size(); ++i) delete_monitor(c, root, i);
  if (done) {
    xcb_generic_error_t* error = xcb_request_check(
        c, xcb_randr_set_screen_size_checked(c, root, uint16_t(w), uint16_t(h), uint32_t(w * 254 / 960),
                                             uint32_t(h * 254 / 960)));
    done = !error;
    std::free(error);
  }
  xcb_disconnect(c);
  if (!done) return false;
  static int generation = 1;
  ++generation;
  for (size_t i = 0; i < list.size(); ++i) {
    if (same(i)) continue;
    monitor_name(i);
    g_monitor_names[i] = "MONITOR-" + std::to_string(i + 1) + "-" + std::to_string(generation);
  }
  g_monitors = list;
  return set_monitors(list);
}

// The first monitor holds the output and is never taken away.
bool restore_own_monitors() { return g_monitors.size() < 2 || set_monitors(g_monitors, 1); }

const std::string& own_desktop_failure() { return g_failure; }

}  // namespace brek_test
