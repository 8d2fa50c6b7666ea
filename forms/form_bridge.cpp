#include "forms/form_bridge.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <unordered_map>

#include "forms/control_bridge.h"
#include "forms/event_routing.h"
#include "forms/form.h"
#include "forms/menu.h"
#include "forms/modal_run.h"
#include "forms/screen.h"
#include "platform/native_forms.h"
#include "platform/units.h"
#include "platform/window.h"
#include "baselib/date_time.h"
#include "baselib/string_functions.h"
#include "runtime/exceptions.h"
#include "runtime/runtime_services.h"
#include "runtime/clock.h"
#include "runtime/strings.h"

namespace brek {

namespace {

using brek_platform::native_forms;
using brek_platform::Native_handle;

// The tables are never destroyed: references must not outlive the
// thread's handle pool, which goes at exit before function statics do.
std::unordered_map<int64_t, Weak<C_Form>>& form_table() {
  static auto* t = new std::unordered_map<int64_t, Weak<C_Form>>();
  return *t;
}

// The marked panel of each form, by form handle.
std::unordered_map<int64_t, int64_t>& marked_table() {
  static auto* t = new std::unordered_map<int64_t, int64_t>();
  return *t;
}

std::unordered_map<int64_t, Weak<C_Control>>& control_table() {
  static auto* t = new std::unordered_map<int64_t, Weak<C_Control>>();
  return *t;
}

rect from_native(const brek_platform::Rect_pt& r) { return rect{r.x, r.y, r.w, r.h}; }
point from_native(const brek_platform::Point_pt& p) { return point{p.x, p.y}; }

int32_t rgb_of(int64_t colour) { return static_cast<int32_t>(colour & 0xFFFFFF); }

bool contains(const std::string& text, char c) { return text.find(c) != std::string::npos; }

// Runs one report of the native layer: nothing is thrown back into it. An
// exception that left the event's handlers is recorded and the native
// layer goes on, as after any handled message.
template <class R, class F>
R guarded(R fallback, F&& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    Brek_runtime::log_exception(e);
  } catch (...) {
    Brek_runtime::log_exception_text("unknown exception");
  }
  return fallback;
}

Event_routing::Pointer pointer_of(const brek_platform::Pointer_input& in) {
  Event_routing::Pointer p;
  p.at = from_native(in.at);
  p.at_control = from_native(in.at_control);
  p.button = in.button <= 5 ? static_cast<button_mouse>(in.button) : button_mouse::NO_B;
  p.shift = in.shift;
  return p;
}

// Turns the native layer's reports into the event routing of the form
// each handle belongs to.
class Bridge_events final : public brek_platform::Form_events {
 public:
  using H = Native_handle;
  using Pt = brek_platform::Point_pt;

