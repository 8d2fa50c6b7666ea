// Opening files and directories, the current image and the file list.
#include "baselib/bounded_ask.h"
#include "baselib/file_path.h"
#include "baselib/string_functions.h"
#include "images/image_file_name.h"
#include "runtime/runtime_services.h"
#include "viewer/captions.h"
#include "viewer/collage_viewer.h"
#include "viewer/open_arguments.h"

namespace brek {

void C_Collage_viewer::on_command() { open_argument(); }

void C_Collage_viewer::open_argument() {
  if (is_none()) return;
  Open_arguments::Target t =
      Open_arguments::resolve(Open_arguments::command_line_arguments(), collage->single_always);
  switch (t.kind) {
    case Open_arguments::target_kind::FILE: {
      open_file(t.path);
      // The caption names the file just opened, also when the list was kept
      // and the file is not its first entry.
      int64_t i = index_of_file(t.path);
      if (i >= 0) show_file(files.get(i));
      break;
    }
    case Open_arguments::target_kind::DIRECTORY:
      open_dir(t.path);
      break;
    case Open_arguments::target_kind::NOTHING:
      break;
  }
}

void C_Collage_viewer::open_file(const std::string& path) {
  if (is_none()) return;
  const std::string d = File_path::directory_of(path);
  bool clipboard_only = files.count() == 1 && NATIVE_String_functions::starts_with(current_file, "<clip");
  bool keep = !scan_dir.empty() && NATIVE_String_functions::starts_with(scan_dir, d) && !clipboard_only;
  if (!keep) {
    scan_dir = d;
    root_dir = scan_dir;
    files.clear();
    shown_image.reset();
    laid_out_count = 0;
    last_cell = rect{};
    layout_bottom = 0;
    collage->clear_current_image();
  }
  if (!File_path::file_exists(path) && !collage->single_always) {
    open_dir(scan_dir);
    return;
  }
  current_file = path;
  int64_t i = index_of_file(path);
  Ref<C_Image> image;
  if (i >= 0) {
    image = files.get(i);
    laid_out_count = i;
  } else {
    laid_out_count = files.count();
    image = C_Image::create();
    image->file_name = path;
    files.append(image);
  }
  // The image opened is the one shown, not an older object of that name.
  shown_image = image;
  Ref<C_Image> before = files.get(laid_out_count - 1);
  last_cell = before->rect;
  layout_bottom = 0;

  load_for_showing(image);
  if (image->load_needed) return;
  if (image->display_width == 0 && image->extension() == ".webp") image->load(0, 0);
  collage->reset_image();
  show_file(image);
  single_mode = true;
  scale = 1.0;
  repaint();
  animate(image);
  if (files.count() <= 1) start_timer();
}

void C_Collage_viewer::show_file(const Ref<C_Image>& image) {
  if (is_none()) return;
  image->read_header_info(1.0, 1.0);
  if (image->width == 0 && image->extension() == ".webp") image->load(0, 0);
  // A file that did not load says why after its name and sizes, one on a
  // mount that does not answer says so.
  std::string caption = image->with_load_failure(
      Viewer_captions::single_image(title, image->file_name, image->width, image->height, image->file_size()));
  const std::string silent = Bounded_ask::silent_mount_of(image->file_name);
  if (!silent.empty()) caption += " - " + silent + Viewer_captions::NO_ANSWER;
  if (caption != collage->caption) collage->update_caption(caption);
}

bool C_Collage_viewer::trash_file(const Ref<C_Image>& image) {
  if (!is_none() && picture_.whole_coming(image)) picture_.drop();
  return File_path::delete_files(std::vector<std::string>{image->file_name});
}

void C_Collage_viewer::drop_file(const Ref<C_Image>& image) {
  if (is_none()) return;
  int64_t i = files.index_of(image);
  if (i < 0) i = index_of_file(image->file_name);
  if (i >= 0) {
    files.remove(i);
    laid_out_count = i;
    // The extent from the entries kept: what followed leaves the range.
    collage->refresh_layout();
    if (i >= files.count()) i -= 1;
    current_file = files.get(i)->file_name;
  } else if (current_file == image->file_name) {
    // Not listed: the window must not go on naming a file that is gone.
    current_file.clear();
  }
  if (single_mode) {
    i = index_of_file(current_file);
    if (i >= 0)
      show_file(files.get(i));
    else if (current_file.empty())
      collage->update_caption(Viewer_captions::empty_window(title));
  }
  repaint();
}

void C_Collage_viewer::forget_listing() {
  if (is_none()) return;
  files.clear();
  shown_image.reset();
  scroll_y = 0;
  layout_bottom = 0;
  laid_out_count = 0;
  last_cell = rect{};
  dir_queue.clear();
  known_dirs.clear();
  quiet_scan_steps_ = 0;
  unanswered_dirs_.clear();
}

void C_Collage_viewer::open_dir(const std::string& dir) {
  if (is_none()) return;
  const bool other_dir = dir != root_dir;
  scan_dir = dir;
  root_dir = dir;
  current_file.clear();
  single_mode = false;
  set_gif_timer(false, 0);
  slideshow = false;
  forget_listing();
  stop_timer();
  scanning = true;
  scan_step(true);
  // Auto save ends with another directory (a refresh keeps it).
  if (other_dir)
    collage->clear_current_image();
  else
    collage->reset_image();
  start_timer();
  repaint();
}

Ref<C_Image> C_Collage_viewer::current_image() {
  // The clipboard image stands for the current file only while that is its
  // name: after the list moved on it would make commands act on the wrong
  // image.
  Ref<C_Image> clip = collage->current_image();
  if (!clip.is_none() && clip->file_name == current_file) return clip;
  if (shown_image->file_name == current_file && !shown_image.is_none()) return shown_image;
  Ref<C_Image> result = files.get(index_of_file(current_file));
  if (!is_none()) shown_image = result;
  return result;
}

int64_t C_Collage_viewer::index_of_file(const std::string& path) {
  const int64_t n = files.count();
  for (int64_t i = 0; i < n; ++i) {
    Brek_runtime::loop_tick();
    if (files.get(i)->file_name == path) return i;
  }
  return -1;
}

}  // namespace brek
