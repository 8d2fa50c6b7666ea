// The editor's window, its cards and its caption.
#include "printing/edit_collage_print.h"

#include <algorithm>
#include <cmath>

#include "baselib/localize_str.h"
#include "baselib/string_functions.h"
#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "drawing/paintbox.h"
#include "forms/button.h"
#include "forms/dialog.h"
#include "forms/form_bridge.h"
#include "forms/timer.h"
#include "images/gif.h"
#include "images/image.h"
#include "runtime/strings.h"
#include "viewer/collage_viewer.h"
#include "viewer/print_editor_hook.h"

namespace brek {

namespace L = Localize_str;
namespace E = lng::Edit_collage_print;

C_Edit_collage_print::C_Edit_collage_print() { queue_policy = "kiiqiqqqqqssssskkkqkkiiiqqk"; }

Ref<C_Edit_collage_print> C_Edit_collage_print::create() { return make<C_Edit_collage_print>(); }

void C_Edit_collage_print::edit_image(const Ref<C_Collage_viewer>& viewer, const Ref<C_Image>& image) {
  Ref<C_Edit_collage_print> editor = editor_of(viewer);
  if (editor.is_none()) return;
  editor->add_image(image);
  editor->show();
}

Ref<C_Edit_collage_print> C_Edit_collage_print::editor_of(const Ref<C_Collage_viewer>& viewer) {
  if (viewer.is_none()) return Ref<C_Edit_collage_print>();
  Ref<C_Screen> s = viewer->screen.lock();
  for (const Ref<C_Form>& f : s->forms) {
    Ref<C_Edit_collage_print> e = ref_cast<C_Edit_collage_print>(f);
    if (!e.is_none() && e->viewer.get() == viewer.get()) return e;
  }
  Ref<C_Edit_collage_print> editor = create();
  editor->viewer = viewer;
  editor->build_controls();
  editor->center_on_monitor_of(viewer);
  // The screen's list keeps the window; the viewer ends it.
  viewer->own(Ref<Brek_object>(editor));
  return editor;
}

void C_Edit_collage_print::install() { Print_editor_hook::set_opener(&C_Edit_collage_print::edit_image); }

// ---- the window ----------------------------------------------------------------

void C_Edit_collage_print::build_controls() {
  if (is_none()) return;
  Ref<C_Form> self(this);
  uint8_t saved_creating = creating;
  creating = 1;
  struct Back {
    C_Edit_collage_print* e;
    uint8_t saved;
    ~Back() { e->creating = saved; }
  } back{this, saved_creating};

  new_column("", layout_on_form::CENTER, St_sizes_col__C_Form{});
  pbox = C_Paintbox::new_paintbox(self, "PBOX", "VH");
  pbox->set_stretch(true);

  new_column("COL_BUTTONS", layout_on_form::BOTTOM, St_sizes_col__C_Form{});
  b_zoom = C_Button::new_on_form(self, "B_ZOOM", L::text(E::Zoom));
  b_select = C_Button::new_on_form(self, "B_SELECT", L::text(E::Select));
  b_selection = C_Button::new_on_form(self, "B_SELECTION", L::text(E::Selection));
  b_add_text = C_Button::new_on_form(self, "B_ADD_TEXT", L::text(E::AddText));
  b_print = C_Button::new_on_form(self, "B_PRINT", L::text(E::Print));
  timer_press_p = C_Timer::new_timer_stopped(self, "TIMER_PRESS_P", PRESS_P_MS);
  b_save = C_Button::new_on_form(self, "B_SAVE", L::text(E::Save));
  // Their enabled states come from control_query at every relayout.
  layout_lists[0].append(Ref<C_Control>(b_select));
  layout_lists[0].append(Ref<C_Control>(b_selection));
  layout_lists[0].append(Ref<C_Control>(b_print));

  set_size(sizing_options::FIT_TO_DISPLAY, 600, 600);
  set_caption(L::text(E::EditCollagePrint_caption));
  creating = saved_creating;
  relayout();
}

bool C_Edit_collage_print::on_close_query() {
  if (is_none()) return false;
  hide_window();
  return true;
}

void C_Edit_collage_print::destroy_hook() {
  pbox.reset();
  b_selection.reset();
  b_print.reset();
  b_save.reset();
  b_select.reset();
  b_add_text.reset();
  b_zoom.reset();
  timer_press_p.reset();
  print_dialog.reset();
  viewer.reset();
  images.clear();
  bitmaps.clear();
  cards.clear();
  selection.clear();
  press_rects.clear();
  frames_.clear();
  held_.clear();
  scaled_.clear();
  C_Form_common::destroy_hook();
}

void C_Edit_collage_print::repaint_sheet() {
  if (is_none()) return;
  pbox->invalidate_all();
  const int8_t with_cards = cards.count() > 0 ? 1 : 0;
  const int8_t with_selection = selection.count() > 0 ? 1 : 0;
  if (with_cards != had_cards_ || with_selection != had_selection_) {
    had_cards_ = with_cards;
    had_selection_ = with_selection;
    relayout();
  }
}

// ---- cards ---------------------------------------------------------------------

point C_Edit_collage_print::card_size_of(const Ref<C_Image>& image) {
  // Pixels of the window system, not of the device: a card is as large on
  // paper whichever screen the editor was on.
  int64_t w = image->width, h = image->height;
  return point{C_Brek_form::pixels_to_points(double(w)), C_Brek_form::pixels_to_points(double(h))};
}

void C_Edit_collage_print::add_image(const Ref<C_Image>& image) {
  // No image, no card: an empty window hands over nothing to place.
  if (is_none() || image.is_none()) return;
  images.append(image);
  if (image->width == 0 && image->height == 0) {
    if (!image->picture.is_none()) {
      // A pasted picture has no header to read: its own size counts.
      image->width = image->picture->width;
      image->height = image->picture->height;
    } else if (!image->animation.is_none()) {
      image->width = image->animation->width();
      image->height = image->animation->height();
    } else {
      // Only the size is wanted; what the viewer shows it at stays.
      image->read_header_keeping_display(65535, 65535);
    }
  }
  card_counter += 1;

  const point size = card_size_of(image);
  const double box_w = pbox->get_width();
  double right = C_Geometry::rect_right(card_at(0).rect);
  double bottom = C_Geometry::rect_bottom(card_at(0).rect);
  bool found = false;
  point best;
  for (int64_t k = 0; k < cards.count(); ++k) {
    const rect r = cards.get(k).rect;
    right = std::max(right, C_Geometry::rect_right(r));
    bottom = std::max(bottom, C_Geometry::rect_bottom(r));
    const rect candidate{C_Geometry::rect_right(r), r.y, size.x, size.y};
    const rect shrunk = C_Geometry::rect_inflate(candidate, -1.0, -1.0);
    if (C_Geometry::rect_right(shrunk) * zoom > box_w) continue;
    bool overlaps = false;
    for (int64_t j = 0; j < cards.count() && !overlaps; ++j)
      overlaps = C_Geometry::rects_overlap(shrunk, cards.get(j).rect);
    if (overlaps) continue;
    const point corner{shrunk.x, shrunk.y};
    if (!found || C_Geometry::point_distance(point{}, corner) < C_Geometry::point_distance(point{}, best)) {
      // best keeps the candidate's own corner, compared as it is.
      best = point{candidate.x, candidate.y};
      found = true;
    }
  }

  card c;
  c.serial = card_counter;
  c.image = image;
  c.rect = rect{0, 0, size.x, size.y};
  if (found) {
    c.rect.x = best.x;
    c.rect.y = best.y;
  } else if (right + size.x <= box_w) {
    c.rect.x = right;
  } else {
    c.rect.y = bottom;
  }
  cards.append(c);
  selection.clear();
  selection.append(cards.count() - 1);
  repaint_sheet();
  update_caption();
}

void C_Edit_collage_print::update_caption() {
  if (is_none()) return;
  std::string t = get_caption();
  const size_t bracket = t.find('[');
  if (bracket != std::string::npos) t = NATIVE_String_functions::trim(t.substr(0, bracket));
  if (cards.count() > 0) t += " [" + Brek_runtime::int_to_str(cards.count()) + "]";
  set_caption(t);
}

void C_Edit_collage_print::release_image_entry(const Ref<C_Image>& image) {
  for (int64_t i = images.count() - 1; i >= 0; --i)
    if (images.get(i).get() == image.get()) {
      images.remove(i, 1);
      return;
    }
}

void C_Edit_collage_print::drop_rendered(int64_t i) {
  card* c = cards.at(i);
  if (!c) return;
  Ref<C_Bitmap> b = c->bitmap.lock();
  c->bitmap.reset();
  if (!b.is_none()) Brek_runtime::dyn_obj_remove_all(bitmaps, b);
}

// ---- coordinates ---------------------------------------------------------------

bool C_Edit_collage_print::in_box(const point& form_point) {
  if (pbox.is_none()) return false;
  const point p = box_point(form_point);
  return p.x >= 0 && p.y >= 0 && p.x < pbox->get_client_width() && p.y < pbox->get_client_height();
}

point C_Edit_collage_print::box_point(const point& form_point) {
  const rect b = pbox->get_bounds();
  return point{form_point.x - b.x, form_point.y - b.y};
}

point C_Edit_collage_print::sheet_point(const point& form_point) {
  const point p = box_point(form_point);
  const rect v = pbox->visible_rect();
  return point{Brek_runtime::real_div(p.x + v.x, zoom), Brek_runtime::real_div(p.y + v.y, zoom)};
}

point C_Edit_collage_print::box_of_sheet(const point& sheet) {
  const rect v = pbox->visible_rect();
  return point{sheet.x * zoom - v.x, sheet.y * zoom - v.y};
}

}  // namespace brek
