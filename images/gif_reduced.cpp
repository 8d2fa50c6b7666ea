// A GIF's first frame composed row by row for a picture made small
// (Picture_shrink), without the logical screen in 32 bits and without the
// frame's indexes held whole: rows go on as the LZW decoder gives them.
#include <algorithm>
#include <vector>

#include "drawing/pixel_memory.h"
#include "images/gif.h"
#include "images/lzw.h"
#include "images/picture_fit.h"

namespace brek {

namespace {

// What an interlaced frame's rows wanted by the picture may hold at once,
// bytes: a frame whose wanted rows need more is decoded once for each
// band of rows that fits.
constexpr int64_t INTERLACED_BAND_BYTES = int64_t(16) << 20;

// The screen's rows handed to a Picture_shrink in order: those the frame
// covers from its index rows, the rest the background. A stop asked for
// between rows ends them (stopped()).
class Screen_rows {
 public:
  Screen_rows(Picture_shrink& into, const St_gif_frame__C_Gif& f, int64_t screen_width, uint32_t back,
              const uint32_t* table, const std::function<bool()>& go_on)
      : into_(into), f_(f), table_(table), go_on_(go_on), back_(back), next_(into.first_row()),
        x0_(std::clamp<int64_t>(f.left, 0, screen_width)),
        x1_(std::clamp<int64_t>(f.left + f.width, 0, screen_width)),
        line_(size_t(screen_width), back) {}

  bool stopped() const { return stopped_; }
  // Screen rows up to `end` (not included) that the frame does not cover
  // here: the background.
  void background_to(int64_t end) {
    for (end = std::min(end, into_.end_row()); next_ < end && !stopped_; ++next_) {
      if (go_on_ && !go_on_()) stopped_ = true;
      into_.add_row(next_, into_.wants(next_) ? line_.data() : nullptr);
    }
  }
  // Screen row y from the frame's row of indexes (the background rows
  // before it first).
  void frame_row(int64_t y, const uint8_t* indexes) {
    if (y < next_ || y >= into_.end_row()) return;
    background_to(y);
    if (stopped_) return;
    if (!into_.wants(y)) {
      into_.add_row(y, nullptr);
    } else {
      for (int64_t x = x0_; x < x1_; ++x) line_[size_t(x)] = table_[indexes[x - f_.left]];
      into_.add_row(y, line_.data());
      std::fill(line_.begin() + x0_, line_.begin() + x1_, back_);
    }
    next_ = y + 1;
  }

 private:
  Picture_shrink& into_;
  const St_gif_frame__C_Gif& f_;
  const uint32_t* table_;
  const std::function<bool()>& go_on_;
  bool stopped_ = false;
  uint32_t back_;
  int64_t next_;
  int64_t x0_, x1_;
  std::vector<uint32_t> line_;
};

// The memory of a band of rows: mapped, and given back at once, where it
// is large.
class Band_memory {
 public:
  explicit Band_memory(int64_t bytes) : block_(Pixel_memory::allocate(size_t(bytes + 3) / 4)) {}
  ~Band_memory() { Pixel_memory::release(block_); }
  Band_memory(const Band_memory&) = delete;
  Band_memory& operator=(const Band_memory&) = delete;
  uint8_t* data() { return reinterpret_cast<uint8_t*>(block_.words); }

 private:
  Pixel_memory::Block block_;
};

// An interlaced frame's rows (`shown` of them on the screen) handed to
// `screen` in order: its rows come pass by pass, so the wanted ones are
// kept a band at a time, decoded once for each band, and go on once the
// band is whole. False when the frame does not decode, a stop came or no
// memory was to be had.
bool band_by_band(const Picture_shrink& into, Screen_rows& screen, const St_gif_frame__C_Gif& f, int64_t shown,
                  int64_t screen_width, const std::function<bool(const C_Lzw::Row_sink&)>& decode) {
  const int64_t x0 = std::clamp<int64_t>(f.left, 0, screen_width);
  const int64_t x1 = std::clamp<int64_t>(f.left + f.width, 0, screen_width);
  const int64_t row_bytes = std::max<int64_t>(1, x1 - x0);
  const int64_t band_rows = std::max<int64_t>(1, INTERLACED_BAND_BYTES / row_bytes);
  const int64_t end = std::min(into.end_row(), f.top + shown);
  std::vector<int64_t> slot(size_t(shown), -1);  // frame row -> its place in the band
  std::vector<uint8_t> row(size_t(f.width), 0);
  Band_memory band(std::min(band_rows, shown) * row_bytes);
  if (!band.data()) return false;
  for (int64_t y = std::max(into.first_row(), f.top); y < end;) {
    // The wanted rows from y on, as many as the band holds.
    std::fill(slot.begin(), slot.end(), -1);
    int64_t held = 0, y_end = y;
    for (; y_end < end && held < band_rows; ++y_end)
      if (into.wants(y_end)) slot[size_t(y_end - f.top)] = held++;
    if (held > 0 && !decode([&](int64_t r, const uint8_t* indexes) {
          if (r < shown && slot[size_t(r)] >= 0)
            std::copy(indexes + (x0 - f.left), indexes + (x1 - f.left), band.data() + slot[size_t(r)] * row_bytes);
        }))
      return false;
    for (int64_t k = y; k < y_end; ++k) {
      const int64_t at = slot[size_t(k - f.top)];
      if (at < 0) continue;
      std::copy(band.data() + at * row_bytes, band.data() + (at + 1) * row_bytes, row.begin() + (x0 - f.left));
      screen.frame_row(k, row.data());
    }
    y = y_end;
  }
  return !screen.stopped();
}

}  // namespace

bool C_Gif::compose_first_frame(Picture_shrink& into, const std::function<bool()>& go_on) {
  if (is_none() || frames.empty() || !Pixels::size_allowed(screen_width, screen_height)) return false;
  const St_gif_frame__C_Gif& f = frames[0];
  const int64_t shown = visible_rows(f);
  if (shown > 0 && (!Pixels::size_allowed(f.width, f.height) || f.data.empty())) return false;
  uint32_t table[256];
  color_table(f, table, 255);
  const uint32_t back = pixel_of(background_color, 255);
  if (f.transparent_index >= 0 && f.transparent_index < 256) table[f.transparent_index] = back;
  Screen_rows screen(into, f, screen_width, back, table, go_on);
  const std::function<bool(const C_Lzw::Row_sink&)> decode = [&](const C_Lzw::Row_sink& row) {
    return C_Lzw::decode_rows(f.data.data(), int64_t(f.data.size()), 1, f.interlaced, f.data[0], f.height, f.width,
                              row, go_on);
  };
  if (shown > 0 && !f.interlaced) {
    // Rows come top to bottom: each goes on as it comes.
    if (!decode([&](int64_t r, const uint8_t* indexes) {
          if (r < shown) screen.frame_row(f.top + r, indexes);
        }))
      return false;
  } else if (shown > 0 && !band_by_band(into, screen, f, shown, screen_width, decode)) {
    return false;
  }
  // Below the frame (and every row, for a frame off the screen).
  screen.background_to(into.end_row());
  return !screen.stopped();
}

}  // namespace brek
