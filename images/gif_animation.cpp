#include "images/gif_animation.h"

#include <algorithm>
#include <utility>

#include "drawing/colors.h"

namespace brek {

namespace {

constexpr uint32_t kBlack = 0xFF000000u;

// The part of a w x h rectangle at (x, y) that lies on the picture, and
// where it starts inside the rectangle (sx, sy); false when none does.
struct Span {
  int64_t x = 0, y = 0, w = 0, h = 0, sx = 0, sy = 0;
};
bool clip(const Pixels& p, int64_t x, int64_t y, int64_t w, int64_t h, Span& s) {
  const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
  const int64_t x1 = std::min<int64_t>(x + w, p.width()), y1 = std::min<int64_t>(y + h, p.height());
  if (w <= 0 || h <= 0 || x1 <= x0 || y1 <= y0) return false;
  s = Span{x0, y0, x1 - x0, y1 - y0, x0 - x, y0 - y};
  return true;
}

}  // namespace

Gif_animation::Gif_animation(Ref<TGIFImage> gif) : gif_(std::move(gif)) {
  width_ = gif_->screen_width;
  height_ = gif_->screen_height;
  if (width_ <= 0 || height_ <= 0) {
    const Ref<TGIFFrame> first = gif_->FrameAt(0);
    width_ = first->bitmap.width();
    height_ = first->bitmap.height();
  }
}

int64_t Gif_animation::frame_delay() const { return gif_->FrameAt(gif_->current_frame)->delay; }

bool Gif_animation::show_frame(Native_bitmap& target, int64_t index) {
  if (index < 0 || index >= frame_count()) return shown_ >= 0;
  Pixels& picture = target.colour;
  if (index == shown_ && picture.width() == width_ && picture.height() == height_) return true;
  if (index == shown_ + 1 && shown_ >= 0 && picture.width() == width_ && picture.height() == height_) {
    end_frame(picture, shown_);
  } else {
    // Any other step replays the frames before it with their disposals.
    if (!start_over(target)) return false;
    for (int64_t n = 0; n < index; ++n) {
      draw_frame(picture, n);
      end_frame(picture, n);
    }
  }
  gif_->SetFrameIndex(index);
  draw_frame(picture, index);
  shown_ = index;
  return true;
}

bool Gif_animation::start_over(Native_bitmap& target) {
  shown_ = -1;
  saved_.clear();
  if (!Pixels::size_allowed(width_, height_) || width_ <= 0 || height_ <= 0) return false;
  if (!target.colour.resize(int(width_), int(height_), kBlack)) return false;
  target.opaque = true;
  target.alpha.reset();
  return true;
}

void Gif_animation::draw_frame(Pixels& picture, int64_t n) {
  const Ref<TGIFFrame> f = gif_->FrameAt(n);
  const Pixels& b = f->bitmap;
  Span s;
  if (b.empty() || !clip(picture, f->left, f->top, b.width(), b.height(), s)) return;
  if (f->disposal == 3) {
    saved_.resize(int(s.w), int(s.h));
    for (int64_t y = 0; y < s.h; ++y)
      std::copy_n(picture.row(int(s.y + y)) + s.x, s.w, saved_.row(int(y)));
    saved_x_ = s.x;
    saved_y_ = s.y;
  }
  const bool masked = f->transparent_color.has_value();
  const uint32_t clear = masked ? Colors::to_pixel(*f->transparent_color) & 0xFFFFFFu : 0;
  for (int64_t y = 0; y < s.h; ++y) {
    const uint32_t* src = b.row(int(s.sy + y)) + s.sx;
    uint32_t* dst = picture.row(int(s.y + y)) + s.x;
    for (int64_t x = 0; x < s.w; ++x)
      if (!masked || (src[x] & 0xFFFFFFu) != clear) dst[x] = src[x] | 0xFF000000u;
  }
}

void Gif_animation::end_frame(Pixels& picture, int64_t n) {
  const Ref<TGIFFrame> f = gif_->FrameAt(n);
  if (f->disposal == 2) {
    Span s;
    if (!clip(picture, f->left, f->top, f->bitmap.width(), f->bitmap.height(), s)) return;
    for (int64_t y = 0; y < s.h; ++y) std::fill_n(picture.row(int(s.y + y)) + s.x, s.w, kBlack);
  } else if (f->disposal == 3 && !saved_.empty()) {
    for (int y = 0; y < saved_.height(); ++y)
      std::copy_n(saved_.row(y), saved_.width(), picture.row(int(saved_y_ + y)) + saved_x_);
    saved_.clear();
  }
}

Gif_animation* Gif_animation::of(const Native_bitmap* native) {
  if (!native) return nullptr;
  return dynamic_cast<Gif_animation*>(native->animation.get());
}

}  // namespace brek
