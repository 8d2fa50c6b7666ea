#include "images/image_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "images/bmp_codec.h"
#include "images/jpeg_codec.h"

namespace brek::Image_file_io {

bool read_whole_file(const std::string& path, std::vector<uint8_t>& out) {
  out.clear();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= MAX_FILE_BYTES;
  if (ok) {
    out.resize(size_t(st.st_size));
    size_t got = 0;
    while (got < out.size()) {
      ssize_t n = read(fd, out.data() + got, out.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += size_t(n);
    }
    // A file that shrank meanwhile gives what it still had.
    out.resize(got);
  }
  close(fd);
  if (!ok) out.clear();
  return ok;
}

namespace {

bool write_all(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
  }
  return true;
}

std::string resolve_link(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return path;  // a dangling link is replaced
  std::string r = real;
  std::free(real);
  return r;
}

}  // namespace

bool write_file_atomic(const std::string& requested, const uint8_t* data, size_t size) {
  if (requested.empty()) return false;
  const std::string path = resolve_link(requested);
  size_t slash = path.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  struct stat old;
  bool existed = stat(path.c_str(), &old) == 0;
  if (existed && !S_ISREG(old.st_mode)) return false;

  // A hidden name of our own beside the target (the same file system, so
  // the rename is atomic); O_EXCL never takes over somebody else's file.
  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = dir + "." + base + "." + std::to_string(getpid()) + "." + std::to_string(counter++) + ".tmp";
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  bool ok = write_all(fd, data, size);
  if (ok && existed) ok = fchmod(fd, old.st_mode & 07777) == 0 || errno == EPERM;
  if (ok) ok = fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  if (ok) ok = rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

bool save_bmp(const Pixels& picture, const std::string& path, bool alpha_side_file) {
  if (picture.empty()) return false;
  std::vector<uint8_t> bytes = Bmp_codec::encode24(picture);
  if (!write_file_atomic(path, bytes.data(), bytes.size())) return false;
  if (!alpha_side_file) return true;
  bytes = Bmp_codec::encode24(picture, true);
  return write_file_atomic(path + ".alpha.bmp", bytes.data(), bytes.size());
}

bool save_jpeg(const Pixels& picture, const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!Jpeg_codec::encode(picture, 90, bytes)) return false;
  return write_file_atomic(path, bytes.data(), bytes.size());
}

}  // namespace brek::Image_file_io