  void click(H form, H control, Pt at) override {
    guarded(0, [&] { return Event_routing::click(f(form), c(control), from_native(at)), 0; });
  }
  bool close_query(H form) override {
    return guarded(true, [&] { return Event_routing::close_query(f(form)); });
  }
  bool closed(H form) override {
    bool free_now = guarded(true, [&] { return Event_routing::closed(f(form)); });
    // Freeing the main window ends the program's run.
    if (free_now && form != 0 && form == C_Brek_form::main_window()) C_Brek_form::terminate_application();
    return free_now;
  }
  void session_ending(H form) override { Event_routing::session_ending(f(form)); }
  void activated(H form, bool active) override {
    guarded(0, [&] { return Event_routing::activated(f(form), active), 0; });
  }
  void value_changed(H form, H control) override {
    guarded(0, [&] { return Event_routing::value_changed(f(form), c(control)), 0; });
  }
  void selection_changed(H form, H control) override {
    guarded(0, [&] { return Event_routing::selection_changed(f(form), c(control)), 0; });
  }
  void shown(H form) override {
    guarded(0, [&] { return Event_routing::shown(f(form)), 0; });
  }
  void resized(H form) override {
    guarded(0, [&] { return Event_routing::resized(f(form)), 0; });
  }
  void control_resized(H form, H control) override {
    guarded(0, [&] { return Event_routing::control_resized(f(form), c(control)), 0; });
  }
  void moved(H form) override {
    guarded(0, [&] { return Event_routing::moved(f(form)), 0; });
  }
  void framed(H form) override {
    guarded(0, [&] { return f(form)->refit_framed(), 0; });
  }
  void monitors_changed() override {
    guarded(0, [&] { return C_Screen::current()->monitors_changed(), 0; });
  }
  void mouse_move(const brek_platform::Pointer_input& in) override {
    guarded(0, [&] { return Event_routing::mouse_move(f(in.form), c(in.control), pointer_of(in)), 0; });
  }
  void double_click_pending() override { Event_routing::double_click_pending(); }
  void mouse_down(const brek_platform::Pointer_input& in) override {
    guarded(0, [&] { return Event_routing::mouse_down(f(in.form), c(in.control), pointer_of(in)), 0; });
  }
  void mouse_up(const brek_platform::Pointer_input& in) override {
    guarded(0, [&] { return Event_routing::mouse_up(f(in.form), c(in.control), pointer_of(in)), 0; });
  }
  brek_platform::Wheel_result wheel(H form, int delta, int delta_x, Pt at) override {
    return guarded(brek_platform::Wheel_result{},
                   [&] { return Event_routing::wheel(f(form), delta, delta_x, from_native(at)); });
  }
  bool wheel_flush(H form) override {
    return guarded(false, [&] { return Event_routing::wheel_flush(f(form)); });
  }
  bool key_down(H form, H control, int vk, brek_platform::Key_modifiers m) override {
    return guarded(false, [&] { return Event_routing::key_down(f(form), c(control), vk, m); });
  }
  bool key_up(H form, H control, int vk, brek_platform::Key_modifiers m) override {
    return guarded(false, [&] { return Event_routing::key_up(f(form), c(control), vk, m); });
  }
  uint32_t key_press(H form, H control, uint32_t ch, brek_platform::Key_modifiers m) override {
    return guarded(ch, [&] { return Event_routing::key_press(f(form), c(control), ch, m); });
  }
  void focus(H form, H control, bool entering) override {
    guarded(0, [&] { return Event_routing::focus(f(form), c(control), entering), 0; });
  }
  void timer(H form, H timer) override {
    guarded(0, [&] { return Event_routing::timer(f(form), c(timer)), 0; });
  }
  void animation(H form, H control) override {
    guarded(0, [&] { return Event_routing::animation(f(form), c(control)), 0; });
  }
  void menu_chosen(H form, const std::string& key) override {
    guarded(0, [&] { return Event_routing::menu_chosen(f(form), key), 0; });
  }
  void files_dropped(H form, const std::vector<std::string>& names, Pt at) override {
    guarded(0, [&] { return Event_routing::files_dropped(f(form), names, from_native(at)), 0; });
  }

 private:
  static Ref<C_Form> f(H h) { return C_Brek_form::form_of(h); }
  static Ref<C_Control> c(H h) { return C_Brek_form::control_of(h); }
};

Bridge_events g_receiver;

int64_t g_main_window = 0;

// Software timers and the loops of message processing that wait for them.
// A timer belongs to the nesting level of the first process_messages call
// that saw it registered: the call of the loop that added it and now waits.
struct Pump_state {
  int level = 0;
  std::unordered_map<int64_t, int> owner;  // timer id -> level
};

// Never destroyed, like the other process-wide tables.
Pump_state& pump() {
  static auto* p = new Pump_state();
  return *p;
}

std::vector<int64_t> registered_timers() { return Brek_runtime::due_timers(INT64_MAX); }

void claim_timers(int level) {
  std::vector<int64_t> ids = registered_timers();
  auto& owner = pump().owner;
  for (auto it = owner.begin(); it != owner.end();) {
    if (std::find(ids.begin(), ids.end(), it->first) == ids.end())
      it = owner.erase(it);
    else
      ++it;
  }
  for (int64_t id : ids) owner.emplace(id, level);
}

// The newest of the level's timers that fell due (0: none), and the
// milliseconds until the first of the others falls due (-1: none).
int64_t own_due_timer(int level, int64_t now, int64_t* wait_ms) {
  int64_t newest = 0;
  int64_t wait = -1;
  for (auto& [id, lv] : pump().owner) {
    if (lv != level) continue;
    int64_t due = Brek_runtime::timer_due(id);
    if (due < 0) continue;
    if (due <= now) {
      newest = std::max(newest, id);
    } else if (wait < 0 || due - now < wait) {
      wait = due - now;
    }
  }
  if (wait_ms) *wait_ms = wait;
  return newest;
}

}  // namespace

