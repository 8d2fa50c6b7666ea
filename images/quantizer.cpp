#include "images/quantizer.h"

#include <algorithm>
#include <limits>

namespace brek::RxGraph {

namespace {

Indexed_bitmap blank(const Pixels& source) {
  Indexed_bitmap out;
  out.width = source.width();
  out.height = source.height();
  out.indexes.assign(size_t(source.width()) * size_t(source.height()), 0);
  return out;
}

// ---- histogram ---------------------------------------------------------------

// The colours of a picture after masking each channel, with their pixel
// counts, in the order they are first met scanning the rows bottom up.
// Each entry also sums the unmasked channels, so that its palette colour is
// the mean of the pixels it stands for rather than the masked-down corner
// of its bucket (which darkens every colour by up to the bits given up).
class Histogram {
 public:
  struct Entry {
    uint8_t r, g, b;  // masked
    uint32_t count;
    uint64_t sum_r, sum_g, sum_b;
    uint8_t index;
  };

  uint8_t mask_r = 0xFF, mask_g = 0xFF, mask_b = 0xFF;
  std::vector<Entry> entries;

  Histogram() { entries.reserve(HISTOGRAM_ENTRIES); }

  // False when the picture has more masked colours than the histogram
  // holds; the counting stops there.
  bool build(const Pixels& p) {
    entries.clear();
    slots_.fill(EMPTY);
    for (int y = p.height() - 1; y >= 0; --y) {
      const uint32_t* row = p.row(y);
      uint32_t last = 0;
      Entry* last_entry = nullptr;
      for (int x = 0; x < p.width(); ++x) {
        const uint32_t px = row[x] & 0xFFFFFFu;
        Entry* e = (last_entry && px == last) ? last_entry : find(px, true);
        if (!e) return false;
        ++e->count;
        e->sum_r += Pixels::red(px);
        e->sum_g += Pixels::green(px);
        e->sum_b += Pixels::blue(px);
        last = px;
        last_entry = e;
      }
    }
    return true;
  }

  // One channel gives up its lowest kept bit: blue, red, green in turn
  // from full masks.
  void give_up_a_bit() {
    if (mask_r < mask_g)
      mask_g = uint8_t(mask_g << 1);
    else if (mask_r <= mask_b)
      mask_b = uint8_t(mask_b << 1);
    else
      mask_r = uint8_t(mask_r << 1);
  }

  // The entry of the pixel's masked colour; a new one when `add` and there
  // is room, else nullptr.
  Entry* find(uint32_t px, bool add) {
    const uint8_t r = Pixels::red(px) & mask_r, g = Pixels::green(px) & mask_g,
                  b = Pixels::blue(px) & mask_b;
    const uint32_t key = uint32_t(r) << 16 | uint32_t(g) << 8 | b;
    uint32_t slot = (key * 2654435761u) >> (32 - SLOT_BITS);
    for (int probes = 0; probes < SLOTS; ++probes) {
      const uint16_t i = slots_[slot];
      if (i == EMPTY) {
        if (!add || int(entries.size()) >= HISTOGRAM_ENTRIES) return nullptr;
        slots_[slot] = uint16_t(entries.size());
        entries.push_back(Entry{r, g, b, 0, 0, 0, 0, 0});
        return &entries.back();
      }
      Entry& e = entries[i];
      if (e.r == r && e.g == g && e.b == b) return &e;
      slot = (slot + 1) & (SLOTS - 1);
    }
    return nullptr;
  }

