#pragma once
// Helpers of the viewer tests: pictures written as files, a viewer whose
// pointer the test places, reading back painted pixels, the command line
// and the process's memory. What the X server's tests use too is inline
// here: they do not link viewer_test_support.cpp.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "baselib/system_functions.h"
#include "drawing/bitmap.h"
#include "drawing/pixels.h"
#include "images/image_file_io.h"
#include "tests/drawing/paint_test_support.h"
#include "tests/support/process_memory.h"
#include "tests/support/sanitized_build.h"
#include "tests/support/temp_dir.h"
#include "viewer/collage_viewer.h"

namespace viewer_test {

using namespace brek;

// Quadrant colours of the test picture (0xAARRGGBB).
inline constexpr uint32_t RED = 0xFFFF0000u, GREEN = 0xFF00FF00u, BLUE = 0xFF0000FFu, WHITE = 0xFFFFFFFFu;
inline constexpr uint32_t BLACK = 0xFF000000u;

// A w x h picture: top-left red, top-right green, bottom-left blue,
// bottom-right white.
inline Pixels quadrants(int w, int h) {
  Pixels p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool right = x >= w / 2, bottom = y >= h / 2;
      p.set(x, y, bottom ? (right ? WHITE : BLUE) : (right ? GREEN : RED));
    }
  return p;
}
// A w x h bitmap of one colour (0xAARRGGBB).
inline Ref<C_Bitmap> flat_picture(int w, int h, uint32_t colour) {
  Ref<C_Bitmap> b = C_Bitmap::create(w, h, 32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b->pixels()->set(x, y, colour);
  return b;
}
// Writes the picture as a BMP file; true on success.
inline bool write_bmp(const Pixels& p, const std::string& path) { return Image_file_io::save_bmp(p, path, false); }
// A BMP whose V5 header says w x h at 24 bits per pixel, its rows stored
// by `compression` (5: a PNG, which no reader here takes), followed by 16
// bytes where the rows would start: a file of 154 bytes.
inline std::string bmp_header_only(int w, int h, uint32_t compression) {
  std::string s(154, '\0');
  const auto le = [&s](size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s[at + size_t(i)] = char((v >> (8 * i)) & 0xFF);
  };
  s[0] = 'B';
  s[1] = 'M';
  le(2, uint32_t(s.size()), 4);  // file size
  le(10, 138, 4);                // where the rows start
  le(14, 124, 4);                // the V5 header's size
  le(18, uint32_t(w), 4);
  le(22, uint32_t(h), 4);
  le(26, 1, 2);   // planes
  le(28, 24, 2);  // bits per pixel
  le(30, compression, 4);
  return s;
}
// An 8-bit BMP of w x h pixels of its palette's first colour `rgb`
// (0xRRGGBB), but for its top `band` rows, of the second, `band_rgb`; its
// rows stored top-down (the height negative) when `top_down`, else
// bottom-up. Every row but the band's is a hole: on disk it costs a few
// bytes and the band.
inline bool write_sparse_bmp(const std::string& path, int w, int h, uint32_t rgb, bool top_down = false,
                             int band = 0, uint32_t band_rgb = 0) {
  std::string s;
  const auto le = [&s](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s.push_back(char((v >> (8 * i)) & 0xFF));
  };
  const uint64_t stride = (uint64_t(w) + 3) / 4 * 4, rows_at = 14 + 40 + 8;
  s += "BM";
  le(uint32_t(rows_at + stride * uint64_t(h)), 4);
  le(0, 4);
  le(uint32_t(rows_at), 4);
  le(40, 4);  // an info header
  le(uint32_t(w), 4);
  le(top_down ? uint32_t(-int64_t(h)) : uint32_t(h), 4);
  le(1, 2);  // planes
  le(8, 2);  // bits per pixel
  for (int i = 0; i < 4; ++i) le(0, 4);  // no compression, the size and resolution unsaid
  le(2, 4);                              // two colours used
  le(0, 4);
  le(rgb, 4);  // blue, green, red and a zero byte
  le(band_rgb, 4);
  if (!brek_test::write_file(path, s)) return false;
  std::error_code e;
  std::filesystem::resize_file(path, rows_at + stride * uint64_t(h), e);
  if (e || band <= 0) return !e;
  // The picture's top rows: the file's first in a top-down one, its last
  // in a bottom-up one.
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(std::streamoff(rows_at + (top_down ? 0 : stride * uint64_t(h - band))));
  const std::string rows(size_t(stride * uint64_t(band)), '\1');
  f.write(rows.data(), std::streamsize(rows.size()));
  return static_cast<bool>(f.flush());
}
// Writes a 1 x 1 GIF: the smallest picture file, for folders of thousands.
inline void tiny_gif(const std::string& path) {
  static const unsigned char gif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80,
                                      0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x21, 0xF9, 0x04,
                                      0x01, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01,
                                      0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(gif), sizeof gif);
}

