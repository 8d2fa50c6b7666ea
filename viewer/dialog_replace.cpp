#include "viewer/dialog_replace.h"

#include <algorithm>

#include "baselib/language_table.h"
#include "baselib/localize_str.h"
#include "drawing/canvas_keep.h"
#include "drawing/font.h"
#include "images/image_file_name.h"
#include "viewer/collage_viewer.h"

namespace brek {

namespace {

namespace L = lng::Dialog_replace_file_exists;

}  // namespace

Ref<C_Dialog_replace> C_Dialog_replace::create() { return make<C_Dialog_replace>(); }

void C_Dialog_replace::build() {
  if (is_none()) return;
  Ref<C_Form> self(this);
  begin_update();
  try {
    pbox = C_Paintbox::new_paintbox(self, "PBOX", "");
    pbox->set_stretch(true);
    pbox->set_disabled(false);
    St_sizes_col__C_Form buttons;
    buttons.size = 40;
    new_column("COL_BUTTONS", layout_on_form::BOTTOM, buttons);
    set_controls_layout("COL_BUTTONS", controls_layout::CONTROLS_CENTER);
    rename_button = C_Button::new_on_form(self, RENAME, Localize_str::text(L::rename));
    rename_button->set_font_name("Arial");
    rename_button->set_font_size(12);
    delete_button = C_Button::new_on_form(self, DELETE_SOURCE, "Delete source file");
    Ref<C_Button> cancel = C_Button::new_on_form(self, CANCEL, Localize_str::text(L::cancel));
    cancel->set_cancel();
    cancel->set_font_name("Arial");
    cancel->set_font_size(12);
  } catch (...) {
    end_update();
    throw;
  }
  end_update();
  decodes_.attach(C_Timer::new_timer_stopped(self, "TIMER_PICTURES", 20));
  set_size(sizing_options::FIT_TO_DISPLAY, 400, 600);
  set_caption(Localize_str::text(L::already_exists));
}

void C_Dialog_replace::destroy_hook() {
  if (!is_none()) {
    pbox.reset();
    rename_button.reset();
    delete_button.reset();
    forget_pictures();
    decodes_.detach();
  }
  C_Dialog_common::destroy_hook();
}

void C_Dialog_replace::forget_pictures() {
  if (is_none()) return;
  decodes_.stop();
  source_image.reset();
  target_image.reset();
  own_source_.reset();
  pictures_.clear();
}

std::string C_Dialog_replace::show_modal(const Ref<C_Form>& owner) {
  if (is_none()) return {};
  // The paint box keeps what it drew while the dialog was hidden.
  if (!in_modal_loop()) pbox->invalidate_all();
  return C_Dialog_common::show_modal(owner);
}

void C_Dialog_replace::on_timer() {
  if (is_none()) return;
  if (decodes_.step(pictures_)) pbox->invalidate_all();
}

void C_Dialog_replace::on_click() {
  if (is_none()) return;
  const std::string name = current_control()->name;
  // By the first letter, then the whole name.
  for (const char* button : {CANCEL, DELETE_SOURCE, RENAME}) {
    if (!name.empty() && name[0] == button[0] && name == button) {
      close_with(name);
      return;
    }
  }
  C_Dialog_common::on_click();
}

void C_Dialog_replace::on_paint() {
  if (is_none()) return;
  Ref<C_Control> c = current_control();
  if (c.is_none() || c->name != "PBOX" || c.get() != pbox.get()) {
    C_Dialog_common::on_paint();
    return;
  }
  paint_into(pbox->canvas, pbox->get_width(), pbox->get_height());
}

rect C_Dialog_replace::picture_place(double w, double h, double left, double half_w, double half_h) {
  if (!(w > 0) || !(h > 0) || !(half_w > 0) || !(half_h > 0)) return rect{};
  if (!(w < half_w && h < half_h)) {
    const double s = std::min(half_w / w, half_h / h);
    w *= s;
    h *= s;
  }
  return rect{left + (half_w - w) / 2 + 2, (half_h - h) / 2 + 2, w - 4, h - 4};
}

void C_Dialog_replace::paint_into(const Ref<C_Canvas>& canvas, double box_w, double box_h) {
  if (is_none() || canvas.is_none()) return;
  const Color brush = canvas->brush_color;
  canvas->brush_color = BACKGROUND;
  canvas->clear();
  canvas->brush_color = brush;
  // The quality the copies read on the worker are kept at.
  Canvas_keep keep(canvas);
  canvas->quality = quality_drawing_lines_shapes::HIGH;
  const double half_w = box_w / 2, half_h = box_h;
  paint_half(canvas, shown_source(), 0, half_w, half_h);
  if (target_image.is_none() && !target_name.empty()) {
    // Read once per run; a file that is no picture shows nothing.
    target_image = C_Image::create();
    target_image->file_name = target_name;
    target_image->read_header_info(1, 1);
  }
  paint_half(canvas, target_image, half_w, half_w, half_h);
}

Ref<C_Image> C_Dialog_replace::shown_source() {
  if (source_image.is_none() || !source_image->picture.is_none() || !source_image->animation.is_none() ||
      !Image_file_name::names_a_file(source_image->file_name))
    return source_image;
  if (own_source_.is_none() || own_source_->file_name != source_image->file_name) {
    own_source_ = C_Image::create();
    own_source_->file_name = source_image->file_name;
    own_source_->read_header_info(1, 1);
  }
  return own_source_;
}

bool C_Dialog_replace::draw_picture(const Ref<C_Canvas>& canvas, const Ref<C_Image>& image, const rect& place) {
  int64_t frame = 0;
  Ref<C_Bitmap> picture = image->shown_picture(&frame);
  int64_t w = 0, h = 0;
  const bool sized = Thumbnail_cache::device_size(canvas, place, w, h);
  if (picture.is_none()) {
    if (pictures_.draw_kept(canvas, place, image.get(), false)) return true;
    if (image->load_failed || decodes_.wanted(image)) return false;
    if (sized && decodes_.takes(image, w, h)) {
      decodes_.want(image, w, h, false);
      decodes_.step(pictures_);
      return false;
    }
    viewer.lock()->load_whole(image);
    picture = image->shown_picture(&frame);
    if (picture.is_none()) return false;
  }
  // Stretched once: a repaint draws the copy, whatever the picture's size.
  if (!pictures_.draw_stretched(canvas, place, picture, frame, false, image)) {
    picture->stretch_draw(canvas, place);
    return true;
  }
  // The dialog's own images keep only their copies.
  if (image.get() != source_image.get()) pictures_.keep_only_the_copy(canvas, place, image, false);
  return true;
}

void C_Dialog_replace::paint_half(const Ref<C_Canvas>& canvas, const Ref<C_Image>& image, double left,
                                  double half_w, double half_h) {
  if (image.is_none()) return;
  // A header that gave no size: the picture tells it.
  if (image->width <= 0 && image->picture.is_none() && image->animation.is_none()) viewer.lock()->load_whole(image);
  const double w = C_Canvas::from_device_pixels(double(image->width));
  const double h = C_Canvas::from_device_pixels(double(image->height));
  const rect place = picture_place(w, h, left, half_w, half_h);
  if (place.w > 0 && place.h > 0) draw_picture(canvas, image, place);
  if (image->width <= 0 || image->height <= 0) return;
  const std::string size = std::to_string(image->width) + " x " + std::to_string(image->height);
  // A shadow in the drawing colour, the text in white over it.
  const Color pen = canvas->pen_color;
  const double px = C_Canvas::from_device_pixels(1);
  const double x = (place.w > 0 ? place.x : left) + 2;
  try {
    canvas->draw_text(point{x, 2}, size);
    canvas->pen_color = COLOR_WHITE;
    canvas->draw_text(point{x - px, 2 - px}, size);
  } catch (...) {
    canvas->pen_color = pen;
    throw;
  }
  canvas->pen_color = pen;
}

}  // namespace brek
