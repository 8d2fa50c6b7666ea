#include "images/quantizer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

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

// Each channel keeps its high bits; the lowest kept bit goes first.
struct Masks {
  uint8_t r = 0xFF, g = 0xFF, b = 0xFF;

  // One channel gives up its lowest kept bit: blue, red, green in turn
  // from full masks.
  void give_up_a_bit() {
    if (r < g)
      g = uint8_t(g << 1);
    else if (r <= b)
      b = uint8_t(b << 1);
    else
      r = uint8_t(r << 1);
  }
  // The mask of a pixel word (0x..RRGGBB).
  uint32_t word() const { return uint32_t(r) << 16 | uint32_t(g) << 8 | b; }
};

// One masked colour: its pixel count and the sums of its pixels' channels,
// so that its palette colour is the mean of the pixels it stands for rather
// than the masked-down corner of its bucket (which darkens every colour by
// up to the bits given up).
struct Entry {
  uint32_t count;
  uint64_t sum_r, sum_g, sum_b;
  uint8_t index;
};

// Masked colours by open addressing over their 24-bit value; for masks
// that keep most bits.
class Hash_index {
 public:
  static constexpr int NONE = -1;
  Hash_index() { slots_.fill(EMPTY); }
  // The entry of a masked colour; a new one (numbered `next`) when `add`
  // and absent.
  int find(uint32_t key, bool add, int next) {
    uint32_t slot = (key * 2654435761u) >> (32 - SLOT_BITS);
    for (;;) {
      if (keys_[slot] == key && slots_[slot] != EMPTY) return slots_[slot];
      if (slots_[slot] == EMPTY) {
        if (!add) return NONE;
        slots_[slot] = uint16_t(next);
        keys_[slot] = key;
        return next;
      }
      slot = (slot + 1) & (SLOTS - 1);
    }
  }

 private:
  // Four times the entries: short probes. Which slot a colour takes
  // changes nothing but speed.
  static constexpr int SLOT_BITS = 13;
  static constexpr int SLOTS = 1 << SLOT_BITS;
  static constexpr uint16_t EMPTY = 0xFFFF;
  std::array<uint16_t, SLOTS> slots_{};
  std::array<uint32_t, SLOTS> keys_{};
};

// Masked colours by the bits the masks keep, looked up directly; for
// masks that keep at most DIRECT_BITS bits.
class Direct_index {
 public:
  static constexpr int NONE = -1;
  static constexpr int DIRECT_BITS = 20;
  static int kept_bits(uint8_t m) { return __builtin_popcount(m); }
  static bool fits(const Masks& m) { return kept_bits(m.r) + kept_bits(m.g) + kept_bits(m.b) <= DIRECT_BITS; }

  explicit Direct_index(const Masks& m) {
    const int kr = kept_bits(m.r), kg = kept_bits(m.g), kb = kept_bits(m.b);
    for (int v = 0; v < 256; ++v) {
      part_r_[size_t(v)] = uint32_t((v & m.r) >> (8 - kr)) << (kg + kb);
      part_g_[size_t(v)] = uint32_t((v & m.g) >> (8 - kg)) << kb;
      part_b_[size_t(v)] = uint32_t((v & m.b) >> (8 - kb));
    }
    slots_.assign(size_t(1) << (kr + kg + kb), EMPTY);
  }
  int find(uint32_t key, bool add, int next) {
    uint16_t& s = slots_[part_r_[(key >> 16) & 0xFF] | part_g_[(key >> 8) & 0xFF] | part_b_[key & 0xFF]];
    if (s != EMPTY) return s;
    if (!add) return NONE;
    s = uint16_t(next);
    return next;
  }

 private:
  static constexpr uint16_t EMPTY = 0xFFFF;
  std::array<uint32_t, 256> part_r_{}, part_g_{}, part_b_{};
  std::vector<uint16_t> slots_;
};

// The runs of one colour within the rows, bottom row first: the entry of
// each run's masked colour and its length.
struct Runs {
  std::vector<uint32_t> items;  // entry << 20 | length
  static constexpr int LENGTH_BITS = 20;
  void add(int entry, uint32_t length) { items.push_back(uint32_t(entry) << LENGTH_BITS | length); }
};

// The masked colours of the picture with their counts, numbered in the
// order they are first met scanning the rows bottom up, and the runs of
// the rows. False when there are more colours than the histogram holds;
// the counting stops there.
template <class Index>
bool count_colours(const Pixels& p, const Masks& m, Index& index, std::vector<Entry>& entries, Runs& runs) {
  entries.clear();
  runs.items.clear();
  const uint32_t mask = m.word();
  for (int y = p.height() - 1; y >= 0; --y) {
    const uint32_t* row = p.row(y);
    const int w = p.width();
    for (int x = 0; x < w;) {
      // A run of one colour counts at once.
      const uint32_t px = row[x] & 0xFFFFFFu;
      int end = x + 1;
      while (end < w && (row[end] & 0xFFFFFFu) == px) ++end;
      const uint32_t n = uint32_t(end - x);
      x = end;
      const int e = index.find(px & mask, int(entries.size()) < HISTOGRAM_ENTRIES, int(entries.size()));
      if (e == Index::NONE) return false;
      if (e == int(entries.size())) entries.push_back(Entry{0, 0, 0, 0, 0});
      Entry& en = entries[size_t(e)];
      en.count += n;
      en.sum_r += uint64_t(Pixels::red(px)) * n;
      en.sum_g += uint64_t(Pixels::green(px)) * n;
      en.sum_b += uint64_t(Pixels::blue(px)) * n;
      runs.add(e, n);
    }
  }
  return true;
}

