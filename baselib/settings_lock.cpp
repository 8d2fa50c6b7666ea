#include "baselib/settings_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "baselib/file_path.h"
#include "baselib/system_functions.h"

namespace brek::Settings_lock {

namespace {

// What a lock of ours holds while no write goes on. An empty lock is an
// earlier version's.
const std::string IDLE = "-\n";

// The folder of the locks in the runtime folder, "" when there is none;
// made when `make` is set.
std::string lock_folder(bool make) {
  const std::string runtime = NATIVE_process::environment_variable("XDG_RUNTIME_DIR");
  if (runtime.empty() || runtime[0] != '/') return {};
  const std::string dir = File_path::without_trailing_separator(runtime) + "/settings-locks";
  if (make) ::mkdir(dir.c_str(), 0700);
  struct stat st;
  if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return {};
  return dir;
}

std::string beside(const std::string& store) { return store + ".lock"; }

// The lock of a store: in the runtime folder, named by a hash of the
// store's path with its folder resolved, as another process may spell it
// otherwise (two stores sharing a lock only wait for each other); beside
// the store otherwise.
std::string lock_path(const std::string& store, bool make_folder) {
  const std::string dir = lock_folder(make_folder);
  if (dir.empty()) return beside(store);
  std::string resolved = store;
  if (char* real = ::realpath(File_path::directory_of(store).c_str(), nullptr)) {
    resolved = std::string(real) + "/" + File_path::name_of(store);
    std::free(real);
  }
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (unsigned char c : resolved) h = (h ^ c) * 1099511628211ull;
  char name[32];
  std::snprintf(name, sizeof name, "%016llx.lock", static_cast<unsigned long long>(h));
  return dir + "/" + name;
}

// Opens the lock file, made when `create` is set; one made beside the
// store gets its text at once (`mark`), so it is never taken for an
// earlier version's.
int open_lock(const std::string& path, bool create, bool mark) {
  for (int tries = 0; tries < 1000; ++tries) {
    if (create && mark) {
      const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd >= 0) {
        (void)!::write(fd, IDLE.data(), IDLE.size());
        return fd;
      }
      if (errno != EEXIST) return -1;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | (create && !mark ? O_CREAT : 0), 0600);
    if (fd >= 0 || errno != ENOENT || !(create && mark)) return fd;
  }
  errno = EAGAIN;
  return -1;
}

// Takes the lock file, waiting unless told not to; -1 with errno when it
// cannot be had. A holder may remove the file before letting go: a file
// taken that is no longer at the path is let go, and the one there now
// taken.
int take(const std::string& path, bool create, bool mark, bool wait) {
  for (int tries = 0; tries < 1000; ++tries) {
    const int fd = open_lock(path, create, mark);
    if (fd < 0) return -1;
    int r;
    while ((r = ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB))) != 0 && errno == EINTR) {
    }
    struct stat held, there;
    if (r == 0 && ::fstat(fd, &held) == 0 && ::stat(path.c_str(), &there) == 0 && held.st_dev == there.st_dev &&
        held.st_ino == there.st_ino)
      return fd;
    const int e = errno;
    ::close(fd);
    errno = e;
    if (r != 0) return -1;
  }
  errno = EAGAIN;
  return -1;
}

std::string contents(int fd) {
  char buf[8192];
  const ssize_t n = ::pread(fd, buf, sizeof buf, 0);
  return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

void set_contents(int fd, const std::string& text) {
  if (::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, text.data(), text.size(), 0);
}

// When a process began (clock ticks after boot), 0 when there is none.
unsigned long long start_time(long pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  // The state is field 3; the start time field 22.
  for (int i = 3; i <= 22 && fields >> field; ++i)
    if (i == 22) return std::strtoull(field.c_str(), nullptr, 10);
  return 0;
}

// A temporary a writer recorded in the lock, when that writer is gone and
// the file is still a temporary of ours: removed.
void remove_orphan(int fd) {
  const std::string text = contents(fd);
  if (text.empty() || text == IDLE || text.back() != '\n') return;
  long pid = 0;
  unsigned long long started = 0;
  int used = 0;
  if (std::sscanf(text.c_str(), "%ld %llu %n", &pid, &started, &used) != 2 || used <= 0) return;
  const std::string temporary = text.substr(size_t(used), text.size() - size_t(used) - 1);
  if (pid > 0 && started != 0 && start_time(pid) == started) return;  // still running
  const std::string name = File_path::name_of(temporary);
  const size_t dot = name.rfind('.');
  struct stat st;
  if (dot != std::string::npos && dot > 0 && is_temporary_of(name, name.substr(1, dot - 1)) &&
      ::lstat(temporary.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
    ::unlink(temporary.c_str());
  set_contents(fd, IDLE);
}

// Lets a lock beside the store go; one of ours goes with it while nobody
// else has it open (a lease is granted only then), so no one waiting for
// it is left holding a file that is gone.
void let_go_beside(int fd, const std::string& path) {
  if (!contents(fd).empty() && ::fcntl(fd, F_SETLEASE, F_WRLCK) == 0) {
    ::unlink(path.c_str());
    ::fcntl(fd, F_SETLEASE, F_UNLCK);
  }
  ::close(fd);
}

}  // namespace

bool is_temporary_of(const std::string& name, const std::string& store_name) {
  const std::string prefix = "." + store_name + ".";
  if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) return false;
  for (size_t i = prefix.size(); i < name.size(); ++i) {
    const char c = name[i];
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

Held::Held(const std::string& store) : path_(lock_path(store, true)) {
  const bool in_runtime_folder = path_ != beside(store);
  fd_ = take(path_, true, !in_runtime_folder, true);
  if (fd_ < 0) {
    error_ = errno;
    return;
  }
  // Earlier versions lock beside the store, and one may still be running:
  // where that lock exists it is taken too (after ours, as they take only
  // that one).
  if (in_runtime_folder) {
    old_path_ = beside(store);
    old_fd_ = take(old_path_, false, false, true);
  }
  // An earlier version's lock stays empty.
  records_ = in_runtime_folder || !contents(fd_).empty();
  remove_orphan(fd_);
  if (old_fd_ >= 0) remove_orphan(old_fd_);
}

Held::~Held() {
  if (old_fd_ >= 0) let_go_beside(old_fd_, old_path_);
  if (fd_ < 0) return;
  if (old_path_.empty())
    let_go_beside(fd_, path_);
  else
    ::close(fd_);  // the runtime folder keeps its locks
}

void Held::record(const std::string& temporary) {
  if (!records_) return;
  const long pid = ::getpid();
  set_contents(fd_, std::to_string(pid) + " " + std::to_string(start_time(pid)) + " " + temporary + "\n");
}

void Held::clear_record() {
  if (records_) set_contents(fd_, IDLE);
}

void clean_after_killed_writer(const std::string& store) {
  std::vector<std::string> locks{lock_path(store, false)};
  if (locks[0] != beside(store)) locks.push_back(beside(store));
  for (const std::string& path : locks) {
    const int fd = take(path, false, false, false);
    if (fd < 0) continue;
    remove_orphan(fd);
    if (path == beside(store))
      let_go_beside(fd, path);
    else
      ::close(fd);
  }
}

}  // namespace brek::Settings_lock
