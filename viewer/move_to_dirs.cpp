// The "Move to dir" window: its targets, the moves and their undo.
#include "viewer/move_to_dirs.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "baselib/bounded_ask.h"
#include "baselib/config.h"
#include "baselib/file_path.h"
#include "baselib/language_table.h"
#include "baselib/localize_str.h"
#include "baselib/sorting.h"
#include "drawing/bitmap.h"
#include "forms/settings_writes.h"
#include "images/image_file_name.h"
#include "runtime/runtime_services.h"
#include "runtime/strings.h"
#include "viewer/additional_collage.h"
#include "viewer/captions.h"
#include "viewer/clipboard_images.h"
#include "viewer/collage_viewer.h"
#include "viewer/dialog_replace.h"

namespace brek {

namespace {

namespace L = lng::Move_to_dirs;
using area = area_where_configuration_is_stored;

std::string T(int key) { return Localize_str::text(key); }

// Anything at all under that name, a dangling symbolic link too (the
// entry itself is compared, not followed).
bool entry_exists(const std::string& path) { return File_path::same_entry(path, path); }

// The same file once links are followed (a link in the target that leads
// back to the source is no copy of it).
bool same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

// A name of a real file: "<clipboard>" and "<cut>" are none.
bool is_file_name(const std::string& name) { return Image_file_name::names_a_file(name); }

std::string with_separator(const std::string& dir) {
  if (!dir.empty() && dir.back() == File_path::SEPARATOR) return dir;
  return dir + File_path::SEPARATOR;
}

constexpr int64_t VK_BACK = 8, VK_NUMPAD1 = 97, VK_NUMPAD9 = 105;

}  // namespace

// ---- names ------------------------------------------------------------------

namespace Move_names {

Numbered split(const std::string& dest) {
  Numbered n;
  n.ext = File_path::extension_of(dest);
  n.stem = dest.substr(0, dest.size() - n.ext.size());
  // Backwards over the stem: digits make the number and leave the stem,
  // a ")" stays and marks a number in parentheses, anything else ends.
  int64_t weight = 1;
  std::string kept;  // the ")" met, in reverse
  size_t i = n.stem.size();
  while (i > 0) {
    const char c = n.stem[i - 1];
    if (c == ')') {
      n.paren = true;
      kept += c;
    } else if (c >= '0' && c <= '9') {
      n.digits.insert(n.digits.begin(), c);
      const int64_t d = c - '0';
      if (d != 0) {
        if (weight > LAST_NUMBER || d * weight > LAST_NUMBER - n.number) n.exhausted = true;
        else n.number += d * weight;
      }
      // Held above any candidate so that it never overflows.
      if (weight <= LAST_NUMBER) weight *= 10;
    } else {
      break;
    }
    --i;
  }
  n.stem = n.stem.substr(0, i) + std::string(kept.rbegin(), kept.rend());
  return n;
}

// The stem's text before the number, and what follows the number.
std::string opening(const Numbered& n) { return n.paren ? n.stem.substr(0, n.stem.size() - 1) : n.stem; }
std::string closing(const Numbered& n) { return (n.paren ? ")" : "") + n.ext; }

// A numbered name that fits in a file name: the number takes its room
// from the stem's text, never from the extension.
std::string candidate(const Numbered& n, const std::string& digits) {
  return Clipboard_images::fitted_name(opening(n), digits + closing(n));
}

std::string free_name(const std::string& dest, const std::function<bool(const std::string&)>& taken) {
  const Numbered n = split(dest);
  if (n.exhausted || n.number >= LAST_NUMBER) {
    // A date and time in the name ("IMG20240101123045.jpg") has more
    // digits than the count holds: count on as text, every digit kept.
    std::string digits = n.digits;
    for (int64_t tries = 0; tries < LAST_NUMBER; ++tries) {
      Brek_runtime::loop_tick();
      digits = Clipboard_images::incremented(digits);
      std::string c = candidate(n, digits);
      if (c.empty()) return {};
      if (!taken(c)) return c;
    }
    return {};
  }
  for (int64_t k = n.number + 1; k <= LAST_NUMBER; ++k) {
    Brek_runtime::loop_tick();
    std::string c = candidate(n, std::to_string(k));
    if (c.empty()) return {};
    if (!taken(c)) return c;
  }
  return {};
}

}  // namespace Move_names

// ---- building ------------------------------------------------------------------

Ref<C_Move_to_dirs> C_Move_to_dirs::create() { return make<C_Move_to_dirs>(); }

void C_Move_to_dirs::build_controls() {
  if (is_none()) return;
  Ref<C_Form> self(this);
  targets.clear();
  for (int64_t n = 0; n <= TARGET_COUNT; ++n) targets.append(St_dir__C_Move_to_dirs{});
  const uint8_t saved = creating;
  creating = 1;
  try {
    new_column("COL_1", layout_on_form::CENTER, St_sizes_col__C_Form{});
    timer = C_Timer::new_timer(self, "TIMER_3", 200);
    timer->set_enabled(false);
    thumb_decodes_.attach(C_Timer::new_timer_stopped(self, "TIMER_DECODES", 20));
    panel_box = C_Paintbox::new_paintbox(self, "LD", "");
    panel_box->set_stretch(true);
    panel_box->set_disabled(false);
    dir_dialog = C_Dialog_dir::create(self, "SELD");
  } catch (...) {
    creating = saved;
    throw;
  }
  creating = saved;
  load_targets();
}

void C_Move_to_dirs::load_targets() {
  if (is_none()) return;
  // A new user's window opens where the main window is.
  if (!load_placement(PLACEMENT_APPLICATION, PLACEMENT_SECTION)) center_on_monitor_of(viewer.lock());
  set_caption(T(L::Select_where_to_move_to));
  Ref<C_Config> config = C_Config::open_read(TARGETS_APPLICATION, area::USER, TARGETS_SECTION);
  for (int64_t n = 1; n <= TARGET_COUNT; ++n) {
    St_dir__C_Move_to_dirs* t = target_at_index(n);
    if (!t) continue;
    t->path = config->read_string(std::to_string(n));
    t->images.clear();
    t->listed = false;
  }
  repaint();
}

void C_Move_to_dirs::save_targets() {
  if (is_none()) return;
  Settings_writes::run(Ref<C_Form>(this), [&] {
    Ref<C_Config> config = C_Config::open_write(TARGETS_APPLICATION, area::USER, TARGETS_SECTION);
    for (int64_t n = 1; n <= TARGET_COUNT; ++n) config->write_string(std::to_string(n), target(n).path);
  });
}

void C_Move_to_dirs::destroy_hook() {
  if (!is_none()) {
    panel_box.reset();
    dir_dialog.reset();
    viewer.reset();
    timer.reset();
    thumb_decodes_.detach();
    replace_dialog.reset();
    targets.clear();
    loaded_images.clear();
    undo_sources.clear();
    undo_targets.clear();
  }
  C_Form::destroy_hook();
}

St_dir__C_Move_to_dirs* C_Move_to_dirs::target_at_index(int64_t n) {
  if (n < 1 || n > TARGET_COUNT) return nullptr;
  return targets.at(n);
}

const St_dir__C_Move_to_dirs& C_Move_to_dirs::target(int64_t n) const {
  static const St_dir__C_Move_to_dirs none;
  const St_dir__C_Move_to_dirs* t = n >= 1 && n <= TARGET_COUNT ? targets.at(n) : nullptr;
  return t ? *t : none;
}

// ---- targets -------------------------------------------------------------------

void C_Move_to_dirs::set_target(const std::string& start_path, int64_t n) {
  if (is_none() || !modal_child.is_none()) return;
  St_dir__C_Move_to_dirs* t = target_at_index(n);
  if (!t) return;
  dir_dialog->directory = start_path;
  dir_dialog->initial_dir = viewer.lock()->scan_dir;
  if (!dir_dialog->execute()) return;
  t = target_at_index(n);
  if (!t) return;
  t->path = dir_dialog->directory;
  // The old directory's thumbnails go with it.
  for (const Ref<C_Image>& image : t->images) Brek_runtime::dyn_obj_remove_all(loaded_images, image);
  t->images.clear();
  t->listed = false;
  save_targets();
  repaint();
}

void C_Move_to_dirs::list_target(int64_t n) {
  if (is_none()) return;
  St_dir__C_Move_to_dirs* t = target_at_index(n);
  if (!t) return;
  t->listed = true;
  t->unanswered = false;
  // A target without a directory lists nothing (never the working one).
  if (t->path.empty()) return;
  const std::string dir = t->path;
  DynAStr names;
  if (!Bounded_ask::list_directory(dir, names)) {
    // Asked again at a later paint, at once once the mount answers.
    t->listed = false;
    t->unanswered = true;
    return;
  }
  for (int64_t i = names.count() - 1; i >= 0; --i) {
    const std::string name = names.get(i);
    const std::string ext = File_path::extension_of(name);
    // Subdirectories, and names whose extension no reader takes (partial
    // downloads among them).
    const bool keep = !name.empty() && name.back() != File_path::SEPARATOR && ext.size() > 1 &&
                      C_Bitmap::extension_loadable(Brek_runtime::upper_case(ext.substr(1)));
    if (!keep) names.remove(i);
  }
  // The first pictures by name, whatever order the system lists them in.
  C_Sorting::sort_part(names);
  // A listing again keeps the thumbnails it still shows.
  t = target_at_index(n);
  DynAObj<C_Image> old = t->images;
  DynAObj<C_Image> images;
  for (const std::string& name : names) {
    if (images.count() >= MAX_THUMBNAILS) break;
    const std::string file = with_separator(dir) + name;
    Ref<C_Image> image;
    for (const Ref<C_Image>& o : old)
      if (o->file_name == file) image = o;
    if (image.is_none()) {
      image = C_Image::create();
      image->file_name = file;
      loaded_images.append(image);
    }
    images.append(image);
  }
  for (const Ref<C_Image>& o : old)
    if (!Brek_runtime::dyn_obj_contains(images, o)) Brek_runtime::dyn_obj_remove_all(loaded_images, o);
  t->images = images;
}

void C_Move_to_dirs::relist_directory_of(const std::string& file) {
  if (is_none()) return;
  const std::string dir = File_path::directory_of(file);
  for (int64_t n = 1; n <= TARGET_COUNT; ++n) {
    St_dir__C_Move_to_dirs* t = target_at_index(n);
    if (!t || t->path.empty()) continue;
    // A target on a mount that does not answer is asked nothing here.
    if (with_separator(t->path) == dir ||
        Bounded_ask::ask<bool>(t->path, [p = t->path, dir] { return same_file(p, dir); }).value_or(false))
      t->listed = false;
  }
}

// ---- moving --------------------------------------------------------------------

void C_Move_to_dirs::move_to_target(int64_t n) {
  // Input that reaches the window past its open question (it is modal)
  // moves nothing meanwhile.
  if (is_none() || !modal_child.is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return;
  const St_dir__C_Move_to_dirs* t = target_at_index(n);
  if (!t) return;
  Ref<C_Image> image = v->current_image();
  if (image.is_none()) return;
  const std::string source = image->file_name;
  const std::string dir = t->path;
  // A pasted or cut picture has no file; a target without a directory has
  // no place (an empty path must not mean the root).
  if (!is_file_name(source) || dir.empty()) {
    message(T(L::Move_failed));
    return;
  }
  std::string dest = with_separator(dir) + File_path::name_of(source);

  // Neither the file nor the target is waited for where its mount does
  // not answer.
  const std::optional<bool> taken =
      Bounded_ask::answers(source) ? Bounded_ask::entry_exists(dest) : std::optional<bool>();
  if (!taken) {
    const std::string silent = Bounded_ask::silent_mount_of(source);
    message(T(L::Move_failed) + ": " + (silent.empty() ? Bounded_ask::mount_of(dest) : silent) +
            Viewer_captions::NO_ANSWER);
    return;
  }
  if (*taken) {
    if (File_path::directory_of(source) == File_path::directory_of(dest) || File_path::same_entry(source, dest)) {
      message(T(L::Ignored));
      return;
    }
    if (replace_dialog.is_none()) {
      replace_dialog = C_Dialog_replace::create();
      replace_dialog->screen = screen;
      replace_dialog->build();
    }
    replace_dialog->source_image = image;
    replace_dialog->viewer = v;
    replace_dialog->source_name = source;
    replace_dialog->target_image.reset();
    replace_dialog->target_name = dest;
    const std::string answer = replace_dialog->show_modal(Ref<C_Form>(this));
    // The pictures are not kept between questions.
    replace_dialog->forget_pictures();
    if (answer == C_Dialog_replace::DELETE_SOURCE) {
      // Only while the copy in the target is still there and is another
      // file: otherwise the source is the one copy left.
      if (!File_path::file_exists(dest) || File_path::same_entry(source, dest) || same_file(source, dest)) {
        message(T(L::Move_failed));
        return;
      }
      if (v->trash_file(image))
        forget_source(image);
      else
        message(C_Additional_collage::delete_failure(T(L::Move_failed), File_path::last_error()));
      return;
    }
    if (answer != C_Dialog_replace::RENAME) return;
    // A free name, taken without replacing: a name that appears meanwhile
    // refuses the move and the next one is tried.
    bool moved = false;
    int error = 0;
    for (int attempt = 0; attempt < 100 && !moved; ++attempt) {
      const std::string free = Move_names::free_name(dest, entry_exists);
      if (free.empty()) break;
      if (File_path::transfer_file(source, free)) {
        dest = free;
        moved = true;
      } else if ((error = File_path::last_error()) != EEXIST) {
        break;
      }
    }
    if (!moved) {
      message(File_path::with_reason(T(L::Move_failed), error));
      return;
    }
  } else if (!File_path::transfer_file(source, dest)) {
    message(File_path::with_reason(T(L::Move_failed), File_path::last_error()));
    return;
  }

  undo_sources.append(source);
  undo_targets.append(dest);
  // The target lists again, so that the file moved in can show.
  if (St_dir__C_Move_to_dirs* moved_into = target_at_index(n))
    if (moved_into->images.count() < MAX_THUMBNAILS) moved_into->listed = false;
  repaint();
  forget_source(image);
}

void C_Move_to_dirs::forget_source(const Ref<C_Image>& image) {
  Ref<C_Collage_viewer> v = viewer.lock();
  if (is_none() || v.is_none()) return;
  v->drop_file(image);
  v->show();
}

void C_Move_to_dirs::undo_move() {
  if (is_none() || !modal_child.is_none() || undo_sources.count() == 0 || undo_targets.count() == 0) return;
  const std::string t = undo_targets.get(undo_targets.count() - 1);
  const std::string s = undo_sources.get(undo_sources.count() - 1);
  auto drop_last = [this] {
    undo_targets.remove(undo_targets.count() - 1);
    undo_sources.remove(undo_sources.count() - 1);
  };
  const std::optional<bool> there = Bounded_ask::file_exists(t);
  if (!there) {
    // The move stays on the list, to be taken back once its mount answers.
    message(File_path::directory_of(t) + Viewer_captions::NO_ANSWER);
    return;
  }
  if (!*there) {
    drop_last();
    message(t + ": " + T(L::Not_found));
    return;
  }
  // Never over a file that has taken the old place meanwhile. The move
  // stays on the list, to be taken back once its place is free.
  if (!File_path::transfer_file(t, s)) {
    if (ask(File_path::with_reason(UNDO_FAILED, File_path::last_error()) + ". Explore ?")) {
      // Without a file manager that is said once.
      Ref<C_Additional_collage> collage = viewer.lock()->collage;
      const Ref<C_Form> self(this);
      if (collage->explore_dir(File_path::directory_of(t), t, self))
        collage->explore_dir(File_path::directory_of(s), "", self);
    }
    return;
  }
  drop_last();
  // The file left one panel's directory and may come back into another's.
  relist_directory_of(t);
  relist_directory_of(s);
  repaint();
  viewer.lock()->start_timer();
}

// ---- events --------------------------------------------------------------------

bool C_Move_to_dirs::on_close_query() {
  if (is_none()) return false;
  hide_window();
  return true;
}

point C_Move_to_dirs::pointer_in_box() {
  const point p = mouse_position();
  const rect box = panel_box->get_bounds();
  return point{p.x - box.x, p.y - box.y};
}

int64_t C_Move_to_dirs::target_at(const point& p) {
  for (int64_t n = 1; n <= TARGET_COUNT; ++n) {
    const rect r = target(n).rect;
    if (r.w > 0 && r.h > 0 && C_Geometry::point_in_rect(r, p)) return n;
  }
  return 0;
}

std::string C_Move_to_dirs::menu_text(int64_t n) {
  const std::string e1 = target(n).path.empty() ? ",disabled" : "";
  const std::string e2 = undo_targets.count() == 0 ? ",disabled" : "";
  return "SELECT:" + T(L::Select_target) + "\r\n" + "EXPLORE" + e1 + ":" + T(L::Explore_dir) + "\r\n" + "RESTORE" +
         e2 + ":" + T(L::Restore_move) + "\t" + T(L::Backsp);
}

void C_Move_to_dirs::on_mouse_move() {
  if (is_none()) return;
  const int64_t n = target_at(pointer_in_box());
  if (n == 0 || n == hover_target) return;
  hover_target = n;
  repaint();
}

void C_Move_to_dirs::on_mouse_down() {
  if (is_none()) return;
  if (static_cast<button_mouse>(mouse_buttons()) == button_mouse::RMB) return;
  const int64_t n = target_at(pointer_in_box());
  if (n == 0) return;
  if (target(n).path.empty())
    set_target("", n);
  else
    move_to_target(n);
}

void C_Move_to_dirs::on_mouse_up() {
  if (is_none()) return;
  if (static_cast<button_mouse>(mouse_buttons()) != button_mouse::RMB) return;
  const int64_t n = target_at(pointer_in_box());
  if (n == 0) return;
  // The menu acts on the panel it was opened over.
  if (n != hover_target) {
    hover_target = n;
    repaint();
  }
  popup_menu(menu_text(n));
}

void C_Move_to_dirs::on_menu_item() {
  if (is_none()) return;
  const std::string key = menu_key;
  const int64_t n = hover_target;
  if (key == "RESTORE") {
    undo_move();
    return;
  }
  if (n < 1 || n > TARGET_COUNT) return;
  if (key == "SELECT") {
    set_target(target(n).path, n);
  } else if (key == "EXPLORE") {
    if (!target(n).path.empty()) viewer.lock()->collage->explore_dir(target(n).path, "", Ref<C_Form>(this));
  }
}

// Read on the key's down, where a digit's text comes from its virtual key,
// not from the character the platform makes of it: so Ctrl+digit works.
// Keypad digits go by their code.
bool C_Move_to_dirs::on_key_down() {
  if (is_none()) return false;
  const std::string& text = key_info.key_text;
  const int64_t code = key_info.key_code;
  int64_t digit = 0;
  if (text.size() == 1 && text[0] >= '1' && text[0] <= '9')
    digit = text[0] - '0';
  else if (code >= VK_NUMPAD1 && code <= VK_NUMPAD9)
    digit = code - VK_NUMPAD1 + 1;
  if (digit != 0) {
    if (key_info.ctrl)
      set_target(target(digit).path, digit);
    else
      move_to_target(digit);
    return true;
  }
  if (text == "\b" || code == VK_BACK) {
    undo_move();
    return true;
  }
  return false;
}

void C_Move_to_dirs::on_timer() {
  if (is_none()) return;
  const bool came = thumb_decodes_.step(viewer.lock()->collage->thumbnails);
  // The decodes' own ticks repaint only for a picture that came.
  if (came || !thumb_decodes_.ticks_by(current_control())) repaint();
}

void C_Move_to_dirs::on_moved() {
  if (is_none()) return;
  save_placement(PLACEMENT_APPLICATION, PLACEMENT_SECTION);
  C_Form::on_moved();
}

void C_Move_to_dirs::on_resized() {
  if (is_none()) return;
  save_placement(PLACEMENT_APPLICATION, PLACEMENT_SECTION);
  C_Form::on_resized();
}

}  // namespace brek
