#pragma once
// Image dimensions read from file headers without decoding, the file's size
// and dates, and the size at which an image is shown.

#include <cstddef>
#include <cstdint>
#include <string>

namespace brek::Image_header {

// Bytes of a header in memory, or of a whole open file read on demand.
// A read past the end gives 0, as the format readers expect.
class Byte_reader {
 public:
  Byte_reader(const uint8_t* data, size_t size);
  // The file behind an open descriptor, of the given size.
  Byte_reader(int fd, int64_t size);

  int read_byte() {
    if (pos_ >= start_ && pos_ < end_) return buf_[pos_++ - start_];
    return refill();
  }
  uint32_t le16() { uint32_t a = read_byte(); return a | uint32_t(read_byte()) << 8; }
  uint32_t be16() { uint32_t a = read_byte(); return a << 8 | uint32_t(read_byte()); }
  uint32_t le32() { uint32_t a = le16(); return a | le16() << 16; }
  uint32_t be32() { uint32_t a = be16(); return a << 16 | be16(); }
  void seek(int64_t pos) { pos_ = pos < 0 ? 0 : pos; }
  void skip(int64_t n) { seek(pos_ + n); }
  int64_t position() const { return pos_; }
  int64_t size() const { return size_; }

 private:
  int refill();

  const uint8_t* buf_ = nullptr;
  int64_t start_ = 0, end_ = 0;  // the window buf_ holds
  int64_t pos_ = 0;
  int64_t size_ = 0;
  int fd_ = -1;
  uint8_t window_[4096];
};

// What a header reader found; width and height stay 0 when nothing was,
// and both are 0 where either lies outside 1..999999 (no size at all).
struct Header_size {
  int64_t width = 0;
  int64_t height = 0;
  bool fax_compressed = false;  // TIFF with CCITT group 3 or 4 compression
};

// The format readers (each from the reader's start). A BMP's size is its
// info header's kind's: 16-bit words in the 12-byte OS/2 core header, else
// 32-bit ones, the height's magnitude for a picture stored top-down.
void read_jpeg(Byte_reader& r, Header_size& s);
void read_gif(Byte_reader& r, Header_size& s);
void read_png(Byte_reader& r, Header_size& s);
void read_bmp(Byte_reader& r, Header_size& s);
void read_ico(Byte_reader& r, Header_size& s);
void read_pcx(Byte_reader& r, Header_size& s);
void read_psd(Byte_reader& r, Header_size& s);
void read_tga(Byte_reader& r, Header_size& s);
void read_tiff(Byte_reader& r, Header_size& s);

// The header formats, chosen by lower-case extension with its dot.
enum class header_format { NONE, JPEG, GIF, BMP, ICO, PNG, PCX, PSD, TGA, TIFF };
header_format format_of(const std::string& extension);

// What tells one version of a file from the next, as one look at it gives
// it: one written in place changes its size or its modification time, one
// renamed over it is another inode; a change of its modes or owner (a
// chmod) moves only the status-change time.
struct File_version {
  double size = 0;              // bytes
  int64_t modified_ns = 0;      // the modification time, ns since 1970-01-01 UTC
  int64_t status_changed_ns = 0;
  uint64_t device = 0, inode = 0;
  // Whether `now` may hold another picture than this version: another
  // file, or the same written since. Modes and owner do not count.
  bool same_picture(const File_version& now) const {
    return size == now.size && modified_ns == now.modified_ns && device == now.device && inode == now.inode;
  }
  bool operator==(const File_version&) const = default;
};

// What one look at a file gives.
struct File_header {
  bool found = false;           // the file could be opened or examined
  Header_size size;
  File_version version;         // with want_info
  int64_t modified = 0;         // milliseconds since 1970-01-01 UTC
  int64_t created = 0;          // birth time where the file system keeps it, else modified
};

// Opens the file read-only (never creating it) once: with `want_size` the
// header of the format of `extension` is read (the first 512 bytes; the
// whole file where the format needs it), with `want_info` its size and
// dates. A missing file gives nothing; one that cannot be opened gives its
// size and dates only, as any entry the program cannot read.
File_header read_file(const std::string& path, const std::string& extension, bool want_size, bool want_info);

// Whether a header's width x height is a size at all: both within
// 1..999999.
inline bool size_known(int64_t width, int64_t height) {
  return width > 0 && width < 1000000 && height > 0 && height < 1000000;
}

// The size at which an image of width x height is shown for a target of
// tw x th: the image's size, shrunk to fit unless it fits already or the
// target is 1 x 1. A size outside 1..999999 is unknown: then the display
// size is kept and load_needed is set when a target was given. A result
// that is not positive becomes 100 x 100.
void display_size(int64_t width, int64_t height, double tw, double th, int64_t& display_width,
                  int64_t& display_height, bool& load_needed);

}  // namespace brek::Image_header