// ---- units ----

double C_Brek_form::pixels_per_inch() { return native_forms().pixels_per_inch(); }

int64_t C_Brek_form::points_to_pixels(double points) {
  return brek_platform::points_to_pixels(points, pixels_per_inch());
}

double C_Brek_form::pixels_to_points(double pixels) {
  return brek_platform::pixels_to_points(pixels, pixels_per_inch());
}

// ---- handles ----

Ref<C_Form> C_Brek_form::form_of(int64_t handle) {
  if (handle == 0) return Ref<C_Form>();
  auto& t = form_table();
  auto it = t.find(handle);
  return it == t.end() ? Ref<C_Form>() : it->second.lock();
}

Ref<C_Control> C_Brek_form::control_of(int64_t handle) {
  if (handle == 0) return Ref<C_Control>();
  auto& t = control_table();
  auto it = t.find(handle);
  return it == t.end() ? Ref<C_Control>() : it->second.lock();
}

void C_Brek_form::register_control(int64_t handle, const Ref<C_Control>& control) {
  if (handle == 0) return;
  control_table()[handle] = control;
}

void C_Brek_form::forget_control(int64_t handle) {
  if (handle != 0) control_table().erase(handle);
}

void C_Brek_form::install_event_receiver() {
  if (&brek_platform::form_events() != &g_receiver) brek_platform::set_form_events(&g_receiver);
  // The platform's windows show popup menus as the menu parser builds them.
  brek_platform::set_popup_menu_shower([](brek_platform::Native_handle form, const std::vector<std::string>& lines) {
    C_Menu::popup(form, lines);
  });
}

// ---- form and application ----

int64_t C_Brek_form::create_form(C_Form* form) {
  if (!form || form->is_none()) return 0;
  install_event_receiver();
  brek_platform::Form_desc desc;
  Ref<C_Screen> s = form->screen.lock();
  desc.font_name = s->font_name;
  desc.font_size = s->font_size;
  int64_t h = native_forms().create_form(desc);
  if (h != 0) form_table()[h] = Ref<C_Form>(form);
  return h;
}

void C_Brek_form::destroy_form(int64_t form) {
  if (form == 0) return;
  form_table().erase(form);
  marked_table().erase(form);
  native_forms().destroy_form(form);
}

void C_Brek_form::forget_form(int64_t form) {
  if (form == 0) return;
  form_table().erase(form);
  marked_table().erase(form);
}

void C_Brek_form::set_marked_panel(int64_t form, int64_t panel) {
  if (form == 0) return;
  if (panel == 0)
    marked_table().erase(form);
  else
    marked_table()[form] = panel;
}

int64_t C_Brek_form::marked_panel(int64_t form) {
  auto it = marked_table().find(form);
  return form == 0 || it == marked_table().end() ? 0 : it->second;
}

int64_t C_Brek_form::window_handle(int64_t form) { return form == 0 ? 0 : native_forms().window_handle(form); }

void C_Brek_form::set_taskbar_button(int64_t form, bool on) {
  if (form != 0) native_forms().set_taskbar_button(form, on);
}

void C_Brek_form::remember_main_window(int64_t form) {
  g_main_window = form;
  native_forms().remember_main_window(form);
}

int64_t C_Brek_form::main_window() { return g_main_window; }

