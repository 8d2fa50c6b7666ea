#include "images/quantizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using brek::Indexed_bitmap;
using brek::mapping_method;
using brek::Pixels;
using brek::Rgb_entry;
namespace RxGraph = brek::RxGraph;

namespace {

uint32_t rgb(int r, int g, int b) { return Pixels::bgra(uint8_t(b), uint8_t(g), uint8_t(r)); }

Rgb_entry entry_of(uint32_t px) { return {Pixels::red(px), Pixels::green(px), Pixels::blue(px)}; }

Rgb_entry shown(const Indexed_bitmap& q, int x, int y) { return q.palette[q.at(x, y)]; }

int worst_channel_error(const Pixels& p, const Indexed_bitmap& q) {
  int worst = 0;
  for (int y = 0; y < p.height(); ++y)
    for (int x = 0; x < p.width(); ++x) {
      const Rgb_entry want = entry_of(p.at(x, y)), got = shown(q, x, y);
      worst = std::max({worst, std::abs(want.red - got.red), std::abs(want.green - got.green),
                        std::abs(want.blue - got.blue)});
    }
  return worst;
}

// A smooth picture of many colours, like a photograph.
Pixels gradient(int w, int h) {
  Pixels p(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.set(x, y, rgb(x * 255 / (w - 1), y * 255 / (h - 1), (x + y) * 255 / (w + h - 2)));
  return p;
}

}  // namespace

TEST(Quantizer, FewColoursStayExactOrderedByFrequencyThenGrey) {
  // 4 x 3: the bottom row is scanned first, so on equal counts its colours
  // come first.
  const uint32_t a = rgb(10, 20, 30), b = rgb(200, 0, 0), c = rgb(0, 0, 255), d = rgb(1, 2, 3);
  Pixels p(4, 3);
  const uint32_t rows[3][4] = {{c, c, a, a}, {a, a, c, a}, {d, b, b, c}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) p.set(x, y, rows[y][x]);
  Indexed_bitmap q = RxGraph::reduce_to_8bit(p, mapping_method::HISTOGRAM);
  ASSERT_EQ(q.width, 4);
  ASSERT_EQ(q.height, 3);
  // a: 5, c: 4, then b and d twice and once: b met first from the bottom.
  EXPECT_EQ(q.palette[0], entry_of(a));
  EXPECT_EQ(q.palette[1], entry_of(c));
  EXPECT_EQ(q.palette[2], entry_of(b));
  EXPECT_EQ(q.palette[3], entry_of(d));
  for (int i = 4; i < 256; ++i) ASSERT_EQ(q.palette[size_t(i)], (Rgb_entry{128, 128, 128}));
  EXPECT_EQ(worst_channel_error(p, q), 0);

  // Equal counts: the first met scanning bottom up wins.
  Pixels t(2, 2);
  t.set(0, 0, a), t.set(1, 0, a), t.set(0, 1, b), t.set(1, 1, b);
  q = RxGraph::reduce_to_8bit(t, mapping_method::HISTOGRAM);
  EXPECT_EQ(q.palette[0], entry_of(b));
  EXPECT_EQ(q.palette[1], entry_of(a));

  // Alpha is not a colour.
  Pixels s(2, 1);
  s.set(0, 0, a), s.set(1, 0, (a & 0xFFFFFFu) | 0x10000000u);
  q = RxGraph::reduce_to_8bit(s, mapping_method::HISTOGRAM);
  EXPECT_EQ(q.at(0, 0), q.at(1, 0));
}

TEST(Quantizer, ThreeHundredColoursKeepTheFrequentOnesAndMapTheRestToTheNearest) {
  // Colour i (grey level i for i < 256, then reds) appears 400 - i times;
  // the rows are filled up with black, the most frequent anyway.
  std::vector<uint32_t> px;
  for (int i = 0; i < 300; ++i) {
    const uint32_t c = i < 256 ? rgb(i, i, i) : rgb(255, 0, (i - 256) * 5);
    px.insert(px.end(), size_t(400 - i), c);
  }
  Pixels p(500, int(px.size() / 500 + 1), rgb(0, 0, 0));
  for (size_t i = 0; i < px.size(); ++i) p.set(int(i % 500), int(i / 500), px[i]);
  Indexed_bitmap q = RxGraph::reduce_to_8bit(p, mapping_method::HISTOGRAM);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(q.palette[size_t(i)], (Rgb_entry{uint8_t(i), uint8_t(i), uint8_t(i)}));
  // The 44 reds are left over; their nearest grey is the one with the
  // least squared distance: (255, 0, b) to (v, v, v).
  for (size_t i = 0; i < px.size(); ++i) {
    const Rgb_entry c = entry_of(p.at(int(i % 500), int(i / 500)));
    int best = 0, best_d = 1 << 30;
    for (int v = 0; v < 256; ++v) {
      const int d = (c.red - v) * (c.red - v) + (c.green - v) * (c.green - v) + (c.blue - v) * (c.blue - v);
      if (d < best_d) best_d = d, best = v;
    }
    ASSERT_EQ(q.at(int(i % 500), int(i / 500)), best) << "pixel " << i;
  }
}

TEST(Quantizer, TooManyColoursGiveUpBlueFirstAndKeepTheirMeanColour) {
  // 2047 colours of even channels, (0,0,1) beside (0,0,0), and (0,1,0):
  // 2050 colours do not fit. Giving up blue's lowest bit joins (0,0,1)
  // with (0,0,0) and nothing else, and then they fit.
  std::vector<uint32_t> px;
  for (int i = 0; i < 2047; ++i) px.push_back(rgb((i & 15) * 2, ((i >> 4) & 15) * 2 + 64, (i >> 8) * 2 + 64));
  for (int k = 0; k < 50; ++k) px.insert(px.end(), {rgb(0, 0, 0), rgb(0, 0, 0), rgb(0, 0, 1), rgb(0, 1, 0)});
  Pixels p(int(px.size()), 1);
  for (size_t i = 0; i < px.size(); ++i) p.set(int(i), 0, px[i]);
  Indexed_bitmap q = RxGraph::reduce_to_8bit(p, mapping_method::HISTOGRAM);
  const int zero = q.at(2047, 0), one_blue = q.at(2049, 0), one_green = q.at(2050, 0);
  EXPECT_EQ(zero, one_blue);
  EXPECT_NE(zero, one_green);
  // The joined entry shows the mean of its pixels: blue (0+0+1)/3 rounds to 0.
  EXPECT_EQ(q.palette[size_t(zero)], (Rgb_entry{0, 0, 0}));
  EXPECT_EQ(q.palette[size_t(one_green)], (Rgb_entry{0, 1, 0}));

  // Many colours: whites stay white instead of the masked-down corner of
  // their bucket, and every pixel stays close to its colour.
  Pixels g = gradient(256, 256);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 256; ++x) g.set(x, y, rgb(255, 255, 255));
  q = RxGraph::reduce_to_8bit(g, mapping_method::HISTOGRAM);
  const Rgb_entry white = shown(q, 0, 0);
  EXPECT_GE(std::min({white.red, white.green, white.blue}), 250);
  // Colours left out of the palette take their nearest entry, which may be
  // far; on average the picture stays close.
  EXPECT_LE(worst_channel_error(g, q), 96);
  double sum = 0;
  for (int y = 0; y < g.height(); ++y)
    for (int x = 0; x < g.width(); ++x) {
      const Rgb_entry w = entry_of(g.at(x, y)), s = shown(q, x, y);
      sum += std::abs(w.red - s.red) + std::abs(w.green - s.green) + std::abs(w.blue - s.blue);
    }
  EXPECT_LT(sum / (3.0 * g.width() * g.height()), 8.0);
}

