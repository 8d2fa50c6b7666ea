#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <utility>

#include "images/bmp_codec.h"
#include "images/picture_fit.h"
#include "tests/images/image_test_util.h"
#include "tests/support/process_memory.h"
#include "tests/support/temp_dir.h"

using brek::Pixels;
namespace Bmp_codec = brek::Bmp_codec;
using namespace brek_test;

namespace {

// A BMP file: file header, a header of `hsize` bytes (12 core, 40 info,
// 108 V4, 124 V5), extra bytes (masks), palette (B, G, R per entry) and bits.
std::string bmp(int hsize, int w, int h, int bpp, uint32_t compression, const std::string& extra,
                const std::vector<uint32_t>& palette, const std::string& bits,
                const std::vector<uint32_t>& header_masks = {}) {
  std::string hdr;
  put32le(hdr, hsize);
  if (hsize == 12) {
    put16le(hdr, w);
    put16le(hdr, h);
    put16le(hdr, 1);
    put16le(hdr, bpp);
  } else {
    put32le(hdr, w);
    put32le(hdr, uint32_t(h));
    put16le(hdr, 1);
    put16le(hdr, bpp);
    put32le(hdr, compression);
    put32le(hdr, uint32_t(bits.size()));
    put32le(hdr, 2835);
    put32le(hdr, 2835);
    put32le(hdr, uint32_t(palette.size()));
    put32le(hdr, 0);
    for (uint32_t m : header_masks) put32le(hdr, m);
    hdr.resize(hsize, '\0');
  }
  std::string pal;
  for (uint32_t c : palette) {
    pal.push_back(char(c));
    pal.push_back(char(c >> 8));
    pal.push_back(char(c >> 16));
    if (hsize != 12) pal.push_back(0);
  }
  std::string f = "BM";
  uint32_t offset = 14 + uint32_t(hdr.size() + extra.size() + pal.size());
  put32le(f, offset + uint32_t(bits.size()));
  put32le(f, 0);
  put32le(f, offset);
  return f + hdr + extra + pal + bits;
}

bool decode(const std::string& file, Pixels& p) {
  auto b = bytes_of(file);
  return Bmp_codec::decode(b.data(), b.size(), p);
}

const std::vector<uint32_t> kPalette = {0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00,
                                        0xFF0000, 0x808080, 0x123456, 0xABCDEF};
uint32_t opaque(uint32_t bgr) { return 0xFF000000u | bgr; }

TEST(BmpCodec, TwentyFourBitRoundTripsWithOddWidths) {
  for (int w : {1, 2, 3, 5, 33}) {
    Pixels src = test_picture(w, 7);
    auto file = Bmp_codec::encode24(src);
    ASSERT_EQ(file.size(), 54u + size_t((w * 3 + 3) & ~3) * 7);
    Pixels back;
    ASSERT_TRUE(Bmp_codec::decode(file.data(), file.size(), back));
    EXPECT_TRUE(back == src) << "width " << w;
  }
  // The alpha side file holds alpha as grey.
  Pixels a(2, 1);
  a.set(0, 0, Pixels::bgra(1, 2, 3, 0));
  a.set(1, 0, Pixels::bgra(1, 2, 3, 200));
  auto file = Bmp_codec::encode24(a, true);
  Pixels back;
  ASSERT_TRUE(Bmp_codec::decode(file.data(), file.size(), back));
  EXPECT_EQ(back.at(0, 0), Pixels::bgra(0, 0, 0));
  EXPECT_EQ(back.at(1, 0), Pixels::bgra(200, 200, 200));
  EXPECT_TRUE(Bmp_codec::encode24(Pixels()).empty());
}

TEST(BmpCodec, PalettedDepthsInEveryHeaderAndRowOrder) {
  const int w = 13, h = 5;
  auto index = [](int x, int y) { return uint32_t((x + 2 * y) % 8); };
  for (int bpp : {1, 4, 8}) {
    uint32_t mask = (1u << bpp) - 1;
    auto idx = [&](int x, int y) { return index(x, y) & mask; };
    std::vector<uint32_t> pal(kPalette.begin(), kPalette.begin() + std::min<size_t>(8, size_t(1) << bpp));
    for (int hsize : {12, 40, 108, 124}) {
      for (bool top_down : {false, true}) {
        if (hsize == 12 && top_down) continue;  // core heights are unsigned
        Pixels p;
        ASSERT_TRUE(decode(bmp(hsize, w, top_down ? -h : h, bpp, 0, "", pal, bmp_rows(w, h, bpp, top_down, idx)), p))
            << bpp << " bits, header " << hsize;
        ASSERT_EQ(p.width(), w);
        ASSERT_EQ(p.height(), h);
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) ASSERT_EQ(p.at(x, y), opaque(pal[idx(x, y)])) << x << "," << y;
      }
    }
  }
}