 private:
  // Four times the entries: short probes. Which slot a colour takes
  // changes nothing but speed; the entries keep the order they were met.
  static constexpr int SLOT_BITS = 13;
  static constexpr int SLOTS = 1 << SLOT_BITS;
  static constexpr uint16_t EMPTY = 0xFFFF;
  std::array<uint16_t, SLOTS> slots_{};
};

Rgb_entry mean_of(uint64_t sr, uint64_t sg, uint64_t sb, uint64_t n) {
  if (n == 0) return {};
  return Rgb_entry{uint8_t((sr + n / 2) / n), uint8_t((sg + n / 2) / n), uint8_t((sb + n / 2) / n)};
}

int distance(const Rgb_entry& a, const Rgb_entry& b) {
  const int dr = a.red - b.red, dg = a.green - b.green, db = a.blue - b.blue;
  return dr * dr + dg * dg + db * db;
}

Indexed_bitmap by_histogram(const Pixels& source) {
  Indexed_bitmap out = blank(source);
  Histogram h;
  // Terminates: with every mask at 0 the picture has one colour.
  while (!h.build(source)) h.give_up_a_bit();

  // The most frequent colours take the entries in order; ties go to the
  // colour met first.
  std::vector<uint32_t> left(h.entries.size());
  std::vector<Rgb_entry> colour(h.entries.size());
  for (size_t i = 0; i < h.entries.size(); ++i) {
    const auto& e = h.entries[i];
    left[i] = e.count;
    colour[i] = mean_of(e.sum_r, e.sum_g, e.sum_b, e.count);
  }
  size_t picked = 0;
  for (; picked < 256 && picked < h.entries.size(); ++picked) {
    size_t best = 0;
    for (size_t i = 1; i < left.size(); ++i)
      if (left[i] > left[best]) best = i;
    h.entries[best].index = uint8_t(picked);
    left[best] = 0;
    out.palette[picked] = colour[best];
  }
  for (size_t i = picked; i < 256; ++i) out.palette[i] = Rgb_entry{128, 128, 128};
  out.used_colors = 256;

  // The rest go to their nearest entry.
  for (size_t i = 0; i < h.entries.size(); ++i) {
    if (left[i] == 0) continue;
    int best = 0, best_d = std::numeric_limits<int>::max();
    for (int k = 0; k < 256; ++k) {
      const int d = distance(colour[i], out.palette[size_t(k)]);
      if (d < best_d) best_d = d, best = k;
    }
    h.entries[i].index = uint8_t(best);
  }

  for (int y = 0; y < source.height(); ++y) {
    const uint32_t* row = source.row(y);
    uint8_t* dst = out.indexes.data() + size_t(y) * size_t(source.width());
    uint32_t last = 0;
    uint8_t last_index = 0;
    bool have_last = false;
    for (int x = 0; x < source.width(); ++x) {
      const uint32_t px = row[x] & 0xFFFFFFu;
      if (!have_last || px != last) {
        const Histogram::Entry* e = h.find(px, false);
        last_index = e ? e->index : 0;
        last = px;
        have_last = true;
      }
      dst[x] = last_index;
    }
  }
  return out;
}

// ---- box split ---------------------------------------------------------------

// Colour space at 5 bits per channel; boxes of it are split at the median
// of their pixels along their longest side, the fullest box first.
Indexed_bitmap by_box_split(const Pixels& source) {
  constexpr int SIDE = 32;
  struct Bin {
    uint32_t count = 0;
    uint64_t sr = 0, sg = 0, sb = 0;
  };
  std::vector<Bin> bins(size_t(SIDE) * SIDE * SIDE);
  auto bin_of = [](uint32_t px) {
    return (size_t(Pixels::red(px) >> 3) << 10) | (size_t(Pixels::green(px) >> 3) << 5) |
           size_t(Pixels::blue(px) >> 3);
  };
  for (int y = 0; y < source.height(); ++y) {
    const uint32_t* row = source.row(y);
    for (int x = 0; x < source.width(); ++x) {
      Bin& b = bins[bin_of(row[x])];
      ++b.count;
      b.sr += Pixels::red(row[x]);
      b.sg += Pixels::green(row[x]);
      b.sb += Pixels::blue(row[x]);
    }
  }
  auto at = [&](int r, int g, int b) -> Bin& { return bins[(size_t(r) << 10) | (size_t(g) << 5) | size_t(b)]; };

  struct Box {
    int lo[3], hi[3];
    uint64_t count;
  };
  // Shrinks the box to the bins that hold pixels and counts them.
  auto shrink = [&](Box& box) {
    int lo[3] = {SIDE, SIDE, SIDE}, hi[3] = {-1, -1, -1};
    box.count = 0;
    for (int r = box.lo[0]; r <= box.hi[0]; ++r)
      for (int g = box.lo[1]; g <= box.hi[1]; ++g)
        for (int b = box.lo[2]; b <= box.hi[2]; ++b) {
          const uint32_t n = at(r, g, b).count;
          if (!n) continue;
          box.count += n;
          const int c[3] = {r, g, b};
          for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], c[k]), hi[k] = std::max(hi[k], c[k]);
        }
    for (int k = 0; k < 3; ++k) box.lo[k] = lo[k], box.hi[k] = hi[k];
  };