TEST(Quantizer, BoxSplitKeepsSeparateColoursAndBoundsTheError) {
  // 200 colours, each in a bin of its own, stay exact.
  Pixels p(200, 2);
  for (int x = 0; x < 200; ++x) {
    const uint32_t c = rgb((x % 8) * 32, ((x / 8) % 5) * 48, (x / 40) * 48);
    p.set(x, 0, c), p.set(x, 1, c);
  }
  Indexed_bitmap q = RxGraph::reduce_to_8bit(p, mapping_method::BOX_SPLIT);
  EXPECT_EQ(q.used_colors, 200);
  EXPECT_EQ(worst_channel_error(p, q), 0);

  Pixels g = gradient(300, 200);
  q = RxGraph::reduce_to_8bit(g, mapping_method::BOX_SPLIT);
  EXPECT_EQ(q.used_colors, 256);
  EXPECT_LE(worst_channel_error(g, q), 40);
}

TEST(Quantizer, FixedPalettesRampsAndGrey) {
  Pixels p(3, 2);
  p.set(0, 0, rgb(255, 255, 255)), p.set(1, 0, rgb(20, 19, 42)), p.set(2, 0, rgb(100, 200, 60));
  p.set(0, 1, rgb(0, 0, 0)), p.set(1, 1, rgb(44, 18, 43)), p.set(2, 1, rgb(13, 26, 39));

  Indexed_bitmap q = RxGraph::reduce_to_8bit(p, mapping_method::FIXED_224);
  EXPECT_EQ(q.used_colors, 224);
  EXPECT_EQ(q.at(0, 0), 223);
  EXPECT_EQ(shown(q, 0, 0), (Rgb_entry{255, 255, 255}));
  EXPECT_EQ(shown(q, 1, 0), (Rgb_entry{0, 36, 0}));    // 20 -> 0, 19 -> 36, 42 -> 0
  EXPECT_EQ(shown(q, 1, 1), (Rgb_entry{43, 0, 85}));   // 44 -> 43, 18 -> 0, 43 -> 85
  EXPECT_EQ(shown(q, 2, 0), (Rgb_entry{85, 182, 85}));   // 200 lies nearer 182 than 219

  q = RxGraph::reduce_to_8bit(p, mapping_method::FIXED_216);
  EXPECT_EQ(q.used_colors, 216);
  EXPECT_EQ(q.at(0, 0), 215);
  EXPECT_EQ(shown(q, 2, 0), (Rgb_entry{102, 204, 51}));

  // Ramps: (column + row from the bottom) mod 3 picks red, green, blue.
  q = RxGraph::reduce_to_8bit(p, mapping_method::CHANNEL_RAMPS);
  EXPECT_EQ(q.at(0, 1), 0);               // red 0
  EXPECT_EQ(q.at(1, 1), 64 + 18 / 4);     // green
  EXPECT_EQ(q.at(2, 1), 128 + 39 / 4);    // blue
  EXPECT_EQ(q.at(0, 0), 64 + 255 / 4);    // row 1 from the bottom: green
  EXPECT_EQ(q.palette[130], (Rgb_entry{0, 0, 8}));
  EXPECT_EQ(q.palette[200], (Rgb_entry{0, 0, 0}));

  q = RxGraph::reduce_to_8bit(p, mapping_method::GRAYSCALE);
  EXPECT_EQ(q.palette[77], (Rgb_entry{77, 77, 77}));
  EXPECT_EQ(q.at(0, 0), 255);
  EXPECT_EQ(q.at(2, 0), (100 * 77 + 200 * 150 + 60 * 29) / 256);

  EXPECT_TRUE(RxGraph::reduce_to_8bit(Pixels(), mapping_method::HISTOGRAM).empty());
}
