#include "baselib/file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <random>
#include <utility>
#include <vector>

#include "platform/rename_noreplace.h"

namespace brek {

namespace detail {

namespace {

// Bigger than the platform's usual 4 KiB: fewer system calls per byte read.
constexpr size_t FILE_BUFFER = 65536;

// How the program's own open files share: counts per file (device, inode).
struct Share_state {
  int read_access = 0, write_access = 0, deny_read = 0, deny_write = 0;
};

struct Share_registry {
  std::mutex lock;
  std::map<std::pair<dev_t, ino_t>, Share_state> files;
};

Share_registry& shares() {
  static Share_registry* registry = new Share_registry();  // outlives every thread's table
  return *registry;
}

struct Access {
  bool read = true, write = false, deny_read = false, deny_write = false;
};

Access access_of(mode_file_stream mode) {
  Access a;
  switch (mode) {
    case mode_file_stream::READ: a.deny_write = true; break;
    case mode_file_stream::WRITE: a.write = a.deny_read = a.deny_write = true; break;
    case mode_file_stream::READ_WRITE: a.write = a.deny_write = true; break;
    case mode_file_stream::READ_ANYWAY: break;
    case mode_file_stream::READ_WRITE_ANYWAY: a.write = true; break;
  }
  return a;
}

bool share_acquire(dev_t dev, ino_t ino, const Access& a) {
  Share_registry& r = shares();
  std::lock_guard<std::mutex> guard(r.lock);
  Share_state& s = r.files[{dev, ino}];
  bool refused = (a.read && s.deny_read) || (a.write && s.deny_write) || (a.deny_read && s.read_access) ||
                 (a.deny_write && s.write_access);
  if (refused) {
    if (!s.read_access && !s.write_access && !s.deny_read && !s.deny_write) r.files.erase({dev, ino});
    return false;
  }
  s.read_access += a.read;
  s.write_access += a.write;
  s.deny_read += a.deny_read;
  s.deny_write += a.deny_write;
  return true;
}

void share_release(dev_t dev, ino_t ino, const Access& a) {
  Share_registry& r = shares();
  std::lock_guard<std::mutex> guard(r.lock);
  auto it = r.files.find({dev, ino});
  if (it == r.files.end()) return;
  Share_state& s = it->second;
  s.read_access -= a.read;
  s.write_access -= a.write;
  s.deny_read -= a.deny_read;
  s.deny_write -= a.deny_write;
  if (s.read_access <= 0 && s.write_access <= 0 && s.deny_read <= 0 && s.deny_write <= 0) r.files.erase(it);
}

}  // namespace

// One open file with its buffer. The buffer holds either read-ahead
// (buf[rpos..rlen) is the file from base + rpos on) or gathered writes
// (buf[0..wlen) belongs at base), never both.
struct Open_file {
  int fd = -1;
  dev_t dev = 0;
  ino_t ino = 0;
  Access access;
  std::unique_ptr<uint8_t[]> buf{new uint8_t[FILE_BUFFER]};
  int64_t base = 0;
  size_t rpos = 0, rlen = 0, wlen = 0;
  bool failed = false;
  int error = 0;  // the system's reason for the failed write

  ~Open_file() { close_now(); }

  int64_t pos() const { return base + static_cast<int64_t>(wlen ? wlen : rpos); }

  void drop_read_ahead() {
    base += static_cast<int64_t>(rpos);
    rpos = rlen = 0;
  }

  bool flush() {
    if (wlen == 0) return !failed;
    size_t off = 0;
    while (off < wlen) {
      ssize_t r = ::pwrite(fd, buf.get() + off, wlen - off, base + static_cast<int64_t>(off));
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) {
        failed = true;
        error = r < 0 ? errno : ENOSPC;
        break;
      }
      off += static_cast<size_t>(r);
    }
    base += static_cast<int64_t>(off);
    wlen = 0;
    return !failed;
  }

  int64_t file_size() {
    struct stat st;
    int64_t n = ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
    if (wlen) n = std::max(n, base + static_cast<int64_t>(wlen));
    return n;
  }

