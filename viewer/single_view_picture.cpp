#include "viewer/single_view_picture.h"

#include <algorithm>
#include <chrono>
#include <thread>

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

// How far a view starting at `at`, `length` long, moves to lie within
// [start, start + extent) on one axis; false when it is longer.
bool move_within(int64_t start, int64_t extent, int64_t at, int64_t length, int64_t& by) {
  if (length > extent) return false;
  by = at < start ? start - at : at + length > start + extent ? start + extent - (at + length) : 0;
  return true;
}

}  // namespace

Ref<C_Bitmap> Single_view_picture::part_in_view(const Ref<C_Image>& image, const Single_view::Input& in,
                                                point& at, point& shift) {
  shift = point{};
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
  // A picture let go of since its part was shown starts from its part again.
  if (image_.get() != image.get() || (part.is_none() && !whole_coming(image))) {
    drop();
    image_ = image;
    if (double(view.w) * double(view.h) > MOST_SHOWN * double(image->width) * double(image->height))
      return Ref<C_Bitmap>();
    try {
      part = C_Jpeg::load_part_from_file(image->file_name, view, place_, nullptr, &exact_);
    } catch (const Stop_exception&) {
      throw;
    } catch (const std::exception&) {
      return Ref<C_Bitmap>();  // the whole decode says what is wrong with the file
    }
    if (part.is_none()) return Ref<C_Bitmap>();
    ask_whole();
  }
  if (part.is_none()) return Ref<C_Bitmap>();
  int64_t left = x, top = y;  // where the picture is drawn
  if (!covers(exact_, view)) {
    // The whole picture is on its way: the view goes as far as the part
    // reaches rather than decoding it a second time.
    int64_t dx = 0, dy = 0;
    if (!whole_coming(image) || !move_within(exact_.x, exact_.w, view.x, view.w, dx) ||
        !move_within(exact_.y, exact_.h, view.y, view.h, dy))
      return Ref<C_Bitmap>();
    left -= dx;
    top -= dy;
    shift = point{double(left) - pl.r.x, double(top) - pl.r.y};
  }
  part_ = part;
  at = point{double(left + place_.x), double(top + place_.y)};
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
}

void Single_view_picture::detach() {
  drop();
  timer_.reset();
}

bool Single_view_picture::whole_coming(const Ref<C_Image>& image) const {
  return (state_ == whole_state::ASKED || state_ == whole_state::DECODING) && !image.is_none() &&
         image_.get() == image.get() && image->picture.is_none();
}

void Single_view_picture::ask_whole() {
  stop_worker();
  state_ = whole_state::ASKED;
  timer_->set_interval(START_MS);
  timer_->set_enabled(true);
}

void Single_view_picture::stop_worker() {
  // A worker that runs stops at its next row and ends the object itself.
  job_->stop();
  job_.reset();
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
  if (!is_shown || !whole_coming(image) || !image->animation.is_none() || image->load_failed) {
    stop_worker();
    return tick_result::NOTHING;
  }
  if (state_ == whole_state::ASKED) {
    Ref<C_Whole_decode> job = C_Whole_decode::create(image);
    // No thread to be had: the paint that needs the picture decodes it.
    if (job->start().is_none()) {
      stop_worker();
      return tick_result::NOTHING;
    }
    job_ = job;
    state_ = whole_state::DECODING;
    timer_->set_interval(POLL_MS);
    return tick_result::NOTHING;
  }
  if (!job_->is_finished()) return tick_result::NOTHING;
  take_whole(image);
  if (state_ == whole_state::FILE_CHANGED) {
    drop();
    return tick_result::FILE_CHANGED;
  }
  return image->picture.is_none() ? tick_result::NOTHING : tick_result::TAKEN;
}

void Single_view_picture::load_whole(const Ref<C_Image>& image) {
  if (whole_coming(image)) {
    if (state_ == whole_state::DECODING) {
      while (!job_->is_finished()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      take_whole(image);
    } else {
      stop_worker();  // not started yet: the decode here is as quick
    }
  }
  if (!image->picture.is_none() || !image->animation.is_none() || image->load_failed) return;
  image->load_native();
  // What was read is another file than the image stood for: its entry is
  // renewed at the next tick, as for the worker.
  if (state_ != whole_state::FILE_CHANGED && (image_.is_none() || image_.get() == image.get()) &&
      image->file_changed()) {
    image_ = image;
    file_changed_found();
  }
}

void Single_view_picture::file_changed_found() {
  // Left for the next tick, which has the image's entry renewed.
  state_ = whole_state::FILE_CHANGED;
  timer_->set_interval(START_MS);
  timer_->set_enabled(true);
}

void Single_view_picture::take_whole(const Ref<C_Image>& image) {
  const Ref<C_Whole_decode> job = job_;
  stop_worker();
  if (job->file_changed) {
    file_changed_found();
    return;
  }
  if (job->picture.empty() || !image->picture.is_none()) return;
  Ref<C_Bitmap> b = C_Bitmap::create(1, 1, 0);
  Pixels* into = b->pixels();
  if (!into) return;
  *into = std::move(job->picture);
  b->take_pixel_size();
  image->picture = b;
  image->width = b->width;
  image->height = b->height;
  // The part has served.
  part_.reset();
}

}  // namespace brek
