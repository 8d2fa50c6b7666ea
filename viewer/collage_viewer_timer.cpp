// The background work of the main window, sliced by its timers: the next
// frame of an animation, one slice of layout or of listing every 200 ms,
// and smooth scrolling while the pointer rests on a scroll mark.
#include <algorithm>
#include <cmath>

#include "baselib/geometry.h"
#include "forms/form_bridge.h"
#include "images/gif.h"
#include "runtime/strings.h"
#include "viewer/collage_viewer.h"

namespace brek {

namespace {

// The pause between two listings of a walked tree, ms; it grows by 1 ms
// per laid-out file, so a large tree spends more of its time on its own.
constexpr double SCAN_PAUSE_MS = 200;
// A tree whose listings found nothing new for whole rounds waits twice as
// long for each such round, at most this many times (8 times slower): an
// idle window costs next to nothing, and a change still shows within a
// few seconds.
constexpr int64_t MAX_QUIET_HALVINGS = 3;
// Ticks without a paint after which an idle view releases its far pictures.
constexpr int64_t IDLE_RELEASE_TICKS = 50;
// How often the animation timer looks for a frame a worker composes, ms.
constexpr int64_t FRAME_POLL_MS = 20;

// Whether the image is shown as filed: not turned, flipped or inverted.
bool as_filed(const Ref<C_Image>& image) {
  return image->quarter_turns == image->applied_turns && image->flip_x == image->applied_flip_x &&
         image->flip_y == image->applied_flip_y && image->inverse == image->applied_inverse;
}

double ms_since(const date_time& t) { return Date_time::difference_ms(Date_time::now(), t); }

}  // namespace

int64_t C_Collage_viewer::mark_at_pointer() {
  const point p = mouse_position();
  const rect box = paint_box_frame();
  const point pb{p.x - box.x, p.y - box.y};
  for (int64_t j = 0; j < scroll_marks.count(); ++j) {
    const St_scroll_mark__C_Collage_viewer m = scroll_marks.get(j);
    if (C_Geometry::point_distance(pb, point{m.x, m.y}) <= 10.0) return j;
  }
  return -1;
}

void C_Collage_viewer::on_timer() {
  if (is_none()) return;
  Ref<C_Control> sender = current_control();
  if (picture_.ticks_by(sender)) {
    whole_picture_tick();
    return;
  }
  if (cell_decodes.ticks_by(sender)) {
    // The cells in reach, or the single view's picture.
    const auto still_shown = [this](const Ref<C_Image>& e) {
      return single_mode ? e.get() == current_image().get() : cell_in_reach(e);
    };
    if (cell_decodes.step(collage->thumbnails, still_shown)) repaint();
    return;
  }
  if (sender == timer_gif) {
    animation_tick();
    return;
  }
  if (std::fabs(wheel_pending) > 1e-9) {
    const double a = wheel_pending;
    wheel_pending = 0;
    apply_wheel_scroll(a);
  }
  if (in_timer) return;
  in_timer = true;
  struct Leave {
    C_Collage_viewer* v;
    ~Leave() { v->in_timer = false; }
  } leave{this};
  if (sender == timer_1) stop_timer();
  // As the listing notices a changed file, at any time.
  renew_if_changed();
  if (collage->timer_tasks()) {
    start_timer();
    return;
  }
  if (sender == timer_2) {
    if (!hover_scroll_step()) {
      timer_2->set_enabled(false);
      start_timer();
    }
    return;
  }
  // A picture still coming from a worker is shown for the whole interval
  // once it came.
  if (slideshow && single_coming_) last_slide_time = Date_time::now();
  if (slideshow && single_mode && ms_since(last_slide_time) >= slide_interval) {
    // What the last step let go of goes back before the next is read.
    give_back_released_memory();
    // The next image, as the space key shows it.
    last_slide_time = Date_time::now();
    slideshow = false;
    const St_key_info__C_Form saved = key_info;
    key_info = St_key_info__C_Form{};
    key_info.key_code = 32;
    try {
      on_key_down();
    } catch (...) {
      key_info = saved;
      slideshow = true;
      throw;
    }
    key_info = saved;
    slideshow = true;
    start_timer();
    return;
  }

  layout_or_scan_step();

  if (!single_mode) {
    const int64_t mark = mark_at_pointer();
    const rect box = paint_box_frame();
    const double y = mouse_position().y - box.y;
    const double box_h = view_height();
    const double box_h_px = double(C_Canvas::to_device_pixels(box_h));
    if (mark >= 0 && ((scroll_y > 0 && y < box_h / 4) || (layout_bottom - scroll_y >= box_h_px && y > box_h * 3 / 4))) {
      scroll_pending = true;
      if (!timer_2->is_enabled()) {
        C_Brek_form::time_begin_period(timer_2->interval);
        hover_step_ms = 28;
        timer_2->set_enabled(true);
      }
    }
  }
  start_timer();
  // A view at rest is not painted again, whatever a smooth scroll stopped
  // at an end still says: its far pictures go after as many ticks as they
  // would after paints. The memory of released pictures goes back at a
  // tick that came without a paint, so a scroll does not pay for it at
  // every step.
  const bool painted = ticks_since_paint_ == 0;
  if (++ticks_since_paint_ == IDLE_RELEASE_TICKS && !single_mode)
    release_far_pictures(double(C_Canvas::to_device_pixels(view_width())),
                         double(C_Canvas::to_device_pixels(view_height())), IDLE_RELEASE_TICKS);
  if (!painted) give_back_released_memory();
  // A panned picture follows a pointer that left the window.
  if (single_mode && !fit_mode && !C_Geometry::point_in_rect(get_bounds(), cursor_position())) repaint();
  if (!scroll_pending && !left_down && !right_down && !dragged && ms_since(pointer_active_time) > HOVER_REST_MS) {
    const Hover_seen seen{mouse_position(), scroll_y, paint_clock, files.count(), laid_out_count};
    if (!(seen == hover_seen_)) {
      hover_update();
      hover_seen_ = seen;
    }
  }
}

void C_Collage_viewer::animation_tick() {
  const Ref<C_Image> image = current_image();
  Ref<C_Gif> gif = image->animation;
  play_only(gif);
  if (gif->frame_count() <= 1) {
    // The animation is no longer shown: no more frames to paint.
    set_gif_timer(false, 0);
    return;
  }
  // One too large for this thread stays on its frame while turned,
  // flipped or inverted: each frame would be another copy of the whole
  // picture made here.
  if (gif->composes_on_workers() && !as_filed(image)) {
    gif->stop_workers();
    return;
  }
  if (!gif->step_frame()) {
    // A worker composes it: looked for again soon.
    if (timer_gif->interval != FRAME_POLL_MS) timer_gif->set_interval(FRAME_POLL_MS);
    return;
  }
  int64_t d = std::max<int64_t>(20, gif->frame_delay());
  if (d != timer_gif->interval) timer_gif->set_interval(d);
  repaint();
}

void C_Collage_viewer::layout_or_scan_step() {
  // A box may change size after the window's resize or show has passed
  // (its panel follows the window's layout): a box whose width is not the
  // one the layout was built for is laid out anew.
  if (!single_mode && laid_out_count > 0 && laid_out_width_ > 0) {
    const double box_w = double(C_Canvas::to_device_pixels(view_width()));
    if (box_w >= 1 && box_w != laid_out_width_) lay_out_anew();
  }

  // Entries that lost their cell are laid out again. A caption line's cell
  // has no width, only a height.
  const int64_t limit = std::min(files.count(), laid_out_count);
  const Ref<C_Image>* entries = files.begin();
  for (int64_t i = 0; i < limit; ++i) {
    if (entries[i]->rect.h <= 0) {
      laid_out_count = i;
      break;
    }
  }
  list_answering_again();
  if (files.count() > laid_out_count) {
    relayout();
  } else {
    const double e = ms_since(last_scan_time);
    const int64_t rounds = quiet_scan_steps_ / std::max<int64_t>(1, known_dirs.count());
    const double pause = SCAN_PAUSE_MS * double(int64_t(1) << std::min(rounds, MAX_QUIET_HALVINGS));
    if (scanning && (e > double(laid_out_count) + pause || !dir_queue.empty() ||
                     files.count() > laid_out_count)) {
      list_for_a_while();
      last_scan_time = Date_time::now();
    }
  }
}

bool C_Collage_viewer::hover_scroll_step() {
  if (is_none()) return false;
  const int64_t h = mark_at_pointer();
  if (h < 0 && scroll_pending) {
    timer_2->set_enabled(false);
    scroll_pending = false;
    C_Brek_form::time_end_period(timer_2->interval);
    return false;
  }
  double v = h < 0 ? 0.0 : double(scroll_marks.get(h).step) * 4.0;
  const double dt = ms_since(hover_step_time);
  if (dt <= 500) v = dt * v / 16.0;
  hover_step_time = Date_time::now();
  if (v == 0) return false;
  if (!cells_complete) {
    // Scrolling waits for the cells in view to get their pictures.
    hover_step_time = date_time{};
    if (std::fabs(v) > 1) return false;
  }
  const double old = scroll_y;
  const double box_h_px = double(C_Canvas::to_device_pixels(view_height()));
  scroll_y = std::max(0.0, std::min(scroll_y + v, layout_bottom - box_h_px));
  if (scroll_y < 0) scroll_y = 0;
  if (scroll_y == old) {
    scroll_pending = true;
    return false;
  }
  const int64_t d = scroll_pending ? hover_step_ms + 20 : std::max<int64_t>(10, hover_step_ms);
  const bool saved = partial_repaint;
  partial_repaint = true;
  try {
    shift_view(d, Brek_runtime::real_to_int(old - scroll_y));
  } catch (...) {
    partial_repaint = saved;
    throw;
  }
  partial_repaint = saved;
  scroll_pending = true;
  return true;
}

}  // namespace brek