void C_Brek_form::relayout_for_control(const Ref<C_Control>& control) {
  Ref<C_Form> form = control->form.lock();
  if (form.is_none()) return;
  Current_control_scope current(form, control);
  form->request_relayout();
}

void C_Brek_form::relayout_native(const Ref<C_Form>& form) {
  if (form->native != 0 && form->update_count <= 0) form->relayout();
}

std::string C_Brek_form::get_caption(int64_t form) { return form == 0 ? std::string() : native_forms().get_caption(form); }

void C_Brek_form::set_caption(int64_t form, const std::string& text) {
  if (form != 0) native_forms().set_caption(form, text);
}

rect C_Brek_form::get_bounds(int64_t form) { return form == 0 ? rect() : from_native(native_forms().get_bounds(form)); }
double C_Brek_form::get_left(int64_t form) { return get_bounds(form).x; }
double C_Brek_form::get_top(int64_t form) { return get_bounds(form).y; }
double C_Brek_form::get_width(int64_t form) { return get_bounds(form).w; }
double C_Brek_form::get_height(int64_t form) { return get_bounds(form).h; }

void C_Brek_form::set_position(int64_t form, double left, double top) {
  if (form == 0) return;
  native_forms().set_position(form, left, top);
  Event_routing::moved(form_of(form));
}

void C_Brek_form::set_size(int64_t form, double width, double height) {
  if (form != 0) native_forms().set_size(form, width, height);
}

void C_Brek_form::set_min_size(int64_t form, double width, double height) {
  if (form != 0) native_forms().set_min_size(form, width, height);
}

void C_Brek_form::set_bounds(int64_t form, const rect& r) {
  if (form != 0) native_forms().set_bounds(form, brek_platform::Rect_pt{r.x, r.y, r.w, r.h});
}

rect C_Brek_form::get_window_rect(int64_t form) {
  return form == 0 ? rect() : from_native(native_forms().get_window_rect(form));
}

void C_Brek_form::set_window_rect(int64_t form, const rect& r) {
  if (form == 0) return;
  native_forms().set_window_rect(form, brek_platform::Rect_pt{r.x, r.y, r.w, r.h});
  Event_routing::moved(form_of(form));
}

double C_Brek_form::get_client_width(int64_t form) { return form == 0 ? 0.0 : native_forms().client_size(form).x; }
double C_Brek_form::get_client_height(int64_t form) { return form == 0 ? 0.0 : native_forms().client_size(form).y; }

void C_Brek_form::set_client_size(int64_t form, double width, double height) {
  if (form != 0) native_forms().set_client_size(form, width, height);
}

point C_Brek_form::client_origin(int64_t form) {
  return form == 0 ? point() : from_native(native_forms().client_origin(form));
}

int C_Brek_form::get_window_state(int64_t form) { return form == 0 ? 0 : native_forms().get_window_state(form); }

void C_Brek_form::set_window_state(int64_t form, int state) {
  if (form != 0 && state >= 0 && state <= 2) native_forms().set_window_state(form, state);
}

bool C_Brek_form::can_full_screen(int64_t form) { return form != 0 && native_forms().can_full_screen(form); }
bool C_Brek_form::frame_known(int64_t form) { return form == 0 || native_forms().frame_known(form); }

bool C_Brek_form::is_full_screen(int64_t form) { return form != 0 && native_forms().is_full_screen(form); }
bool C_Brek_form::set_full_screen(int64_t form, bool on) {
  return form != 0 && native_forms().set_full_screen(form, on);
}

void C_Brek_form::close_form(int64_t form) {
  if (form == 0) return;
  // What the window system asks while this runs is the program's own close.
  Ref<C_Form> f = form_of(form);
  if (f.is_none()) {
    native_forms().close_form(form);
    return;
  }
  struct Mark {
    Ref<C_Form> f;
    uint8_t old;
    ~Mark() { f->input.closing_by_program = old; }
  } mark{f, f->input.closing_by_program};
  f->input.closing_by_program = 1;
  native_forms().close_form(form);
}

bool C_Brek_form::is_form_visible(int64_t form) { return form != 0 && native_forms().is_form_visible(form); }

