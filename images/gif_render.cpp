// Decoding GIF frames and composing them on the logical screen.
//
// The composed picture is always the result of drawing frames 0..n in
// order, each ending by its disposal method before the next is drawn: going
// on to the next frame draws one frame, any other change of frame starts
// over from frame 0 on a picture cleared to the opaque background colour.
// Decoded frames carry no trace of the picture beneath them, so a frame
// taken from the cache draws the same wherever the animation stands.
#include <algorithm>
#include <cstring>

#include "drawing/bitmap.h"
#include "images/gif.h"
#include "images/gif_animation.h"
#include "images/lzw.h"
#include "runtime/runtime_services.h"

namespace brek {

namespace {
const Pixels& empty_picture() {
  static const Pixels kEmpty;
  return kEmpty;
}

// Clips the rectangle (x, y, w, h) to the picture; false when nothing of it
// is left.
bool clip_to(const Pixels& p, int64_t& x, int64_t& y, int64_t& w, int64_t& h) {
  int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
  int64_t x1 = std::min<int64_t>(x + w, p.width()), y1 = std::min<int64_t>(y + h, p.height());
  if (w <= 0 || h <= 0 || x1 <= x0 || y1 <= y0) return false;
  x = x0;
  y = y0;
  w = x1 - x0;
  h = y1 - y0;
  return true;
}
}  // namespace

int64_t C_Gif::index_depth(int64_t palette_entries) {
  int64_t n = 1;
  while (n < 8 && (int64_t(1) << n) < palette_entries) ++n;
  if (n == 1) return 1;
  return n <= 4 ? 4 : 8;
}

void C_Gif::set_current_frame(int64_t index) {
  if (is_none()) return;
  if (index < 0 || index >= frame_count() || (composes_on_workers() && index != current_frame)) return;
  current_frame = index;
  if (frames.empty()) native_picture();
}

int64_t C_Gif::frame_delay() const {
  if (frames.empty()) {
    const Gif_animation* a = native_gif();
    return a ? a->frame_delay() : 0;
  }
  if (current_frame < 0 || current_frame >= frame_count()) return 0;
  return frames[static_cast<size_t>(current_frame)].delay;
}

void C_Gif::set_frame_cache_limit(int64_t bytes) {
  if (is_none()) return;
  cache_limit_ = std::max<int64_t>(0, bytes);
  evict_frames(-1);
}

const Pixels& C_Gif::render_current_frame() {
  if (is_none()) return empty_picture();
  if (frames.empty()) {
    const Pixels* p = native_picture();
    return p ? *p : empty_picture();
  }
  int64_t target = current_frame;
  // Composed by a worker: the frame shown is the one it made.
  if (composes_on_workers()) target = stepped_;
  if (target != stepped_) {
    int64_t from = (stepped_ >= 0 && target > stepped_) ? stepped_ + 1 : 0;
    for (int64_t n = from; n <= target && !stopped({}); ++n) {
      draw_frame(n);
      Brek_runtime::loop_tick();
    }
  }
  last_rendered = target;
  return composed_live_ ? picture() : empty_picture();
}

Ref<C_Bitmap> C_Gif::composed_bitmap() {
  if (render_current_frame().empty()) return Ref<C_Bitmap>();
  return composed_;
}

int64_t C_Gif::picture_bytes_held() const {
  int64_t n = (int64_t(saved_.width()) * saved_.height() + int64_t(spare_.width()) * spare_.height()) * 4;
  if (const Pixels* p = composed_->pixels()) n += int64_t(p->width()) * p->height() * 4;
  return n;
}

bool C_Gif::has_picture(Load_failure* why) {
  if (is_none()) return false;
  const int64_t keep = current_frame;
  bool found = false;
  // Normally frame 0 is composed already; only a broken start walks on.
  for (int64_t n = 0; n < frame_count() && !found && !stopped({}); ++n) {
    current_frame = n;
    found = !render_current_frame().empty();
  }
  current_frame = keep;
  return found || Load_failure::note(why, why_no_picture());
}

Load_failure C_Gif::why_no_picture() const {
  using K = load_failure_kind;
  Load_failure why;
  if (version.empty()) {
    // The native class's refusal, on its path; else no signature.
    if (refusal_.failed()) return refusal_;
    Load_failure::note(&why, K::MALFORMED, "not a GIF file");
  } else if (frames.empty()) {
    // The introducer is empty where the reading ran out of data.
    if (introducer.empty())
      Load_failure::note(&why, K::TRUNCATED);
    else
      Load_failure::note(&why, K::MALFORMED, "no frame");
  } else if (short_of_memory_) {
    Load_failure::no_memory(&why);
  } else if (Load_failure::size_allowed(screen_width, screen_height, &why)) {
    if (std::any_of(frames.begin(), frames.end(), [](const auto& f) { return f.truncated; }))
      Load_failure::note(&why, K::TRUNCATED);
    else
      Load_failure::note(&why, K::MALFORMED, "no frame decodes");
  }
  return why;
}

void C_Gif::reset_composition() {
  composed_live_ = false;
  has_saved_ = false;
  saved_.clear();
}

// Makes the composed picture current: a new one is the logical screen
// filled with the background colour made opaque.
bool C_Gif::ensure_composed() {
  if (composed_live_) return true;
  const Pixels* p = composed_->pixels();
  if (!p || p->width() != screen_width || p->height() != screen_height || p->empty()) {
    composed_.reset();  // the old picture goes before the new one is made
    if (!Pixels::size_allowed(screen_width, screen_height)) return false;
    // Opaque: every pixel of the composition is, and it draws without
    // blending or converting.
    Ref<C_Bitmap> b = C_Bitmap::create(0, 0, 24);
    Pixels* px = b->pixels();
    if (!px || !px->resize_unfilled(static_cast<int>(screen_width), static_cast<int>(screen_height))) {
      short_of_memory_ = true;
      return false;
    }
    b->take_pixel_size();
    composed_ = b;
  }
  if (!fill_rows(picture(), 0, 0, screen_width, screen_height, pixel_of(background_color, 255))) return false;
  composed_live_ = true;
  return true;
}

bool C_Gif::fill_rows(Pixels& p, int64_t x, int64_t y, int64_t w, int64_t h, uint32_t value) {
  if (!clip_to(p, x, y, w, h)) return true;
  for (int64_t r = y; r < y + h; ++r) {
    if (stopped({})) return false;
    std::fill_n(p.row(static_cast<int>(r)) + x, w, value);
  }
  return true;
}

bool C_Gif::adopt_first_frame(Pixels&& composed) {
  if (is_none() || frames.empty() || composed.width() != screen_width || composed.height() != screen_height ||
      composed.empty())
    return false;
  Ref<C_Bitmap> b = C_Bitmap::create(0, 0, 24);
  Pixels* px = b->pixels();
  if (!px) return false;
  reset_composition();
  composed_.reset();
  *px = std::move(composed);
  b->take_pixel_size();
  composed_ = b;
  composed_live_ = true;
  stepped_ = 0;
  frame_shown_ = true;
  current_frame = last_rendered = 0;
  // Frame 0 was drawn over the cleared screen: that is what lies under it.
  const St_gif_frame__C_Gif& f = frames[0];
  int64_t x = f.left, y = f.top, w = f.width, h = f.height;
  if (f.disposal == disposal_method::RESTORE_PREV && clip_to(picture(), x, y, w, h) &&
      saved_.resize(static_cast<int>(w), static_cast<int>(h), pixel_of(background_color, 255))) {
    saved_x_ = x;
    saved_y_ = y;
    has_saved_ = true;
  }
  return true;
}

bool C_Gif::adopt_empty_first_frame() {
  if (is_none() || frames.empty()) return false;
  reset_composition();
  if (static_cast<int64_t>(cache_.size()) < frame_count()) cache_.resize(frames.size());
  // As a failed decode leaves it: each turn of the animation passes it.
  cache_[0].failed = true;
  stepped_ = 0;
  frame_shown_ = false;
  current_frame = last_rendered = 0;
  return true;
}

// Frame n was shown; its disposal method prepares the picture for the next.
bool C_Gif::end_frame(int64_t n) {
  const St_gif_frame__C_Gif& f = frames[static_cast<size_t>(n)];
  bool saved = has_saved_;
  has_saved_ = false;
  if (!composed_live_ || !frame_shown_) {
    saved_.clear();
    return true;
  }
  bool done = true;
  if (f.disposal == disposal_method::RESTORE_BACK) {
    done = fill_rows(picture(), f.left, f.top, f.width, f.height, pixel_of(background_color, 255));
  } else if (f.disposal == disposal_method::RESTORE_PREV && saved) {
    for (int y = 0; y < saved_.height() && done; ++y) {
      done = !stopped({});
      if (done)
        std::memcpy(picture().row(static_cast<int>(saved_y_) + y) + saved_x_, saved_.row(y),
                    static_cast<size_t>(saved_.width()) * 4);
    }
  }
  // Needed no longer, and it may be as large as the screen.
  if (saved) saved_.clear();
  return done;
}

bool C_Gif::save_under(const St_gif_frame__C_Gif& f) {
  int64_t x = f.left, y = f.top, w = f.width, h = f.height;
  // Nothing kept when no memory is to be had: the frame stays, as LEAVE.
  if (!clip_to(picture(), x, y, w, h) || !saved_.resize_unfilled(static_cast<int>(w), static_cast<int>(h)))
    return true;
  for (int r = 0; r < h; ++r) {
    if (stopped({})) return false;
    std::memcpy(saved_.row(r), picture().row(static_cast<int>(y) + r) + x, static_cast<size_t>(w) * 4);
  }
  saved_x_ = x;
  saved_y_ = y;
  has_saved_ = true;
  return true;
}

void C_Gif::draw_frame(int64_t n) {
  if (is_none() || n < 0 || n >= static_cast<int64_t>(frames.size())) return;
  bool ended = true;
  if (n == 0)
    reset_composition();
  else
    ended = end_frame(n - 1);
  stepped_ = n;
  frame_shown_ = false;
  if (!ended) {
    composed_live_ = false;  // a stop came half way
    return;
  }

  const St_gif_frame__C_Gif& f = frames[static_cast<size_t>(n)];
  if (visible_rows(f) == 0) {
    // Wholly outside the screen: shown without a pixel to draw (its data
    // may declare far more than the screen holds).
    if (ensure_composed()) frame_shown_ = true;
    return;
  }
  if (as_decoded_) {
    frame_shown_ = draw_as_decoded(n);
    return;
  }
  if (draw_still_in_place(n)) return;
  const Frame_rows* rows = frame_rows(n, false);
  if (!rows || !ensure_composed()) return;

  // Only the frame's own rectangle changes; keep what lies under it.
  if (f.disposal == disposal_method::RESTORE_PREV) save_under(f);
  blit_frame(f, *rows);
  frame_shown_ = true;
  // A still is never drawn again: its rows would only repeat the picture.
  if (frame_count() == 1) release_rows(n);
}

// A still of 256 colours that covers the screen is decoded into the last
// quarter of the composed picture's own memory, and its indexes become
// pixels from the front: pixel i is written over bytes 4i..4i+3, at or
// before index i, which is read first. No rows are held beside the
// picture. False when the frame is not such a still (drawn the usual way).
bool C_Gif::draw_still_in_place(int64_t n) {
  const St_gif_frame__C_Gif& f = frames[static_cast<size_t>(n)];
  if (frame_count() != 1 || f.left != 0 || f.top != 0 || f.width != screen_width ||
      f.height != screen_height || f.data.empty() || f.disposal == disposal_method::RESTORE_PREV ||
      index_depth(static_cast<int64_t>(f.palette.size())) != 8)
    return false;
  if (static_cast<int64_t>(cache_.size()) < frame_count()) cache_.resize(frames.size());
  Frame_rows& c = cache_[static_cast<size_t>(n)];
  if (c.failed || !ensure_composed()) return true;
  Pixels& p = picture();
  const int64_t count = int64_t(p.width()) * p.height();
  uint8_t* indexes = p.bytes() + 3 * count;
  ++decode_count_;
  // Not a picture while it holds indexes (a stop may end the decoding).
  composed_live_ = false;
  if (!C_Lzw::decompress_into(indexes, f.data.data(), static_cast<int64_t>(f.data.size()), 1, f.interlaced,
                              f.data[0], f.height, f.width, go_on_)) {
    c.failed = !stopped({});
    return true;
  }
  composed_live_ = true;
  uint32_t table[256];
  color_table(f, table, 255);
  if (f.transparent_index >= 0 && f.transparent_index < 256)
    table[f.transparent_index] = pixel_of(background_color, 255);  // the cleared screen shows through
  uint32_t* words = p.words();
  for (int64_t i = 0; i < count; ++i) words[i] = table[indexes[i]];
  frame_shown_ = true;
  return true;
}

void C_Gif::color_table(const St_gif_frame__C_Gif& f, uint32_t* table, uint8_t alpha) const {
  // Indexes beyond the palette show grey.
  std::fill_n(table, 256, Pixels::bgra(128, 128, 128, alpha));
  size_t k = std::min<size_t>(f.palette.size(), 256);
  for (size_t i = 0; i < k; ++i)
    table[i] = Pixels::bgra(f.palette[i].blue, f.palette[i].green, f.palette[i].red, alpha);
}

// Draws the frame at its place, clipped to the screen; its transparent
// pixels leave the picture beneath.
void C_Gif::blit_frame(const St_gif_frame__C_Gif& f, const Frame_rows& rows) {
  int64_t x = f.left, y = f.top, w = f.width, h = f.height;
  if (!clip_to(picture(), x, y, w, h)) return;
  const int64_t sx = x - f.left, sy = y - f.top;
  uint32_t table[256];
  color_table(f, table, 255);
  const int64_t t = (f.transparent_index >= 0 && f.transparent_index < 256) ? f.transparent_index : -1;
  const uint8_t* base = rows.rows.data();

  for (int64_t r = 0; r < h; ++r) {
    const uint8_t* src = base + (sy + r) * rows.stride;
    if (rows.bits == 8) {
      blit_row(f, sy + r, src, table, t);
      continue;
    }
    uint32_t* dst = picture().row(static_cast<int>(y + r)) + x;
    for (int64_t i = 0; i < w; ++i) {
      unsigned idx = index_at(src, sx + i, rows.bits);
      if (static_cast<int64_t>(idx) != t) dst[i] = table[idx];
    }
  }
}

void C_Gif::blit_row(const St_gif_frame__C_Gif& f, int64_t r, const uint8_t* indexes, const uint32_t* table,
                     int64_t transparent) {
  int64_t x = f.left, y = f.top + r, w = f.width, h = 1;
  if (!clip_to(picture(), x, y, w, h)) return;
  const uint8_t* s = indexes + (x - f.left);
  uint32_t* dst = picture().row(static_cast<int>(y)) + x;
  if (transparent < 0) {
    for (int64_t i = 0; i < w; ++i) dst[i] = table[s[i]];
  } else {
    for (int64_t i = 0; i < w; ++i) {
      unsigned idx = s[i];
      if (idx != static_cast<unsigned>(transparent)) dst[i] = table[idx];
    }
  }
}

bool C_Gif::draw_as_decoded(int64_t n) {
  if (static_cast<int64_t>(cache_.size()) < frame_count()) cache_.resize(frames.size());
  Frame_rows& c = cache_[static_cast<size_t>(n)];
  const St_gif_frame__C_Gif& f = frames[static_cast<size_t>(n)];
  if (c.failed) return false;
  if (!Pixels::size_allowed(f.width, f.height) || f.data.empty()) {
    c.failed = true;
    return false;
  }
  uint32_t table[256];
  color_table(f, table, 255);
  const int64_t t = (f.transparent_index >= 0 && f.transparent_index < 256) ? f.transparent_index : -1;
  const int64_t shown = visible_rows(f);
  // The picture is made ready at the first row: a frame the decoder
  // refuses leaves it as it was, as one whose rows do not decode does.
  bool ready = false, given_up = false;
  const auto row = [&](int64_t r, const uint8_t* indexes) {
    if (!ready && !given_up) {
      ready = ensure_composed() && (f.disposal != disposal_method::RESTORE_PREV || save_under(f));
      given_up = !ready;
    }
    if (ready && r < shown) blit_row(f, r, indexes, table, t);
  };
  const auto go_on = [this, &given_up] { return !given_up && !stopped({}); };
  const bool decoded = C_Lzw::decode_rows(f.data.data(), static_cast<int64_t>(f.data.size()), 1, f.interlaced,
                                          f.data[0], f.height, f.width, row, go_on);
  ++decode_count_;
  if (decoded) return true;
  if (ready || stopped({})) {
    composed_live_ = false;  // half drawn
  } else if (!given_up) {
    c.failed = true;  // refused: it never decodes
  }
  return false;
}

Pixels C_Gif::decode_frame(int64_t n) {
  Pixels pic;
  if (is_none() || n < 0 || n >= static_cast<int64_t>(frames.size())) return pic;
  const Frame_rows* rows = frame_rows(n, true);
  const St_gif_frame__C_Gif& f = frames[static_cast<size_t>(n)];
  if (!rows || !pic.resize(static_cast<int>(f.width), static_cast<int>(f.height), 0)) return pic;
  uint32_t opaque[256], clear[256];
  color_table(f, opaque, 255);
  color_table(f, clear, 0);
  for (int64_t y = 0; y < f.height; ++y) {
    const uint8_t* src = rows->rows.data() + y * rows->stride;
    uint32_t* dst = pic.row(static_cast<int>(y));
    for (int64_t x = 0; x < f.width; ++x) {
      unsigned idx = index_at(src, x, rows->bits);
      dst[x] = static_cast<int64_t>(idx) == f.transparent_index ? clear[idx] : opaque[idx];
    }
  }
  return pic;
}

// The rows of the frame that composition may draw: none for a frame
// wholly outside the screen, none below the screen's bottom edge.
int64_t C_Gif::visible_rows(const St_gif_frame__C_Gif& f) const {
  if (f.left >= screen_width || f.top >= screen_height || f.width <= 0 || f.height <= 0) return 0;
  return std::min(f.height, screen_height - f.top);
}

// The index rows of frame n, from the cache or decoded now; nullptr when
// the frame does not decode (remembered, so it is not tried again).
const C_Gif::Frame_rows* C_Gif::frame_rows(int64_t n, bool whole, const std::function<bool()>& go_on) {
  if (static_cast<int64_t>(cache_.size()) < frame_count()) cache_.resize(frames.size());
  Frame_rows& c = cache_[static_cast<size_t>(n)];
  if (c.failed) return nullptr;
  const St_gif_frame__C_Gif& f = frames[static_cast<size_t>(n)];
  const int64_t need = whole ? f.height : std::max<int64_t>(1, visible_rows(f));
  if (!c.rows.empty() && c.held >= need) {
    c.used = ++use_clock_;
    return &c;
  }
  if (!Pixels::size_allowed(f.width, f.height) || f.data.empty()) {
    c.failed = true;
    return nullptr;
  }
  int64_t bits = index_depth(static_cast<int64_t>(f.palette.size()));
  // Rows come in order unless interlaced: then every row is decoded, and
  // only the needed ones kept.
  DynAByte rows = C_Lzw::decompress(f.data.data(), static_cast<int64_t>(f.data.size()), 1,
                                    f.interlaced, f.data[0], bits, f.interlaced ? f.height : need,
                                    f.width, need, go_on ? go_on : go_on_);
  ++decode_count_;
  if (rows.empty()) {
    // Stopped, the frame may be decoded again; else it never decodes.
    c.failed = !stopped(go_on);
    return nullptr;
  }
  cache_bytes_ -= c.rows.count();
  c.stride = C_Lzw::row_stride(f.width, bits);
  c.held = need;
  c.bits = static_cast<int>(bits);
  c.rows = std::move(rows);
  c.used = ++use_clock_;
  cache_bytes_ += c.rows.count();
  evict_frames(n);
  return &c;
}

// Drops the least recently used frames until the cache fits its budget;
// frame `keep` stays.
void C_Gif::evict_frames(int64_t keep) {
  while (cache_bytes_ > cache_limit_) {
    int64_t victim = -1;
    for (size_t i = 0; i < cache_.size(); ++i) {
      if (static_cast<int64_t>(i) == keep || cache_[i].rows.empty()) continue;
      if (victim < 0 || cache_[i].used < cache_[static_cast<size_t>(victim)].used)
        victim = static_cast<int64_t>(i);
    }
    if (victim < 0) return;
    release_rows(victim);
  }
}

void C_Gif::release_rows(int64_t n) {
  Frame_rows& c = cache_[static_cast<size_t>(n)];
  cache_bytes_ -= c.rows.count();
  c.rows = DynAByte();
  c.held = 0;
}

}  // namespace brek
