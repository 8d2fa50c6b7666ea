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
#include <mutex>
#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

#include "baselib/file_path.h"
#include "baselib/system_functions.h"

namespace brek::Settings_lock {

namespace {

// What a record holds while no write goes on.
const std::string IDLE = "-\n";

// A folder of records when it is one of the user's own that no one else
// can write to, made first when `make` is set; "" otherwise.
std::string own_folder(const std::string& dir, bool make) {
  if (make) ::mkdir(dir.c_str(), 0700);
  struct stat st;
  if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0)
    return {};
  return dir;
}

// The folders of the records, in the order they are locked: the runtime
// folder's (where earlier versions lock), when there is one, then one of
// the user's own in the temporary folder, where others could have made it
// first. The second is there whatever the environment, so a start without
// a runtime folder finds the record of a writer that had one, and the
// other way round.
std::vector<std::string> record_folders(bool make) {
  std::vector<std::string> dirs;
  const std::string runtime = NATIVE_process::environment_variable("XDG_RUNTIME_DIR");
  if (!runtime.empty() && runtime[0] == '/') {
    const std::string dir = own_folder(File_path::without_trailing_separator(runtime) + "/settings-locks", make);
    if (!dir.empty()) dirs.push_back(dir);
  }
  const std::string tmp =
      own_folder(System_functions::temp_directory() + "collage-settings-locks-" + std::to_string(::geteuid()), make);
  if (!tmp.empty()) dirs.push_back(tmp);
  return dirs;
}

std::string beside(const std::string& store) { return store + ".lock"; }

// The records of a store, one in each folder of records: named by a hash
// of the store's path with its folder resolved, as another process may
// spell it otherwise (two stores sharing one only wait for each other).
std::vector<std::string> record_paths(const std::string& store, bool make_folders) {
  std::string resolved = store;
  if (char* real = ::realpath(File_path::directory_of(store).c_str(), nullptr)) {
    resolved = std::string(real) + "/" + File_path::name_of(store);
    std::free(real);
  }
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (unsigned char c : resolved) h = (h ^ c) * 1099511628211ull;
  char name[32];
  std::snprintf(name, sizeof name, "%016llx.lock", static_cast<unsigned long long>(h));
  std::vector<std::string> paths;
  for (const std::string& dir : record_folders(make_folders)) paths.push_back(dir + "/" + name);
  return paths;
}

// flock, going on after signals; 0, or -1 with errno.
int lock(int fd, bool wait) {
  int r;
  while ((r = ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB))) != 0 && errno == EINTR) {
  }
  return r;
}

// Takes the lock file, made when `create` is set, waiting unless told not
// to; -1 with errno when it cannot be had. An earlier version removed the
// lock it made beside the store when done: a file taken that is no longer
// at the path is let go, and the one there now taken.
int take(const std::string& path, bool create, bool wait) {
  for (int tries = 0; tries < 1000; ++tries) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
    if (fd < 0) return -1;
    const int r = lock(fd, wait);
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

// Locks the store's folder itself: the same for every spelling of its
// path, and no file is made. Some network file systems cannot lock a
// folder; there the lock beside the store stands in, made when `create` is
// set and kept, so nothing races on its removal (`beside_taken` tells).
int take_folder(const std::string& store, bool wait, bool create, bool& beside_taken) {
  beside_taken = false;
  const std::string dir = File_path::directory_of(store);
  const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (lock(fd, wait) == 0) return fd;
  const int e = errno;
  ::close(fd);
  if (e != EBADF && e != ENOLCK && e != EOPNOTSUPP) {
    errno = e;
    return -1;
  }
  beside_taken = true;
  return take(beside(store), create, wait);
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

// This process's start time, read once (a forked child reads its own).
unsigned long long own_start_time(long pid) {
  static std::mutex lock;
  static long known = 0;
  static unsigned long long started = 0;
  std::lock_guard<std::mutex> guard(lock);
  if (known != pid) {
    known = pid;
    started = start_time(pid);
  }
  return started;
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

Held::Held(const std::string& store) {
  // Always in this order, the order of earlier versions too (the records,
  // then the one beside the store), so no one waits in a circle.
  for (const std::string& record : record_paths(store, true)) {
    const int fd = take(record, true, true);
    // The first is the lock earlier versions take; a second that cannot be
    // had (a full temporary folder) only leaves the record out there.
    if (fd < 0 && record_fds_.empty()) {
      error_ = errno;
      release();
      return;
    }
    if (fd >= 0) record_fds_.push_back(fd);
  }
  bool beside_taken = false;
  if ((folder_fd_ = take_folder(store, true, true, beside_taken)) < 0) {
    error_ = errno;
    release();
    return;
  }
  // Earlier versions lock beside the store, and one may still be running:
  // where that lock exists it is taken too, and left.
  if (!beside_taken) old_fd_ = take(beside(store), false, true);
  for (int fd : record_fds_) remove_orphan(fd);
}

Held::~Held() { release(); }

void Held::release() {
  for (int fd : {old_fd_, folder_fd_})
    if (fd >= 0) ::close(fd);
  for (int fd : record_fds_) ::close(fd);
  old_fd_ = folder_fd_ = -1;
  record_fds_.clear();
}

void Held::record(const std::string& temporary) {
  const long pid = ::getpid();
  const std::string text = std::to_string(pid) + " " + std::to_string(own_start_time(pid)) + " " + temporary + "\n";
  for (int fd : record_fds_) set_contents(fd, text);
}

void Held::clear_record() {
  for (int fd : record_fds_) set_contents(fd, IDLE);
}

void clean_after_killed_writer(const std::string& store) {
  static std::mutex lock;
  static std::unordered_set<std::string> cleaned;
  {
    std::lock_guard<std::mutex> guard(lock);
    if (!cleaned.insert(store).second) return;
  }
  const std::vector<std::string> records = record_paths(store, false);
  if (records.empty()) return;
  // While a writer of ours has the folder, it is at work, whatever folder
  // of records it had.
  bool beside_taken = false;
  const int folder = take_folder(store, false, false, beside_taken);
  if (folder < 0) return;
  for (const std::string& record : records) {
    const int fd = take(record, false, false);
    if (fd >= 0) {
      remove_orphan(fd);
      ::close(fd);
    }
  }
  ::close(folder);
}

}  // namespace brek::Settings_lock
