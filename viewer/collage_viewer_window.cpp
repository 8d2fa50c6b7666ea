// The window's parts: timers, paint box, open dialog, placement and the
// main loop.
#include "viewer/collage_viewer.h"

namespace brek {

void C_Collage_viewer::create_controls() {}
void C_Collage_viewer::destroy_controls() {}
void C_Collage_viewer::set_open_filter(const std::string& filter) {}
void C_Collage_viewer::set_gif_timer(bool on, int64_t interval) {}
void C_Collage_viewer::stop_timer() {}
void C_Collage_viewer::start_timer() {}
void C_Collage_viewer::run() {}
void C_Collage_viewer::load_placement() {}
void C_Collage_viewer::save_placement() {}
void C_Collage_viewer::repaint() {}
Ref<C_Canvas> C_Collage_viewer::paint_box_canvas() { return Ref<C_Canvas>(); }
double C_Collage_viewer::paint_box_width() { return 0; }
double C_Collage_viewer::paint_box_height() { return 0; }
rect C_Collage_viewer::paint_box_frame() { return rect{}; }

void C_Collage_viewer::scan_step(bool restart) {}

void C_Collage_viewer::relayout() {
  if (is_none() || files.count() <= laid_out_count) return;
}

}  // namespace brek