TEST(BmpCodec, SixteenAndThirtyTwoBitLayouts) {
  const int w = 3, h = 2;
  Pixels p;
  // 16-bit without bit fields is 555.
  ASSERT_TRUE(decode(bmp(40, w, h, 16, 0, "", {}, bmp_rows(w, h, 16, false, [](int x, int) {
                       return x == 0 ? 0x7C00u : x == 1 ? 0x03E0u : 0x001Fu; })), p));
  EXPECT_EQ(p.at(0, 0), opaque(0xFF0000));
  EXPECT_EQ(p.at(1, 1), opaque(0x00FF00));
  EXPECT_EQ(p.at(2, 0), opaque(0x0000FF));
  // 565 through bit fields after an info header.
  std::string masks;
  put32le(masks, 0xF800);
  put32le(masks, 0x07E0);
  put32le(masks, 0x001F);
  ASSERT_TRUE(decode(bmp(40, w, h, 16, 3, masks, {}, bmp_rows(w, h, 16, false, [](int x, int) {
                       return x == 0 ? 0xF800u : x == 1 ? 0x0400u : 0x0010u; })), p));
  EXPECT_EQ(p.at(0, 0), opaque(0xFF0000));
  EXPECT_EQ(p.at(1, 0), Pixels::bgra(0, 130, 0));  // 32 of 63
  EXPECT_EQ(p.at(2, 0), Pixels::bgra(132, 0, 0));  // 16 of 31
  // 32-bit plain: the fourth byte is not alpha.
  ASSERT_TRUE(decode(bmp(40, w, h, 32, 0, "", {}, bmp_rows(w, h, 32, false, [](int, int) { return 0x00102030u; })), p));
  EXPECT_EQ(p.at(1, 1), Pixels::bgra(0x30, 0x20, 0x10, 255));
  // V5 bit fields with an alpha mask keep alpha.
  ASSERT_TRUE(decode(bmp(124, w, h, 32, 3, "", {}, bmp_rows(w, h, 32, false, [](int x, int) {
                       return (uint32_t(x * 100) << 24) | 0x00102030u; }),
                         {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}), p));
  EXPECT_EQ(p.at(0, 0), Pixels::bgra(0x30, 0x20, 0x10, 0));
  EXPECT_EQ(p.at(2, 1), Pixels::bgra(0x30, 0x20, 0x10, 200));
  // ... but an alpha channel that is zero everywhere means opaque.
  ASSERT_TRUE(decode(bmp(124, w, h, 32, 3, "", {}, bmp_rows(w, h, 32, false, [](int, int) { return 0x00102030u; }),
                         {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}), p));
  EXPECT_EQ(Pixels::alpha(p.at(1, 0)), 255);
}

TEST(BmpCodec, RunLengthCodings) {
  // RLE8 on 6 x 3 (bottom-up): row 0 (bottom) run of 3 x index 2, then an
  // absolute run 1, 3, 4; row 1 a delta skipping 2 pixels right and 1 row
  // up; then index 5 twice, end of bitmap. The skipped pixels stay black.
  std::string d = {3, 2, 0, 3, 1, 3, 4, 0, 0, 0, 0, 2, 2, 1, 2, 5, 0, 1};
  Pixels p;
  ASSERT_TRUE(decode(bmp(40, 6, 3, 8, 1, "", kPalette, d), p));
  EXPECT_EQ(p.at(0, 2), opaque(kPalette[2]));
  EXPECT_EQ(p.at(2, 2), opaque(kPalette[2]));
  EXPECT_EQ(p.at(3, 2), opaque(kPalette[1]));
  EXPECT_EQ(p.at(5, 2), opaque(kPalette[4]));
  EXPECT_EQ(p.at(1, 0), 0xFF000000u);
  EXPECT_EQ(p.at(2, 0), opaque(kPalette[5]));
  EXPECT_EQ(p.at(3, 0), opaque(kPalette[5]));
  EXPECT_EQ(p.at(4, 0), 0xFF000000u);
  // RLE4: a run alternates the two nibbles; an absolute run of 3 nibbles
  // takes 2 bytes, padded to 4.
  std::string d4 = {5, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 1};
  ASSERT_TRUE(decode(bmp(40, 8, 1, 4, 2, "", kPalette, d4), p));
  const int expect[8] = {1, 2, 1, 2, 1, 3, 4, 5};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(p.at(x, 0), opaque(kPalette[expect[x]])) << x;
  // A run past the width and rows past the height are clipped, not written.
  std::string wild = {(char)255, 1, 0, 2, (char)255, (char)255, 9, 1};
  ASSERT_TRUE(decode(bmp(40, 4, 2, 8, 1, "", kPalette, wild), p));
  EXPECT_EQ(p.at(3, 1), opaque(kPalette[1]));
}