  // Reads at the position, through the buffer for small requests.
  [[gnu::noinline]] int64_t read(uint8_t* p, int64_t n) {
    if (n <= 0) return 0;
    if (wlen && !flush()) return 0;
    int64_t done = 0;
    while (done < n) {
      size_t avail = rlen - rpos;
      if (avail) {
        size_t k = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(avail), n - done));
        std::memcpy(p + done, buf.get() + rpos, k);
        rpos += k;
        done += static_cast<int64_t>(k);
        continue;
      }
      drop_read_ahead();
      if (n - done >= static_cast<int64_t>(FILE_BUFFER)) {
        // Large requests go straight into the caller's memory.
        ssize_t r = ::pread(fd, p + done, static_cast<size_t>(n - done), base);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        base += r;
        done += r;
        continue;
      }
      ssize_t r = ::pread(fd, buf.get(), FILE_BUFFER, base);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) break;
      rlen = static_cast<size_t>(r);
    }
    return done;
  }

  int64_t write(const uint8_t* p, int64_t n) {
    if (n <= 0 || failed) return 0;
    if (rlen || rpos) drop_read_ahead();
    if (n >= static_cast<int64_t>(FILE_BUFFER)) {
      if (!flush()) return 0;
      int64_t done = 0;
      while (done < n) {
        ssize_t r = ::pwrite(fd, p + done, static_cast<size_t>(n - done), base);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) {
          failed = true;
          error = r < 0 ? errno : ENOSPC;
          break;
        }
        base += r;
        done += r;
      }
      return done;
    }
    if (wlen + static_cast<size_t>(n) > FILE_BUFFER && !flush()) return 0;
    std::memcpy(buf.get() + wlen, p, static_cast<size_t>(n));
    wlen += static_cast<size_t>(n);
    return n;
  }

  void seek(int64_t target) {
    if (target == pos()) return;
    if (wlen) flush();
    if (target >= base && target <= base + static_cast<int64_t>(rlen)) {
      rpos = static_cast<size_t>(target - base);
    } else {
      base = target;
      rpos = rlen = 0;
    }
  }

  // Returns false when gathered bytes could not be written or the close
  // itself failed.
  bool close_now() {
    if (fd < 0) return true;
    bool ok = flush();
    share_release(dev, ino, access);
    if (::close(fd) != 0) ok = false;
    fd = -1;
    return ok;
  }
};

struct File_table {
  std::mutex lock;  // open on the owning thread, close from any thread
  std::vector<std::unique_ptr<Open_file>> entries{1};  // entry 0 is never used
};

namespace {
thread_local std::shared_ptr<File_table> t_table;

std::shared_ptr<File_table>& my_table() {
  if (!t_table) t_table = std::make_shared<File_table>();
  return t_table;
}

// Puts an opened file into this thread's table; its index.
int64_t table_insert(const std::shared_ptr<File_table>& table, std::unique_ptr<Open_file> f) {
  std::lock_guard<std::mutex> guard(table->lock);
  auto& e = table->entries;
  for (size_t i = 1; i < e.size(); ++i) {
    if (!e[i]) {
      e[i] = std::move(f);
      return static_cast<int64_t>(i);
    }
  }
  e.push_back(std::move(f));
  return static_cast<int64_t>(e.size() - 1);
}
}  // namespace

}  // namespace detail

using detail::Open_file;

