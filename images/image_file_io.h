#pragma once
// Whole-file reads for the decoders and safe writes for the encoders.
// A read of a whole file or stream (here, image_file_glue.cpp,
// C_Gif::load_from_stream) allocates its size once: a file near the cap is
// held once, never half again by a growing buffer.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "drawing/pixels.h"
#include "images/load_failure.h"

namespace brek::Image_file_io {

// Largest file the decoders are handed (1 GiB).
inline constexpr int64_t MAX_FILE_BYTES = int64_t(1) << 30;

// Reads a whole regular file; false when it is missing, not a regular file,
// unreadable or larger than MAX_FILE_BYTES, `why` saying which (with the
// system's errno). Never creates the file. `go_on` (none: always) is
// asked between pieces of a few megabytes, which take their memory as
// they are read: false, `out` empty and nothing said, once it says stop.
bool read_whole_file(const std::string& path, std::vector<uint8_t>& out, Load_failure* why = nullptr,
                     const std::function<bool()>& go_on = {});
// The reason for a file of `size` bytes that is over MAX_FILE_BYTES, as
// every whole read states it; false.
bool too_large_file(int64_t size, Load_failure* why);

// A regular file read a piece at a time, by a decoder that never holds it
// whole: opened as read_whole_file opens one, refused for the same
// reasons.
class File_pieces {
 public:
  File_pieces() = default;
  File_pieces(const File_pieces&) = delete;
  File_pieces& operator=(const File_pieces&) = delete;
  ~File_pieces();
  // False, `why` saying why, where read_whole_file would fail.
  bool open(const std::string& path, Load_failure* why = nullptr);
  // The file's size when it was opened.
  int64_t size() const { return size_; }
  // Up to n bytes from byte `at`: fewer where the file ends first (it
  // shrank) or the system fails the read.
  size_t read_up_to(uint64_t at, uint8_t* into, size_t n) const;
  // n bytes from byte `at`; false when fewer came.
  bool read(uint64_t at, uint8_t* into, size_t n) const { return read_up_to(at, into, n) == n; }

 private:
  int fd_ = -1;
  int64_t size_ = 0;
};

// Writes the bytes through C_File_stream::open_replacing: a temporary file
// beside `path` renamed over it only after every write, the sync and the
// close succeeded, so a failed save never leaves a damaged or emptied file.
// The result is what the calls returned.
bool write_file_atomic(const std::string& path, const uint8_t* data, size_t size);

// While one lives, this thread's saves write new files only: a name taken
// before the file is in place (by another program too) fails the save with
// EEXIST and keeps what holds it.
class New_names_only {
 public:
  New_names_only();
  ~New_names_only();
  New_names_only(const New_names_only&) = delete;
  New_names_only& operator=(const New_names_only&) = delete;

 private:
  bool outer_;
};

// Why the last save of this thread failed: the system's error number
// (ENOSPC, EROFS ...), or 0 when the last save worked or failed for no
// reason of the system's (nothing to write, no writer for the type).
int last_save_error();
// A save starts with no reason recorded.
void clear_save_error();

// A 24-bit BMP of the picture; with `alpha_side_file` also its alpha
// channel as grey levels in `path` + ".alpha.bmp". True when every file
// was written.
bool save_bmp(const Pixels& picture, const std::string& path, bool alpha_side_file);

// A baseline JPEG at quality 90. Library errors throw E_Jpeg_error.
bool save_jpeg(const Pixels& picture, const std::string& path);

}  // namespace brek::Image_file_io
