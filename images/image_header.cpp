#include "images/image_header.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace brek::Image_header {

Byte_reader::Byte_reader(const uint8_t* data, size_t size)
    : buf_(data), start_(0), end_(data ? int64_t(size) : 0), size_(end_) {}

Byte_reader::Byte_reader(int fd, int64_t size) : buf_(window_), size_(size), fd_(fd) {}

int Byte_reader::refill() {
  if (fd_ < 0 || pos_ >= size_) {
    ++pos_;  // reading past the end still moves on
    return 0;
  }
  ssize_t n;
  do {
    n = pread(fd_, window_, sizeof window_, pos_);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) {
    size_ = pos_;  // the file ended early
    ++pos_;
    return 0;
  }
  start_ = pos_;
  end_ = pos_ + n;
  return buf_[pos_++ - start_];
}

namespace {
bool is(Byte_reader& r, const char* text) {
  for (const char* c = text; *c; ++c)
    if (r.read_byte() != static_cast<uint8_t>(*c)) return false;
  return true;
}

void gif_size(Byte_reader& r, Header_size& s) {
  r.seek(6);
  s.width = r.le16();
  s.height = r.le16();
}

// The info header's own length tells its kind, as the decoder reads it:
// the OS/2 core header holds 16-bit words, the others signed 32-bit ones,
// a negative height meaning rows stored from the top.
void bmp_size(Byte_reader& r, Header_size& s) {
  if (!is(r, "BM")) return;
  r.seek(14);
  const uint32_t info = r.le32();
  if (info == 12) {
    s.width = r.le16();
    s.height = r.le16();
  } else if (info >= 40 && info <= 1024) {
    s.width = static_cast<int32_t>(r.le32());
    const int64_t height = static_cast<int32_t>(r.le32());
    s.height = height < 0 ? -height : height;
  }
}

void png_size(Byte_reader& r, Header_size& s) {
  r.seek(12);
  if (!is(r, "IHDR")) return;
  s.width = r.be32();
  s.height = r.be32();
}

void ico_size(Byte_reader& r, Header_size& s) {
  r.seek(4);
  uint32_t count = r.le16();
  int64_t w = 0, h = 0;
  for (uint32_t i = 0; i < count && 6 + 16 * int64_t(i) < r.size(); ++i) {
    r.seek(6 + 16 * int64_t(i));
    w = std::max<int64_t>(w, r.read_byte());
    h = std::max<int64_t>(h, r.read_byte());
  }
  s.width = w;
  s.height = h;
}

void pcx_size(Byte_reader& r, Header_size& s) {
  if (r.read_byte() != 10) return;
  r.seek(4);
  int64_t x0 = r.le16(), y0 = r.le16(), x1 = r.le16(), y1 = r.le16();
  s.width = x1 - x0 + 1;
  s.height = y1 - y0 + 1;
}

void psd_size(Byte_reader& r, Header_size& s) {
  if (!is(r, "8BPS") || r.read_byte() != 0 || r.read_byte() != 1) return;
  r.seek(14);
  s.height = r.be32();
  s.width = r.be32();
}

void tga_size(Byte_reader& r, Header_size& s) {
  r.seek(12);
  s.width = r.le16();
  s.height = r.le16();
}

void jpeg_size(Byte_reader& r, Header_size& s) {
  r.seek(0);
  for (int64_t markers = 0; markers <= r.size() + 1; ++markers) {
    if (r.read_byte() != 0xFF) return;
    int m = r.read_byte();
    if (m == 0xC0 || m == 0xC2) {
      r.skip(3);
      s.height = r.be16();
      s.width = r.be16();
      return;
    }
    if (m == 0x01 || (m >= 0xD0 && m <= 0xD8)) continue;
    if (m == 0xFF) {
      r.skip(-1);
      continue;
    }
    uint32_t length = r.be16();
    if (length < 2) return;  // a length that would walk backwards
    r.skip(int64_t(length) - 2);
  }
}

void tiff_size(Byte_reader& r, Header_size& s) {
  r.seek(0);
  int a = r.read_byte(), b = r.read_byte();
  bool big;
  if (a == 'I' && b == 'I') big = false;
  else if (a == 'M' && b == 'M') big = true;
  else return;
  auto u16 = [&] { return big ? r.be16() : r.le16(); };
  auto u32 = [&] { return big ? r.be32() : r.le32(); };
  if (u16() != 42) return;
  r.seek(u32());
  uint32_t count = u16();
  uint32_t compression = 0;
  for (uint32_t i = 0; i < count && r.position() < r.size(); ++i) {
    int64_t entry = r.position();
    uint32_t tag = u16();
    if (tag == 256 || tag == 257 || tag == 259) {
      uint32_t type = u16(), n = u32(), value = 0;
      if (n == 1) {
        if (type == 1 || type == 6) value = uint32_t(r.read_byte());
        else if (type == 3 || type == 8) value = u16();
        else if (type == 4 || type == 9) value = u32();
      }
      if (tag == 256) s.width = value;
      else if (tag == 257) s.height = value;
      else {
        compression = value;
        if (value == 3 || value == 4) s.fax_compressed = true;
      }
    }
    if (s.width > 0 && s.height > 0 && compression != 0) return;
    r.seek(entry + 12);
  }
}

// What a reader found counts only where both sides are a size: values
// outside 1..999999 (a damaged header's) are none.
void read_known(void (*reader)(Byte_reader&, Header_size&), Byte_reader& r, Header_size& s) {
  reader(r, s);
  if (!size_known(s.width, s.height)) s.width = s.height = 0;
}

}  // namespace