TEST(BmpCodec, MalformedFilesFailCleanly) {
  auto idx = [](int x, int y) { return uint32_t((x + y) & 1); };
  std::string good = bmp(40, 9, 4, 8, 0, "", kPalette, bmp_rows(9, 4, 8, false, idx));
  Pixels p(2, 2);
  ASSERT_TRUE(decode(good, p));
  // Every truncation that cuts into the pixel rows fails; none reads past.
  for (size_t n = 0; n + 3 < good.size(); ++n) {
    EXPECT_FALSE(decode(good.substr(0, n), p)) << n;
    EXPECT_TRUE(p.empty());
  }
  auto with = [&](size_t at, uint32_t v, int bytes) {
    std::string s = good;
    for (int i = 0; i < bytes; ++i) s[at + i] = char(v >> (8 * i));
    return s;
  };
  EXPECT_FALSE(decode(with(0, 'X', 1), p));              // signature
  EXPECT_FALSE(decode(with(14, 20, 4), p));              // header size
  EXPECT_FALSE(decode(with(18, 0, 4), p));               // width 0
  EXPECT_FALSE(decode(with(22, 0, 4), p));               // height 0
  EXPECT_FALSE(decode(with(18, 0x80000000u, 4), p));     // negative width
  EXPECT_FALSE(decode(with(22, 0x80000000u, 4), p));     // most negative height
  EXPECT_FALSE(decode(with(18, 70000, 4), p));           // beyond the size cap
  EXPECT_FALSE(decode(with(28, 7, 2), p));               // 7 bits per pixel
  EXPECT_FALSE(decode(with(30, 4, 4), p));               // embedded JPEG
  // Huge palette counts are bounded by the data.
  EXPECT_TRUE(decode(with(46, 0xFFFFFFFFu, 4), p) || p.empty());
  // RLE data that stops early keeps what it drew.
  std::string d = {3, 2, 0, 10, 1, 2};
  ASSERT_TRUE(decode(bmp(40, 4, 1, 8, 1, "", kPalette, d), p));
  EXPECT_EQ(p.at(2, 0), opaque(kPalette[2]));
  EXPECT_EQ(p.at(3, 0), 0xFF000000u);
  // Random damage never crashes.
  uint32_t seed = 12345;
  for (int i = 0; i < 2000; ++i) {
    std::string s = good;
    for (int k = 0; k < 4; ++k) {
      seed = seed * 1103515245u + 12345u;
      s[(seed >> 8) % s.size()] = char(seed >> 24);
    }
    decode(s, p);
  }
}

// The file read row by row into a picture made small, from memory a piece
// at a time as a worker reads a file; false where the read failed.
bool fitted(const std::string& file, const brek::Picture_fit::Part& part, int w, int h, Pixels& out, bool& alpha,
            brek::Load_failure* why) {
  brek::Picture_shrink s(part.x0, part.y0, part.x1, part.y1, w, h);
  const Bmp_codec::Read_at read = [&](uint64_t at, uint8_t* into, size_t n) {
    if (at > file.size() || n > file.size() - at) return false;
    std::copy_n(file.data() + at, n, into);
    return true;
  };
  if (!Bmp_codec::decode_rows_into(file.size(), read, s, why)) return false;
  alpha = s.had_alpha();
  out = s.take();
  return true;
}

