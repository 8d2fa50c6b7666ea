// The window's parts: timers, paint box, open dialog, placement and the
// main loop.
#include <algorithm>

#include "forms/screen.h"
#include "viewer/collage_viewer.h"

namespace brek {

void C_Collage_viewer::create_controls() {
  if (is_none()) return;
  Ref<C_Form> self(this);
  timer_gif = C_Timer::new_timer(self, "TIMER_GIF", 100);
  timer_gif->set_enabled(false);
  timer_1 = C_Timer::new_timer(self, "TIMER_1", 200);
  timer_2 = C_Timer::new_timer(self, "TIMER_2", 16);
  timer_2->set_enabled(false);
  picture_.attach(C_Timer::new_timer_stopped(self, "TIMER_DECODE", 10));
  cell_decodes.attach(C_Timer::new_timer_stopped(self, "TIMER_CELLS", 20));
  // The picture area fills the window; no scroll bars.
  pb = C_Paintbox::new_paintbox(self, "PB", "");
  pb->set_stretch(true);
  dialog_open = C_Dialog_file::create_open(self, "DIALOG_OPEN");
}

void C_Collage_viewer::destroy_controls() {
  dialog_open.reset();
  pb.reset();
  timer_1.reset();
  timer_2.reset();
  timer_gif.reset();
  picture_.detach();
  cell_decodes.detach();
}

void C_Collage_viewer::set_open_filter(const std::string& filter) {
  if (!dialog_open.is_none()) dialog_open->filter = filter;
}

void C_Collage_viewer::set_gif_timer(bool on, int64_t interval) {
  if (on) timer_gif->set_interval(interval);
  timer_gif->set_enabled(on);
  if (!on) play_only(Ref<C_Gif>());
}

void C_Collage_viewer::play_only(const Ref<C_Gif>& gif) {
  if (playing_.get() == gif.get()) return;
  playing_.lock()->stop_workers();
  playing_ = gif;
}

void C_Collage_viewer::animate(const Ref<C_Image>& image) {
  if (image->animation->frame_count() > 1) set_gif_timer(true, std::max<int64_t>(20, image->animation->frame_delay()));
}

void C_Collage_viewer::stop_timer() { timer_1->set_enabled(false); }
void C_Collage_viewer::start_timer() { timer_1->set_enabled(true); }
void C_Collage_viewer::run() {
  if (is_none()) return;
  screen.lock()->run_forms(Ref<C_Form>(this));
}

void C_Collage_viewer::restore_placement() {
  placement_busy = true;
  try {
    load_placement(PLACEMENT_APPLICATION, PLACEMENT_SECTION);
  } catch (...) {
    placement_busy = false;
    throw;
  }
  placement_busy = false;
}
void C_Collage_viewer::store_placement() { save_placement(PLACEMENT_APPLICATION, PLACEMENT_SECTION); }
void C_Collage_viewer::repaint() {
  if (!is_none()) pb->invalidate_all();
}
// The back buffer's canvas while the box paints.
Ref<C_Canvas> C_Collage_viewer::paint_box_canvas() { return pb->canvas; }
// The drawing surface (the back buffer's size while painting).
double C_Collage_viewer::paint_box_width() { return pb->in_paint ? pb->get_width() : pb->get_client_width(); }
double C_Collage_viewer::paint_box_height() { return pb->in_paint ? pb->get_height() : pb->get_client_height(); }
rect C_Collage_viewer::paint_box_frame() { return pb->get_bounds(); }

void C_Collage_viewer::shift_view(int64_t extra, int64_t dy) {
  if (!is_none()) pb->scroll_back_buffer(extra, 0, dy, 0);
}

}  // namespace brek