void read_jpeg(Byte_reader& r, Header_size& s) { read_known(jpeg_size, r, s); }
void read_gif(Byte_reader& r, Header_size& s) { read_known(gif_size, r, s); }
void read_png(Byte_reader& r, Header_size& s) { read_known(png_size, r, s); }
void read_bmp(Byte_reader& r, Header_size& s) { read_known(bmp_size, r, s); }
void read_ico(Byte_reader& r, Header_size& s) { read_known(ico_size, r, s); }
void read_pcx(Byte_reader& r, Header_size& s) { read_known(pcx_size, r, s); }
void read_psd(Byte_reader& r, Header_size& s) { read_known(psd_size, r, s); }
void read_tga(Byte_reader& r, Header_size& s) { read_known(tga_size, r, s); }
void read_tiff(Byte_reader& r, Header_size& s) { read_known(tiff_size, r, s); }

header_format format_of(const std::string& e) {
  if (e == ".jpg" || e == ".jpeg") return header_format::JPEG;
  if (e == ".gif") return header_format::GIF;
  if (e == ".bmp") return header_format::BMP;
  if (e == ".ico" || e == ".cur") return header_format::ICO;
  if (e == ".png") return header_format::PNG;
  if (e == ".pcx") return header_format::PCX;
  if (e == ".psd") return header_format::PSD;
  if (e == ".tga") return header_format::TGA;
  if (e == ".tif" || e == ".tiff") return header_format::TIFF;
  return header_format::NONE;
}

namespace {

int64_t ms(const struct statx_timestamp& t) { return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000; }

int64_t ns(const struct statx_timestamp& t) { return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec; }

void take_info(const struct statx& st, File_header& h) {
  h.modified = ms(st.stx_mtime);
  h.created = (st.stx_mask & STATX_BTIME) ? ms(st.stx_btime) : h.modified;
  // In nanoseconds: a file written or made readable just after it was
  // looked at still counts as changed.
  h.version = File_version{double(st.stx_size), ns(st.stx_mtime), ns(st.stx_ctime),
                           makedev(st.stx_dev_major, st.stx_dev_minor), st.stx_ino};
}

constexpr unsigned INFO_MASK = STATX_TYPE | STATX_SIZE | STATX_MTIME | STATX_BTIME | STATX_CTIME | STATX_INO;

// The size and dates of a regular file, without opening it.
void info_by_path(const std::string& path, File_header& h) {
  struct statx st;
  if (statx(AT_FDCWD, path.c_str(), 0, INFO_MASK, &st) == 0 && S_ISREG(st.stx_mode)) {
    h.found = true;
    take_info(st, h);
  }
}

}  // namespace

File_header read_file(const std::string& path, const std::string& extension, bool want_size, bool want_info) {
  File_header h;
  header_format f = want_size ? format_of(extension) : header_format::NONE;
  struct statx st;
  if (f == header_format::NONE) {
    // No header to read: the dates need no open file.
    if (want_info) info_by_path(path, h);
    return h;
  }
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    // Unreadable for now: its dates tell when it is filled or replaced.
    if (want_info) info_by_path(path, h);
    return h;
  }
  if (statx(fd, "", AT_EMPTY_PATH, INFO_MASK, &st) != 0 || !S_ISREG(st.stx_mode)) {
    close(fd);
    return h;
  }
  h.found = true;
  if (want_info) take_info(st, h);
  int64_t file_size = int64_t(st.stx_size);
  if (f == header_format::TIFF) {
    Byte_reader whole(fd, file_size);
    read_tiff(whole, h.size);
  } else {
    uint8_t head[512];
    size_t got = 0;
    while (got < sizeof head) {
      ssize_t n = read(fd, head + got, sizeof head - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += size_t(n);
    }
    Byte_reader r(head, got);
    switch (f) {
      case header_format::JPEG:
        read_jpeg(r, h.size);
        if ((h.size.width == 0 || h.size.height == 0) && file_size > int64_t(got)) {
          // The frame header lies beyond the first bytes (large metadata).
          h.size = Header_size();
          Byte_reader whole(fd, file_size);
          read_jpeg(whole, h.size);
        }
        break;
      case header_format::GIF: read_gif(r, h.size); break;
      case header_format::BMP: read_bmp(r, h.size); break;
      case header_format::ICO: read_ico(r, h.size); break;
      case header_format::PNG: read_png(r, h.size); break;
      case header_format::PCX: read_pcx(r, h.size); break;
      case header_format::PSD: read_psd(r, h.size); break;
      case header_format::TGA: read_tga(r, h.size); break;
      default: break;
    }
  }
  close(fd);
  return h;
}

void display_size(int64_t width, int64_t height, double tw, double th, int64_t& dw, int64_t& dh,
                  bool& load_needed) {
  auto near = [](double a, double b) { return std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b)); };
  if (size_known(width, height)) {
    dw = width;
    dh = height;
    if (!((tw >= double(width) && th >= double(height)) || (near(tw, 1) && near(th, 1)))) {
      double factor = std::min(tw / double(width), th / double(height));
      // NaN or a negative target shrinks to nothing (then the fallback);
      // std::min passes over a NaN in its second place, hence both tests.
      if (!(factor >= 0) || std::isnan(tw) || std::isnan(th)) factor = 0;
      dw = static_cast<int64_t>(double(width) * factor);
      dh = static_cast<int64_t>(double(height) * factor);
    }
  } else {
    load_needed = tw > 0 && th > 0;
  }
  if (dw <= 0 || dh <= 0) dw = dh = 100;
}

}  // namespace brek::Image_header
