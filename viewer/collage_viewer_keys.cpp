// Keys, double clicks and button releases of the main window. Keys go
// through three tables: C_Additional_collage's function keys, the window's
// virtual keys and then the character keys. A release ends a gesture: it
// opens a menu, switches between the views, finishes a cut or, with both
// buttons, ends the program.
#include <algorithm>
#include <chrono>

#include "forms/form_bridge.h"
#include "images/gif.h"
#include "runtime/exceptions.h"
#include "runtime/runtime_services.h"
#include "viewer/collage_viewer.h"

namespace brek {

namespace {

constexpr int64_t VK_RETURN = 13, VK_SHIFT = 16, VK_CONTROL = 17, VK_ESCAPE = 27, VK_SPACE = 32, VK_PGUP = 33, VK_PGDN = 34, VK_LEFT = 37,
                  VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_F5 = 116, VK_PLUS = 187, VK_MINUS = 189;

// Directory sets start this far below the top of the view, points.
constexpr double SET_MARGIN = 20;

// "+" and "-" are the keys that type them, wherever the layout (or the
// keypad) puts them; every other key goes by its place. While the move
// window shows, the digit keys are its targets, also where they type "-"
// or "_" (a French keyboard's 6 and 8).
int64_t meant_key(const St_key_info__C_Form& k, bool digits_move) {
  if (digits_move && k.key_code >= '1' && k.key_code <= '9') return k.key_code;
  if (k.key_char == "+" || k.key_char == "=") return VK_PLUS;
  if (k.key_char == "-" || k.key_char == "_") return VK_MINUS;
  return k.key_code;
}

// Entry i of the list becomes the current file and is shown.
void step_to(C_Collage_viewer& v, int64_t i) {
  Ref<C_Image> entry = v.files.get(i);
  v.current_file = entry->file_name;
  v.show_file(entry);
  // One that wants another orientation is turned now.
  v.orient(entry);
}

}  // namespace

// ---- keys ------------------------------------------------------------------------

bool C_Collage_viewer::on_key_down() {
  if (is_none()) return false;
  const int64_t key = meant_key(key_info, collage->move_window_shown());
  bool started = false;
  if (key == VK_SPACE && single_mode) {
    slideshow = !slideshow;
    started = slideshow;
  }
  const bool not_taken = on_key_down(key);
  if (not_taken) on_key_char();
  if (started) {
    slideshow = true;
    start_timer();
  }
  repaint();
  return !not_taken;
}

bool C_Collage_viewer::on_key_down(int64_t key) {
  if (is_none()) return true;
  if (collage->on_function_key(key)) return false;
  const bool S = single_mode;
  Ref<C_Image> image = current_image();
  switch (key) {
    case VK_UP:
    case VK_DOWN:
      if (key_info.alt) {
        change_alpha(key == VK_UP ? 0.1 : -0.1);
      } else if (S && key_info.shift) {
        orient(image, [](C_Image& i) { i.flip_y = !i.flip_y; });
      } else if (slideshow) {
        slide_interval = key == VK_UP ? slide_interval * 1.5 : slide_interval / 1.5;
      } else if (S) {
        if (key == VK_UP)
          prev_image();
        else
          next_image(key);
      } else {
        zoom(key == VK_UP ? 1.0 : -1.0);
      }
      return false;
    case VK_SPACE:
      if (S) {
        last_slide_time = Date_time::now();
        next_image(key);
      } else {
        zoom_step(key_info.shift ? 1.0 : -1.0);
      }
      return false;
    case VK_LEFT:
    case VK_RIGHT:
      if (!S) {
        zoom(key == VK_LEFT ? 1.0 : -1.0);
      } else {
        orient(image, [flip = key_info.shift != 0, left = key == VK_LEFT](C_Image& i) {
          if (flip)
            i.flip_x = !i.flip_x;
          else
            i.quarter_turns = (i.quarter_turns + (left ? 3 : 1)) % 4;
        });
      }
      return false;
    case VK_PGUP:
      if (!S) prev_directory_set();
      return false;
    case VK_PGDN:
      if (!S) next_directory_set();
      return false;
    case VK_RETURN:
      if (!S || collage->single_always) {
        open_current_entry();
      } else if (back_to_directory_view()) {
        // The current file's cell comes into view.
        const rect cell = files.get(index_of_file(current_file))->rect;
        const rect view{0, scroll_y, double(C_Canvas::to_device_pixels(view_width())),
                        double(C_Canvas::to_device_pixels(view_height()))};
        if (!C_Geometry::rects_overlap(cell, view) && cell.w > 0) {
          scroll_y = cell.y;
          repaint();
        }
        pause(300);
      }
      return false;
    case VK_ESCAPE:
      escape_pending = true;
      repaint();
      pause(200);
      exiting = true;
      close_window();
      return false;
    case VK_F5:
      // Without a directory there is nothing to list again.
      if (!root_dir.empty()) open_dir(root_dir);
      return false;
    case VK_PLUS:
      if (S) zoom(-1.0);
      return false;
    case VK_MINUS:
      if (S) zoom(1.0);
      return false;
    default:
      return true;
  }
}

void C_Collage_viewer::on_key_char() {
  if (is_none()) return;
  collage->key_char_first();
  const std::string text = key_info.key_text;
  const bool S = single_mode;
  if (text == "+" || text == "=") {
    if (S) zoom(-1.0);
  } else if (text == "-" || text == "_") {
    if (S) zoom(1.0);
  } else if (text == "Z") {
    if (S)
      prev_image();
    else
      zoom(1.0);
  } else if (text == "X") {
    if (S)
      next_image(key_info.key_code);
    else
      zoom(-1.0);
  } else if (text == "Q") {
    if (!S) zoom(1.0);
  } else if (text == "A") {
    if (!S) zoom(-1.0);
  } else if (text == "I") {
    if (S) orient(current_image(), [](C_Image& i) { i.inverse = !i.inverse; });
  } else if (text == "1") {
    set_scale(1.0);
    repaint();
  }
}

// Every key down repaints already; of the releases only Shift's and Ctrl's
// change the view: the names and sizes they show on the cells go.
void C_Collage_viewer::on_key_up() {
  if (is_none()) return;
  if (key_info.key_code == VK_SHIFT || key_info.key_code == VK_CONTROL) repaint();
}

// ---- moving through the list ---------------------------------------------------------

void C_Collage_viewer::next_image(int64_t key) {
  if (is_none()) return;
  const int64_t c = index_of_file(current_file);
  const int64_t last = files.count() - 1;
  int64_t n = c + 1;
  if (c < 0 || c == last) {
    // Only the slideshow and SPACE come round to the start again.
    if (key != VK_SPACE || files.count() == 0) return;
    n = 0;
  }
  step_to(*this, n);
}

void C_Collage_viewer::prev_image() {
  if (is_none()) return;
  const int64_t c = index_of_file(current_file);
  if (c < 1) return;
  step_to(*this, c - 1);
}

void C_Collage_viewer::next_directory_set() {
  if (is_none()) return;
  const int64_t c = index_of_file(current_file);
  for (int64_t j = std::max<int64_t>(c + 1, 0); j < files.count(); ++j) {
    Brek_runtime::loop_tick();
    if (same_directory(j, c)) continue;
    Ref<C_Image> entry = files.get(j);
    current_file = entry->file_name;
    scroll_y = std::max(0.0, entry->rect.y - double(C_Canvas::to_device_pixels(SET_MARGIN)));
    repaint();
    return;
  }
}

void C_Collage_viewer::prev_directory_set() {
  if (is_none()) return;
  const int64_t last = files.count() - 1;
  const int64_t c = index_of_file(current_file);
  int64_t k = -1;
  for (int64_t j = std::min(c - 1, last); j >= 0; --j) {
    Brek_runtime::loop_tick();
    if (!same_directory(j, c)) {
      k = j;
      break;
    }
  }
  if (k >= 0) {
    for (int64_t j = std::min(k - 1, last); j >= 0; --j) {
      Brek_runtime::loop_tick();
      if (same_directory(j, k)) continue;
      Ref<C_Image> entry = files.get(j + 1);
      current_file = entry->file_name;
      scroll_y = std::max(0.0, entry->rect.y - double(C_Canvas::to_device_pixels(SET_MARGIN)));
      repaint();
      return;
    }
  }
  // The previous set is the first one: the view goes to the top, its
  // first entry current.
  if (k >= 0) current_file = files.get(0)->file_name;
  scroll_y = 0;
  repaint();
}

bool C_Collage_viewer::back_to_directory_view() {
  if (is_none() || root_dir.empty()) return false;
  set_gif_timer(false, 0);
  single_mode = false;
  scanning = true;
  slideshow = false;
  repaint();
  if (caption_dir.empty()) caption_dir = root_dir;
  collage->update_caption(directory_caption());
  return true;
}

void C_Collage_viewer::open_current_entry() {
  if (is_none() || current_file.empty()) return;
  const int64_t i = index_of_file(current_file);
  if (i < 0) return;
  Ref<C_Image> entry = files.get(i);
  show_file(entry);
  single_mode = true;
  repaint();
  // The animation is known only once it is loaded.
  load_for_showing(entry);
  animate(entry);
}

void C_Collage_viewer::pause(int64_t ms) {
  if (is_none() || ms <= 0) return;
  const int64_t id = Brek_runtime::add_timer(0, double(ms));
  // A clock that does not move (or a loop that cannot wait here) never
  // holds the window longer than this.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms + 1000);
  try {
    while (process_depth == 0 && !C_Brek_form::application_terminated() &&
           std::chrono::steady_clock::now() < give_up)
      process_messages();
  } catch (const Timer_due_exception& e) {
    Brek_runtime::remove_timer(id);
    if (e.id() != id) throw;
    return;
  } catch (...) {
    Brek_runtime::remove_timer(id);
    throw;
  }
  Brek_runtime::remove_timer(id);
}

Ref<C_Bitmap> C_Collage_viewer::shown_picture() {
  if (is_none()) return Ref<C_Bitmap>();
  return oriented_now(load_whole(current_image()));
}

// ---- pointer gestures ------------------------------------------------------------

void C_Collage_viewer::on_double_click() {
  if (is_none()) return;
  if (collage->copy_file_to_clipboard()) return;
  if (static_cast<button_mouse>(mouse_buttons()) != button_mouse::LMB || !key_info.shift ||
      collage->single_always)
    return;
  // Back to the empty window of the start.
  root_dir.clear();
  current_file.clear();
  single_mode = false;
  scanning = true;
  set_gif_timer(false, 0);
  slideshow = false;
  forget_listing();
  // Nothing is left to list, or the tree would fill the window again.
  scan_dir.clear();
  timer_2->set_enabled(false);
  repaint();
}

void C_Collage_viewer::on_mouse_up() {
  if (is_none()) return;
  if (chord_exit) {
    escape_pending = true;
    repaint();
    exiting = true;
    pause(100);
    close_window();
    return;
  }
  const button_mouse button = static_cast<button_mouse>(mouse_buttons());
  const rect box = paint_box_frame();
  if (button == button_mouse::LMB) {
    if (left_down && right_down) {
      close_window();
      return;
    }
    left_down = false;
    const point p{mouse_position().x - box.x, mouse_position().y - box.y};
    if (collage->paste_or_cut()) return;
    if (right_down) {
      chord_exit = true;
      return;
    }
    if (!single_mode && dragged && p.x >= 0.9 * view_width()) {
      jump_scroll();
      dragged = false;
      return;
    }
    if (single_mode && !collage->single_always) {
      if (back_to_directory_view()) {
        // The current image's cell comes into view, at the bottom when it
        // was below.
        const rect cell = current_image()->rect;
        const double box_w = double(C_Canvas::to_device_pixels(view_width()));
        const double box_h = double(C_Canvas::to_device_pixels(view_height()));
        if (!C_Geometry::rects_overlap(cell, rect{0, scroll_y, box_w, box_h}) && cell.w > 0) {
          scroll_y = cell.y;
          if (scroll_y > 0 && view_height() > cell.h) scroll_y = std::max(0.0, scroll_y - (box_h - cell.h));
        }
        repaint();
      }
    } else if (hover_update()) {
      set_scale(1.0);
      open_current_entry();
    } else if (root_dir.empty()) {
      if (!dialog_open.is_none() && dialog_open->execute()) open_file(dialog_open->file_name);
    }
    dragged = false;
    return;
  }
  if (button == button_mouse::RMB) {
    if (left_down && right_down) {
      close_window();
      return;
    }
    right_down = false;
    if (wheel_browsed) {
      wheel_browsed = false;
      return;
    }
    const bool was_dragged = dragged;
    dragged = false;
    if (left_down) {
      escape_pending = true;
      repaint();
      exiting = true;
      close_window();
      pause(200);
      return;
    }
    // A right drag resized the thumbnails: the size reached is stored.
    if (collage->end_thumb_drag()) {
      collage->save_settings();
      return;
    }
    if (was_dragged) return;
    popup_menu(single_mode ? image_menu_text() : directory_menu_text());
  }
}

}  // namespace brek