// Each run of the rows written as its entry's palette index.
void map_runs(const Runs& runs, const std::vector<Entry>& entries, Indexed_bitmap& out) {
  const size_t w = size_t(out.width);
  size_t y = size_t(out.height), x = w;
  uint8_t* row = nullptr;
  for (uint32_t r : runs.items) {
    if (x == w) {
      row = out.indexes.data() + --y * w;
      x = 0;
    }
    const size_t n = r & ((1u << Runs::LENGTH_BITS) - 1);
    std::memset(row + x, entries[r >> Runs::LENGTH_BITS].index, n);
    x += n;
  }
}

// The masks with which the picture's colours fit the histogram: full
// masks, giving up bits in turn until the masked colours number at most
// HISTOGRAM_ENTRIES. Found from one pass that marks which colours occur
// with each channel's lowest bit given up (the masks after three steps);
// when more than fit there, the later steps are counted on those marks
// alone. Returns false (masks full) when they fit after at most three
// steps: the counting tells which then.
bool masks_past_three_steps(const Pixels& p, Masks& m) {
  constexpr int BITS = 21;  // 7 bits a channel
  std::vector<uint64_t> seen(size_t(1) << (BITS - 6), 0);
  auto key = [](uint32_t v) { return (v >> 3 & 0x1FC000u) | (v >> 2 & 0x3F80u) | (v >> 1 & 0x7Fu); };
  for (int y = 0; y < p.height(); ++y) {
    const uint32_t* row = p.row(y);
    uint32_t last = ~0u;
    for (int x = 0; x < p.width(); ++x) {
      const uint32_t px = row[x] & 0xFEFEFEu;
      if (px == last) continue;
      last = px;
      const uint32_t k = key(px);
      seen[k >> 6] |= uint64_t(1) << (k & 63);
    }
  }
  std::vector<uint32_t> colours;  // masked pixel words
  for (size_t i = 0; i < seen.size(); ++i) {
    for (uint64_t bits = seen[i]; bits; bits &= bits - 1) {
      const uint32_t k = uint32_t(i * 64 + size_t(__builtin_ctzll(bits)));
      colours.push_back((k >> 14 & 0x7F) << 17 | (k >> 7 & 0x7F) << 9 | (k & 0x7F) << 1);
    }
  }
  if (colours.size() <= size_t(HISTOGRAM_ENTRIES)) return false;
  for (int step = 0; step < 3; ++step) m.give_up_a_bit();
  std::fill(seen.begin(), seen.end(), 0);
  std::vector<uint32_t> merged;
  while (colours.size() > size_t(HISTOGRAM_ENTRIES)) {
    m.give_up_a_bit();
    const uint32_t mask = m.word();
    merged.clear();
    for (uint32_t c : colours) {
      const uint32_t v = c & mask, k = key(v);
      uint64_t& word = seen[k >> 6];
      const uint64_t bit = uint64_t(1) << (k & 63);
      if (word & bit) continue;
      word |= bit;
      merged.push_back(v);
    }
    for (uint32_t v : merged) seen[key(v) >> 6] = 0;
    colours.swap(merged);
  }
  return true;
}

Rgb_entry mean_of(uint64_t sr, uint64_t sg, uint64_t sb, uint64_t n) {
  if (n == 0) return {};
  return Rgb_entry{uint8_t((sr + n / 2) / n), uint8_t((sg + n / 2) / n), uint8_t((sb + n / 2) / n)};
}

int distance(const Rgb_entry& a, const Rgb_entry& b) {
  const int dr = a.red - b.red, dg = a.green - b.green, db = a.blue - b.blue;
  return dr * dr + dg * dg + db * db;
}

// The palette from the counted colours: the most frequent take the entries
// in order (ties go to the colour met first), the rest of the entries are
// grey, and every colour left out takes its nearest entry.
void choose_palette(std::vector<Entry>& entries, Indexed_bitmap& out) {
  std::vector<uint32_t> left(entries.size());
  std::vector<Rgb_entry> colour(entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto& e = entries[i];
    left[i] = e.count;
    colour[i] = mean_of(e.sum_r, e.sum_g, e.sum_b, e.count);
  }
  size_t picked = 0;
  for (; picked < 256 && picked < entries.size(); ++picked) {
    size_t best = 0;
    for (size_t i = 1; i < left.size(); ++i)
      if (left[i] > left[best]) best = i;
    entries[best].index = uint8_t(picked);
    left[best] = 0;
    out.palette[picked] = colour[best];
  }
  for (size_t i = picked; i < 256; ++i) out.palette[i] = Rgb_entry{128, 128, 128};
  out.used_colors = 256;

  for (size_t i = 0; i < entries.size(); ++i) {
    if (left[i] == 0) continue;
    int best = 0, best_d = std::numeric_limits<int>::max();
    for (int k = 0; k < 256; ++k) {
      const int d = distance(colour[i], out.palette[size_t(k)]);
      if (d < best_d) best_d = d, best = k;
    }
    entries[i].index = uint8_t(best);
  }
}

Indexed_bitmap by_histogram(const Pixels& source) {
  Indexed_bitmap out = blank(source);
  std::vector<Entry> entries;
  entries.reserve(HISTOGRAM_ENTRIES);
  Runs runs;
  Masks m;
  if (!masks_past_three_steps(source, m)) {
    // Few colours: counted with full masks, else with the masks of the
    // next steps until they fit (they do after three).
    auto index = std::make_unique<Hash_index>();
    while (!count_colours(source, m, *index, entries, runs)) {
      m.give_up_a_bit();
      index = std::make_unique<Hash_index>();
    }
  } else if (Direct_index::fits(m)) {
    Direct_index index(m);
    count_colours(source, m, index, entries, runs);
  } else {
    Hash_index index;
    count_colours(source, m, index, entries, runs);
  }
  choose_palette(entries, out);
  map_runs(runs, entries, out);
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
