#include <gtest/gtest.h>

#include "images/icon_codec.h"
#include "tests/images/image_test_util.h"

using brek::Pixels;
namespace Icon_codec = brek::Icon_codec;
using namespace brek_test;

namespace {

// A DIB entry of an icon: info header with the doubled height, palette,
// colour rows and the AND mask, all bottom-up. colour(x, y) gives the
// index (bpp <= 8) or the B, G, R(, A) word; masked(x, y) the AND bit.
template <class Colour, class Masked>
std::string dib(int w, int h, int bpp, int palette_size, Colour colour, Masked masked) {
  std::string d;
  put32le(d, 40);
  put32le(d, w);
  put32le(d, 2 * h);
  put16le(d, 1);
  put16le(d, bpp);
  for (int i = 0; i < 6; ++i) put32le(d, 0);
  for (int i = 0; i < palette_size; ++i) put32le(d, i == 1 ? 0x0000FF : i == 2 ? 0x00FF00 : 0);
  for (int y = h - 1; y >= 0; --y) {
    std::string row;
    for (int x = 0; x < w; ++x) {
      uint32_t v = colour(x, y);
      if (bpp == 8) row.push_back(char(v));
      for (int b = 0; bpp >= 24 && b < bpp / 8; ++b) row.push_back(char(v >> (8 * b)));
    }
    while (row.size() % 4) row.push_back(0);
    d += row;
  }
  for (int y = h - 1; y >= 0; --y) {
    std::string row((w + 31) / 32 * 4, '\0');
    for (int x = 0; x < w; ++x)
      if (masked(x, y)) row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
    d += row;
  }
  return d;
}

// An icon (type 1) or cursor (type 2) file of the given entries; the
// directory's size bytes are filled as a writer would (0 for 256).
std::string icon_file(int type, const std::vector<std::pair<int, std::string>>& entries) {
  std::string f;
  put16le(f, 0);
  put16le(f, type);
  put16le(f, uint32_t(entries.size()));
  uint32_t offset = 6 + 16 * uint32_t(entries.size());
  std::string body;
  for (auto& [side, data] : entries) {
    f.push_back(char(side & 255));
    f.push_back(char(side & 255));
    f.push_back(0);
    f.push_back(0);
    put16le(f, type == 2 ? 3 : 1);   // planes, or the hot spot's x
    put16le(f, type == 2 ? 4 : 32);  // depth, or the hot spot's y
    put32le(f, uint32_t(data.size()));
    put32le(f, offset + uint32_t(body.size()));
    body += data;
  }
  return f + body;
}

bool decode(const std::string& file, Pixels& p) {
  auto b = bytes_of(file);
  return Icon_codec::decode(b.data(), b.size(), p);
}

auto none = [](int, int) { return false; };

TEST(IconCodec, PicksTheLargestThenDeepestEntry) {
  std::string small8 = dib(16, 16, 8, 256, [](int, int) { return 1u; }, none);
  std::string big24 = dib(32, 32, 24, 0, [](int, int) { return 0x00FF00u; }, none);
  std::string big32 = dib(32, 32, 32, 0, [](int x, int) { return (x < 16 ? 0xFF000000u : 0x80000000u) | 0x0000FFu; }, none);
  Pixels p;
  ASSERT_TRUE(decode(icon_file(1, {{16, small8}, {32, big24}, {32, big32}}), p));
  ASSERT_EQ(p.width(), 32);
  ASSERT_EQ(p.height(), 32);  // not the doubled height of the entry
  EXPECT_EQ(p.at(0, 0), Pixels::bgra(255, 0, 0, 255));
  EXPECT_EQ(p.at(20, 5), Pixels::bgra(255, 0, 0, 0x80));  // the entry's own alpha
  // Only the small one: its palette and an AND mask.
  std::string masked = dib(16, 16, 8, 256, [](int x, int) { return x < 8 ? 1u : 2u; },
                           [](int x, int y) { return x == 0 && y == 0; });
  ASSERT_TRUE(decode(icon_file(1, {{16, masked}}), p));
  EXPECT_EQ(p.at(0, 0), Pixels::bgra(255, 0, 0, 0));  // masked: transparent
  EXPECT_EQ(p.at(1, 0), Pixels::bgra(255, 0, 0, 255));
  EXPECT_EQ(p.at(12, 15), Pixels::bgra(0, 255, 0, 255));
}

TEST(IconCodec, CursorsAndPngEntries) {
  // A cursor's directory holds the hot spot where icons keep the depth.
  std::string c24 = dib(8, 4, 24, 0, [](int, int) { return 0x102030u; }, [](int x, int) { return x == 7; });
  Pixels p;
  ASSERT_TRUE(decode(icon_file(2, {{8, c24}}), p));
  EXPECT_EQ(p.width(), 8);
  EXPECT_EQ(p.height(), 4);
  EXPECT_EQ(p.at(0, 0), Pixels::bgra(0x30, 0x20, 0x10, 255));
  EXPECT_EQ(Pixels::alpha(p.at(7, 3)), 0);
  // A 256-pixel PNG entry (directory bytes 0) beats a 48-pixel DIB.
  Pixels src = test_picture(256, 256);
  src.set(3, 4, Pixels::bgra(1, 2, 3, 40));
  std::string d48 = dib(48, 48, 32, 0, [](int, int) { return 0xFF00FF00u; }, none);
  ASSERT_TRUE(decode(icon_file(1, {{48, d48}, {256, make_png(src)}}), p));
  EXPECT_TRUE(p == src);
  // A damaged best entry gives way to the next.
  std::string broken = make_png(src);
  broken.resize(60);
  ASSERT_TRUE(decode(icon_file(1, {{256, broken}, {48, d48}}), p));
  EXPECT_EQ(p.width(), 48);
}

TEST(IconCodec, EveryImageInFileOrderSkippingWhatDoesNotDecode) {
  std::string d32 = dib(32, 32, 32, 0, [](int, int) { return 0xFF0000FFu; }, none);
  std::string d16 = dib(16, 16, 24, 0, [](int, int) { return 0x00FF00u; }, [](int x, int y) { return x == 0 && y == 0; });
  Pixels src = test_picture(64, 64);
  std::string broken = make_png(src);
  broken.resize(60);
  auto b = bytes_of(icon_file(1, {{32, d32}, {64, broken}, {16, d16}, {64, make_png(src)}}));
  std::vector<Pixels> all = Icon_codec::decode_all(b.data(), b.size());
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].width(), 32);
  EXPECT_EQ(all[0].at(5, 5), Pixels::bgra(0xFF, 0, 0, 255));
  EXPECT_EQ(all[1].width(), 16);
  EXPECT_EQ(Pixels::alpha(all[1].at(0, 0)), 0);
  EXPECT_EQ(all[1].at(1, 0), Pixels::bgra(0, 0xFF, 0, 255));
  EXPECT_TRUE(all[2] == src);
  EXPECT_TRUE(Icon_codec::decode_all(b.data(), 5).empty());
  EXPECT_TRUE(Icon_codec::decode_all(nullptr, 0).empty());
}

