// The editor's mouse, wheel and keys: clicking selects, dragging moves the
// selected cards or resizes them by a corner, Shift spans a rubber band,
// the wheel zooms or scrolls, and the keys run the commands.
#include <algorithm>
#include <cmath>

#include "drawing/paintbox.h"
#include "forms/button.h"
#include "forms/timer.h"
#include "images/image.h"
#include "printing/edit_collage_print.h"
#include "runtime/strings.h"
#include "viewer/additional_collage.h"
#include "viewer/collage_viewer.h"

namespace brek {

namespace {

// The corners of a rectangle: top-left, top-right, bottom-right,
// bottom-left.
point corner_of(const rect& r, int64_t n) {
  switch (n) {
    case 1: return {r.x, r.y};
    case 2: return {r.x + r.w, r.y};
    case 3: return {r.x + r.w, r.y + r.h};
    default: return {r.x, r.y + r.h};
  }
}

}  // namespace

// ---- mouse ---------------------------------------------------------------------

void C_Edit_collage_print::on_mouse_down() {
  if (is_none()) return;
  pbox->invalidate_all();
  const point at = mouse_position();
  press_point = at;
  press_button = mouse_buttons();
  press_on_card = 0;
  handle_card = -1;
  ctrl_press_card_ = -1;
  if (!in_box(at)) return;
  const point q = sheet_point(at);
  const double t = Brek_runtime::real_div(HANDLE_REACH, zoom);

  if (shift_held()) {
    // The rubber band from the last plain press adds what it meets.
    press_on_card = 0;
    moving = 0;
    const rect band{std::min(drag_point.x, q.x), std::min(drag_point.y, q.y), std::fabs(q.x - drag_point.x),
                    std::fabs(q.y - drag_point.y)};
    for (int64_t i = 0; i < cards.count(); ++i)
      if (!selection.contains(i) && C_Geometry::rects_overlap(cards.get(i).rect, band)) selection.append(i);
    repaint_sheet();
    return;
  }

  // Selected cards first, the top one first: a corner, or the card itself.
  bool on_selected = false;
  for (int64_t i = cards.count() - 1; i >= 0 && handle_card < 0 && !on_selected; --i) {
    if (!selection.contains(i)) continue;
    const rect r = cards.get(i).rect;
    if (!C_Geometry::point_in_rect(C_Geometry::rect_inflate(r, t, t), q)) continue;
    for (int64_t n = 1; n <= 4; ++n)
      if (C_Geometry::point_distance(corner_of(r, n), q) <= t) {
        handle_card = i;
        handle_corner = n;
        break;
      }
    if (handle_card < 0 && C_Geometry::point_in_rect(r, q)) {
      on_selected = true;
      press_on_card = press_button == 1 ? 1 : 0;
      if (ctrl_held()) ctrl_press_card_ = i;
    }
  }
  if (handle_card < 0 && !on_selected && press_button == 1) {
    for (int64_t i = cards.count() - 1; i >= 0; --i)
      if (C_Geometry::point_in_rect(cards.get(i).rect, q)) {
        if (!ctrl_held()) selection.clear();
        selection.append(i);
        press_on_card = 1;
        break;
      }
    if (!press_on_card) selection.clear();
  }
  if (press_on_card || handle_card >= 0) {
    press_rects.clear();
    for (int64_t i : selection) press_rects.append(cards.get(i).rect);
  }
  drag_point = q;
  last_point = box_point(at);
  repaint_sheet();
}

void C_Edit_collage_print::on_mouse_move() {
  if (is_none()) return;
  pbox->invalidate_all();
  const point p = mouse_position();
  const double distance = C_Geometry::point_distance(press_point, p);
  if (!resizing && !moving && press_on_card && distance > DRAG_START) moving = 1;
  if (!resizing && handle_card >= 0 && distance > DRAG_START) resizing = 1;
  // The saved rectangles belong to the selection of the press.
  if (press_rects.count() != selection.count()) return;

  if (moving) {
    const double dx = Brek_runtime::real_div(p.x - press_point.x, zoom);
    const double dy = Brek_runtime::real_div(p.y - press_point.y, zoom);
    for (int64_t k = 0; k < selection.count(); ++k) {
      card* c = cards.at(selection.get(k));
      if (!c) continue;
      const rect r = press_rects.get(k);
      c->rect.x = r.x + dx;
      c->rect.y = r.y + dy;
      if (ctrl_held()) {
        c->rect.x = std::trunc(c->rect.x);
        c->rect.y = std::trunc(c->rect.y);
      }
    }
  } else if (resizing) {
    double dx0 = Brek_runtime::real_div(p.x - press_point.x, zoom);
    double dy0 = Brek_runtime::real_div(p.y - press_point.y, zoom);
    if (handle_corner == 1 || handle_corner == 4) dx0 = -dx0;
    if (handle_corner == 1 || handle_corner == 2) dy0 = -dy0;
    for (int64_t k = 0; k < selection.count(); ++k) {
      card* c = cards.at(selection.get(k));
      if (!c) continue;
      rect r = press_rects.get(k);
      // Each card follows the pointer by itself, whatever the others did.
      double dx = dx0, dy = dy0;
      if (handle_corner == 1 || handle_corner == 3 || ctrl_held()) {
        Ref<C_Image> image = c->image.lock();
        if (ctrl_held() && handle_corner == 3 && image->width > 0 && image->height > 0)
          r.h = r.w * double(image->height) / double(image->width);
        // A card without a size has no proportions to keep.
        if (r.w > 0 && r.h > 0) {
          if (dx <= dy)
            dx = (r.h + dy) * r.w / r.h - r.w;
          else
            dy = (r.w + dx) * r.h / r.w - r.h;
        }
      }
      double w = r.w + dx, h = r.h + dy;
      if (ctrl_held()) {
        w = std::trunc(w);
        h = std::trunc(h);
      }
      // A card never turns inside out: it would no longer be found under
      // the pointer, nor its corners.
      w = std::max(w, 1.0);
      h = std::max(h, 1.0);
      double x = r.x, y = r.y;
      if (handle_corner == 1 || handle_corner == 4) x = r.x + r.w - w;
      if (handle_corner == 1 || handle_corner == 2) y = r.y + r.h - h;
      c->rect = rect{x, y, w, h};
    }
  }
}

void C_Edit_collage_print::on_mouse_up() {
  if (is_none()) return;
  // A Ctrl click on a selected card, without a drag, takes it out.
  if (ctrl_press_card_ >= 0 && !moving && !resizing && ctrl_held()) {
    Brek_runtime::dyn_int_remove_all(selection, ctrl_press_card_);
    repaint_sheet();
  }
  ctrl_press_card_ = -1;
  press_on_card = 0;
  moving = 0;
  resizing = 0;
  handle_card = -1;
  press_button = 0;
  C_Form_common::on_mouse_up();
}

void C_Edit_collage_print::on_double_click() {
  if (is_none() || !in_box(mouse_position())) return;
  if (mouse_buttons() == 1)
    z_top();
  else
    z_bottom();
}

// ---- wheel ---------------------------------------------------------------------

bool C_Edit_collage_print::on_wheel() {
  if (is_none()) return false;
  const double amount = wheel_delta();
  if (ctrl_held()) {
    if (amount < 0)
      zoom_in();
    else
      zoom_out();
    return true;
  }
  const point p = box_point(mouse_position());
  const rect v = pbox->visible_rect();
  const double w = v.w, h = v.h;
  const double off_x = std::fabs(p.x - w / 2) / w, off_y = std::fabs(p.y - h / 2) / h;
  const double s = (std::max(off_x, off_y) + SCROLL_FLOOR) * SCROLL_SPEED;
  const double amount_x = input.wheel_extra;
  point to{v.x, v.y};
  if (amount_x != 0) {
    to.x -= amount_x / WHEEL_NOTCH * s;
  } else if (p.y > BOTTOM_STRIP * h && amount != 0) {
    to.x -= amount / WHEEL_NOTCH * ((off_x + SCROLL_FLOOR) * SCROLL_SPEED);
  } else if (amount != 0) {
    to.y -= amount / WHEEL_NOTCH * s;
  }
  pbox->set_scroll_pos(to);
  repaint_sheet();
  return true;
}

// ---- keys ----------------------------------------------------------------------

int64_t C_Edit_collage_print::key_code_of(const St_key_info__C_Form& key, bool& shift) {
  // Keys that mean a character go by what the keyboard typed, on any
  // layout: the US key and Shift state that type it.
  struct Meant {
    const char* typed;
    int64_t code;
    bool shift;
  };
  static const Meant meant[] = {{"{", 219, true},  {"}", 221, true},  {"^", '6', true}, {"_", 189, true},
                                {"+", 187, true},  {"=", 187, false}, {"-", 189, false}, {"[", 219, false},
                                {"]", 221, false}, {",", 188, false}, {"<", 188, true},  {".", 190, false},
                                {">", 190, true}};
  for (const Meant& m : meant)
    if (key.key_char == m.typed) {
      shift = m.shift;
      return m.code;
    }
  // Shift+6 stands for "^": a 6 key that types something else ("&" on a
  // German keyboard) is no alignment.
  if (key.key_code == '6' && !key.key_char.empty() && key.key_char != "6") return 0;
  if (key.key_code != 0) return key.key_code;
  if (key.key_text == "<") return 188;
  if (key.key_text == ">") return 190;
  if (key.key_text == "[") return 219;
  if (key.key_text == "]") return 221;
  return 0;
}

bool C_Edit_collage_print::on_key_down() {
  if (is_none()) return false;
  bool shift = shift_held();
  const bool ctrl = ctrl_held();
  // Previous and next by key start from card 0 when nothing is selected.
  auto step = [&](bool next) {
    if (selection.count() == 0) {
      if (cards.count() > 0) selection.append(0);
      repaint_sheet();
    } else if (next) {
      go_next();
    } else {
      go_prev();
    }
  };
  switch (key_code_of(key_info, shift)) {
    case '1': zoom_reset(); break;
    case 187: zoom_in(); break;
    case 189:
      if (shift)
        align_bottom();
      else
        zoom_out();
      break;
    case 'H': flip_selected(true); break;
    case 'V': flip_selected(false); break;
    case '6':
      if (shift) align_top();
      break;
    case 37:
      if (ctrl) turn_selected(270);
      break;
    case 39:
      if (ctrl) turn_selected(90);
      break;
    case 38:
      if (ctrl) z_up();
      break;
    case 40:
      if (ctrl) z_down();
      break;
    case 188: step(false); break;
    case 219:
      if (shift)
        align_left();
      else
        step(false);
      break;
    case 190: step(true); break;
    case 221:
      if (shift)
        align_right();
      else
        step(true);
      break;
    case 'P':
      if (b_print->is_enabled()) timer_press_p->set_enabled(true);
      break;
    case 46: delete_selected(); break;
    case 118: {
      // The viewer's function key: its current image joins the cards.
      Ref<C_Collage_viewer> v = viewer.lock();
      if (!v.is_none()) v->collage->on_function_key(118);
      break;
    }
    default: break;
  }
  return false;
}

void C_Edit_collage_print::on_key_up() {
  if (is_none()) return;
  // The band shows while Shift is held, on any repaint; a key typed with
  // Shift ("^", "{") repaints with it held, so its release must repaint.
  if (key_info.key_code == 16) repaint_sheet();
  C_Form_common::on_key_up();
}

void C_Edit_collage_print::on_timer() {
  if (is_none()) return;
  if (current_control().get() == timer_press_p.get() && !timer_press_p.is_none()) {
    timer_press_p->set_enabled(false);
    b_print->perform_click();
    return;
  }
  C_Form_common::on_timer();
}

}  // namespace brek
