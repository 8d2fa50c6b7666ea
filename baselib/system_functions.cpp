#include "baselib/system_functions.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "baselib/file_path.h"
#include "baselib/string_functions.h"

extern char** environ;

namespace brek {

namespace {

std::mutex g_params_mutex;
std::vector<std::string> g_platform_args;  // the process's own arguments
bool g_captured = false;
std::vector<std::string> g_fake_params;  // the replacement list; empty = none

std::vector<std::string> read_proc_cmdline() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    args.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  return args;
}

// Caller holds g_params_mutex.
const std::vector<std::string>& platform_args() {
  if (!g_captured) {
    g_platform_args = read_proc_cmdline();
    g_captured = true;
  }
  return g_platform_args;
}

std::string exe_path() {
  std::string buf(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return {};
  buf.resize(static_cast<size_t>(n));
  // A program file replaced while it runs reads as "<path> (deleted)".
  static const std::string deleted = " (deleted)";
  if (buf.size() > deleted.size() && buf.ends_with(deleted)) buf.resize(buf.size() - deleted.size());
  return buf;
}

bool is_executable_file(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::vector<char*> make_argv(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 2);
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

// Spawn settings every child gets: the signal dispositions and mask of a
// fresh process, an empty standard input, and none of our descriptors
// beyond the standard three.
struct Spawn_setup {
  posix_spawnattr_t attr;
  posix_spawn_file_actions_t actions;
  bool ok = false;

  explicit Spawn_setup(bool own_session) {
    if (posix_spawnattr_init(&attr) != 0) return;
    if (posix_spawn_file_actions_init(&actions) != 0) {
      posix_spawnattr_destroy(&attr);
      return;
    }
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (int s : {SIGPIPE, SIGCHLD, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGUSR1, SIGUSR2, SIGALRM})
      sigaddset(&defaults, s);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (own_session) flags |= POSIX_SPAWN_SETSID;
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr, flags);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ok = true;
  }
  void close_the_rest() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
  }
  ~Spawn_setup() {
    if (!ok) return;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
  }
};

int wait_for(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

// ---- NATIVE_process --------------------------------------------------------

namespace NATIVE_process {

std::string environment_variable(const std::string& name) {
  if (name.empty()) return {};
  const char* v = std::getenv(name.c_str());
  return v ? std::string(v) : std::string();
}

int64_t param_count() {
  std::lock_guard<std::mutex> lock(g_params_mutex);
  if (!g_fake_params.empty()) return static_cast<int64_t>(g_fake_params.size());
  return static_cast<int64_t>(std::max<size_t>(platform_args().size(), 1));
}

std::string param_str(int32_t i) {
  std::lock_guard<std::mutex> lock(g_params_mutex);
  const std::vector<std::string>& own = platform_args();
  auto own_at = [&](size_t k) { return k < own.size() ? own[k] : std::string(); };
  if (i == 0) return own_at(0);
  if (i == -1) return own_at(1);
  if (i < 0) return {};
  size_t k = static_cast<size_t>(i);
  if (!g_fake_params.empty()) return k < g_fake_params.size() ? g_fake_params[k] : std::string();
  return own_at(k);
}

int64_t shell_start(const std::string& file, const std::vector<std::string>& arguments) {
  std::string path = System_functions::find_program(file);
  if (path.empty()) return 0;
  Spawn_setup setup(true);
  if (!setup.ok) return 0;
  setup.close_the_rest();
  std::vector<char*> argv = make_argv(file, arguments);
  pid_t pid = 0;
  if (posix_spawn(&pid, path.c_str(), &setup.actions, &setup.attr, argv.data(), environ) != 0) return 0;
  // The program runs on after us if it likes; this thread only collects its
  // exit status so that it never lingers as a zombie.
  try {
    std::thread([pid] { wait_for(pid); }).detach();
  } catch (...) {
    // No thread to be had: reap it if it has ended already.
    ::waitpid(pid, nullptr, WNOHANG);
  }
  return pid;
}

std::string run_command(const std::string& program, const std::vector<std::string>& arguments,
                        int capture, int* exit_code) {
  if (exit_code) *exit_code = -1;
  std::string path = System_functions::find_program(program);
  if (path.empty()) return {};
  Spawn_setup setup(false);
  if (!setup.ok) return {};
  int fds[2] = {-1, -1};
  bool piped = (capture & (System_functions::CAPTURE_STDOUT | System_functions::CAPTURE_STDERR)) != 0;
  if (piped) {
    if (::pipe2(fds, O_CLOEXEC) != 0) return {};
    if (capture & System_functions::CAPTURE_STDOUT) posix_spawn_file_actions_adddup2(&setup.actions, fds[1], 1);
    if (capture & System_functions::CAPTURE_STDERR) posix_spawn_file_actions_adddup2(&setup.actions, fds[1], 2);
  }
  setup.close_the_rest();
  std::vector<char*> argv = make_argv(program, arguments);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, path.c_str(), &setup.actions, &setup.attr, argv.data(), environ);
  if (piped) ::close(fds[1]);
  if (rc != 0) {
    if (piped) ::close(fds[0]);
    return {};
  }
  std::string out;
  if (piped) {
    char buf[4096];
    for (;;) {
      ssize_t n = ::read(fds[0], buf, sizeof buf);
      if (n > 0) {
        out.append(buf, static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      break;
    }
    ::close(fds[0]);
  }
  int code = wait_for(pid);
  if (exit_code) *exit_code = code;
  return out;
}

}  // namespace NATIVE_process

// ---- System_functions ------------------------------------------------------

namespace System_functions {

std::string platform_description() {
  std::string os = "Linux";
  struct utsname u;
  if (::uname(&u) == 0) {
    std::string detail = std::string(u.sysname) + " " + u.release;
    // The description is tested for these words to pick code paths meant for
    // other platforms; a system text holding one must not reach them.
    std::string l = NATIVE_String_functions::lower_case(detail);
    bool clash = false;
    for (const char* w : {"vcl", "qix", "c#", "android", "windows"})
      if (l.find(w) != std::string::npos) clash = true;
    if (!clash) os = detail;
  }
  return "Brek runtime;Brek forms (Qt);Linux;Linux(" + os + ")";
}

std::string platform_lower() { return NATIVE_String_functions::lower_case(platform_description()); }

std::string program_directory() {
  std::string exe = exe_path();
  if (exe.empty()) exe = param_unquoted(0);
  return File_path::directory_of(exe);
}

std::string program_path() {
  std::string exe = exe_path();
  if (exe.empty()) exe = param_unquoted(0);
  return File_path::name_of(exe);
}

std::string home_directory() {
  std::string home = NATIVE_process::environment_variable("HOME");
  if (home.empty() || home[0] != '/') {
    struct passwd pw;
    struct passwd* found = nullptr;
    std::vector<char> buf(16384);
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
      home = found->pw_dir;
  }
  return File_path::without_trailing_separator(home);
}

std::string user_data_directory() {
  std::string base = NATIVE_process::environment_variable("XDG_DATA_HOME");
  // Relative values are to be ignored by the base-directory rules.
  if (base.empty() || base[0] != '/') base = home_directory() + "/.local/share";
  return NATIVE_String_functions::with_trailing_separator(NATIVE_String_functions::with_trailing_separator(base) + program_path());
}

std::string temp_directory() {
  std::string t = NATIVE_process::environment_variable("TMPDIR");
  if (t.empty() || t[0] != '/') t = "/tmp";
  return NATIVE_String_functions::with_trailing_separator(t);
}

void set_byte_length(DynAByte& bytes, int64_t n) { bytes.set_length(std::max<int64_t>(n, 0)); }

// ---- command-line store ----------------------------------------------------

void capture_platform_arguments(int argc, const char* const* argv) {
  std::vector<std::string> args;
  for (int i = 0; i < argc && argv && argv[i]; ++i) args.emplace_back(argv[i]);
  capture_platform_arguments(args);
}

void capture_platform_arguments(const std::vector<std::string>& args) {
  std::lock_guard<std::mutex> lock(g_params_mutex);
  g_platform_args = args;
  g_captured = true;
}

void set_parameters(const std::vector<std::string>& list) {
  std::lock_guard<std::mutex> lock(g_params_mutex);
  g_fake_params = list;
}

void set_parameters(const DynAStr& list) { set_parameters(list.to_vector()); }

int64_t param_count() { return NATIVE_process::param_count(); }

std::string param_str(int64_t i) {
  if (i < INT32_MIN || i > INT32_MAX) return {};
  return NATIVE_process::param_str(static_cast<int32_t>(i));
}

std::string param_raw(int64_t i) {
  return NATIVE_process::param_str(static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(i))));
}

std::string param_unquoted(int64_t i) {
  std::string s = param_raw(i);
  if (static_cast<uint32_t>(static_cast<uint64_t>(i)) == 0 && s.size() >= 2 && s.front() == '"' &&
      s.back() == '"')
    return s.substr(1, s.size() - 2);
  return s;
}

// ---- programs and processes ------------------------------------------------

std::string find_program(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return is_executable_file(name) ? name : std::string();
  const char* env = std::getenv("PATH");
  std::string path = env ? env : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    // Empty and relative entries would make the answer depend on the
    // working directory.
    if (!dir.empty() && dir[0] == '/') {
      std::string candidate = NATIVE_String_functions::with_trailing_separator(dir) + name;
      if (is_executable_file(candidate)) return candidate;
    }
    start = end + 1;
  }
  return {};
}

bool program_exists(const std::string& name) { return !find_program(name).empty(); }

int64_t start_program(const std::string& program, const std::vector<std::string>& arguments) {
  return NATIVE_process::shell_start(program, arguments);
}

std::string run_process(const std::string& program, const std::vector<std::string>& arguments,
                        int capture, int* exit_code) {
  return NATIVE_process::run_command(program, arguments, capture, exit_code);
}

}  // namespace System_functions

}  // namespace brek
