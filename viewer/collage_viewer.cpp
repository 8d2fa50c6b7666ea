#include "viewer/collage_viewer.h"

#include <algorithm>

#include "baselib/config.h"
#include "baselib/file_path.h"
#include "baselib/localize_str.h"
#include "baselib/string_functions.h"
#include "baselib/system_functions.h"
#include "forms/screen.h"
#include "images/gif.h"
#include "viewer/captions.h"

namespace brek {

namespace {
using area = area_where_configuration_is_stored;
}

C_Collage_viewer::C_Collage_viewer() {
  queue_policy = "kiiqiqqqqqssssskkkqkkiiiqqk";
}

// ---- start-up ------------------------------------------------------------------

void C_Collage_viewer::main() {
  Ref<C_Screen> screen = make<C_Screen>();
  Ref<C_Form>()->set_font(screen, "Arial", 10.0);
  Ref<C_Collage_viewer> viewer = make<C_Collage_viewer>();
  if (!viewer.is_none()) viewer->screen = screen;
  viewer->create();
  viewer->run();
  viewer.reset();
  screen.reset();
}

void C_Collage_viewer::create() {
  if (is_none()) return;
  load_language();
  uint8_t saved_creating = creating;
  creating = 1;
  try {
    new_column("COL_1", layout_on_form::CENTER, St_sizes_col__C_Form{});
    create_controls();
  } catch (...) {
    creating = saved_creating;
    throw;
  }
  creating = saved_creating;
  start_up();
}

std::string C_Collage_viewer::language_directory(const std::string& program_dir) {
  std::string dir = NATIVE_String_functions::with_trailing_separator(program_dir);
  if (File_path::file_exists(dir + "English_EN.lng")) return dir;
  if (File_path::file_exists(dir + "../English_EN.lng")) return dir + "..";
  return dir;
}

void C_Collage_viewer::load_language() {
  Localize_str::set_language_directory(language_directory(System_functions::program_directory()));
  if (!Localize_str::load_language_file("EN", "English")) tell_refused_language();
  Ref<C_Config> config = C_Config::open_read(LANGUAGE_APPLICATION, area::USER, "");
  std::string stored = config->read_string("Language");
  if (!is_none()) language = stored;
  if (!stored.empty() && !Localize_str::load_language(stored)) tell_refused_language();
  C_Gif::set_gif_code(gif_code_from::GIF_Brek);
  if (is_none()) return;
  collage = make<C_Additional_collage>();
  collage->viewer = Ref<C_Collage_viewer>(this);
  collage->version_text();
}

void C_Collage_viewer::tell_refused_language() {
  // The texts stay the built-in English ones.
  if (!Localize_str::last_refused().empty()) message(Localize_str::last_refused());
}

void C_Collage_viewer::start_up() {
  if (is_none()) return;
  set_bevel(1);
  set_open_filter(OPEN_FILTER);
  if (System_functions::param_count() > 1) open_argument();
  collage->load_settings();
  if (collage->caption.empty()) collage->update_caption(Viewer_captions::empty_window(title));
  set_colors(COLOR_BLACK, -1);
  restore_placement();
}

// ---- window events -------------------------------------------------------------

void C_Collage_viewer::on_resize() {
  if (is_none()) return;
  collage->follow_full_screen();
  lay_out_anew();
  save_placement_if_framed();
}

void C_Collage_viewer::lay_out_anew() {
  for (const Ref<C_Image>& f : files) f->set_load_options(rect{});
  scroll_y = 0;
  layout_bottom = 0;
  laid_out_count = 0;
  last_cell = rect{};
  relayout();
  repaint();
}

void C_Collage_viewer::on_moved() { save_placement_if_framed(); }

bool C_Collage_viewer::on_close_query() {
  if (!is_none()) collage->follow_full_screen();
  return false;
}

void C_Collage_viewer::save_placement_if_framed() {
  if (is_none() || placement_busy || border_kind != 0) return;
  store_placement();
}

void C_Collage_viewer::on_shown() {
  if (is_none() || placement_busy) return;
  restore_placement();
}

void C_Collage_viewer::show() {
  if (is_none()) return;
  const bool was_hidden = !is_visible();
  C_Form::show();
  // The window may have been placed before it showed: the paint box
  // follows the size it shows with.
  realign_columns();
  // A list opened while the window was hidden was laid out for the box of
  // that time, and before the settings chose the view.
  if (was_hidden) lay_out_anew();
}

void C_Collage_viewer::destroy_hook() {
  collage.reset();
  shown_image.reset();
  destroy_controls();
  files.clear();
  known_dirs.clear();
  dir_queue.clear();
  layout_image.reset();
  painted_image.reset();
  scroll_marks.clear();
  rescan_job.reset();
  rescan_thread.reset();
  oriented_.reset();
  stretched_.reset();
  paint_canvas_.reset();
  C_Form::destroy_hook();
}

}  // namespace brek
