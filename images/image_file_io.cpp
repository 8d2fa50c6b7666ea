#include "images/image_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "baselib/file_stream.h"
#include "images/bmp_codec.h"
#include "images/jpeg_codec.h"

namespace brek::Image_file_io {

namespace {
thread_local int t_save_error = 0;
}  // namespace

int last_save_error() { return t_save_error; }
void clear_save_error() { t_save_error = 0; }

namespace {
thread_local bool t_new_names_only = false;
}

New_names_only::New_names_only() : outer_(t_new_names_only) { t_new_names_only = true; }
New_names_only::~New_names_only() { t_new_names_only = outer_; }

bool too_large_file(int64_t size, Load_failure* why) {
  return Load_failure::note(why, load_failure_kind::TOO_LARGE, "a file of " + std::to_string(size) + " bytes");
}

namespace {

// Whether the open file may be read whole, and its size; if not, why.
bool readable_whole(int fd, int64_t& size, Load_failure* why) {
  struct stat st;
  if (fstat(fd, &st) != 0) return Load_failure::note_error(why, errno);
  // As C_File_stream says it: a directory, or no file to read.
  if (!S_ISREG(st.st_mode)) return Load_failure::note_error(why, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  if (st.st_size > MAX_FILE_BYTES) return too_large_file(st.st_size, why);
  size = st.st_size;
  return true;
}

}  // namespace

bool read_whole_file(const std::string& path, std::vector<uint8_t>& out, Load_failure* why,
                     const std::function<bool()>& go_on) {
  constexpr size_t PIECE = size_t(16) << 20;
  out.clear();
  File_pieces file;
  if (!file.open(path, why)) return false;
  const size_t size = size_t(file.size());
  // Its size once, filled a piece at a time.
  out.reserve(size);
  for (size_t at = 0; at < size;) {
    if (go_on && !go_on()) {
      out = std::vector<uint8_t>();
      return false;
    }
    const size_t n = std::min(PIECE, size - at);
    out.resize(at + n);
    const size_t got = file.read_up_to(at, out.data() + at, n);
    at += got;
    // A file that shrank meanwhile gives what it still had.
    if (got < n) {
      out.resize(at);
      break;
    }
  }
  return true;
}

File_pieces::~File_pieces() {
  if (fd_ >= 0) close(fd_);
}

bool File_pieces::open(const std::string& path, Load_failure* why) {
  if (fd_ >= 0) close(fd_);
  size_ = 0;
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0) return Load_failure::note_error(why, errno);
  if (readable_whole(fd_, size_, why)) return true;
  close(fd_);
  fd_ = -1;
  return false;
}

size_t File_pieces::read_up_to(uint64_t at, uint8_t* into, size_t n) const {
  size_t got = 0;
  while (fd_ >= 0 && got < n) {
    const ssize_t r = pread(fd_, into + got, n - got, off_t(at + got));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    got += size_t(r);
  }
  return got;
}

bool write_file_atomic(const std::string& path, const uint8_t* data, size_t size) {
  t_save_error = 0;
  Ref<C_File_stream> out = t_new_names_only ? C_File_stream::open_new(path) : C_File_stream::open_replacing(path);
  if (out->file_handle == 0) {
    t_save_error = out->error;
    return false;
  }
  bool ok = out->write_buffer(data, int64_t(size)) == int64_t(size);
  if (!ok) {
    t_save_error = out->error;
    out->close();  // drops the temporary file; the target stays as it was
    return false;
  }
  ok = out->commit();
  if (!ok) t_save_error = out->error;
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
