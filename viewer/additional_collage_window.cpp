// Window services of the main window's commands: full screen, the save dialog and
// the platform's file manager.
#include <vector>

#include "baselib/language_table.h"
#include "baselib/localize_str.h"
#include "baselib/system_functions.h"
#include "forms/form_bridge.h"
#include "forms/placement.h"
#include "runtime/strings.h"
#include "viewer/collage_viewer.h"

namespace brek {

namespace {

// The first monitor whose rectangle holds the point, edges included; -1
// when none does.
int64_t monitor_at(const point& p) {
  const int64_t n = Placement::monitor_count();
  for (int64_t i = 0; i < n; ++i)
    if (C_Geometry::point_in_rect(Placement::monitor_rect(i), p)) return i;
  return -1;
}

// The window's placement flag set for the duration of a change, and its
// batch of window changes, both given back also when the change fails.
struct Placement_batch {
  Ref<C_Collage_viewer> v;
  bool saved;
  explicit Placement_batch(const Ref<C_Collage_viewer>& viewer) : v(viewer), saved(viewer->placement_busy) {
    if (v->is_none()) return;
    v->placement_busy = true;
    v->begin_update();
  }
  ~Placement_batch() {
    if (v->is_none()) return;
    try {
      v->end_update();
    } catch (...) {
    }
    v->placement_busy = saved;
  }
};

}  // namespace

void C_Additional_collage::set_full_screen(bool on) {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return;
  Placement::refresh_monitors();
  const rect b = v->get_bounds();
  const int64_t m = on ? monitor_at(point{b.x + 20, b.y + 20}) : -1;
  switch_full_screen(on, m >= 0 ? Placement::monitor_rect(m) : rect{});
}

void C_Additional_collage::switch_full_screen() {
  if (is_none()) return;
  follow_full_screen();
  set_full_screen(!full_screen);
}

void C_Additional_collage::follow_full_screen() {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  // At start-up full screen is applied once the window shows; a switch
  // under way is not the manager's.
  if (v.is_none() || v->placement_busy || (pending_placement && full_screen) || !C_Brek_form::can_full_screen(v->native))
    return;
  const bool now = C_Brek_form::is_full_screen(v->native);
  if (now == full_screen) return;
  full_screen = now;
  full_screen_by_manager = now;
  maximized_before = false;
  windowed_kept = false;
  v->border_kind = now ? 1 : 0;
  if (!now) update_caption(caption);
  save_settings();
}

void C_Additional_collage::switch_full_screen(bool on, const rect& monitor) {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return;
  Placement::refresh_monitors();
  {
    Placement_batch batch(v);
    if (on) {
      switched_to = monitor;
      const bool has_monitor = monitor.w > 0 && monitor.h > 0;
      // What to come back to is noted as full screen begins, not as it is
      // applied again on its monitor.
      if (!full_screen && v->border_kind == 0) {
        const int state = v->get_window_state();
        maximized_before = state == static_cast<int>(state_of_form::MAXIMIZED);
        full_screen_by_manager = false;
        windowed_kept = false;
        if (state == static_cast<int>(state_of_form::NORMAL)) {
          windowed = C_Brek_form::get_window_rect(v->native);
          windowed_kept = windowed.w > 0 && windowed.h > 0;
        }
      }
      // A window manager covers the panels too; without one the window
      // fills the monitor itself.
      if (!v->set_full_screen(true, monitor)) {
        if (has_monitor) v->set_bounds(monitor);
        v->set_window_state(state_of_form::MAXIMIZED);
        v->set_border_kind(1);
      }
      pending_placement = true;
      place_under_pointer = false;
      v->start_timer();
    } else {
      v->set_full_screen(false, rect{});
      v->set_border_kind(0);
      if (full_screen_by_manager) {
        // What the window was before is the manager's to give back.
      } else if (maximized_before) {
        v->set_window_state(state_of_form::MAXIMIZED);
      } else {
        v->set_window_state(state_of_form::NORMAL);
        // The window as it was, where the monitors still show all of it;
        // else the stored placement, kept on a monitor.
        if (windowed_kept && Placement::wholly_on(Placement::monitor_rects(), windowed))
          C_Brek_form::set_window_rect(v->native, windowed);
        else
          v->load_placement(C_Collage_viewer::PLACEMENT_APPLICATION, C_Collage_viewer::PLACEMENT_SECTION);
      }
      windowed_kept = false;
      maximized_before = false;
      full_screen_by_manager = false;
      full_screen = false;
      update_caption(caption);
    }
  }
  full_screen = on;
  save_settings();
}

void C_Additional_collage::place_full_screen() {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return;
  // No monitor under the cursor: the window stays where it is and goes
  // full screen on the monitor it is on. The window's own bounds are not
  // asked again: a manager may still be showing it anew after the switch
  // took its frame away.
  rect to = switched_to;
  if (place_under_pointer) {
    const int64_t m = monitor_at(v->cursor_position());
    to = m >= 0 ? Placement::monitor_rect(m) : rect{};
  }
  if (!C_Brek_form::can_full_screen(v->native)) {
    Placement_batch batch(v);
    v->set_border_kind(1);
    if (to.w > 0 && to.h > 0) v->set_bounds(to);
  }
  if (!(to.w > 0 && to.h > 0)) {
    const rect b = v->get_bounds();
    const int64_t m = monitor_at(point{b.x + 20, b.y + 20});
    if (m >= 0) to = Placement::monitor_rect(m);
  }
  switch_full_screen(true, to);
}

void C_Additional_collage::save_as_dialog() {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return;
  if (save_dialog.is_none()) save_dialog = C_Dialog_file::create_save(v, "DLGSAV");
  if (save_dialog.is_none()) return;
  std::string filter;
  for (const char* ext : {".jpg", ".jpeg", ".png", ".gif", ".bmp", ".webp"}) {
    const std::string e = ext;
    if (!C_Bitmap::extension_savable(Brek_runtime::upper_case(e.substr(1)))) continue;
    filter += "|" + Localize_str::text(lng::Additional_collage::Images) + " *" + e + "|*" + e;
    if (save_dialog->default_ext.empty()) save_dialog->default_ext = e;
  }
  save_dialog->filter = filter.empty() ? filter : filter.substr(1);
}

namespace {

// Starts the platform's file manager; false when none could be.
bool start_file_manager(const std::string& directory, const std::string& file) {
  const std::string platform = System_functions::platform_lower();
  if (platform.find("linux") == std::string::npos) {
    const std::string where = file.empty() ? "/e,\"" + directory + "\"" : "/e,/n, /select, \"" + file + "\"";
    return System_functions::start_program("explorer.exe", {where}) != 0;
  }
  // Nothing to show the file manager.
  if (directory.empty()) return true;
  // The directory is one argument, whatever it holds; one that is there
  // but does not start gives way to the next.
  for (const char* program : {"nautilus", "xdg-open", "gnome-open"})
    if (C_Additional_collage::program_exists(program) && System_functions::start_program(program, {directory}) != 0)
      return true;
  return false;
}

}  // namespace

bool C_Additional_collage::explore_dir(const std::string& directory, const std::string& file,
                                       const Ref<C_Form>& over) {
  if (start_file_manager(directory, file)) return true;
  const Ref<C_Form> told = over.is_none() ? Ref<C_Form>(viewer.lock()) : over;
  told->message(Localize_str::text(lng::Additional_collage::No_file_manager));
  return false;
}

bool C_Additional_collage::program_exists(const std::string& name) {
  if (System_functions::platform_lower().find("linux") == std::string::npos) return false;
  return System_functions::program_exists(name);
}

}  // namespace brek
