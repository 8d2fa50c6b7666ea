// The main window's command set: file and clipboard commands, view modes
// and orders, the file and view items of the popup menus and the function
// keys it handles for the main window.
#include <algorithm>
#include <cerrno>
#include <vector>

#include "baselib/clipboard.h"
#include "baselib/bounded_ask.h"
#include "baselib/file_path.h"
#include "baselib/language_table.h"
#include "baselib/localize_str.h"
#include "forms/menu.h"
#include "runtime/strings.h"
#include "images/format_classes.h"
#include "images/image_file_io.h"
#include "images/image_file_name.h"
#include "viewer/captions.h"
#include "viewer/clipboard_images.h"
#include "viewer/collage_viewer.h"
#include "viewer/move_to_dirs.h"
#include "platform/file_dialog.h"
#include "viewer/print_editor_hook.h"

namespace brek {

namespace {

namespace L = lng::Additional_collage;

const std::string& T(int64_t key) { return Localize_str::text(key); }

constexpr const char* CRLF = "\r\n";

const char* const COPY_FAILED = "Copy operation failed";
const char* const PASTE_FAILED = "Paste operation failed";
const char* const NOTHING_TO_SAVE = "Nothing to save";
const char* const SAVE_FAILED = "Save operation failed";
const char* const DELETE_FAILED = "Delete file operation failed";

// Keys of the function keys the model handles.
constexpr int64_t VK_DELETE = 46, VK_F2 = 113, VK_F6 = 117, VK_F7 = 118, VK_F11 = 122;

std::string item(const std::string& key, const std::string& caption, const std::string& hot_key = "") {
  return C_Menu::add_hot_key(key + ":" + caption, hot_key);
}

std::string checked(bool on) { return on ? ",checked" : ""; }

// A name of a real file: "<clipboard>" and "<cut>" are none.
bool is_file_name(const std::string& name) { return Image_file_name::names_a_file(name); }

// The name without directory and extension.
std::string stem_of(const std::string& path) {
  return File_path::change_extension(File_path::name_of(path), "");
}

// The name part, its extension one the dialog saves: a name auto save took
// from a file of a type nobody writes gets the dialog's first one.
std::string savable_name(const std::string& path, const std::string& default_ext) {
  const std::string name = File_path::name_of(path), ext = File_path::extension_of(name);
  if (ext.size() > 1 && C_Bitmap::extension_savable(Brek_runtime::upper_case(ext.substr(1)))) return name;
  return File_path::change_extension(name, default_ext);
}

// The name in the folder when no entry holds it, else the next free
// numbered one; empty when none is free.
std::string free_name_in(const std::string& folder, const std::string& name) {
  const auto taken = [](const std::string& n) { return File_path::same_entry(n, n); };
  std::string path = File_path::without_trailing_separator(folder) + "/" + name;
  if (taken(path)) path = Clipboard_images::next_free_name(path, taken);
  return path.empty() ? std::string() : File_path::name_of(path);
}

}  // namespace

void C_Additional_collage::do_command(const std::string& key) {
  if (is_none()) return;
  if (key == "COPY") {
    copy_image(COPY_FAILED);
  } else if (key == "PASTE") {
    paste_image(PASTE_FAILED);
  } else if (key == "SAVAS") {
    save_as(NOTHING_TO_SAVE, SAVE_FAILED);
  } else if (key == "SAVAUTO") {
    auto_save_command();
  } else if (key == "EXPLOREDIR") {
    explore();
  } else if (key == "MOVETO") {
    show_move_window();
  } else if (key == "DELETE") {
    delete_current(DELETE_FAILED);
  } else if (key == "EDIT") {
    edit_image();
  } else if (key == "VIEW_COLL") {
    set_view_mode(brek::mode_view::COLLAGE);
  } else if (key == "VIEW_THUM") {
    set_view_mode(brek::mode_view::THUMB);
  } else if (key == "VIEW_TEXT") {
    set_view_mode(brek::mode_view::CAPTIONS);
  } else if (key == "SORT_BY_NAME" || key == "SORT_BY_SIZE" || key == "SORT_BY_CREATE" ||
             key == "SORT_BY_MODIFY" || key == "SORT_BY_DIM" || key == "SORT_DESCENDANT") {
    order_files(key);
  } else if (key == "FULLSCREEN") {
    switch_full_screen();
  } else if (key == "SINGLE_ALWAYS") {
    single_always = !single_always;
    save_settings();
  }
}

// ---- clipboard and files ---------------------------------------------------------

void C_Additional_collage::copy_image(const std::string& failure) {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  // The file found changed meanwhile: its new entry's picture.
  const Ref<C_Image> image = v->load_whole(v->current_image());
  // An animation alone is not copied.
  if (image->picture.is_none()) return;
  if (!C_Bmp::copy_to_clipboard(image->picture)) v->message(failure);
}

void C_Additional_collage::paste_image(const std::string& failure) {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return;
  Ref<C_Bitmap> bmp = C_Bmp::paste_clipboard();
  if (bmp.is_none()) {
    v->message(failure);
    return;
  }
  show_bitmap(bmp, "<clipboard>");
  // The picture stands alone: the directory is no longer listed.
  v->root_dir.clear();
  v->scan_dir.clear();
  v->forget_listing();
}

std::string C_Additional_collage::save_folder(const std::string& file) const {
  // The dialog would wait for a folder whose mount does not answer: the
  // pictures folder then.
  if (!file.empty())
    return Bounded_ask::existing_folder_or({File_path::directory_of(file)}, brek_platform::pictures_folder());
  // A pasted or cut picture has no folder: where the user saved last, the
  // folder of the file it was cut from, else the desktop's pictures folder,
  // never the folder the program happened to start in.
  return Bounded_ask::existing_folder_or(
      {last_save_folder, cut_source.empty() ? "" : File_path::directory_of(cut_source)},
      brek_platform::pictures_folder());
}

bool C_Additional_collage::save_as(const std::string& nothing_to_save, const std::string& failure) {
  if (is_none()) return false;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return false;
  const Ref<C_Image> shown = v->load_whole(v->current_image());
  if (shown.is_none() || shown->load_needed || (shown->picture.is_none() && shown->animation.is_none())) {
    v->message(shown->with_load_failure(nothing_to_save));
    return false;
  }
  if (save_dialog.is_none()) save_as_dialog();
  if (save_dialog.is_none()) return false;

  // The proposal: the shown file's name, or for a clipboard or cut image
  // the name of the file the last cut came from.
  const std::string current = v->current_file;
  const std::string source = is_file_name(current) ? current : cut_source;
  // A file whose mount does not answer counts as there.
  if (!is_file_name(current) || Bounded_ask::file_exists(current).value_or(true)) {
    save_dialog->file_name = stem_of(source);
    save_dialog->initial_dir = save_folder(is_file_name(current) ? current : "");
  }
  // A picture auto save could not write: the name it was meant to get, or
  // the next free one, in the folder the dialog opens at.
  if (!is_file_name(current) && !unsaved_name.empty() && shown.same(image))
    save_dialog->file_name = free_name_in(save_dialog->initial_dir, savable_name(unsaved_name, save_dialog->default_ext));
  if (!save_dialog->execute()) return false;
  const std::string chosen = save_dialog->file_name;
  if (!shown->save(v, chosen)) {
    v->message(File_path::with_reason(failure, Image_file_io::last_save_error()));
    return false;
  }
  last_save_folder = File_path::directory_of(chosen);
  // A file was saved under another name: nothing else changes.
  if (image.is_none() || !shown.same(image)) return false;

  // The saved clipboard image is a file now, and its directory the root.
  Ref<C_Image> saved = C_Image::create();
  saved->file_name = chosen;
  saved->read_header_info(1.0, 1.0);
  image = saved;
  v->current_file = chosen;
  v->root_dir = File_path::directory_of(chosen);
  v->forget_listing();
  v->stop_timer();
  v->scan_dir = v->root_dir;
  v->scanning = true;
  v->scan_step(true);
  v->start_timer();
  v->show_file(saved);
  return true;
}

void C_Additional_collage::auto_save_command() {
  if (is_none()) return;
  if (auto_save) {
    auto_save = false;
    return;
  }
  // The picture the dialog saves is auto save's first: copied again, it is
  // passed over as the pictures auto save takes itself are.
  const Ref<C_Bitmap> saved = viewer.lock()->current_image()->picture;
  const uint64_t digest = saved->pixels() ? Clipboard_images::picture_digest(*saved->pixels()) : 0;
  if (!save_as(NOTHING_TO_SAVE, SAVE_FAILED)) return;
  auto_save = true;
  auto_save_name = viewer.lock()->current_file;
  auto_saved_digest = digest;
  viewer.lock()->start_timer();
  // The image just saved is not taken again.
  C_Clipboard::copy_text("");
}

void C_Additional_collage::explore() {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  Ref<C_Image> image = v->current_image();
  if (is_file_name(image->file_name))
    explore_dir(File_path::directory_of(image->file_name), image->file_name);
  else
    explore_dir(v->root_dir, "");
}

std::string C_Additional_collage::delete_failure(const std::string& failure, int err) {
  // The trash put back a new version that another program saved onto the
  // name while it was taken.
  if (err == EAGAIN) return failure + ": " + T(L::Changed_meanwhile);
  return File_path::with_reason(failure, err);
}

void C_Additional_collage::delete_current(const std::string& failure) {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return;
  Ref<C_Image> victim = v->current_image();
  // A clipboard or cut image has no file to delete.
  if (victim.is_none() || !is_file_name(victim->file_name)) return;
  // The trash would wait on a mount that does not answer.
  if (!Bounded_ask::answers(victim->file_name)) {
    v->message(failure + ": " + Bounded_ask::mount_of(victim->file_name) + Viewer_captions::NO_ANSWER);
    return;
  }
  if (!v->trash_file(victim)) {
    v->message(delete_failure(failure, File_path::last_error()));
    return;
  }
  if (victim.same(image)) image.reset();
  v->drop_file(victim);
}

void C_Additional_collage::show_move_window() {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return;
  if (move_dialog.is_none()) {
    move_dialog = C_Move_to_dirs::create();
    move_dialog->viewer = v;
    move_dialog->build_controls();
  }
  move_dialog->show();
}

bool C_Additional_collage::move_window_shown() { return !move_dialog.is_none() && move_dialog->is_visible(); }
void C_Additional_collage::move_to_target(int64_t digit) { move_dialog->move_to_target(digit); }
void C_Additional_collage::set_move_target(int64_t digit) {
  move_dialog->set_target(move_dialog->target(digit).path, digit);
}
void C_Additional_collage::undo_move() { move_dialog->undo_move(); }

// The print editor plugs in here.
void C_Additional_collage::edit_image() {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return;
  // The editor lives in the printing layer; it installed its opener at
  // start-up. An image the viewer shows becomes a card of its sheet, its
  // whole picture waited for here as long work, not in the editor's paint.
  Print_editor_hook::open(v, v->load_whole(v->current_image()));
}

// ---- views and orders --------------------------------------------------------------

void C_Additional_collage::set_view_mode(brek::mode_view mode) {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return;
  if (mode == brek::mode_view::COLLAGE) {
    if (mode_view == brek::mode_view::COLLAGE) return;
    for (const Ref<C_Image>& f : v->files) f->set_load_options(rect{});
    mode_view = mode;
    v->laid_out_count = 0;
    v->last_cell = rect{};
    v->layout_bottom = 0;
    v->scroll_y = 0;
    v->relayout();
  } else {
    if (mode == brek::mode_view::THUMB && mode_view == brek::mode_view::THUMB) return;
    mode_view = mode;
    layout_set();
    // The view stays within the new arrangement.
    const double box_h = double(C_Canvas::to_device_pixels(v->view_height()));
    v->scroll_y = std::max(0.0, std::min(v->scroll_y, v->layout_bottom - box_h));
  }
  v->repaint();
  save_settings();
}

void C_Additional_collage::caption_pass() {
  if (is_none()) return;
  const brek::mode_view saved = mode_view;
  mode_view = brek::mode_view::CAPTIONS;
  try {
    layout_set();
  } catch (...) {
    mode_view = saved;
    throw;
  }
  mode_view = saved;
}

void C_Additional_collage::order_files(const std::string& key) {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return;
  if (key == "SORT_BY_NAME") sort_by = brek::sort_by::BY_NAME;
  else if (key == "SORT_BY_SIZE") sort_by = brek::sort_by::BY_SIZE;
  else if (key == "SORT_BY_CREATE") sort_by = brek::sort_by::BY_CREATE;
  else if (key == "SORT_BY_MODIFY") sort_by = brek::sort_by::BY_MODIFY;
  else if (key == "SORT_BY_DIM") sort_by = brek::sort_by::BY_DIM;
  else if (key == "SORT_DESCENDANT") descendant = !descendant;
  sort(v->files.count());
  caption_pass();
  // The background tick lays the view out again in the new order.
  v->layout_bottom = 0;
  v->laid_out_count = 0;
  v->repaint();
  save_settings();
}

// ---- menus -------------------------------------------------------------------------

std::string C_Additional_collage::file_menu_text() {
  if (is_none()) return {};
  Ref<C_Collage_viewer> v = viewer.lock();
  const std::string& current = v->current_file;
  const bool has_image = !v->current_image().is_none();
  std::string t = C_Menu::add_separator();
  if (!current.empty()) t += item("COPY ", T(L::Copy), "Ctrl+C");
  t += item("PASTE", T(L::Paste), "Ctrl+V");
  if (!current.empty()) t += item("SAVAS", T(L::Save_as), "Ctrl+S | F2");
  if (current == "<clipboard>") t += item("SAVAUTO" + checked(auto_save), T(L::Auto_save));
  if (has_image) {
    t += C_Menu::add_separator();
    t += item("MOVETO", T(L::Move_to_dir), "F6");
    t += item("DELETE", T(L::Delete_file), "DELETE");
    t += C_Menu::add_separator();
    t += item("EDIT", T(L::Edit_collage_print), "F7");
    t += item("CUT", T(L::Cut_rect), "Ctrl+" + T(L::LMdrag));
  }
  if (!v->root_dir.empty()) t += item("EXPLOREDIR", T(L::Explore_dir_1));
  t += item("SINGLE_ALWAYS" + checked(single_always), T(L::SingleAlways));
  t += item("FULLSCREEN" + checked(full_screen), T(L::FullScreen), "F11");
  return t;
}

std::string C_Additional_collage::view_menu_text() {
  if (is_none()) return {};
  Ref<C_Collage_viewer> v = viewer.lock();
  const bool has_image = !v->current_image().is_none();
  std::string t = item("PASTE", T(L::Paste_2), "Ctrl+V");
  if (has_image) {
    t += C_Menu::add_separator();
    t += item("MOVETO", T(L::Move_to_dir_2), "F6");
    t += item("DELETE", T(L::Delete_file_2), "DELETE");
  }
  if (!v->root_dir.empty()) {
    t += C_Menu::add_separator();
    t += item("EXPLOREDIR", T(L::Explore_dir_2));
  }
  t += C_Menu::add_separator();
  t += T(L::View_mode) + CRLF;
  t += C_Menu::begin_submenu();
  t += item("VIEW_COLL" + checked(mode_view == brek::mode_view::COLLAGE), T(L::Collage_mode));
  t += item("VIEW_THUM" + checked(mode_view == brek::mode_view::THUMB), T(L::Thumb_mode));
  t += item("VIEW_TEXT" + checked(mode_view == brek::mode_view::CAPTIONS), T(L::Captions_mode));
  t += C_Menu::end_submenu();
  t += T(L::Order_by) + CRLF;
  t += C_Menu::begin_submenu();
  t += item("SORT_BY_DIM" + checked(sort_by == brek::sort_by::BY_DIM), T(L::by_dimensions));
  t += item("SORT_BY_NAME" + checked(sort_by == brek::sort_by::BY_NAME), T(L::by_name));
  t += item("SORT_BY_SIZE" + checked(sort_by == brek::sort_by::BY_SIZE), T(L::by_size));
  t += item("SORT_BY_CREATE" + checked(sort_by == brek::sort_by::BY_CREATE), T(L::by_create_date));
  t += item("SORT_BY_MODIFY" + checked(sort_by == brek::sort_by::BY_MODIFY), T(L::by_modify_date));
  t += C_Menu::add_separator();
  t += item("SORT_DESCENDANT" + checked(descendant), T(L::descendant));
  t += C_Menu::end_submenu();
  t += C_Menu::add_separator();
  t += item(std::string("RESIZETH") + (mode_view == brek::mode_view::THUMB ? "" : ",disabled"), T(L::Resize_thumb),
            T(L::RMBdrag));
  t += item("FULLSCREEN" + checked(full_screen), T(L::FullScreen2), "F11");
  return t;
}

// ---- keys ----------------------------------------------------------------------------

bool C_Additional_collage::on_function_key(int64_t key) {
  if (is_none()) return false;
  switch (key) {
    case VK_F2:
      return save_as(T(L::Nothing_save), SAVE_FAILED);
    case VK_F6:
      show_move_window();
      break;
    case VK_DELETE:
      delete_current(T(L::Delete_failed));
      break;
    case VK_F7:
      do_command("EDIT");
      break;
    case VK_F11:
      switch_full_screen();
      break;
    default:
      break;
  }
  return false;
}

bool C_Additional_collage::key_char_first() {
  if (is_none()) return false;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return false;
  const St_key_info__C_Form k = v->key_info;
  const std::string& text = k.key_text;
  if ((text == "S" || text == "s") && k.ctrl) {
    save_as(NOTHING_TO_SAVE, SAVE_FAILED);
  } else if (text == "C" && k.ctrl) {
    copy_image(T(L::Copy_failed));
  } else if (text == "V" && k.ctrl) {
    paste_image(T(L::Paste_failed));
  } else if (text.size() == 1 && text[0] >= '1' && text[0] <= '9' && move_window_shown()) {
    const int64_t digit = text[0] - '0';
    if (k.ctrl)
      set_move_target(digit);
    else
      move_to_target(digit);
  } else if (text == "\b" && move_window_shown()) {
    undo_move();
  }
  return false;
}

}  // namespace brek
