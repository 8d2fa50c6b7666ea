#include "baselib/file_path.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "baselib/date_time.h"
#include "baselib/string_functions.h"
#include "runtime/strings.h"
#include "platform/rename_noreplace.h"
#include "platform/trash.h"

namespace brek::File_path {

namespace {

thread_local int t_error = 0;

bool fail(int err) {
  t_error = err;
  return false;
}
bool fail_errno() { return fail(errno); }
bool succeed() {
  t_error = 0;
  return true;
}

size_t last_separator(const std::string& path) { return path.find_last_of(SEPARATOR); }

// Seconds and nanoseconds since the epoch as local-time milliseconds on the
// day scale (whole milliseconds, as the platform's file times give them).
double local_day_ms(int64_t sec, uint32_t nsec) {
  // Some file systems keep times far beyond any calendar: cut them where
  // the milliseconds still fit.
  constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / 1000 - 1;
  sec = std::clamp(sec, -kLimit, kLimit);
  return Date_time::local_ms_from_unix(sec * 1000 + static_cast<int64_t>(nsec / 1000000));
}

using brek_platform::remove_if_same;
using brek_platform::rename_noreplace;

// A name in dir that does not exist yet, for a moment's use.
std::string scratch_name(const std::string& dir) {
  static thread_local std::mt19937_64 gen{std::random_device{}() ^
                                          static_cast<uint64_t>(::getpid()) << 20};
  char buf[32];
  std::snprintf(buf, sizeof buf, ".~move-%012llx", static_cast<unsigned long long>(gen() & 0xFFFFFFFFFFFFULL));
  return dir + buf;
}

std::string dir_for_scratch(const std::string& path) {
  std::string d = directory_of(path);
  return d.empty() ? std::string("./") : d;
}

// Copies to the end of the input (also when it grew meanwhile).
bool copy_contents(int in, int out) {
  for (;;) {
    ssize_t n = ::sendfile(out, in, nullptr, 1 << 30);
    if (n > 0) continue;
    if (n == 0) return true;
    if (errno == EINTR) continue;
    if (errno == EINVAL || errno == ENOSYS) break;  // the slow way below
    return false;
  }
  std::vector<char> buf(1 << 20);
  for (;;) {
    ssize_t n = ::read(in, buf.data(), buf.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return true;
    if (!write_all(out, buf.data(), static_cast<size_t>(n))) return false;
  }
}

// Removes what a failed cross-device move left behind, keeping errno.
void discard(const std::string& path) {
  int e = errno;
  ::unlink(path.c_str());
  errno = e;
}

// A file across file systems: copy beside the target, flush, rename without
// replacing, and only then remove the source, while it is the file copied.
bool move_file_across(const std::string& source, const std::string& target) {
  int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (in < 0) return false;
  struct stat st;
  if (::fstat(in, &st) != 0) {
    int e = errno;
    ::close(in);
    errno = e;
    return false;
  }
  std::string tmp = scratch_name(dir_for_scratch(target)) + "XXXXXX";
  int out = ::mkostemp(tmp.data(), O_CLOEXEC);
  if (out < 0) {
    int e = errno;
    ::close(in);
    errno = e;
    return false;
  }
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  bool ok = copy_contents(in, out) && ::fchmod(out, st.st_mode & 07777) == 0 &&
            ::futimens(out, times) == 0 && ::fsync(out) == 0;
  int e = errno;
  ::close(in);
  if (::close(out) != 0 && ok) {
    ok = false;
    e = errno;
  }
  errno = e;
  if (!ok) {
    discard(tmp);
    return false;
  }
  if (!rename_noreplace(tmp, target)) {
    discard(tmp);
    return false;
  }
  sync_directory(dir_for_scratch(target));
  if (!remove_if_same(source, st)) {
    // Both copies would remain: undo ours so the move fails as a whole.
    discard(target);
    return false;
  }
  return true;
}

bool move_link_across(const std::string& source, const std::string& target, const struct stat& st) {
  std::string dest(4096, '\0');
  ssize_t n = ::readlink(source.c_str(), dest.data(), dest.size());
  if (n < 0) return false;
  if (static_cast<size_t>(n) >= dest.size()) {
    errno = ENAMETOOLONG;
    return false;
  }
  dest.resize(static_cast<size_t>(n));
  std::string dir = dir_for_scratch(target);
  std::string tmp;
  for (int tries = 0;; ++tries) {
    tmp = scratch_name(dir);
    if (::symlink(dest.c_str(), tmp.c_str()) == 0) break;
    if (errno != EEXIST || tries > 100) return false;
  }
  if (!rename_noreplace(tmp, target)) {
    discard(tmp);
    return false;
  }
  if (!remove_if_same(source, st)) {
    discard(target);
    return false;
  }
  return true;
}

// The same entry under another spelling: rename through a scratch name, so
// a case-only rename works where the file system ignores case. When the
// target still exists after the first step (another hard link), the source
// goes back to its name.
bool rename_via_scratch(const std::string& source, const std::string& target) {
  std::string dir = dir_for_scratch(target);
  std::string tmp;
  for (int tries = 0;; ++tries) {
    tmp = scratch_name(dir);
    if (rename_noreplace(source, tmp)) break;
    if (errno != EEXIST || tries > 100) return false;
  }
  if (rename_noreplace(tmp, target)) return true;
  int e = errno;
  // Back without replacing a new version saved onto the name meanwhile;
  // the scratch name then goes only where another name keeps the file.
  struct stat st;
  if (!rename_noreplace(tmp, source) && ::lstat(tmp.c_str(), &st) == 0 && st.st_nlink > 1) ::unlink(tmp.c_str());
  errno = e;
  return false;
}

}  // namespace

// ---- names -----------------------------------------------------------------

std::string directory_of(const std::string& path) {
  size_t k = last_separator(path);
  return k == std::string::npos ? std::string() : path.substr(0, k + 1);
}

std::string name_of(const std::string& path) {
  size_t k = last_separator(path);
  return k == std::string::npos ? path : path.substr(k + 1);
}

namespace {
// Position of the extension's "." inside the name part, or npos.
size_t extension_dot(const std::string& path) {
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos) return dot;
  size_t sep = last_separator(path);
  if (sep != std::string::npos && dot < sep) return std::string::npos;
  return dot;
}
}  // namespace

std::string extension_of(const std::string& path) {
  size_t dot = extension_dot(path);
  return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string change_extension(const std::string& path, const std::string& ext) {
  size_t dot = extension_dot(path);
  return (dot == std::string::npos ? path : path.substr(0, dot)) + ext;
}

std::string without_trailing_separator(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == SEPARATOR) p.pop_back();
  return p;
}

// ---- existence -------------------------------------------------------------

bool file_exists(const std::string& path) {
  struct stat st;
  if (path.empty()) return fail(ENOENT);
  if (::stat(path.c_str(), &st) != 0) return fail_errno();
  if (S_ISDIR(st.st_mode)) return fail(EISDIR);
  return succeed();
}

bool directory_exists(const std::string& path) {
  struct stat st;
  if (path.empty()) return fail(ENOENT);
  if (::stat(NATIVE_String_functions::with_trailing_separator(path).c_str(), &st) != 0) return fail_errno();
  if (!S_ISDIR(st.st_mode)) return fail(ENOTDIR);
  return succeed();
}

bool same_entry(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (a.empty() || b.empty()) return false;
  if (::lstat(without_trailing_separator(a).c_str(), &sa) != 0) return false;
  if (::lstat(without_trailing_separator(b).c_str(), &sb) != 0) return false;
  return brek_platform::same_file(sa, sb);
}

// ---- listing and information -------------------------------------------

void list_directory(const std::string& dir, DynAStr& list) { list_directory(dir, list, nullptr); }

void list_directory(const std::string& dir, DynAStr& list, std::atomic<int64_t>* entries_read) {
  list.clear();
  if (dir.empty()) {
    fail(ENOENT);
    return;
  }
  DIR* d = ::opendir(dir.c_str());
  if (!d) {
    fail_errno();
    return;
  }
  int fd = ::dirfd(d);
  errno = 0;
  while (struct dirent* e = ::readdir(d)) {
    if (entries_read) entries_read->fetch_add(1, std::memory_order_relaxed);
    const char* n = e->d_name;
    if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
    bool is_dir = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN) {
      struct stat st;
      is_dir = ::fstatat(fd, n, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
    }
    list.append(is_dir ? std::string(n) + SEPARATOR : std::string(n));
    errno = 0;
  }
  int e = errno;
  ::closedir(d);
  if (e) fail(e);
  else succeed();
}

void list_directory_2(DynAStr& list, const std::string& dir) { list_directory(dir, list); }

bool file_info(const std::string& path, File_info& info) {
  info = File_info();
  std::string p = without_trailing_separator(path);
  if (p.empty()) return fail(ENOENT);
  struct statx sx;
  int64_t btime_sec = 0;
  uint32_t btime_nsec = 0;
  bool has_btime = false;
  mode_t mode;
  if (::statx(AT_FDCWD, p.c_str(), AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME, &sx) == 0) {
    mode = sx.stx_mode;
    info.size = static_cast<double>(sx.stx_size);
    info.modified = local_day_ms(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    info.accessed = local_day_ms(sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec);
    if (sx.stx_mask & STATX_BTIME) {
      has_btime = true;
      btime_sec = sx.stx_btime.tv_sec;
      btime_nsec = sx.stx_btime.tv_nsec;
    }
  } else {
    if (errno != ENOSYS) return fail_errno();
    struct stat st;
    if (::stat(p.c_str(), &st) != 0) return fail_errno();
    mode = st.st_mode;
    info.size = static_cast<double>(st.st_size);
    info.modified = local_day_ms(st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec));
    info.accessed = local_day_ms(st.st_atim.tv_sec, static_cast<uint32_t>(st.st_atim.tv_nsec));
  }
  info.created = has_btime ? local_day_ms(btime_sec, btime_nsec) : info.modified;

  int64_t attr = 0;
  if ((mode & 0222) == 0) attr |= ATTR_READONLY;
  if (name_of(p).starts_with('.')) attr |= ATTR_HIDDEN;
  if (S_ISDIR(mode)) attr |= ATTR_DIRECTORY;
  struct stat lst;
  if (::lstat(p.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) attr |= ATTR_SYMLINK;
  info.attributes = attr ? attr : ATTR_NORMAL;
  return succeed();
}

File_info file_info(const std::string& path) {
  File_info info;
  file_info(path, info);
  return info;
}

// ---- changes ---------------------------------------------------------------

bool delete_files(const std::vector<std::string>& paths) {
  bool all = true;
  int first_error = 0;
  std::string cwd;
  for (const std::string& given : paths) {
    std::string p = without_trailing_separator(given);
    if (p.empty()) {
      all = false;
      if (!first_error) first_error = ENOENT;
      continue;
    }
    if (p[0] != SEPARATOR) {
      if (cwd.empty()) {
        char* c = ::getcwd(nullptr, 0);
        if (c) {
          cwd = c;
          std::free(c);
        }
      }
      if (cwd.empty()) {
        all = false;
        if (!first_error) first_error = errno ? errno : ENOENT;
        continue;
      }
      p = NATIVE_String_functions::with_trailing_separator(cwd) + p;
    }
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0) {
      all = false;
      if (!first_error) first_error = errno;
      continue;
    }
    if (!brek_platform::move_to_trash(p)) {
      all = false;
      if (!first_error) first_error = errno ? errno : EIO;
    }
  }
  return all ? succeed() : fail(first_error ? first_error : EIO);
}

bool delete_files(const DynAStr& paths) { return delete_files(paths.to_vector()); }

bool transfer_file(const std::string& source, const std::string& target) {
  std::string src = without_trailing_separator(source);
  std::string tgt = without_trailing_separator(target);
  if (src.empty() || tgt.empty()) return fail(ENOENT);
  struct stat ss;
  if (::lstat(src.c_str(), &ss) != 0) return fail_errno();
  if (src == tgt) return succeed();

  struct stat ts;
  if (::lstat(tgt.c_str(), &ts) == 0) {
    if (!brek_platform::same_file(ts, ss)) return fail(EEXIST);
    return rename_via_scratch(src, tgt) ? succeed() : fail_errno();
  }
  if (errno != ENOENT) return fail_errno();

  if (rename_noreplace(src, tgt)) return succeed();
  if (errno != EXDEV) return fail_errno();
  if (S_ISREG(ss.st_mode)) return move_file_across(src, tgt) ? succeed() : fail_errno();
  if (S_ISLNK(ss.st_mode)) return move_link_across(src, tgt, ss) ? succeed() : fail_errno();
  return fail(EXDEV);
}

bool delete_path(const std::string& path) {
  std::string p = without_trailing_separator(path);
  struct stat st;
  if (p.empty()) return fail(ENOENT);
  if (::lstat(p.c_str(), &st) != 0) return fail_errno();
  int rc = S_ISDIR(st.st_mode) ? ::rmdir(p.c_str()) : ::unlink(p.c_str());
  return rc == 0 ? succeed() : fail_errno();
}

bool set_attributes(const std::string& path, const std::string& letters) {
  if (path.empty()) return fail(ENOENT);
  bool want_dir = path.back() == SEPARATOR;
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return fail_errno();
  if (want_dir != S_ISDIR(st.st_mode)) return fail(want_dir ? ENOTDIR : EISDIR);
  mode_t mode = st.st_mode & 07777;
  if (letters.find('R') != std::string::npos) mode &= ~static_cast<mode_t>(0222);
  else mode |= S_IWUSR;
  if (::chmod(path.c_str(), mode) != 0) return fail_errno();
  return succeed();
}

// ---- writing safely ------------------------------------------------------

bool write_all(int fd, const void* data, size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

void sync_directory(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// ---- texts -----------------------------------------------------------------

std::string size_text(double bytes) {
  if (!std::isfinite(bytes)) bytes = 0;
  struct Step {
    double below;
    double divisor;
    const char* unit;
    int decimals;
  };
  static const double k = 1024.0;
  static const Step steps[] = {
      {k, 1, " Bytes", 0},
      {0.9 * k * k, k, " KBytes", 1},
      {0.9 * k * k * k, k * k, " MBytes", 2},
      {0.75 * k * k * k * k, k * k * k, " GBytes", 2},
      {0.75 * k * k * k * k * k, k * k * k * k, " TBytes", 2},
      {0.75 * k * k * k * k * k * k, k * k * k * k * k, " PBytes", 2},
      {HUGE_VAL, k * k * k * k * k * k, " HBytes", 2},
  };
  const Step* s = steps;
  while (!(bytes < s->below) && s->below != HUGE_VAL) ++s;
  double value = bytes / s->divisor;
  std::string number = Brek_runtime::real_to_str(value);
  if (number.find_first_of("eE") != std::string::npos) {
    // Cutting decimals off an exponent form would change the magnitude.
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    number.assign(buf, res.ptr);
  }
  size_t dot = number.find('.');
  if (dot != std::string::npos) {
    size_t keep = s->decimals ? dot + 1 + static_cast<size_t>(s->decimals) : dot;
    if (number.size() > keep) number.resize(keep);
  }
  if (number == "-0") number = "0";
  return number + s->unit;
}

int last_error() { return t_error; }

std::string last_error_text() { return t_error ? std::string(std::strerror(t_error)) : std::string(); }

std::string with_reason(const std::string& text, int err) {
  return err ? text + ": " + std::strerror(err) : text;
}

}  // namespace brek::File_path