// A GIF of w x h pixels, each of its frames the whole screen in one colour
// (frame f in palette entry f % 4: red, green, blue, white). Each run of
// one index is coded as the LZW table grows (every code the KwKwK case of
// the one before), so a picture at the size limit is a file of a few
// hundred kilobytes, written in milliseconds.
inline std::string one_colour_gif(int w, int h, int frames = 1) {
  std::string s = "GIF89a";
  auto le16 = [&s](int v) {
    s.push_back(char(v & 0xFF));
    s.push_back(char((v >> 8) & 0xFF));
  };
  le16(w);
  le16(h);
  s += std::string("\x81\0\0\xFF\0\0\0\xFF\0\0\0\xFF\xFF\xFF\xFF", 15);  // 4 colours
  constexpr int CLEAR = 4, END = 5, FIRST = 6, TABLE = 4096;
  for (int f = 0; f < frames; ++f) {
    if (frames > 1) s += std::string("\x21\xF9\x04\x04\x0A\0\0\0", 8);  // 100 ms, leave
    s += ",";
    le16(0);
    le16(0);
    le16(w);
    le16(h);
    s += std::string("\0\x02", 2);  // no local palette; codes of 2 bits
    std::string data;
    uint64_t bits = 0;
    int held = 0, width = 3, next = FIRST;
    bool first = true;
    auto put = [&](int code) {
      bits |= uint64_t(code) << held;
      held += width;
      for (; held >= 8; held -= 8, bits >>= 8) data.push_back(char(bits & 0xFF));
      // The decoder's table and code width after this code.
      if (code == CLEAR) {
        width = 3;
        next = FIRST;
        first = true;
      } else if (first) {
        first = false;
      } else if (next < TABLE && ++next == (1 << width) && width < 12) {
        ++width;
      }
    };
    const int index = f % 4;
    put(CLEAR);
    int64_t left = int64_t(w) * h, run = 1;
    while (left > 0) {
      const int64_t k = std::min(run, left);
      put(k == 1 ? index : int(FIRST + k - 2));
      left -= k;
      if (next < TABLE) {
        ++run;
      } else {
        put(CLEAR);
        run = 1;
      }
    }
    put(END);
    if (held > 0) data.push_back(char(bits & 0xFF));
    for (size_t i = 0; i < data.size(); i += 255) {
      const size_t n = std::min<size_t>(255, data.size() - i);
      s.push_back(char(n));
      s.append(data, i, n);
    }
    s.push_back('\0');
  }
  return s + ";";
}

// A viewer whose pointer sits where the test puts it (device pixels of the
// paint box).
class Test_viewer : public C_Collage_viewer {
  BREK_CLASS(Test_viewer)
 public:
  point pointer{-100, -100};
  point pointer_in_box() override { return pointer; }
};

// A viewer with its language, commands and settings, as start-up leaves it.
Ref<Test_viewer> new_viewer();

// An opaque back buffer of w x h device pixels and its canvas.
struct Buffer {
  Ref<C_Bitmap> bitmap;
  Buffer(int w, int h);
  // The box's size in points at the screen's resolution.
  double box_w() const;
  double box_h() const;
  uint32_t at(int x, int y) const;
};