// The file read row by row to a few sizes, whole and cropped, gives the
// whole decode averaged down; where the whole decode fails, so does it,
// for the same reason.
void expect_fitted_as_whole(const std::string& file, const std::string& what) {
  Pixels whole;
  brek::Load_failure whole_why;
  auto b = bytes_of(file);
  const bool ok = Bmp_codec::decode(b.data(), b.size(), whole, &whole_why);
  Pixels got;
  bool alpha = false;
  if (!ok) {
    brek::Load_failure why;
    EXPECT_FALSE(fitted(file, {0, 0, 1, 1}, 1, 1, got, alpha, &why)) << what;
    EXPECT_EQ(why.text(), whole_why.text()) << what;
    return;
  }
  const int pw = whole.width(), ph = whole.height();
  const std::pair<int, int> sizes[] = {
      {1, 1}, {std::min(pw, 3), std::min(ph, 2)}, {std::min(pw, 7), std::min(ph, 5)}, {pw, ph}};
  for (const auto& [w, h] : sizes)
    for (bool crop : {false, true}) {
      const brek::Picture_fit::Part part = brek::Picture_fit::part(pw, ph, w, h, crop);
      bool want_alpha = false;
      const Pixels want = brek::Picture_fit::shrink(whole, part, w, h, &want_alpha);
      brek::Load_failure why;
      ASSERT_TRUE(fitted(file, part, w, h, got, alpha, &why)) << what << ": " << why.text();
      EXPECT_TRUE(got == want) << what << " at " << w << " x " << h << (crop ? " cropped" : "");
      // At its own size, the picture as the whole decode gives it.
      if (w == pw && h == ph) {
        EXPECT_TRUE(got == whole) << what;
      }
      EXPECT_EQ(alpha, want_alpha) << what;
    }
}

// Rows read one by one to a picture made small follow the whole decode's
// rules: every depth and header, either row order, bit fields, alpha used
// and unused, run-length data however it jumps and ends, and the failures
// of truncated and damaged files.
TEST(BmpCodec, RowsReadOneByOneAreTheWholeDecodeAveragedDown) {
  const int w = 37, h = 70;
  auto index = [](int x, int y) { return uint32_t((x / 3 + 5 * y) % 8); };
  for (int bpp : {1, 4, 8})
    for (int hsize : {12, 40, 124})
      for (bool top_down : {false, true}) {
        if (hsize == 12 && top_down) continue;
        const std::vector<uint32_t> pal(kPalette.begin(), kPalette.begin() + std::min<size_t>(8, size_t(1) << bpp));
        expect_fitted_as_whole(bmp(hsize, w, top_down ? -h : h, bpp, 0, "", pal, bmp_rows(w, h, bpp, top_down, index)),
                               std::to_string(bpp) + " bits, header " + std::to_string(hsize));
      }
  auto colour = [](int x, int y) { return uint32_t(x * 7 + y * 131) * 2654435761u; };
  for (int bpp : {16, 24, 32})
    expect_fitted_as_whole(bmp(40, w, h, bpp, 0, "", {}, bmp_rows(w, h, bpp, false, colour)),
                           std::to_string(bpp) + " bits");
  const std::vector<uint32_t> argb = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  expect_fitted_as_whole(bmp(124, w, -h, 32, 3, "", {}, bmp_rows(w, h, 32, true, colour), argb), "alpha bit fields");
  // Alpha used by the last row in the file alone, and by none.
  for (uint32_t a : {0x01000000u, 0u}) {
    auto one = [&](int x, int y) { return (colour(x, y) & 0xFFFFFF) | (y == 0 && x == 5 ? a : 0); };
    expect_fitted_as_whole(bmp(124, w, h, 32, 3, "", {}, bmp_rows(w, h, 32, false, one), argb), "alpha in one pixel");
  }
  std::string masks;
  for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) put32le(masks, m);
  expect_fitted_as_whole(bmp(40, w, h, 16, 3, masks, {}, bmp_rows(w, h, 16, false, colour)), "565");

  // Run-length data made at random of runs, absolute runs, row ends,
  // jumps, an end mark, cut anywhere: bottom-up and top-down, 8 and 4 bits.
  uint32_t seed = 7;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) % n;
  };
  for (int i = 0; i < 300; ++i) {
    std::string d;
    while (d.size() < 400) {
      const uint32_t kind = next(20);
      if (kind < 10) {
        d += {char(1 + next(40)), char(next(256))};
      } else if (kind < 14) {
        const int n = 3 + int(next(30));
        d += {0, char(n)};
        const int bytes = i % 2 ? (n + 1) / 2 : n;
        for (int k = 0; k < bytes + (bytes & 1); ++k) d.push_back(char(next(256)));
      } else if (kind < 18) {
        d += {0, 0};
      } else if (kind < 19) {
        d += {0, 2, char(next(12)), char(next(4))};
      } else if (next(8) == 0) {
        d += {0, 1};
      }
    }
    d.resize(next(uint32_t(d.size())) + 1);
    const bool four = i % 2, top_down = i % 3 == 0;
    expect_fitted_as_whole(bmp(40, 29, top_down ? -h : h, four ? 4 : 8, four ? 2 : 1, "", kPalette, d),
                           "run-length data " + std::to_string(i));
  }

  // Truncations, the first rows whole or not, and random damage.
  const std::string good = bmp(40, w, h, 24, 0, "", {}, bmp_rows(w, h, 24, false, colour));
  const std::string top_down = bmp(40, w, -h, 8, 0, "", kPalette, bmp_rows(w, h, 8, true, index));
  for (const std::string* file : {&good, &top_down})
    for (size_t n = 0; n < file->size(); n += 7)
      expect_fitted_as_whole(file->substr(0, n), "cut at " + std::to_string(n));
  for (int i = 0; i < 500; ++i) {
    std::string s = good;
    for (int k = 0; k < 3; ++k) s[next(60)] = char(next(256));
    expect_fitted_as_whole(s, "damaged " + std::to_string(i));
  }
}

