#include "tests/support/tmpfs_mount.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "tests/support/wait_until.h"
#include "tests/support/watchdog.h"

extern char** environ;

namespace brek_test {

Test_mount::~Test_mount() {
  // Detached even while something still holds a file open there; a bindfs
  // process ends by itself once its mount is gone.
  if (mounted_) ::umount2(at_.path().c_str(), MNT_DETACH);
}

std::vector<std::string> Test_mount::entries() const { return entries_of(at_.path()); }

Tmpfs_mount::Tmpfs_mount(const std::string& size, const std::string& mode) {
  if (::geteuid() != 0) {
    failure_ = "a file system of the test's own needs root (mount)";
    return;
  }
  const std::string options = "size=" + size + ",mode=" + mode;
  mounted_ = ::mount("tmpfs", at_.path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
  if (!mounted_) failure_ = std::string("a tmpfs cannot be mounted here: ") + std::strerror(errno);
}

bool Tmpfs_mount::make_read_only() {
  return mounted_ && ::mount(nullptr, at_.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

Bind_mount::Bind_mount(bool read_only) {
  if (::geteuid() != 0) {
    failure_ = "a bind mount of the test's own needs root (mount)";
    return;
  }
  const char* at = at_.path().c_str();
  mounted_ = ::mount(source_.path().c_str(), at, nullptr, MS_BIND, nullptr) == 0;
  if (!mounted_) failure_ = std::string("a folder cannot be bound here: ") + std::strerror(errno);
  // MS_BIND with the remount makes this mount read-only, not the file
  // system under it.
  if (mounted_ && read_only && ::mount(nullptr, at, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
    failure_ = std::string("a bind mount cannot be made read-only here: ") + std::strerror(errno);
    ::umount2(at, MNT_DETACH);
    mounted_ = false;
  }
}

Overlay_mount::Overlay_mount(const std::function<void(const std::string& lower)>& fill) {
  if (::geteuid() != 0) {
    failure_ = "an overlay of the test's own needs root (mount)";
    return;
  }
  fill(lower_.path());
  const std::string upper = upper_.file("upper"), work = upper_.file("work");
  ::mkdir(upper.c_str(), 0755);
  ::mkdir(work.c_str(), 0755);
  const std::string options = "lowerdir=" + lower_.path() + ",upperdir=" + upper + ",workdir=" + work;
  mounted_ = ::mount("overlay", at_.path().c_str(), "overlay", 0, options.c_str()) == 0;
  if (!mounted_) failure_ = std::string("an overlay cannot be mounted here: ") + std::strerror(errno);
}

Overlay_mount::~Overlay_mount() {
  if (mounted_) ::umount2(at_.path().c_str(), MNT_DETACH);
  mounted_ = false;
}

namespace {

constexpr long FUSE_MAGIC = 0x65735546;

bool fuse_mounted_at(const std::string& at) {
  struct statfs fs {};
  return ::statfs(at.c_str(), &fs) == 0 && fs.f_type == FUSE_MAGIC;
}

}  // namespace

Bindfs_mount::Bindfs_mount() {
  if (::geteuid() != 0) {
    failure_ = "a FUSE mount of the test's own needs root";
    return;
  }
  const std::string source = source_.path(), at = at_.path();
  std::vector<char*> argv = {const_cast<char*>("bindfs"), const_cast<char*>(source.c_str()),
                             const_cast<char*>(at.c_str()), nullptr};
  pid_t pid = 0;
  if (int e = ::posix_spawnp(&pid, "bindfs", nullptr, nullptr, argv.data(), environ); e != 0) {
    failure_ = std::string("bindfs cannot be started (scripts/install-deps.sh installs it): ") + std::strerror(e);
    return;
  }
  // bindfs goes to the background once its mount is in place.
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  mounted_ = WIFEXITED(status) && WEXITSTATUS(status) == 0 && fuse_mounted_at(at);
  if (!mounted_) failure_ = "bindfs could not mount a folder here (is /dev/fuse there?)";
}

Stalled_mount::Stalled_mount() {
  if (::geteuid() != 0) {
    failure_ = "a FUSE mount of the test's own needs root";
    return;
  }
  const std::string source = source_.path(), at = at_.path(), log = log_dir_.file("requests");
  // In the foreground, so that the process started is the daemon, one
  // request at a time, each written to the log as it comes; in a process
  // group of its own, which the kernel wakes and ends should this process
  // die while the daemon is stopped.
  std::vector<char*> argv = {const_cast<char*>("bindfs"), const_cast<char*>("-f"),        const_cast<char*>("-s"),
                             const_cast<char*>("-d"),     const_cast<char*>(source.c_str()), const_cast<char*>(at.c_str()),
                             nullptr};
  // It holds none of this process's descriptors: a pipe a test's parent
  // reads to its end (a death test's, CTest's output) would wait for it.
  posix_spawn_file_actions_t files;
  ::posix_spawn_file_actions_init(&files);
  ::posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  ::posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
  ::posix_spawn_file_actions_addopen(&files, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::posix_spawn_file_actions_addclosefrom_np(&files, 3);
  posix_spawnattr_t attributes;
  ::posix_spawnattr_init(&attributes);
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  ::posix_spawnattr_setpgroup(&attributes, 0);
  const int e = ::posix_spawnp(&daemon_, "bindfs", &files, &attributes, argv.data(), environ);
  ::posix_spawnattr_destroy(&attributes);
  ::posix_spawn_file_actions_destroy(&files);
  if (e != 0) {
    daemon_ = 0;
    failure_ = std::string("bindfs cannot be started (scripts/install-deps.sh installs it): ") + std::strerror(e);
    return;
  }
  int status = 0;
  bool ended = false;
  mounted_ = wait_until([&] {
               ended = ended || ::waitpid(daemon_, &status, WNOHANG) == daemon_;
               return fuse_mounted_at(at) || ended;
             }) &&
             !ended && fuse_mounted_at(at);
  // A daemon reaped here is signalled no more: its number may be another's.
  if (ended) daemon_ = 0;
  if (!mounted_) {
    // Nothing outlives the failure: neither the daemon nor a mount it made
    // too late or left as it died.
    if (daemon_ > 0) {
      ::kill(daemon_, SIGKILL);
      ::waitpid(daemon_, &status, 0);
      daemon_ = 0;
    }
    ::umount2(at.c_str(), MNT_DETACH);
    failure_ = "bindfs could not mount a folder here (is /dev/fuse there?)";
    return;
  }
  watch();
  // The daemon writes each request before it answers it.
  stalled_at_ = read_file(log).size();
  ::kill(daemon_, SIGSTOP);
}

void Stalled_mount::watch() {
  // The watchdog ends without a word when this process says it is done;
  // should it end first, the watchdog lets the daemon go on, unmounts and
  // ends it. The daemon, reaped by then, is told by its command line, so
  // another process of its number is left alone.
  watchdog_ = start_watchdog(
      "read -r done <&3 && [ \"$done\" = done ] && exit 0\n"
      "ours() { tr '\\0' ' ' <\"/proc/$1/cmdline\" 2>/dev/null | grep -qF -- \" $2\"; }\n"
      "ours \"$1\" \"$2\" && kill -CONT \"$1\"\n"
      "umount -- \"$2\" || umount -l -- \"$2\"\n"
      "ours \"$1\" \"$2\" && kill \"$1\"",
      {std::to_string(daemon_), at_.path()});
}

Stalled_mount::~Stalled_mount() {
  resume();
  if (mounted_ && ::umount2(at_.path().c_str(), 0) != 0) ::umount2(at_.path().c_str(), MNT_DETACH);
  mounted_ = false;
  // Its mount gone, the daemon ends by itself; one that does not is ended.
  int status = 0;
  if (daemon_ > 0 && !wait_until([&] { return ::waitpid(daemon_, &status, WNOHANG) != 0; })) {
    ::kill(daemon_, SIGKILL);
    ::waitpid(daemon_, &status, 0);
  }
  // All done here: the watchdog ends without a word.
  if (watchdog_ >= 0) {
    (void)!::write(watchdog_, "done\n", 5);
    ::close(watchdog_);
  }
}

bool Stalled_mount::asked_by_this_process() {
  if (!mounted_) return false;
  resume();
  // A request of this thread's own, answered after every one that came
  // before it (one at a time, in order).
  struct statfs fs {};
  ::statfs(at_.path().c_str(), &fs);
  const long self = ::gettid();
  const std::string log = read_file(log_dir_.file("requests"));
  // "unique: 7, opcode: GETATTR (3), nodeid: 1, insize: 56, pid: 4711"
  for (size_t at = log.find("unique: ", stalled_at_); at != std::string::npos; at = log.find("unique: ", at + 1)) {
    const size_t end = log.find('\n', at);
    const std::string line = log.substr(at, end == std::string::npos ? std::string::npos : end - at);
    const size_t pid_at = line.find("pid: ");
    if (line.find("opcode: ") == std::string::npos || pid_at == std::string::npos) continue;
    const long pid = std::atol(line.c_str() + pid_at + 5);
    if (pid == self && line.find("opcode: STATFS") != std::string::npos) return false;
    if (pid > 0 && ::access(("/proc/self/task/" + std::to_string(pid)).c_str(), F_OK) == 0) return true;
  }
  return false;
}

void Stalled_mount::resume() {
  if (daemon_ > 0) ::kill(daemon_, SIGCONT);
}

void Stalled_mount::stall() {
  if (daemon_ <= 0) return;
  stalled_at_ = read_file(log_dir_.file("requests")).size();
  ::kill(daemon_, SIGSTOP);
}

bool Stalled_mount::ends_while_stalled(const std::function<void()>& work) {
  std::atomic<bool> ended{false}, resumed{false};
  std::thread watch([&] {
    if (wait_until([&] { return ended.load(); })) return;
    resumed = true;
    resume();
  });
  work();
  ended = true;
  watch.join();
  return !resumed;
}

}  // namespace brek_test