bool C_Brek_form::form_hidden_mark(int64_t form) {
  return form != 0 && form_of(form)->input.hidden_by_program != 0;
}

void C_Brek_form::set_form_visible(int64_t form, bool visible) {
  if (form == 0) return;
  Ref<C_Form> f = form_of(form);
  if (!f.is_none()) f->input.hidden_by_program = visible ? 0 : 1;
  native_forms().set_form_visible(form, visible);
}

void C_Brek_form::set_form_enabled(int64_t form, bool enabled) {
  if (form != 0) native_forms().set_form_enabled(form, enabled);
}

void C_Brek_form::set_form_owner(int64_t form, int64_t owner) {
  if (form != 0) native_forms().set_form_owner(form, owner);
}

void C_Brek_form::set_border_kind(int64_t form, int kind) {
  if (form != 0) native_forms().set_border_kind(form, kind);
}

void C_Brek_form::set_bevel(int64_t form, int bevel) {
  if (form != 0) native_forms().set_bevel(form, bevel);
}

int C_Brek_form::transparency_alpha(double value) {
  if (std::isnan(value)) return 255;
  double scaled = value * 255.0;
  if (scaled >= 255.0) return 255;  // fully transparent would lose the window: opaque again
  if (scaled <= 0.0) return 255;
  int alpha = 255 - static_cast<int>(Brek_runtime::round_to_int64_checked(scaled));
  return alpha < 1 ? 255 : alpha;
}

void C_Brek_form::set_transparency(int64_t form, double value) {
  if (form != 0) native_forms().set_window_alpha(form, transparency_alpha(value));
}

void C_Brek_form::set_form_colors(int64_t form, int64_t background, int64_t foreground) {
  if (form != 0) native_forms().set_form_colors(form, rgb_of(background), rgb_of(foreground));
}

void C_Brek_form::center_form(int64_t form, int64_t owner) {
  if (form == 0 || owner == 0) return;
  rect f = get_bounds(form);
  rect o = get_bounds(owner);
  int64_t dx = Brek_runtime::int64_div(points_to_pixels(o.w) - points_to_pixels(f.w), 2);
  int64_t dy = Brek_runtime::int64_div(points_to_pixels(o.h) - points_to_pixels(f.h), 2);
  native_forms().set_position(form, o.x + pixels_to_points(static_cast<double>(dx)),
                              o.y + pixels_to_points(static_cast<double>(dy)));
}

void C_Brek_form::set_default_font(const Ref<C_Screen>& screen, const std::string& name, double size) {
  if (screen.is_none()) return;
  screen->font_name = name;
  screen->font_size = size;
}

void C_Brek_form::begin_update(int64_t form) {
  if (form != 0) native_forms().begin_update(form);
}

void C_Brek_form::end_update(int64_t form) {
  if (form != 0) native_forms().end_update(form);
}

void C_Brek_form::run_modal(const Ref<C_Form>& dialog, const Ref<C_Form>& owner) {
  if (dialog.is_none() || dialog->native == 0) return;
  // The owner's events run normally while the dialog is open: its depth
  // and menu key are set aside, and so is a key down in progress. The
  // dialog's own work is timed from its own events (Modal_run).
  Modal_run modal(dialog->screen.lock(), owner);
  struct Saved {
    Ref<C_Form> owner;
    std::string menu_key;
    int64_t depth;
    bool key_down;
    ~Saved() {
      owner->menu_key = menu_key;
      owner->event_depth = depth;
      Event_routing::set_key_down_running(key_down);
    }
  } saved{owner, owner->menu_key, owner->event_depth, Event_routing::key_down_running()};
  if (!owner.is_none()) {
    owner->menu_key.clear();
    owner->event_depth = 0;
  }
  Event_routing::set_key_down_running(false);
  native_forms().run_modal(dialog->native, owner.is_none() ? 0 : owner->native);
}

bool C_Brek_form::message_box(int64_t form, const std::string& text) { return native_forms().message_box(form, text); }

