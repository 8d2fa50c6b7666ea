// The editor's commands: zoom, selection, navigation, delete, quarter
// turns, flips, z-order and alignment, and the menus of the buttons.
#include <algorithm>
#include <cmath>

#include "baselib/localize_str.h"
#include "baselib/mathematics.h"
#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "drawing/paintbox.h"
#include "forms/button.h"
#include "forms/dialog.h"
#include "forms/menu.h"
#include "images/gif.h"
#include "images/image.h"
#include "images/image_file_name.h"
#include "printing/edit_collage_print.h"
#include "printing/print_dialog.h"
#include "viewer/collage_viewer.h"

namespace brek {

namespace L = Localize_str;
namespace E = lng::Edit_collage_print;

namespace {

const char* const NOT_IMPLEMENTED = "Not implemented yet !";

std::string item(const std::string& key, const std::string& caption, const std::string& hot_key = "") {
  return C_Menu::add_hot_key(C_Menu::add_item(key, caption), hot_key);
}

std::string submenu_header(int64_t caption) { return C_Menu::add_item("", L::text(caption)); }

}  // namespace

// ---- menus ---------------------------------------------------------------------

std::string C_Edit_collage_print::zoom_menu() {
  return item("SCALE_UP", L::text(E::ZoomIn), L::text(E::CtrWheelDn_CtrlPlus)) +
         item("SCALE_DN", "ZoomOut", L::text(E::CtrlWheelUp_CtrlMinus)) + C_Menu::add_separator() +
         item("SCALE_RESET", L::text(E::ScaleReset), "1");
}

std::string C_Edit_collage_print::select_menu() {
  return item("SEL_ALL", L::text(E::SelectAll), "CTRL+A") + item("SEL_INV", L::text(E::InvertSel), "CTRL+I") +
         item("SEL_RESET", L::text(E::ResetSel)) + C_Menu::add_separator() +
         item("GO_NEXT", L::text(E::SelNext), "]") + item("GO_PREV", L::text(E::SelPrev), "[");
}

std::string C_Edit_collage_print::selection_menu() {
  std::string m = item("DUP", L::text(E::Duplicate)) + item("DEL", L::text(E::Delete), "DELETE");
  m += submenu_header(E::Rotate) + C_Menu::begin_submenu();
  m += item("ROT_LEFT", L::text(E::RotLeft), L::text(E::CtrlLeftArrow));
  m += item("ROT_RIGHT", L::text(E::Rotright), L::text(E::CtrlRight));
  m += item("ROT_ANGLE", L::text(E::Arbitrary), "Ctrl+R");
  m += C_Menu::end_submenu() + submenu_header(E::Flip) + C_Menu::begin_submenu();
  m += item("FLIP_HOR", L::text(E::FlipHor), "H");
  m += item("FLIP_VERT", L::text(E::FlipVert), "V");
  m += C_Menu::end_submenu() + submenu_header(E::Zorder) + C_Menu::begin_submenu();
  m += item("Z_TOP", L::text(E::ToTop), L::text(E::DblClkLMB));
  m += item("Z_UP", L::text(E::MoveUp), L::text(E::CtrlUp));
  m += item("Z_DOWN", L::text(E::MoveDown), L::text(E::CtrlDown));
  m += item("Z_BOTTOM", L::text(E::ToBottom), L::text(E::DoubleClickRMB));
  m += C_Menu::end_submenu() + submenu_header(E::Align) + C_Menu::begin_submenu();
  m += item("ALIGN_LEFT", L::text(E::AlignLeft), "{");
  m += item("ALIGN_RIGHT", L::text(E::AlignRight), "}");
  m += item("ALIGN_TOP", L::text(E::AlignTop), "^");
  m += item("ALIGN_BOTTOM", L::text(E::AlignBottom), L::text(E::underline));
  m += C_Menu::end_submenu();
  return m;
}

// ---- events --------------------------------------------------------------------

void C_Edit_collage_print::on_click() {
  if (is_none()) return;
  const std::string name = event_control_name();
  if (name == "B_ZOOM") {
    popup_menu(zoom_menu());
  } else if (name == "B_SELECT") {
    popup_menu(select_menu());
  } else if (name == "B_SELECTION") {
    popup_menu(selection_menu());
  } else if (name == "B_PRINT") {
    open_print_dialog();
  } else if (name == "B_ADD_TEXT" || name == "B_SAVE") {
    not_implemented();
  }
}

void C_Edit_collage_print::on_menu_item() { run_command(menu_key); }

bool C_Edit_collage_print::control_query() {
  if (is_none()) return false;
  const std::string name = current_control()->name;
  if (name == "B_PRINT" || name == "B_SELECT") return cards.count() == 0;
  if (name == "B_SELECTION") return selection.count() == 0;
  return false;
}

void C_Edit_collage_print::run_command(const std::string& key) {
  if (is_none()) return;
  if (key == "SCALE_UP") zoom_in();
  else if (key == "SCALE_DN") zoom_out();
  else if (key == "SCALE_RESET") zoom_reset();
  else if (key == "SEL_ALL") select_all();
  else if (key == "SEL_INV") invert_selection();
  else if (key == "SEL_RESET") reset_selection();
  else if (key == "GO_NEXT") go_next();
  else if (key == "GO_PREV") go_prev();
  else if (key == "DUP" || key == "ROT_ANGLE") not_implemented();
  else if (key == "DEL") delete_selected();
  else if (key == "ROT_LEFT") turn_selected(270);
  else if (key == "ROT_RIGHT") turn_selected(90);
  else if (key == "FLIP_HOR") flip_selected(true);
  else if (key == "FLIP_VERT") flip_selected(false);
  else if (key == "Z_TOP") z_top();
  else if (key == "Z_UP") z_up();
  else if (key == "Z_DOWN") z_down();
  else if (key == "Z_BOTTOM") z_bottom();
  else if (key == "ALIGN_LEFT") align_left();
  else if (key == "ALIGN_RIGHT") align_right();
  else if (key == "ALIGN_TOP") align_top();
  else if (key == "ALIGN_BOTTOM") align_bottom();
}

void C_Edit_collage_print::not_implemented() {
  if (is_none()) return;
  message(NOT_IMPLEMENTED);
}

void C_Edit_collage_print::open_print_dialog() {
  if (is_none()) return;
  C_Print_dialog::show_for(Ref<C_Edit_collage_print>(this));
}

// ---- zoom ----------------------------------------------------------------------

void C_Edit_collage_print::zoom_in() {
  if (is_none()) return;
  if (ZOOM_IN_LIMIT - zoom > 0) zoom *= ZOOM_STEP;
  repaint_sheet();
}

void C_Edit_collage_print::zoom_out() {
  if (is_none()) return;
  if (zoom > ZOOM_OUT_LIMIT) zoom /= ZOOM_STEP;
  repaint_sheet();
}

void C_Edit_collage_print::zoom_reset() {
  if (is_none()) return;
  zoom = 1.0;
  repaint_sheet();
}

// ---- selection and navigation --------------------------------------------------

void C_Edit_collage_print::select_all() {
  if (is_none()) return;
  selection.clear();
  for (int64_t i = 0; i < cards.count(); ++i) selection.append(i);
  repaint_sheet();
}

void C_Edit_collage_print::invert_selection() {
  if (is_none()) return;
  const DynAInt before = selection.copy();
  const int64_t old = before.count();
  for (int64_t i = 0; i < cards.count(); ++i)
    if (!before.contains(i)) selection.append(i);
  for (int64_t k = old - 1; k >= 0; --k) selection.remove(k, 1);
  repaint_sheet();
}

void C_Edit_collage_print::reset_selection() {
  if (is_none()) return;
  selection.clear();
  repaint_sheet();
}

void C_Edit_collage_print::go_next() {
  if (is_none()) return;
  int64_t largest = 0;
  for (int64_t v : selection) largest = std::max(largest, v);
  if (selection.count() == 0) largest = 0;
  int64_t v = largest + 1;
  if (v >= cards.count()) v = 0;
  selection.clear();
  // An empty sheet has no card to go to.
  if (cards.count() > 0) selection.append(v);
  repaint_sheet();
}

void C_Edit_collage_print::go_prev() {
  if (is_none()) return;
  int64_t smallest = selection.count() == 0 ? 0 : selection.get(0);
  for (int64_t v : selection) smallest = std::min(smallest, v);
  int64_t v = smallest - 1;
  if (v < 0) v = cards.count() - 1;
  selection.clear();
  if (cards.count() > 0) selection.append(v);
  repaint_sheet();
}

// ---- delete --------------------------------------------------------------------

void C_Edit_collage_print::delete_selected() {
  if (is_none()) return;
  // From the largest index down, so the others stay valid.
  while (selection.count() > 0) {
    int64_t p = 0;
    for (int64_t k = 1; k < selection.count(); ++k)
      if (selection.get(k) > selection.get(p)) p = k;
    const int64_t i = selection.get(p);
    if (has_card(i)) {
      Ref<C_Image> image = cards.get(i).image.lock();
      release_image_entry(image);
      drop_rendered(i);
      cards.remove(i, 1);
      let_go_of_picture(image);
    }
    selection.remove(p, 1);
  }
  repaint_sheet();
  update_caption();
}

void C_Edit_collage_print::let_go_of_picture(const Ref<C_Image>& image) {
  if (image.is_none()) return;
  for (const card& c : cards)
    if (c.image.get() == image.get()) return;
  std::erase_if(held_, [&](const Held_picture& h) { return h.image.get() == image.get(); });
  std::erase_if(frames_, [&](const Frame_cache& f) { return f.image.get() == image.get(); });
  // The card loaded it into the viewer's own entry, which the viewer may
  // keep listing for long: the viewer's rule says whether it goes there too.
  viewer.lock()->release_entry(image);
}

// ---- quarter turns and flips ---------------------------------------------------

Ref<C_Bitmap> C_Edit_collage_print::card_picture(const Ref<C_Image>& image) {
  if (is_none() || image.is_none()) return Ref<C_Bitmap>();
  Held_picture* held = nullptr;
  for (Held_picture& h : held_)
    if (h.image.get() == image.get()) held = &h;
  if (held && image->picture.is_none() && image->animation.is_none()) {
    image->picture = held->picture;
    image->animation = held->animation;
  }
  if (image->picture.is_none()) {
    // A file changed since the card was made prints as it is now (the
    // viewer's list has a new entry for it).
    const Ref<C_Image> now = viewer.lock()->load_whole(image);
    if (now.get() != image.get()) {
      image->picture = now->picture;
      image->animation = now->animation;
    }
  }
  if (!held && (!image->picture.is_none() || !image->animation.is_none()))
    held_.push_back(Held_picture{Weak<C_Image>(image), image->picture, image->animation});
  Ref<C_Gif> gif = image->animation;
  if (gif.is_none()) return image->picture;
  for (auto it = frames_.begin(); it != frames_.end();) {
    if (it->image.is_none()) {
      it = frames_.erase(it);
      continue;
    }
    if (it->image.get() == image.get()) {
      if (it->frame != gif->current_frame) {
        frames_.erase(it);
        break;
      }
      return it->bitmap;
    }
    ++it;
  }
  Ref<C_Bitmap> b = C_Image::frame_bitmap(gif);
  if (b.is_none()) return b;
  frames_.push_back(Frame_cache{Weak<C_Image>(image), gif->current_frame, b});
  return b;
}

void C_Edit_collage_print::transform_card(int64_t i, int64_t degrees, bool flip_lr, bool flip_tb) {
  if (!has_card(i)) return;
  Ref<C_Image> old = cards.get(i).image.lock();
  // The picture as the card shows it now; a card never painted yet is
  // loaded first, so the turn is never lost.
  Ref<C_Bitmap> shown = card_picture(old);
  const bool reloadable = !old.is_none() && Image_file_name::names_a_file(old->file_name);
  Ref<C_Bitmap> keep_picture = old->picture;
  Ref<C_Gif> keep_animation = old->animation;
  Ref<C_Bitmap> keep_reduced = old->reduced;
  Ref<C_Image> turned = old.is_none() ? Ref<C_Image>() : old->clone();
  if (!reloadable && !old.is_none()) {
    // A pasted or cut picture cannot be read again: the image keeps it.
    old->picture = keep_picture;
    old->animation = keep_animation;
    old->reduced = keep_reduced;
  }
  if (!turned.is_none()) images.append(turned);
  if (!turned.is_none() && !shown.is_none()) {
    Ref<C_Bitmap> copy = C_Bitmap::create(shown->width, shown->height, 0);
    copy->canvas()->copy_rect(copy->size_rect(), shown->size_rect(), shown->canvas());
    turned->picture = copy;
  }
  if (degrees == 0 && !turned.is_none()) viewer.lock()->load_whole(turned);
  card* c = cards.at(i);
  c->image = turned;
  if (degrees != 0) std::swap(c->rect.w, c->rect.h);
  if (!turned.is_none() && !turned->picture.is_none())
    turned->picture = turned->picture->rotated_90(flip_lr, flip_tb, degrees);
  // The new image's size is that of its own turned picture.
  if (!turned.is_none() && (degrees == 90 || degrees == 270)) std::swap(turned->width, turned->height);
  // The card's entry moves to its new image; its printed copy is made anew.
  release_image_entry(old);
  drop_rendered(i);
}

void C_Edit_collage_print::turn_selected(int64_t degrees) {
  if (is_none()) return;
  for (int64_t k = 0; k < selection.count(); ++k) transform_card(selection.get(k), degrees, false, false);
  repaint_sheet();
}

void C_Edit_collage_print::flip_selected(bool left_right) {
  if (is_none()) return;
  for (int64_t k = 0; k < selection.count(); ++k) transform_card(selection.get(k), 0, left_right, !left_right);
  repaint_sheet();
}

// ---- z-order -------------------------------------------------------------------

DynAInt C_Edit_collage_print::selected_serials() const {
  DynAInt q;
  for (int64_t i : selection)
    if (has_card(i)) q.append(cards.get(i).serial);
  return q;
}

void C_Edit_collage_print::select_serials(const DynAInt& serials) {
  selection.clear();
  for (int64_t i = 0; i < cards.count(); ++i)
    if (serials.contains(cards.get(i).serial)) selection.append(i);
}

void C_Edit_collage_print::z_top() {
  if (is_none()) return;
  const DynAInt q = selected_serials();
  // Each selected card takes the highest place not yet taken by another
  // selected one, so none of them ends below a card not selected.
  int64_t top = cards.count() - 1;
  for (int64_t i = top; i >= 0; --i)
    if (q.contains(cards.get(i).serial)) cards.swap(i, top--);
  select_serials(q);
  repaint_sheet();
}

void C_Edit_collage_print::z_up() {
  if (is_none()) return;
  const DynAInt q = selected_serials();
  // A selected card does not pass another selected one: a group at the
  // top stays as it is.
  for (int64_t i = cards.count() - 2; i >= 0; --i)
    if (q.contains(cards.get(i).serial) && !q.contains(cards.get(i + 1).serial)) cards.swap(i, i + 1);
  select_serials(q);
  repaint_sheet();
}

void C_Edit_collage_print::z_down() {
  if (is_none()) return;
  const DynAInt q = selected_serials();
  for (int64_t i = 1; i < cards.count(); ++i)
    if (q.contains(cards.get(i).serial) && !q.contains(cards.get(i - 1).serial)) cards.swap(i, i - 1);
  select_serials(q);
  repaint_sheet();
}

void C_Edit_collage_print::z_bottom() {
  if (is_none()) return;
  const DynAInt q = selected_serials();
  int64_t bottom = 0;
  for (int64_t i = 0; i < cards.count(); ++i)
    if (q.contains(cards.get(i).serial)) cards.swap(i, bottom++);
  select_serials(q);
  repaint_sheet();
}

// ---- alignment -----------------------------------------------------------------

DynAReal C_Edit_collage_print::unselected_sides(bool horizontal) const {
  DynAReal sides;
  for (int64_t i = 0; i < cards.count(); ++i) {
    if (selection.contains(i)) continue;
    const rect r = cards.get(i).rect;
    sides.append(horizontal ? r.x : r.y);
    sides.append(horizontal ? r.x + r.w : r.y + r.h);
  }
  return sides;
}

namespace {

double smallest(const DynAReal& v) {
  double b = v.count() == 0 ? 0 : v.get(0);
  for (double s : v) b = std::min(b, s);
  return b;
}

double largest(const DynAReal& v) {
  double b = v.count() == 0 ? 0 : v.get(0);
  for (double s : v) b = std::max(b, s);
  return b;
}

// The largest side strictly before `edge`; the smallest of all when none is.
double nearest_before(const DynAReal& sides, double edge) {
  double b = smallest(sides);
  for (double s : sides)
    if (s > b && edge - s > 0) b = s;
  return b;
}

// The smallest side strictly after `edge`; the largest of all when none is.
double nearest_after(const DynAReal& sides, double edge) {
  double b = largest(sides);
  for (double s : sides)
    if (s < b && s > edge) b = s;
  return b;
}

}  // namespace

void C_Edit_collage_print::align_left() {
  if (is_none()) return;
  const DynAReal sides = unselected_sides(true);
  for (int64_t i = 0; i < cards.count(); ++i)
    if (selection.contains(i)) cards.at(i)->rect.x = nearest_before(sides, cards.get(i).rect.x);
  repaint_sheet();
}

void C_Edit_collage_print::align_right() {
  if (is_none()) return;
  const DynAReal sides = unselected_sides(true);
  for (int64_t i = 0; i < cards.count(); ++i)
    if (selection.contains(i)) {
      rect& r = cards.at(i)->rect;
      r.x = nearest_after(sides, r.x + r.w) - r.w;
    }
  repaint_sheet();
}

void C_Edit_collage_print::align_top() {
  if (is_none()) return;
  const DynAReal sides = unselected_sides(false);
  for (int64_t i = 0; i < cards.count(); ++i)
    if (selection.contains(i)) cards.at(i)->rect.y = nearest_before(sides, cards.get(i).rect.y);
  repaint_sheet();
}

void C_Edit_collage_print::align_bottom() {
  if (is_none()) return;
  const DynAReal sides = unselected_sides(false);
  for (int64_t i = 0; i < cards.count(); ++i)
    if (selection.contains(i)) {
      rect& r = cards.at(i)->rect;
      r.y = nearest_after(sides, r.y + r.h) - r.h;
    }
  repaint_sheet();
}

}  // namespace brek
