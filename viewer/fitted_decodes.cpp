#include "viewer/fitted_decodes.h"

#include <algorithm>

#include "images/image_file_name.h"

namespace brek {

void C_Fitted_decode::run() {
  try {
    Picture_fit::decode_reduced(file_name, extension, part, w, h, picture, had_alpha, &why,
                                [this] { return is_running_flag(); });
  } catch (const std::exception&) {
    picture.clear();  // no memory for it: the view decodes it itself
  }
  C_Thread::run();
}

void C_Fitted_decode::destroy_hook() {
  picture.clear();
  C_Thread::destroy_hook();
}

bool Fitted_decodes::takes(const Ref<C_Image>& image, int64_t w, int64_t h) const {
  if (image.is_none() || image->load_failed || !image->picture.is_none() || !image->animation.is_none()) return false;
  if (!Picture_fit::decodes_reduced(image->extension()) || !Image_file_name::names_a_file(image->file_name))
    return false;
  if (image->width * image->height <= OFF_THREAD_PIXELS || w <= 0 || h <= 0 || image->width < w ||
      image->height < h)
    return false;
  return std::none_of(declined_.begin(), declined_.end(),
                      [&](const Weak<C_Image>& d) { return d.get() == image.get(); });
}

bool Fitted_decodes::wanted(const Ref<C_Image>& image) const {
  if (running_.image.get() == image.get() && !job_.is_none()) return true;
  return std::any_of(queue_.begin(), queue_.end(), [&](const Want& q) { return q.image.get() == image.get(); });
}

void Fitted_decodes::want(const Ref<C_Image>& image, int64_t w, int64_t h, bool crop) {
  if (image.is_none() || wanted(image)) return;
  queue_.push_back(Want{Weak<C_Image>(image), w, h, crop});
  if (!timer_.is_none()) timer_->set_enabled(true);
}

bool Fitted_decodes::step(Thumbnail_cache& cache, const Still_shown& still_shown) {
  bool came = false;
  if (!job_.is_none() && job_->is_finished()) {
    take(cache);
    came = true;
  }
  if (job_.is_none()) start_next(still_shown);
  if (!busy() && !timer_.is_none()) timer_->set_enabled(false);
  return came;
}

void Fitted_decodes::start_next(const Still_shown& still_shown) {
  while (job_.is_none() && !queue_.empty()) {
    Want next = queue_.front();
    queue_.erase(queue_.begin());
    const Ref<C_Image> image = next.image.lock();
    // Gone, or loaded whole meanwhile (the single view): nothing to do.
    if (!takes(image, next.w, next.h)) continue;
    // Scrolled far away: a paint that comes to it asks again.
    if (still_shown && !still_shown(image)) continue;
    Ref<C_Fitted_decode> job = make<C_Fitted_decode>();
    job->file_name = image->file_name;
    job->extension = image->extension();
    job->part = Picture_fit::part(image->width, image->height, int(next.w), int(next.h), next.crop);
    job->w = int(next.w);
    job->h = int(next.h);
    if (job->start().is_none()) {
      // No thread to be had: the view decodes it.
      declined_.push_back(next.image);
      continue;
    }
    job_ = job;
    running_ = next;
  }
}

void Fitted_decodes::take(Thumbnail_cache& cache) {
  const Ref<C_Fitted_decode> job = job_;
  job_.reset();
  const Ref<C_Image> image = running_.image.lock();
  running_ = Want{};
  if (image.is_none()) return;
  if (job->picture.empty()) {
    if (job->why.failed()) {
      // The file is at fault: the cell stays black, as for any file that
      // does not decode, and says why.
      image->load_failed = true;
      image->load_failure_reason = job->why;
    } else {
      declined_.push_back(Weak<C_Image>(image));
    }
    return;
  }
  Pixels& p = job->picture;
  if (job->had_alpha && over_black_) {
    // As it shows on the view's black.
    for (int y = 0; y < p.height(); ++y) {
      uint32_t* row = p.row(y);
      for (int x = 0; x < p.width(); ++x) {
        const uint32_t v = row[x], a = Pixels::alpha(v);
        auto mix = [a](uint32_t c) { return uint8_t((c * a + 127) / 255); };
        row[x] = Pixels::bgra(mix(Pixels::blue(v)), mix(Pixels::green(v)), mix(Pixels::red(v)));
      }
    }
  }
  const bool alpha = job->had_alpha && !over_black_;
  Ref<C_Bitmap> b = C_Bitmap::create(p.width(), p.height(), alpha ? 32 : 24);
  Pixels* into = b->pixels();
  if (!into || into->width() != p.width() || into->height() != p.height()) return;
  *into = std::move(p);
  // An opaque picture's copy serves any view.
  if (!cache.keep(image, b, quality_, job->had_alpha && over_black_)) declined_.push_back(Weak<C_Image>(image));
}

void Fitted_decodes::detach() {
  stop();
  timer_.reset();
}

void Fitted_decodes::stop() {
  if (!timer_.is_none()) timer_->set_enabled(false);
  queue_.clear();
  // A worker that runs stops at its next rows and ends the object itself.
  if (!job_.is_none()) job_->stop();
  job_.reset();
  running_ = Want{};
}

}  // namespace brek