void C_Brek_form::show_message(int64_t form, const std::string& text) { native_forms().show_message(form, text); }

void C_Brek_form::modal_run_begins(int64_t owner) { native_forms().modal_run_begins(owner); }

void C_Brek_form::modal_run_ended() { native_forms().modal_run_ended(); }

void C_Brek_form::process_messages() {
  Pump_state& p = pump();
  int level = ++p.level;
  struct Leave {
    ~Leave() { pump().level -= 1; }
  } leave;
  claim_timers(level);
  int64_t wait = -1;
  int64_t due = own_due_timer(level, Brek_runtime::tick_count_ms(), &wait);
  if (due == 0 && wait > 0)
    native_forms().wait_for_events(static_cast<int>(std::min<int64_t>(wait, INT_MAX)));
  else
    native_forms().process_messages();
  due = own_due_timer(level, Brek_runtime::tick_count_ms(), nullptr);
  if (due != 0) throw Timer_due_exception(due);
}

void C_Brek_form::pump_messages() { native_forms().process_messages(); }

void C_Brek_form::main_loop_turn() {
  native_forms().wait_for_events(-1);
  native_forms().run_deferred_deletions();
  // No loop runs below the main loop: a due timer claimed by one is left
  // over from a loop that was abandoned, and nobody waits for it any more.
  if (pump().level != 0) return;
  int64_t now = Brek_runtime::tick_count_ms();
  auto& owner = pump().owner;
  for (auto it = owner.begin(); it != owner.end();) {
    int64_t due = Brek_runtime::timer_due(it->first);
    if (due < 0 || due <= now) {
      if (due >= 0) Brek_runtime::remove_timer(it->first);
      it = owner.erase(it);
    } else {
      ++it;
    }
  }
}

void C_Brek_form::terminate_application() {
  native_forms().set_application_terminated(true);
  Event_routing::set_terminating(true);
}

void C_Brek_form::reset_application() {
  native_forms().set_application_terminated(false);
  Event_routing::set_terminating(false);
}

bool C_Brek_form::application_terminated() { return native_forms().application_terminated(); }

double C_Brek_form::now() { return Date_time::now_ms(); }

uint8_t C_Brek_form::form_mouse_buttons(int64_t form) { return form == 0 ? 0 : form_of(form)->input.button; }
point C_Brek_form::pointer_point(int64_t form) { return form == 0 ? point() : form_of(form)->input.pointer; }
point C_Brek_form::drop_point(int64_t form) { return form == 0 ? point() : form_of(form)->input.drop_point; }
double C_Brek_form::wheel_amount(int64_t form) { return form == 0 ? 0.0 : form_of(form)->input.wheel_amount; }
double C_Brek_form::wheel_extra(int64_t form) { return form == 0 ? 0.0 : form_of(form)->input.wheel_extra; }

point C_Brek_form::mouse_position(int64_t form) {
  if (form == 0) return {};
  point cursor = from_native(native_forms().cursor_position());
  point origin = from_native(native_forms().client_origin(form));
  return {cursor.x - origin.x, cursor.y - origin.y};
}

point C_Brek_form::cursor_position() { return from_native(native_forms().cursor_position()); }

double C_Brek_form::screen_origin(const std::string& letter, int64_t form) {
  if (form == 0) return 0;
  brek_platform::Point_pt o = native_forms().client_origin(form);
  return contains(letter, 'X') ? o.x : o.y;
}

double C_Brek_form::client_extent(const std::string& letter, int64_t form) {
  if (form == 0) return 0;
  brek_platform::Point_pt s = native_forms().client_size(form);
  return contains(letter, 'W') ? s.x : s.y;
}

void C_Brek_form::popup_menu(int64_t form, const std::string& menu_text) {
  if (form == 0) return;
  std::vector<std::string> lines;
  for (const std::string& line : NATIVE_String_functions::split(menu_text, "\r\n")) {
    std::string t = NATIVE_String_functions::trim(line);
    if (!t.empty()) lines.push_back(t);
  }
  Ref<C_Form> f = form_of(form);
  f->update_count += 1;  // relayouts wait while the menu is open
  struct Lower {
    Ref<C_Form>& f;
    ~Lower() { f->update_count -= 1; }
  } lower{f};
  native_forms().popup_menu(form, lines);
}