  std::vector<Box> boxes;
  Box all{{0, 0, 0}, {SIDE - 1, SIDE - 1, SIDE - 1}, 0};
  shrink(all);
  if (all.count == 0) return blank(source);
  boxes.push_back(all);
  while (boxes.size() < 256) {
    int chosen = -1;
    for (size_t i = 0; i < boxes.size(); ++i) {
      const Box& b = boxes[i];
      if (b.lo[0] == b.hi[0] && b.lo[1] == b.hi[1] && b.lo[2] == b.hi[2]) continue;
      if (chosen < 0 || b.count > boxes[size_t(chosen)].count) chosen = int(i);
    }
    if (chosen < 0) break;
    Box box = boxes[size_t(chosen)];
    int axis = 0;
    for (int k = 1; k < 3; ++k)
      if (box.hi[k] - box.lo[k] > box.hi[axis] - box.lo[axis]) axis = k;
    // Pixels in each plane across the axis; the cut keeps both halves
    // non-empty because the box was shrunk to its bins.
    std::vector<uint64_t> plane(SIDE, 0);
    for (int r = box.lo[0]; r <= box.hi[0]; ++r)
      for (int g = box.lo[1]; g <= box.hi[1]; ++g)
        for (int b = box.lo[2]; b <= box.hi[2]; ++b) {
          const int c[3] = {r, g, b};
          plane[size_t(c[axis])] += at(r, g, b).count;
        }
    uint64_t sum = 0;
    int cut = box.lo[axis];
    for (int p = box.lo[axis]; p < box.hi[axis]; ++p) {
      sum += plane[size_t(p)];
      cut = p;
      if (sum * 2 >= box.count) break;
    }
    Box low = box, high = box;
    low.hi[axis] = cut;
    high.lo[axis] = cut + 1;
    shrink(low);
    shrink(high);
    boxes[size_t(chosen)] = low;
    boxes.push_back(high);
  }

  Indexed_bitmap out = blank(source);
  std::vector<uint8_t> box_of(bins.size(), 0);
  for (size_t i = 0; i < boxes.size(); ++i) {
    const Box& box = boxes[i];
    uint64_t n = 0, sr = 0, sg = 0, sb = 0;
    for (int r = box.lo[0]; r <= box.hi[0]; ++r)
      for (int g = box.lo[1]; g <= box.hi[1]; ++g)
        for (int b = box.lo[2]; b <= box.hi[2]; ++b) {
          const Bin& bin = at(r, g, b);
          box_of[(size_t(r) << 10) | (size_t(g) << 5) | size_t(b)] = uint8_t(i);
          n += bin.count, sr += bin.sr, sg += bin.sg, sb += bin.sb;
        }
    out.palette[i] = mean_of(sr, sg, sb, n);
  }
  out.used_colors = int(boxes.size());
  for (int y = 0; y < source.height(); ++y) {
    const uint32_t* row = source.row(y);
    uint8_t* dst = out.indexes.data() + size_t(y) * size_t(source.width());
    for (int x = 0; x < source.width(); ++x) dst[x] = box_of[bin_of(row[x])];
  }
  return out;
}

// ---- fixed palettes ----------------------------------------------------------

// Level i of n spread evenly over 0..255, and the nearest level of a value.
uint8_t level_value(int i, int n) { return uint8_t((i * 255 * 2 + (n - 1)) / (2 * (n - 1))); }
int nearest_level(int v, int n) { return (v * (n - 1) + 127) / 255; }

