// Images through the clipboard: auto save of every new clipboard picture,
// the Ctrl + left-button cut of the shown picture, and the current file
// put on the clipboard as a file list by a double click.
#include <cerrno>
#include <vector>

#include "baselib/clipboard.h"
#include "baselib/file_path.h"
#include "baselib/language_table.h"
#include "baselib/localize_str.h"
#include "baselib/string_functions.h"
#include "images/format_classes.h"
#include "images/image_file_io.h"
#include "images/image_file_name.h"
#include "viewer/clipboard_images.h"
#include "viewer/collage_viewer.h"

namespace brek {

namespace {

bool is_file_name(const std::string& name) { return Image_file_name::names_a_file(name); }

}  // namespace

void C_Additional_collage::show_bitmap(const Ref<C_Bitmap>& bitmap, const std::string& name) {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return;
  // A new image each time: an earlier one may be held elsewhere (as a card
  // of the editor) and keeps its picture and its orientation.
  Ref<C_Image> shown = C_Image::create();
  shown->file_name = name;
  shown->picture = bitmap;
  shown->set_rect(bitmap->width, bitmap->height);
  image = shown;
  unsaved_name.clear();
  v->current_file = name;
  v->single_mode = true;
  v->repaint();
  v->show_file(shown);
}

bool C_Additional_collage::auto_save_step() {
  if (is_none()) return false;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return false;
  Ref<C_Bitmap> bmp = C_Bmp::paste_clipboard();
  if (bmp.is_none() || !bmp->pixels()) return false;
  // The picture saved last, put on the clipboard again, is no new picture.
  const uint64_t digest = Clipboard_images::picture_digest(*bmp->pixels());
  if (auto_saved_digest != 0 && digest == auto_saved_digest) {
    C_Clipboard::copy_text("");
    return false;
  }
  // A pasted or cut picture names no directory; the working directory is
  // no place the user chose. Any entry takes a name, a directory or a
  // dangling link too.
  const std::string base = is_file_name(v->current_file) ? v->current_file : auto_save_name;
  // The free name is written as a new file: where another program takes it
  // first, the next free one is tried, and nothing of theirs is replaced.
  std::string name;
  bool saved = false;
  for (int tries = 0; tries < 8 && !saved; ++tries) {
    name = Clipboard_images::next_free_name(base, [](const std::string& n) { return File_path::same_entry(n, n); });
    if (name.empty()) return auto_save_failed(v->current_file, 0);
    show_bitmap(bmp, name);
    Image_file_io::New_names_only new_file;
    saved = image->save(v, name);
    if (!saved && Image_file_io::last_save_error() != EEXIST) break;
  }
  if (!saved) {
    // Nothing was written: the picture is shown as the pasted picture it
    // still is, and a save proposes the name it was meant to get.
    const int error = Image_file_io::last_save_error();
    show_bitmap(bmp, "<clipboard>");
    unsaved_name = name;
    return auto_save_failed(name, error);
  }
  auto_save_name = name;
  last_save_folder = File_path::directory_of(name);
  auto_saved_digest = digest;
  // The same picture is not taken again by the next tick; only now, so
  // that a picture that could not be saved is still on the clipboard.
  C_Clipboard::copy_text("");
  return true;
}

bool C_Additional_collage::auto_save_failed(const std::string& name, int error) {
  // Auto save ends: every later picture would fail the same way, and the
  // user is told once.
  auto_save = false;
  Ref<C_Collage_viewer> v = viewer.lock();
  v->message(File_path::with_reason(name + ": " + Localize_str::text(lng::Additional_collage::Save_fail), error));
  return false;
}

void C_Additional_collage::blink_tick() {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  // The empty window repaints when its hint is due to blink.
  if (v->files.count() == 0 && Date_time::difference_seconds(Date_time::now(), blink_time) >= BLINK_SECONDS)
    v->repaint();
}

void C_Additional_collage::track_cut() {
  if (is_none()) return;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return;
  blink_tick();
  if (mode_view == brek::mode_view::COLLAGE && !v->single_mode) return;
  const rect box = v->pb->get_bounds();
  if (!cutting && v->single_mode && v->key_info.ctrl && v->left_down) {
    cutting = true;
    cut_rect = rect{v->press_point.x - box.x, v->press_point.y - box.y, 0, 0};
    v->repaint();
  }
  if (cutting && v->single_mode) {
    cut_rect.w = v->last_pointer.x - box.x - cut_rect.x;
    cut_rect.h = v->last_pointer.y - box.y - cut_rect.y;
    v->repaint();
  }
}

Clipboard_images::Cut C_Additional_collage::cut_of(double w, double h) {
  Ref<C_Collage_viewer> v = viewer.lock();
  const rect r = Clipboard_images::normalized(cut_rect);
  const rect r_px{double(C_Canvas::to_device_pixels(r.x)), double(C_Canvas::to_device_pixels(r.y)),
                  double(C_Canvas::to_device_pixels(r.w)), double(C_Canvas::to_device_pixels(r.h))};
  return Clipboard_images::cut_of(r_px, v->image_rect, w, h);
}

std::string C_Additional_collage::cut_size_text() {
  if (is_none()) return {};
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return {};
  // The size the last paint placed: no picture is loaded while dragging.
  const Clipboard_images::Cut cut = cut_of(v->image_pixels.x, v->image_pixels.y);
  return std::to_string(cut.width) + " x " + std::to_string(cut.height);
}

bool C_Additional_collage::paste_or_cut() {
  if (is_none()) return false;
  Ref<C_Collage_viewer> v = viewer.lock();
  if (v.is_none()) return false;
  if (!cutting) {
    if (!v->single_mode && NATIVE_String_functions::starts_with(image->file_name, "<cut>")) image.reset();
    return false;
  }
  cutting = false;
  v->repaint();
  // What the single view shows: the picture as turned, flipped and
  // inverted, or the current frame of an animation.
  Ref<C_Bitmap> picture = v->shown_picture();
  const Clipboard_images::Cut cut = cut_of(double(picture->width), double(picture->height));
  // A click, or a rectangle beside the picture, cuts nothing.
  if (cut.empty()) return true;

  Ref<C_Bitmap> part = C_Bitmap::create(cut.width, cut.height, 32);
  Ref<C_Canvas> to = part->canvas();
  Ref<C_Canvas> from = picture->canvas();
  const units_measure_graphics from_units = from->units;
  to->units = units_measure_graphics::PIXELS;
  from->units = units_measure_graphics::PIXELS;
  to->copy_rect(rect{0, 0, double(cut.width), double(cut.height)}, cut.source, from);
  from->units = from_units;
  C_Bmp::copy_to_clipboard(part);
  const std::string source = v->current_file;
  if (is_file_name(source)) cut_source = source;

  Ref<C_Bitmap> back = C_Bmp::paste_clipboard();
  if (back.is_none()) {
    v->message("Paste operation failed");
    return true;
  }
  show_bitmap(back, "<cut>");
  return true;
}

bool C_Additional_collage::copy_file_to_clipboard() {
  if (is_none()) return false;
  Ref<C_Collage_viewer> v = viewer.lock();
  const std::string file = v->current_file;
  if (!is_file_name(file) || !File_path::file_exists(file)) return false;
  DynAStr names;
  names.append(file);
  C_Clipboard::copy_files(names, false);
  return true;
}

}  // namespace brek
