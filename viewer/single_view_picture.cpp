#include "viewer/single_view_picture.h"

#include <algorithm>

#include "drawing/pixel_math.h"
#include "images/format_classes.h"
#include "runtime/exceptions.h"
#include "runtime/strings.h"

namespace brek {

namespace {

// A window showing more of the picture than this gains little from a part
// and would decode most of it twice once panned.
constexpr double MOST_SHOWN = 0.5;

// The first tick comes at the next turn of the main loop, after the paint
// that asked went to the screen; the worker is then looked at this often.
constexpr int64_t START_MS = 1;
constexpr int64_t POLL_MS = 10;

bool covers(const Jpeg_codec::Part& outer, const Jpeg_codec::Part& inner) {
  return outer.x <= inner.x && outer.y <= inner.y && outer.x + outer.w >= inner.x + inner.w &&
         outer.y + outer.h >= inner.y + inner.h;
}

// The view grown by a quarter of its size on every side, within the
// picture: a pan of that much more stays on the part decoded for it.
Jpeg_codec::Part grown(const Jpeg_codec::Part& v, int64_t pic_w, int64_t pic_h) {
  const int64_t x = std::max<int64_t>(0, v.x - v.w / 4), y = std::max<int64_t>(0, v.y - v.h / 4);
  return Jpeg_codec::Part{x, y, std::min(pic_w, v.x + v.w + v.w / 4) - x, std::min(pic_h, v.y + v.h + v.h / 4) - y};
}

}  // namespace

bool Single_view_picture::decode_part(const Ref<C_Image>& image, const Jpeg_codec::Part& want, Ref<C_Bitmap>& part) {
  Jpeg_codec::Part place, exact;
  Ref<C_Bitmap> p;
  try {
    p = C_Jpeg::load_part_from_file(image->file_name, want, place, nullptr, &exact);
  } catch (const Stop_exception&) {
    throw;
  } catch (const std::exception&) {
    return false;  // the whole decode says what is wrong with the file
  }
  if (p.is_none()) return false;
  part = p;
  place_ = place;
  exact_ = exact;
  return true;
}

Ref<C_Bitmap> Single_view_picture::part_in_view(const Ref<C_Image>& image, const Single_view::Input& in,
                                                point& at) {
  Ref<C_Bitmap> part = part_;
  part_.reset();
  const Single_view::Placement pl = Single_view::place(in);
  if (pl.fitted || pl.r.w != in.pic_w || pl.r.h != in.pic_h) return Ref<C_Bitmap>();
  // What the window shows of the picture, in whole pixels as drawing places
  // it.
  const int64_t x = Pixel_math::round_even(pl.r.x), y = Pixel_math::round_even(pl.r.y);
  Jpeg_codec::Part view{std::max<int64_t>(0, -x), std::max<int64_t>(0, -y), 0, 0};
  view.w = std::min(image->width, Brek_runtime::to_int64_checked(in.box_w) - x) - view.x;
  view.h = std::min(image->height, Brek_runtime::to_int64_checked(in.box_h) - y) - view.y;
  if (view.w <= 0 || view.h <= 0) return Ref<C_Bitmap>();
  const bool most_shown = double(view.w) * double(view.h) > MOST_SHOWN * double(image->width) * double(image->height);
  // A picture let go of since its part was shown starts from its part again.
  if (image_.get() != image.get() || (part.is_none() && !whole_coming(image))) {
    drop();
    image_ = image;
    if (most_shown || !decode_part(image, view, part)) return Ref<C_Bitmap>();
    ask_whole();
  } else if (part.is_none() || !covers(exact_, view)) {
    // Before the whole picture comes, a view beyond the part is answered
    // as the first paint was, with room for the pan to go on.
    if (!whole_coming(image) || most_shown || !decode_part(image, grown(view, image->width, image->height), part) ||
        !covers(exact_, view))
      return Ref<C_Bitmap>();
  }
  part_ = part;
  at = point{double(x + place_.x), double(y + place_.y)};
  return part;
}

void Single_view_picture::drop_part() { part_.reset(); }

void Single_view_picture::keep_only(const Ref<C_Image>& shown) {
  if (image_.get() != shown.get()) drop();
}

void Single_view_picture::drop() {
  stop_worker();
  part_.reset();
  image_.reset();
  here_.reset();
}

void Single_view_picture::detach() {
  drop();
  timer_.reset();
}

bool Single_view_picture::whole_coming(const Ref<C_Image>& image) const {
  return !image.is_none() && image_.get() == image.get() && image->picture.is_none() &&
         image->animation.is_none() &&
         (state_ == whole_state::ASKED || (state_ == whole_state::DECODING && image->whole_decoding()));
}

void Single_view_picture::ask_whole(const Ref<C_Image>& image) {
  if (whole_coming(image) || decodes_here(image)) return;
  drop();
  image_ = image;
  ask_whole();
}

void Single_view_picture::ask_whole() {
  state_ = whole_state::ASKED;
  timer_->set_interval(START_MS);
  timer_->set_enabled(true);
}

void Single_view_picture::stop_worker() {
  // A worker that runs stops at its next rows and ends the object itself.
  if (state_ == whole_state::DECODING) image_.lock()->stop_whole_decode();
  state_ = whole_state::NOT_ASKED;
  timer_->set_enabled(false);
}

Single_view_picture::tick_result Single_view_picture::tick(const Ref<C_Image>& shown) {
  const Ref<C_Image> image = image_.lock();
  const bool is_shown = !image.is_none() && image.get() == shown.get();
  if (state_ == whole_state::FILE_CHANGED) {
    drop();
    return is_shown ? tick_result::FILE_CHANGED : tick_result::NOTHING;
  }
  if (!is_shown || !whole_coming(image) || image->load_failed) {
    // Taken meanwhile by a command (load_whole) counts as come.
    const bool taken = is_shown && state_ == whole_state::DECODING && !image->picture.is_none();
    stop_worker();
    return taken ? tick_result::TAKEN : tick_result::NOTHING;
  }
  if (state_ == whole_state::ASKED) {
    // No thread to be had: the paint that needs the picture decodes it.
    if (!image->start_whole_decode()) {
      stop_worker();
      here_ = image;
      return tick_result::NO_WORKER;
    }
    state_ = whole_state::DECODING;
    timer_->set_interval(POLL_MS);
    return tick_result::NOTHING;
  }
  if (!image->whole_decoded()) return tick_result::NOTHING;
  switch (image->take_whole_decode()) {
    case C_Image::whole_result::FILE_CHANGED:
      drop();
      return tick_result::FILE_CHANGED;
    case C_Image::whole_result::HELD:
      // The part has served.
      state_ = whole_state::NOT_ASKED;
      timer_->set_enabled(false);
      part_.reset();
      return tick_result::TAKEN;
    case C_Image::whole_result::NONE:
      break;
  }
  stop_worker();
  return image->load_failed ? tick_result::FAILED : tick_result::NOTHING;
}

void Single_view_picture::file_changed_found(const Ref<C_Image>& image) {
  drop();
  image_ = image;
  // Left for the next tick, which has the image's entry renewed.
  state_ = whole_state::FILE_CHANGED;
  timer_->set_interval(START_MS);
  timer_->set_enabled(true);
}

}  // namespace brek
