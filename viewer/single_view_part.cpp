// The single view's first paint of a large JPEG at its own size shows only
// the part in the window, and the whole picture comes from a worker
// (single_view_picture.cpp); zoom, turns, cuts, copies, saves and prints
// take the whole picture through load_whole, which takes the worker's.
#include <optional>

#include "baselib/bounded_ask.h"
#include "forms/screen.h"
#include "images/image_file_name.h"
#include "images/image_header.h"
#include "viewer/collage_viewer.h"

namespace brek {

Ref<C_Bitmap> C_Collage_viewer::part_in_view(const Ref<C_Image>& image, Single_view::Input& in, point& at) {
  if (!unloaded_jpeg_as_filed(image)) {
    picture_.drop_part();
    return Ref<C_Bitmap>();
  }
  Single_view::Input full = in;
  full.pic_w = double(image->width);
  full.pic_h = double(image->height);
  Ref<C_Bitmap> part = picture_.part_in_view(image, full, at);
  if (!part.is_none()) in = full;
  return part;
}

namespace {

// Whether a window is painting (this one, a dialog, the print editor): the
// windows' messages must not run inside its paint.
bool a_window_paints(const Ref<C_Canvas>& paint_canvas) {
  if (!paint_canvas.is_none()) return true;
  for (const Ref<C_Form>& f : C_Screen::current()->forms) {
    const auto kind = static_cast<event_kind>(f->current_kind);
    if (f->event_depth > 0 &&
        (kind == event_kind::BEFORE_PAINT || kind == event_kind::PAINT || kind == event_kind::AFTER_PAINT))
      return true;
  }
  return false;
}

}  // namespace

void C_Collage_viewer::retitle_if_resized(const Ref<C_Image>& image, int64_t w, int64_t h) {
  // A picture of another size than its header said: the title names the
  // size it has.
  if ((image->width != w || image->height != h) && single_mode && image.get() == current_image().get())
    show_file(image);
}

Ref<C_Image> C_Collage_viewer::load_whole(const Ref<C_Image>& image) {
  // A command waits as long work does; a paint only for the worker.
  const bool painting = a_window_paints(paint_canvas_);
  const int64_t w = image->width, h = image->height;
  if (image->load_whole(!painting) != C_Image::whole_result::FILE_CHANGED) {
    retitle_if_resized(image, w, h);
    return image;
  }
  const int64_t i = is_none() ? -1 : files.index_of(image);
  if (i < 0) {
    // Another window's image: read anew as the file is now.
    image->version.reset();
    image->width = image->height = 0;
    image->read_header_keeping_display(1.0, 1.0);
    image->load_whole(!painting);
    return image;
  }
  if (painting) {
    // The picture shown has its entry renewed at the next tick; a cell's
    // comes with the folder's next listing.
    if (single_mode && image.get() == current_image().get()) picture_.file_changed_found(image);
    return image;
  }
  // An entry: renewed, as the listing would, and read as the file is now.
  renew_entry(i);
  const Ref<C_Image> fresh = files.get(i);
  fresh->read_header_keeping_display(1.0, 1.0);
  fresh->load_whole();
  return fresh;
}

void C_Collage_viewer::whole_picture_tick() {
  if (is_none()) return;
  const Ref<C_Image> shown = single_mode ? current_image() : Ref<C_Image>();
  switch (picture_.tick(shown)) {
    case Single_view_picture::tick_result::TAKEN:
      // The title names the size the picture has (its header may have
      // said another), and a view that lagged behind the pointer catches
      // up; a picture that wants another orientation is turned first.
      show_file(shown);
      orient(shown);
      repaint();
      break;
    case Single_view_picture::tick_result::FAILED:
    case Single_view_picture::tick_result::NO_WORKER:
      // Says why nothing came, or reads the picture itself.
      repaint();
      break;
    case Single_view_picture::tick_result::FILE_CHANGED: {
      // Read anew at once, as the listing would: its header, its caption,
      // its part in view.
      const int64_t i = files.index_of(shown);
      if (i >= 0) renew_entry(i);
      break;
    }
    case Single_view_picture::tick_result::NOTHING:
      break;
  }
}

void C_Collage_viewer::renew_if_changed() {
  if (is_none() || !single_mode) return;
  const Ref<C_Image> shown = current_image();
  const int64_t i = files.index_of(shown);
  if (i < 0 || !shown->version || !Image_file_name::names_a_file(shown->file_name)) return;
  // Asked at every tick: off the window's thread, as the file's mount may
  // not answer. The title says so until it does.
  const std::string name = shown->file_name, ext = shown->extension();
  const std::optional<Image_header::File_header> now = Bounded_ask::ask<Image_header::File_header>(
      name, [name, ext] { return Image_header::read_file(name, ext, false, true); });
  if (now && shown->changed_from(*now)) {
    renew_entry(i);
  } else if (!now != single_silent_) {
    single_silent_ = !now;
    show_file(shown);
  }
}

}  // namespace brek