Indexed_bitmap by_levels(const Pixels& source, int nr, int ng, int nb) {
  Indexed_bitmap out = blank(source);
  for (int r = 0; r < nr; ++r)
    for (int g = 0; g < ng; ++g)
      for (int b = 0; b < nb; ++b)
        out.palette[size_t((r * ng + g) * nb + b)] =
            Rgb_entry{level_value(r, nr), level_value(g, ng), level_value(b, nb)};
  out.used_colors = nr * ng * nb;
  std::array<uint8_t, 256> lr{}, lg{}, lb{};
  for (int v = 0; v < 256; ++v) {
    lr[size_t(v)] = uint8_t(nearest_level(v, nr));
    lg[size_t(v)] = uint8_t(nearest_level(v, ng));
    lb[size_t(v)] = uint8_t(nearest_level(v, nb));
  }
  for (int y = 0; y < source.height(); ++y) {
    const uint32_t* row = source.row(y);
    uint8_t* dst = out.indexes.data() + size_t(y) * size_t(source.width());
    for (int x = 0; x < source.width(); ++x) {
      const uint32_t px = row[x];
      dst[x] = uint8_t((lr[Pixels::red(px)] * ng + lg[Pixels::green(px)]) * nb + lb[Pixels::blue(px)]);
    }
  }
  return out;
}

Indexed_bitmap by_channel_ramps(const Pixels& source) {
  Indexed_bitmap out = blank(source);
  for (int i = 0; i < 64; ++i) {
    const uint8_t v = uint8_t(4 * i);
    out.palette[size_t(i)] = Rgb_entry{v, 0, 0};
    out.palette[size_t(64 + i)] = Rgb_entry{0, v, 0};
    out.palette[size_t(128 + i)] = Rgb_entry{0, 0, v};
  }
  out.used_colors = 192;
  const int h = source.height();
  for (int y = 0; y < h; ++y) {
    const uint32_t* row = source.row(y);
    uint8_t* dst = out.indexes.data() + size_t(y) * size_t(source.width());
    const int from_bottom = h - 1 - y;
    for (int x = 0; x < source.width(); ++x) {
      const uint32_t px = row[x];
      switch ((x + from_bottom) % 3) {
        case 0: dst[x] = uint8_t(Pixels::red(px) / 4); break;
        case 1: dst[x] = uint8_t(Pixels::green(px) / 4 + 64); break;
        default: dst[x] = uint8_t(Pixels::blue(px) / 4 + 128); break;
      }
    }
  }
  return out;
}

Indexed_bitmap by_grayscale(const Pixels& source) {
  Indexed_bitmap out = blank(source);
  for (int i = 0; i < 256; ++i) out.palette[size_t(i)] = Rgb_entry{uint8_t(i), uint8_t(i), uint8_t(i)};
  out.used_colors = 256;
  for (int y = 0; y < source.height(); ++y) {
    const uint32_t* row = source.row(y);
    uint8_t* dst = out.indexes.data() + size_t(y) * size_t(source.width());
    for (int x = 0; x < source.width(); ++x) {
      const uint32_t px = row[x];
      dst[x] = uint8_t((Pixels::red(px) * 77 + Pixels::green(px) * 150 + Pixels::blue(px) * 29) >> 8);
    }
  }
  return out;
}

}  // namespace

Indexed_bitmap reduce_to_8bit(const Pixels& source, mapping_method method) {
  if (source.empty()) return {};
  switch (method) {
    case mapping_method::HISTOGRAM: return by_histogram(source);
    case mapping_method::BOX_SPLIT: return by_box_split(source);
    case mapping_method::FIXED_224: return by_levels(source, 7, 8, 4);
    case mapping_method::FIXED_216: return by_levels(source, 6, 6, 6);
    case mapping_method::CHANNEL_RAMPS: return by_channel_ramps(source);
    case mapping_method::GRAYSCALE: return by_grayscale(source);
  }
  return by_histogram(source);
}

}  // namespace brek::RxGraph
