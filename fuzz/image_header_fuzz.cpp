// The header readers over memory and over an open file (a size within
// 1..999999 or none), whole-file header reads by extension, and the
// display-size arithmetic on the dimensions they give.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "images/image_header.h"

namespace H = brek::Image_header;

namespace {

using Reader_fn = void (*)(H::Byte_reader&, H::Header_size&);
const Reader_fn kReaders[] = {H::read_jpeg, H::read_gif, H::read_png, H::read_bmp, H::read_ico,
                              H::read_pcx,  H::read_psd, H::read_tga, H::read_tiff};
const char* const kExtensions[] = {".jpg", ".jpeg", ".gif", ".bmp", ".ico", ".cur", ".png",
                                   ".pcx", ".psd",  ".tga", ".tif", ".tiff", ".txt"};

double double_at(const uint8_t* data, size_t size, size_t at) {
  double v = 0;
  if (at + sizeof v <= size) std::memcpy(&v, data + at, sizeof v);
  return v;
}

void shown(int64_t w, int64_t h, double tw, double th) {
  int64_t dw = 0, dh = 0;
  bool load_needed = false;
  H::display_size(w, h, tw, th, dw, dh, load_needed);
  if (dw <= 0 || dh <= 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int fd = memfd_create("header", 0);
  if (fd < 0) __builtin_trap();
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size)) __builtin_trap();
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);

  for (Reader_fn read : kReaders) {
    H::Header_size in_memory, in_file;
    H::Byte_reader m(data, size);
    read(m, in_memory);
    H::Byte_reader f(fd, int64_t(size));
    read(f, in_file);
    // Both sources give the same answer: a size, or none at all.
    if (in_memory.width != in_file.width || in_memory.height != in_file.height) __builtin_trap();
    if ((in_memory.width != 0 || in_memory.height != 0) && !H::size_known(in_memory.width, in_memory.height))
      __builtin_trap();
    shown(in_memory.width, in_memory.height, double_at(data, size, 16), double_at(data, size, 24));
  }
  for (const char* ext : kExtensions) {
    H::File_header h = H::read_file(path, ext, true, true);
    if (!h.found) __builtin_trap();
  }
  // The target sizes as the input's first bytes spell them.
  int64_t w = 0, h = 0;
  if (size >= 16) {
    std::memcpy(&w, data, 8);
    std::memcpy(&h, data + 8, 8);
  }
  shown(w, h, double_at(data, size, 16), double_at(data, size, 24));
  shown(w, h, double_at(data, size, 24), double_at(data, size, 16));
  return 0;
}
