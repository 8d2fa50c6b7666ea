#include "images/quantizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numeric>
#include <random>
#include <set>

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

// The masks are the first of the sequence (blue, red, green losing their
// lowest bit in turn) with which the masked colours number at most 2049:
// then pixels of one masked colour share an index and the palette holds
// as many of them as fit. Pictures of random colours whose count crosses
// that limit at different steps, found here by counting each step anew.
TEST(Quantizer, MasksAreTheFirstWithWhichTheColoursFit) {
  std::mt19937 rng(17);
  std::set<int> steps_seen;
  for (int round = 0; round < 30; ++round) {
    const int spread[3] = {1 + int(rng() % 256), 1 + int(rng() % 256), 1 + int(rng() % 256)};
    const int colours = 1500 + int(rng() % 6000);
    std::vector<uint32_t> palette;
    for (int i = 0; i < colours; ++i)
      palette.push_back(rgb(int(rng()) % spread[0], int(rng()) % spread[1], int(rng()) % spread[2]));
    // Every other round: colours of even channels, and the lowest bit of
    // blue (1000 colours, or 2000), of blue and red, or of all three set
    // at random; or blue's second bit (its lowest one cleared).
    const int low_bits = round % 2 ? round / 2 % 5 : -1;
    if (low_bits >= 0) {
      std::set<uint32_t> even;
      while (even.size() < (low_bits == 0 ? 1000u : 2000u))
        even.insert(rng() & (low_bits == 4 ? 0xFEFEFCu : 0xFEFEFEu));
      palette.assign(even.begin(), even.end());
    }
    Pixels p(160, 120);
    for (int y = 0; y < p.height(); ++y)
      for (int x = 0; x < p.width(); ++x) {
        uint32_t c = palette[rng() % palette.size()];
        if (low_bits == 4) c |= rng() & 0x000002u;
        if (low_bits >= 0 && low_bits < 4) c |= rng() & 0x000001u;
        if (low_bits == 2 || low_bits == 3) c |= rng() & 0x010000u;
        if (low_bits == 3) c |= rng() & 0x000100u;
        p.set(x, y, c | 0xFF000000u);
      }

    uint8_t m[3] = {0xFF, 0xFF, 0xFF};  // red, green, blue
    auto masked = [&](uint32_t px) {
      return (uint32_t(Pixels::red(px) & m[0]) << 16) | (uint32_t(Pixels::green(px) & m[1]) << 8) |
             (Pixels::blue(px) & m[2]);
    };
    int step = 0;
    for (;; ++step) {
      std::set<uint32_t> distinct;
      for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) distinct.insert(masked(p.at(x, y)));
      if (distinct.size() <= 2049u) break;
      uint8_t& lose = m[0] < m[1] ? m[1] : m[0] <= m[2] ? m[2] : m[0];
      lose = uint8_t(lose << 1);
    }
    steps_seen.insert(step);

    // A picked colour shows the mean of its pixels, which keeps the masked
    // bits; so exactly the pixels of the 256 most frequent masked colours
    // show a colour of their own masked value.
    Indexed_bitmap q = RxGraph::reduce_to_8bit(p, mapping_method::HISTOGRAM);
    std::map<uint32_t, int> count;
    int own = 0;
    for (int y = 0; y < p.height(); ++y)
      for (int x = 0; x < p.width(); ++x) {
        const Rgb_entry c = shown(q, x, y);
        ++count[masked(p.at(x, y))];
        own += masked(rgb(c.red, c.green, c.blue)) == masked(p.at(x, y));
      }
    std::vector<int> counts;
    for (const auto& [colour, n] : count) counts.push_back(n);
    std::sort(counts.rbegin(), counts.rend());
    counts.resize(std::min<size_t>(256, counts.size()));
    EXPECT_EQ(own, std::accumulate(counts.begin(), counts.end(), 0)) << "round " << round << " step " << step;
  }
  // Full masks, the first three steps and later ones all came up.
  for (int step : {0, 1, 2, 3, 4}) EXPECT_TRUE(steps_seen.count(step)) << step;
  EXPECT_GT(*steps_seen.rbegin(), 4);
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