// Paints the viewer into the buffer.
void paint(const Ref<Test_viewer>& v, Buffer& b);

// A pixel a test expects: where, and in what colour.
struct Probe {
  int x, y;
  uint32_t colour;
};
// Each probe against the pixel of a surface with at(x, y) (a box, a
// buffer); a failure names `what` and the place.
template <class Surface>
void expect_pixels(const Surface& s, std::initializer_list<Probe> probes, const std::string& what) {
  for (const Probe& p : probes) EXPECT_EQ(s.at(p.x, p.y), p.colour) << what << " at " << p.x << "," << p.y;
}

// A viewer built as the program builds it (window, timers, paint box) on
// the real window layer, its paint box's drawing surface w x h pixels held
// in memory, so that its paints run when the test asks and land in the
// box's own back buffer.
class Boxed {
 public:
  Boxed(int w, int h);
  ~Boxed();
  Boxed(const Boxed&) = delete;
  Boxed& operator=(const Boxed&) = delete;
  // A paint of the whole box, as the platform asks for one.
  void paint();
  // Waits for the pictures cells left to the worker, taking them as the
  // cells' timer does, then paints.
  void paint_once_decoded();
  // A pixel of the back buffer (opaque).
  uint32_t at(int x, int y) const;
  // Another surface size; the window's resize follows.
  void resize(int w, int h);
  // The back buffer's pixels every `step` pixels across and down: what a
  // paint showed, to compare with another.
  std::vector<uint32_t> sample(int step = 7) const;

  paint_test::Fake_panels panels;
  Ref<C_Screen> screen;
  Ref<Test_viewer> v;

 private:
  brek_platform::Native_forms* previous_forms_ = nullptr;
  brek_platform::Native_paint_panels* previous_panels_ = nullptr;
};

// Entries of the viewer's list that hold a picture.
inline int64_t pictures_held(const Ref<Test_viewer>& v) {
  int64_t n = 0;
  for (const Ref<C_Image>& e : v->files)
    if (!e->picture.is_none() || !e->reduced.is_none() || !e->animation.is_none()) ++n;
  return n;
}

// This process's memory (tests/support/process_memory.h).
using brek_test::MB;
using brek_test::peak_growth;
using brek_test::peak_resident;
using brek_test::reset_peak_resident;
using brek_test::resident;
using brek_test::RESIDENT_SIZE_COUNTS;
// How many times longer a safety net waits: sanitized code runs several
// times slower, most of all on pictures of hundreds of megapixels.
inline constexpr int SLOW_BUILD = brek_test::SANITIZED_BUILD ? 5 : 1;

// Writes a file of the user's configuration folder (its name below
// XDG_CONFIG_HOME), its folders made first; false when it cannot.
inline bool write_config_file(const std::string& name, const std::string& text) {
  const char* home = std::getenv("XDG_CONFIG_HOME");
  if (!home || !*home) return false;
  const std::filesystem::path path = std::filesystem::path(home) / name;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path);
  return static_cast<bool>(out << text);
}

// Writes into dir ("filler") until its file system is full.
void fill_disk(const std::string& dir);

// The program's command line for the life of the object: its own path,
// then the arguments. The one before comes back at the end.
class Command_line {
 public:
  explicit Command_line(std::initializer_list<std::string> arguments = {}) {
    for (int64_t i = 0; i < System_functions::param_count(); ++i) before_.push_back(System_functions::param_str(i));
    set(arguments);
  }
  ~Command_line() { System_functions::set_parameters(before_); }
  Command_line(const Command_line&) = delete;
  Command_line& operator=(const Command_line&) = delete;
  void set(std::initializer_list<std::string> arguments) {
    std::vector<std::string> line{before_.empty() ? "collage" : before_[0]};
    line.insert(line.end(), arguments);
    System_functions::set_parameters(line);
  }

 private:
  std::vector<std::string> before_;
};

}  // namespace viewer_test