// Found by fuzzing: a 5 x 3 picture with alpha bit fields whose alpha only
// one pixel uses. The others are wholly transparent and keep the colours
// behind them, in the decode and in the copy its rows make at its own size
// (the whole picture read on a worker): a save without alpha writes them.
TEST(BmpCodec, ColoursBehindWhollyTransparentPixelsStayAtTheOwnSize) {
  const uint8_t kFile[] = {
      'B', 'M', 0xB6, 0, 0, 0,              // file of 182 bytes
      0, 0, 0, 0,                           // reserved
      0x7A, 0, 0, 0,                        // bits at 122
      0x6C, 0, 0, 0,                        // V4 header
      5, 0, 0, 0, 3, 0, 0, 0,               // 5 x 3, bottom-up
      1, 0, 32, 0,                          // one plane, 32 bits
      3, 0, 0, 0,                           // bit fields
      0x3C, 0, 0, 0,                        // 60 bytes of bits
      0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0,   // 2835 pixels a metre
      0, 0, 0, 0, 0, 0, 0, 0,               // colours used, important
      0, 0, 0xFF, 0, 0, 0xFF, 0, 0,         // red and green masks
      0xFF, 0, 0, 0, 0, 0, 0, 0xFF,         // blue and alpha masks
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   // colour space, end points
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   //   and gammas unused
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   //
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   //
      0, 0, 0, 0,                           //
      // Rows from the bottom: B, G, R, A.
      0xDE, 0, 0, 0, 0x97, 1, 0, 0, 0x50, 2, 0, 0, 0x09, 3, 0, 0, 0xC2, 3, 0, 0,
      0x6F, 0, 0, 0, 0x28, 1, 0, 0, 0xE1, 1, 0, 0, 0x9A, 2, 0, 0, 0x53, 3, 0x1D, 0x37,
      0xAE, 0x2A, 0x3E, 0, 0xB9, 0, 0, 0, 0x72, 1, 0, 0, 0x2B, 2, 0, 0, 0xE4, 0x7D, 2, 0,
      0,  // one byte more than the bits
  };
  Pixels p;
  ASSERT_TRUE(Bmp_codec::decode(kFile, sizeof kFile, p));
  EXPECT_EQ(p.at(4, 1), 0x371D0353u);
  EXPECT_EQ(p.at(3, 1), 0x0000029Au);
  bool alpha = false;
  EXPECT_TRUE(brek::Picture_fit::shrink(p, {0, 0, 5, 3}, 5, 3, &alpha) == p);
  EXPECT_TRUE(alpha);
  // Read row by row, to its own size and smaller.
  expect_fitted_as_whole(std::string(reinterpret_cast<const char*>(kFile), sizeof kFile), "found by fuzzing");
}