namespace {

// Opens fd-level: the descriptor of a regular file with the mode's sharing
// granted, or nullptr with the reason in `error`.
std::unique_ptr<Open_file> open_native(const std::string& name, mode_file_stream mode, int& error) {
  detail::Access a = detail::access_of(mode);
  int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (a.write ? O_RDWR | O_CREAT : O_RDONLY);
  int fd = ::open(name.c_str(), flags, 0666);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  struct stat st;
  const bool stated = ::fstat(fd, &st) == 0;
  if (!stated || !S_ISREG(st.st_mode)) {
    // Only regular files open: a directory says so, anything else is no
    // file to read or write.
    error = !stated ? errno : S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    return nullptr;
  }
  if (!detail::share_acquire(st.st_dev, st.st_ino, a)) {
    error = EBUSY;
    ::close(fd);
    return nullptr;
  }
  auto f = std::make_unique<Open_file>();
  f->fd = fd;
  f->dev = st.st_dev;
  f->ino = st.st_ino;
  f->access = a;
  // Emptied only once the sharing rules allowed the open.
  if (mode == mode_file_stream::WRITE && st.st_size > 0 && ::ftruncate(fd, 0) != 0) {
    error = errno;
    return nullptr;
  }
  return f;
}

std::string directory_part(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

Ref<C_File_stream> C_File_stream::open(const std::string& name, mode_file_stream mode) {
  auto s = make<C_File_stream>();
  s->name = name;
  s->mode = mode;
  s->created_for_writing = mode == mode_file_stream::WRITE;
  std::unique_ptr<Open_file> f = open_native(name, mode, s->error);
  if (!f) return s;
  s->table_ = detail::my_table();
  s->file_ = f.get();
  s->file_handle = detail::table_insert(s->table_, std::move(f));
  return s;
}

Ref<C_File_stream> C_File_stream::open_read(const std::string& name) { return open(name, mode_file_stream::READ); }

Ref<C_File_stream> C_File_stream::open_read_anyway(const std::string& name) {
  return open(name, mode_file_stream::READ_ANYWAY);
}

Ref<C_File_stream> C_File_stream::open_write(const std::string& name, bool read_too) {
  return open(name, read_too ? mode_file_stream::READ_WRITE : mode_file_stream::WRITE);
}

Ref<C_File_stream> C_File_stream::open_new(const std::string& name) {
  struct stat st;
  if (!name.empty() && ::lstat(name.c_str(), &st) == 0) {
    auto s = make<C_File_stream>();
    s->name = name;
    s->mode = mode_file_stream::WRITE;
    s->error = EEXIST;
    return s;
  }
  auto s = open_replacing(name);
  s->keep_existing_ = true;
  return s;
}

Ref<C_File_stream> C_File_stream::open_replacing(const std::string& name) {
  auto s = make<C_File_stream>();
  s->name = name;
  s->mode = mode_file_stream::WRITE;
  s->created_for_writing = true;
  if (name.empty()) return s;
  // A link keeps pointing at the file it named: its target is replaced.
  std::string target = name;
  struct stat lst;
  if (::lstat(name.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    if (char* real = ::realpath(name.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  struct stat tst;
  bool exists = ::stat(target.c_str(), &tst) == 0;
  if (exists && !S_ISREG(tst.st_mode)) {
    s->error = S_ISDIR(tst.st_mode) ? EISDIR : EINVAL;
    return s;
  }
  std::string dir = directory_part(target);
  std::string base = target.substr(target.find_last_of('/') == std::string::npos ? 0 : target.find_last_of('/') + 1);
  std::random_device rd;
  int fd = -1;
  std::string temp;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    // A name of the longest length still leaves room for the temporary's.
    temp = dir + "/." + base.substr(0, 200) + ".tmp-" + std::to_string(rd() % 1000000000u);
    fd = ::open(temp.c_str(), O_CLOEXEC | O_NOCTTY | O_RDWR | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno != EEXIST) {
      s->error = errno;
      return s;
    }
  }
  if (fd < 0) {
    s->error = EEXIST;
    return s;
  }
  if (exists) (void)::fchmod(fd, tst.st_mode & 07777);
  struct stat st;
  detail::Access a = detail::access_of(mode_file_stream::WRITE);
  if (::fstat(fd, &st) != 0 || !detail::share_acquire(st.st_dev, st.st_ino, a)) {
    s->error = EBUSY;
    ::close(fd);
    ::unlink(temp.c_str());
    return s;
  }
  auto f = std::make_unique<Open_file>();
  f->fd = fd;
  f->dev = st.st_dev;
  f->ino = st.st_ino;
  f->access = a;
  s->table_ = detail::my_table();
  s->file_ = f.get();
  s->file_handle = detail::table_insert(s->table_, std::move(f));
  s->replace_target_ = target;
  s->temp_name_ = temp;
  return s;
}

bool C_File_stream::commit() {
  if (is_none() || !file_ || replace_target_.empty()) return false;
  bool ok = file_->flush();
  if (!ok) error = file_->error;
  if (ok && ::fsync(file_->fd) != 0) {
    ok = false;
    error = errno;
  }
  // Close without the abandon step of close().
  {
    std::lock_guard<std::mutex> guard(table_->lock);
    auto& e = table_->entries;
    if (file_handle > 0 && file_handle < static_cast<int64_t>(e.size()) && e[static_cast<size_t>(file_handle)].get() == file_) {
      const bool was_ok = ok;
      ok = e[static_cast<size_t>(file_handle)]->close_now() && ok;
      if (was_ok && !ok) error = errno;
      e[static_cast<size_t>(file_handle)].reset();
    }
  }
  file_ = nullptr;
  closed = true;
  if (ok && (keep_existing_ ? !brek_platform::rename_noreplace(temp_name_, replace_target_)
                            : ::rename(temp_name_.c_str(), replace_target_.c_str()) != 0)) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    ::unlink(temp_name_.c_str());
  } else {
    int dfd = ::open(directory_part(replace_target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
      (void)::fsync(dfd);  // the rename itself survives a crash
      ::close(dfd);
    }
  }
  replace_target_.clear();
  temp_name_.clear();
  return ok;
}

bool C_File_stream::flush() {
  if (is_none() || !file_) return false;
  return file_->flush();
}

bool C_File_stream::write_failed() const { return file_ && file_->failed; }

Long_int C_File_stream::size() {
  if (is_none() || !file_) return Long_int();
  return Long_int::from_int64(file_->file_size());
}

Long_int C_File_stream::position() {
  if (is_none() || !file_) return Long_int();
  return Long_int::from_int64(file_->pos());
}

void C_File_stream::seek(const Long_int& to, disposition_from from) {
  if (is_none()) return;
  C_Stream::seek(to, from);
  if (closed || !file_) return;
  int64_t p = Long_int::to_int64(to);
  int64_t origin = from == disposition_from::CURRENT ? file_->pos()
                   : from == disposition_from::ENDING ? file_->file_size()
                                                      : 0;
  __int128 target = static_cast<__int128>(origin) + p;
  // Like the system's seek: a position before the start is refused.
  if (target < 0 || target > INT64_MAX) return;
  file_->seek(static_cast<int64_t>(target));
}

bool C_File_stream::eof() {
  if (is_none() || file_handle == 0 || !file_ || closed) return true;
  if (!pending_text.empty()) return false;
  if (file_->rpos < file_->rlen) return false;
  return file_->pos() >= file_->file_size();
}

void C_File_stream::close() {
  if (is_none()) return;
  if (!closed && file_) {
    std::lock_guard<std::mutex> guard(table_->lock);
    auto& e = table_->entries;
    // Only this stream's own entry: on another thread the same number names
    // another file.
    if (file_handle > 0 && file_handle < static_cast<int64_t>(e.size()) && e[static_cast<size_t>(file_handle)].get() == file_)
      e[static_cast<size_t>(file_handle)].reset();
  }
  file_ = nullptr;
  if (!temp_name_.empty()) {
    // Never committed: the target stays as it was.
    ::unlink(temp_name_.c_str());
    temp_name_.clear();
    replace_target_.clear();
  }
  closed = true;
}

bool C_File_stream::is_closed() { return closed; }

bool C_File_stream::read(DynAByte& bytes, int64_t count) {
  if (is_none() || count == 0 || file_handle == 0 || mode == mode_file_stream::WRITE || closed) {
    if (!is_none()) bytes.set_length(0);
    return false;
  }
  return C_Stream::read(bytes, count);
}

int64_t C_File_stream::read_byte() {
  Open_file* f = file_;
  if (f && f->rpos < f->rlen && !created_for_writing) return f->buf[f->rpos++];
  if (!f || closed || created_for_writing) return 0;
  uint8_t b = 0;
  return f->read(&b, 1) == 1 ? b : 0;
}

int64_t C_File_stream::read_buffer(uint8_t* buffer, int64_t n) {
  if (is_none() || closed || !file_ || !buffer) return 0;
  return file_->read(buffer, n);
}

int64_t C_File_stream::write_buffer(const uint8_t* buffer, int64_t n) {
  if (is_none() || closed || !file_ || !buffer || !file_->access.write) return 0;
  const int64_t written = file_->write(buffer, n);
  if (file_->failed) error = file_->error;
  return written;
}

void C_File_stream::destroy_hook() {
  close();
  file_handle = 0;
  table_.reset();
  C_Stream::destroy_hook();
}

int64_t C_File_stream::table_length() {
  auto& t = detail::my_table();
  std::lock_guard<std::mutex> guard(t->lock);
  return static_cast<int64_t>(t->entries.size());
}

bool C_File_stream::table_entry_used(int64_t i) {
  auto& t = detail::my_table();
  std::lock_guard<std::mutex> guard(t->lock);
  return i > 0 && i < static_cast<int64_t>(t->entries.size()) && t->entries[static_cast<size_t>(i)] != nullptr;
}

}  // namespace brek