// Found by fuzzing: the directory's only entry points into the directory
// itself, where a PNG signature starts an "image" of 4281548564 x
// 4279177999 pixels. Weighing entries by area must not overflow (a
// sanitizer build caught it), and the file is a failed load.
TEST(IconCodec, HugeDeclaredPngSidesAreWeighedWithoutOverflow) {
  const uint8_t kFile[] = {
      0x00, 0x00, 0x01, 0x00, 0x02, 0x00,  // icon, 2 entries (one fits)
      0x00, 0x0F, 0x00, 0x00,              // entry: 0 x 15, colours, reserved
      0x89, 0x50, 0x4E, 0x47,              //   planes and depth; at offset 10 the PNG signature
      0x0D, 0x0A, 0x1A, 0x0A,              //   byte count
      0x0A, 0x00, 0x00, 0x00,              //   offset 10
      0x3B, 0x00, 0x3F, 0x14,              // where a PNG has its "IHDR"
      0xFF, 0x33, 0x3F, 0x14,              // width 4281548564
      0xFF, 0x0F, 0x0F, 0x0F,              // height 4279177999
  };
  Pixels p(1, 1);
  EXPECT_FALSE(Icon_codec::decode(kFile, sizeof kFile, p));
  EXPECT_TRUE(p.empty());
}

TEST(IconCodec, MalformedFilesFail) {
  std::string good = icon_file(1, {{16, dib(16, 16, 24, 0, [](int, int) { return 1u; }, none)}});
  Pixels p(1, 1);
  EXPECT_FALSE(decode("", p));
  EXPECT_TRUE(p.empty());
  std::string bad_type = good;
  bad_type[2] = 3;
  EXPECT_FALSE(decode(bad_type, p));
  std::string far = good;
  far[6 + 12] = char(0xF0);  // entry offset beyond the file
  EXPECT_FALSE(decode(far, p));
  std::string no_entries = good;
  no_entries[4] = 0;
  EXPECT_FALSE(decode(no_entries, p));
  // Cut inside the colour rows: nothing decodes; cut inside the mask: the
  // picture is kept, opaque.
  EXPECT_FALSE(decode(good.substr(0, 6 + 16 + 40 + 100), p));
  ASSERT_TRUE(decode(good.substr(0, good.size() - 10), p));
  EXPECT_EQ(Pixels::alpha(p.at(0, 0)), 255);
  uint32_t seed = 99;
  for (int i = 0; i < 2000; ++i) {
    std::string s = good;
    for (int k = 0; k < 3; ++k) {
      seed = seed * 1103515245u + 12345u;
      s[(seed >> 8) % 70] = char(seed >> 24);  // the directory and header
    }
    decode(s, p);
  }
}

}  // namespace
