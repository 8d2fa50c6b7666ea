// The frames of an animation too large for the window's thread, composed
// on workers: while the window shows one frame, a worker copies it into
// the picture shown before (kept for this) and draws the next frame over
// the copy; the window's thread takes the result by exchanging the two
// pictures. A stopped worker that may still read the picture shown gets
// it, should it be let go of meanwhile.
#include <algorithm>
#include <cstring>

#include "images/gif.h"

namespace brek {

void C_Gif_frame_job::run() {
  try {
    if (bytes && is_running_flag()) {
      Ref<C_Gif> gif = C_Gif::read_from_bytes(bytes->data(), int64_t(bytes->size()), false);
      gif->set_go_on([this] { return is_running_flag(); });
      gif->compose_for(*this);
    }
  } catch (const std::exception&) {
    // No memory for the picture or the file's frames.
    composed = false;
    short_of_memory = true;
  }
  // A stopped worker holds no picture for long.
  if (!is_running_flag() || !composed) {
    composed = false;
    picture.clear();
  }
  if (!is_running_flag()) {
    under.clear();
    under_held = false;
  }
  C_Thread::run();
}

void C_Gif_frame_job::destroy_hook() {
  picture.clear();
  under.clear();
  kept_before.clear();
  bytes.reset();
  C_Thread::destroy_hook();
}

void C_Gif::compose_for(C_Gif_frame_job& job) {
  const int64_t n = job.frame;
  if (is_none() || n < 0 || n >= static_cast<int64_t>(frames.size())) return;
  Ref<C_Bitmap> b = C_Bitmap::create(0, 0, 24);
  Pixels* px = b->pixels();
  if (!px) return;
  // The job's memory: the composition reuses it when it has the screen's size.
  *px = std::move(job.picture);
  b->take_pixel_size();
  composed_ = b;
  reset_composition();
  if (job.before && n > 0) {
    if (!px->resize_unfilled(static_cast<int>(screen_width), static_cast<int>(screen_height))) {
      job.short_of_memory = true;
      return;
    }
    b->take_pixel_size();
    const size_t row_bytes = size_t(screen_width) * 4;
    for (int64_t y = 0; y < screen_height; ++y) {
      if (stopped({})) return;
      std::memcpy(px->row(static_cast<int>(y)), job.before + y * screen_width, row_bytes);
    }
    // As the window's thread left it after frame n - 1.
    composed_live_ = true;
    stepped_ = n - 1;
    frame_shown_ = job.before_drawn;
    saved_ = std::move(job.under);
    saved_x_ = job.under_x;
    saved_y_ = job.under_y;
    has_saved_ = job.under_held;
  }
  current_frame = n;
  render_current_frame();
  if (stopped({})) return;
  job.composed = composed_live_;
  job.drawn = frame_shown_;
  job.short_of_memory = short_of_memory_;
  if (composed_live_) job.picture = std::move(*composed_->pixels());
  job.under = std::move(saved_);
  job.under_x = saved_x_;
  job.under_y = saved_y_;
  job.under_held = has_saved_;
  has_saved_ = false;
}

void C_Gif::compose_on_workers(std::shared_ptr<const std::vector<uint8_t>> bytes) {
  if (is_none() || frames.size() < 2 || !bytes) return;
  bytes_ = std::move(bytes);
}

bool C_Gif::step_frame() {
  if (is_none() || frame_count() <= 1) return false;
  std::erase_if(stopping_, [](const Ref<C_Gif_frame_job>& j) { return j->is_finished(); });
  const auto after = [this](int64_t n) { return n >= frame_count() - 1 ? 0 : n + 1; };
  const int64_t next = after(current_frame);
  if (composes_on_workers()) {
    if (job_.is_none() && start_frame_job(next)) return false;
    if (!job_.is_none()) {
      if (!job_->is_finished()) return false;
      take_frame_job();
      // The next one is composed while this one shows.
      start_frame_job(after(current_frame));
      return true;
    }
    // No worker to be had: composed here from now on, from the first
    // frame where what lay under the frame shown went with a worker.
    bytes_.reset();
    spare_.clear();
    if (compose_from_start_) stepped_ = -1;
  }
  set_current_frame(next);
  return true;
}

bool C_Gif::start_frame_job(int64_t n) {
  Ref<C_Gif_frame_job> job = make<C_Gif_frame_job>();
  job->bytes = bytes_;
  job->frame = n;
  const bool over = n > 0 && n == stepped_ + 1 && composed_live_ && !compose_from_start_;
  if (over) {
    job->before = picture().words();
    job->before_drawn = frame_shown_;
    // What the frame shown restores: the worker needs it, the window not.
    if (has_saved_) {
      job->under = std::move(saved_);
      job->under_x = saved_x_;
      job->under_y = saved_y_;
      job->under_held = true;
      has_saved_ = false;
    }
  }
  job->picture = std::move(spare_);
  const bool lent = job->under_held;
  if (job->start().is_none()) {
    spare_ = std::move(job->picture);
    if (lent) {
      saved_ = std::move(job->under);
      has_saved_ = true;
    }
    return false;
  }
  // Stopped before it ends, it takes what lay under the frame shown along.
  compose_from_start_ = compose_from_start_ || lent;
  job_ = job;
  return true;
}

void C_Gif::take_frame_job() {
  const Ref<C_Gif_frame_job> job = job_;
  job_.reset();
  if (composed_.is_none()) {
    composed_ = C_Bitmap::create(0, 0, 24);
    if (!composed_->pixels()) return;
  }
  // The two pictures change places: the one shown before serves the next.
  Pixels* shown = composed_->pixels();
  Pixels before = std::move(*shown);
  *shown = std::move(job->picture);
  composed_->take_pixel_size();
  retire_picture(std::move(before));
  composed_live_ = job->composed;
  frame_shown_ = job->drawn;
  short_of_memory_ = job->short_of_memory;
  saved_ = std::move(job->under);
  saved_x_ = job->under_x;
  saved_y_ = job->under_y;
  has_saved_ = job->under_held;
  compose_from_start_ = false;
  stepped_ = current_frame = last_rendered = job->frame;
}

bool C_Gif::hand_to_reader(Pixels& p) {
  std::erase_if(stopping_, [](const Ref<C_Gif_frame_job>& j) { return j->is_finished(); });
  const auto reader = std::find_if(stopping_.begin(), stopping_.end(),
                                   [&](const Ref<C_Gif_frame_job>& j) { return !p.empty() && j->before == p.words(); });
  if (reader == stopping_.end()) return false;
  // It goes with the worker, whichever of the two lets go of it last.
  (*reader)->kept_before = std::move(p);
  stopping_.erase(reader);
  return true;
}

void C_Gif::retire_picture(Pixels&& old) {
  if (!hand_to_reader(old)) spare_ = std::move(old);
}

void C_Gif::stop_workers() {
  if (is_none()) return;
  if (!job_.is_none()) {
    job_->stop();
    if (job_->before) stopping_.push_back(job_);
    job_.reset();
  }
  spare_.clear();
  std::erase_if(stopping_, [](const Ref<C_Gif_frame_job>& j) { return j->is_finished(); });
}

void C_Gif::let_go_of_workers() {
  stop_workers();
  // The picture shown goes with this GIF, unless a worker may still read it.
  if (Pixels* shown = composed_->pixels()) hand_to_reader(*shown);
  stopping_.clear();
  bytes_.reset();
}

}  // namespace brek