// A BMP of w x h written a row at a time, never whole in memory: 24 bits
// of a colour per row, or RLE8 runs of an index per row (bottom-up).
void write_large_bmp(const std::string& path, int w, int h, bool rle) {
  auto row_of = [&](int r) {
    std::string row;
    if (!rle) {
      for (int x = 0; x < w; ++x) row += std::string{char(r), char(x), char(r + x)};
      row.resize(size_t((w * 3 + 3) & ~3), '\0');
      return row;
    }
    for (int x = 0; x < w; x += 255) row += std::string{char(std::min(255, w - x)), char(r % 8)};
    return row + std::string{0, 0};
  };
  std::string all_rle;
  if (rle)
    for (int r = 0; r < h; ++r) all_rle += row_of(r);
  const std::string head = bmp(40, w, h, rle ? 8 : 24, rle ? 1 : 0, "", rle ? kPalette : std::vector<uint32_t>{},
                               rle ? all_rle : std::string());
  std::ofstream out(path, std::ios::binary);
  out << head;
  for (int r = 0; !rle && r < h; ++r) out << row_of(r);
  ASSERT_TRUE(out.flush().good());
}

// A huge BMP read to a cell's size holds a few rows, not the file and the
// picture: uncompressed, whose rows are read where they lie, and
// run-length coded, whose rows are found first.
TEST(BmpCodec, AHugeBmpReadToACellsSizeHoldsRowsNotThePicture) {
  if (!brek_test::RESIDENT_SIZE_COUNTS) GTEST_SKIP() << "the sanitizers' allocators hold freed memory";
  constexpr int W = 4096, H = 3072;
  constexpr int64_t PICTURE = int64_t(W) * H * 4;
  for (bool rle : {false, true}) {
    brek_test::Temp_dir dir;
    const std::string path = dir.file("a.bmp");
    write_large_bmp(path, W, H, rle);
    Pixels out;
    bool alpha = true;
    const int64_t growth = brek_test::peak_growth([&] {
      brek::Picture_fit::decode_reduced(path, ".bmp", brek::Picture_fit::part(W, H, 160, 120, false), 160, 120, out,
                                        alpha);
    });
    ASSERT_EQ(out.width(), 160) << (rle ? "RLE8" : "24 bits");
    EXPECT_FALSE(alpha);
    EXPECT_LT(growth, PICTURE / 8) << (rle ? "RLE8: " : "24 bits: ") << growth / brek_test::MB << " MB";
  }
}

}  // namespace

namespace {

// A whole read of a BMP that is told to stop once `asked` times it said
// go on: the process's peak growth meanwhile, bytes.
int64_t growth_of_a_stopped_whole_read(const std::string& path, int asked) {
  Pixels out;
  bool alpha = false;
  int asks = 0;
  const int64_t growth = brek_test::peak_growth([&] {
    EXPECT_FALSE(brek::Picture_fit::decode_whole_bmp(path, out, alpha, nullptr, [&] { return asks++ < asked; }));
  });
  EXPECT_TRUE(out.empty());
  return growth;
}

}  // namespace

// A whole read (a worker's) stopped before it began takes no memory for
// the picture, and one stopped half way has touched only the rows it read.
TEST(BmpCodec, AWholeReadStoppedEarlyHoldsOnlyWhatItRead) {
  if (!brek_test::RESIDENT_SIZE_COUNTS) GTEST_SKIP() << "the sanitizers' allocators hold freed memory";
  constexpr int W = 4096, H = 3072;
  constexpr int64_t PICTURE = int64_t(W) * H * 4;
  brek_test::Temp_dir dir;
  const std::string path = dir.file("a.bmp");
  write_large_bmp(path, W, H, false);
  const int64_t at_once = growth_of_a_stopped_whole_read(path, 0);
  EXPECT_LT(at_once, PICTURE / 16) << "stopped before it began: " << at_once / brek_test::MB << " MB";
  // Asked every 256 rows: stopped after about half of them.
  const int64_t half_way = growth_of_a_stopped_whole_read(path, H / 256 / 2);
  EXPECT_LT(half_way, PICTURE * 5 / 8) << "stopped half way: " << half_way / brek_test::MB << " MB";
}