Ref<C_Control> C_Brek_form::active_control(int64_t form) {
  return form == 0 ? Ref<C_Control>() : control_of(native_forms().active_control(form));
}

void C_Brek_form::set_active_control(int64_t control) {
  if (control != 0) native_forms().set_active_control(control);
}

void C_Brek_form::set_default_button(int64_t form, int64_t button) {
  if (form != 0) native_forms().set_default_button(form, button);
}

void C_Brek_form::set_cancel_button(int64_t form, int64_t button) {
  if (form != 0) native_forms().set_cancel_button(form, button);
}

// ---- columns ----

int64_t C_Brek_form::new_column(int64_t form, int layout_kind, int64_t host, double extent, double size) {
  if (form == 0) return 0;
  brek_platform::Column_desc desc;
  desc.layout_kind = layout_kind;
  desc.host = host;
  desc.extent = extent;
  desc.size = size;
  return native_forms().new_column(form, desc);
}

void C_Brek_form::set_current_column(int64_t form, int64_t column) {
  if (form != 0) native_forms().set_current_column(form, column);
}

int64_t C_Brek_form::current_column(int64_t form) { return form == 0 ? 0 : native_forms().current_column(form); }

bool C_Brek_form::column_visible(int64_t column) { return column != 0 && native_forms().is_column_visible(column); }
bool C_Brek_form::column_hidden(int64_t column) { return column != 0 && !native_forms().is_column_visible(column); }

void C_Brek_form::set_column_visible(int64_t column, bool visible) {
  if (column != 0) native_forms().set_column_visible(column, visible);
}

layout_on_form C_Brek_form::column_layout_kind(int64_t column) {
  if (column == 0) return layout_on_form::CENTER;
  int kind = native_forms().column_desc(column).layout_kind;
  return kind >= 0 && kind <= 4 ? static_cast<layout_on_form>(kind) : layout_on_form::CENTER;
}

int64_t C_Brek_form::column_host(int64_t column) { return column == 0 ? 0 : native_forms().column_desc(column).host; }
double C_Brek_form::column_extent(int64_t column) { return column == 0 ? 0.0 : native_forms().column_desc(column).extent; }

int64_t C_Brek_form::column_control_count(int64_t column) { return column == 0 ? 0 : native_forms().column_control_count(column); }

Ref<C_Control> C_Brek_form::column_control(int64_t column, int64_t index) {
  if (column == 0 || index < 0 || index > INT_MAX) return Ref<C_Control>();
  return control_of(native_forms().column_control(column, static_cast<int>(index)));
}

void C_Brek_form::set_column_content_height(int64_t column, double height) {
  if (column != 0) native_forms().set_column_content_height(column, height);
}

void C_Brek_form::destroy_column(int64_t column) {
  if (column != 0) native_forms().destroy_column(column);
}

// ---- controls ----

void C_Brek_form::destroy_control(int64_t control) {
  if (control == 0) return;
  control_table().erase(control);
  native_forms().destroy_control(control);
}

int64_t C_Brek_form::control_column(int64_t control) { return control == 0 ? 0 : native_forms().control_column(control); }

bool C_Brek_form::control_column_visible(int64_t control) { return column_visible(control_column(control)); }

// Fonts belong to the controls' side, which knows standard controls and
// painted ones alike.
std::string C_Brek_form::get_font_style(int64_t control) { return Control_bridge::get_font_style(control); }

void C_Brek_form::set_font_style(int64_t control, const std::string& letters) {
  Control_bridge::set_font_style(control, letters);
}

void C_Brek_form::set_font_name(int64_t control, const std::string& name) {
  Control_bridge::set_font_name(control, name);
}

void C_Brek_form::set_font_size(int64_t control, double size) { Control_bridge::set_font_size(control, size); }

}  // namespace brek
