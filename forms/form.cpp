#include "forms/form.h"

#include "baselib/string_functions.h"
#include "forms/form_bridge.h"
#include "runtime/runtime_services.h"

namespace brek {

namespace {

// Releases every element after the list is already empty, so that hooks
// run by the releases never see a list half cleared.
template <class A>
void release_all(A& list) {
  A old;
  old = std::move(list);
}

}  // namespace

C_Form::C_Form() {
  if (!detail::constructing_none()) screen = C_Screen::current();
}

C_Form::~C_Form() = default;

void C_Form::init() {
  Brek_object::init();
  if (is_none()) return;
  Ref<C_Form> self(this);
  uint8_t saved = creating;
  creating = 1;
  native = C_Brek_form::create_form(this);
  screen.lock()->add_form(self);
  creating = saved;
}

void C_Form::destroy_hook() {
  destroy_native();
  Brek_object::destroy_hook();
}

void C_Form::destroy_native() {
  destroying = 1;
  if (!is_none()) {
    default_button.reset();
    cancel_button.reset();
    current_control_.reset();
  }
  release_all(layout_lists[0]);
  release_all(layout_lists[1]);
  column_names.clear();
  column_handles.clear();
  column_layouts.clear();
  column_sizes.clear();
  column_hosts.clear();
  column_controls.clear();
  release_all(controls);
  if (native != 0) {
    int64_t h = native;
    native = 0;
    C_Brek_form::destroy_form(h);
  }
  // This form reads as None while it is disposed, and so do the screen's
  // entries for it.
  Ref<C_Screen> s = screen.lock();
  for (int64_t i = s->forms.count() - 1; i >= 0; --i)
    if (s->forms.get(i).is_none()) s->forms.remove(i, 1);
  release_all(controls);
  screen.reset();
  event_queue.clear();
  dispatch_list.clear();
  saved_controls.clear();
  saved_kinds.clear();
  key_info = St_key_info__C_Form();
  modal_child.reset();
  owner.reset();
}

// ---- virtual operations ----

void C_Form::close_window() {
  if (is_none() || !modal_child.is_none()) return;
  C_Brek_form::close_form(native);
  closed = 1;
}

void C_Form::show() {
  if (is_none() || native == 0) return;
  hidden_by_program = 0;
  const bool was_hidden = !is_visible();
  C_Brek_form::set_form_visible(native, true);
  // Only the placement this show put on the screen is made again: now,
  // or once a manager that frames windows late framed this one.
  if (was_hidden)
    refit_framed();
  else
    refit_when_framed = 0;
}

void C_Form::hide_window() {
  if (is_none() || native == 0) return;
  refit_when_framed = 0;
  C_Brek_form::set_form_visible(native, false);
}

void C_Form::close() {
  if (is_none()) return;
  hidden_by_program = 1;
  screen.lock()->remove_form(Ref<C_Form>(this));
}

// ---- current event ----

void C_Form::set_current_control(const Ref<C_Control>& control) {
  if (is_none()) return;
  current_control_ = control;
}

Current_control_scope::Current_control_scope(const Ref<C_Form>& form, const Ref<C_Control>& control)
    : form_(form), saved_(form->current_control()) {
  form_->set_current_control(control);
}

Current_control_scope::~Current_control_scope() { form_->set_current_control(saved_); }

std::string C_Form::event_control_name() const {
  std::string n = current_control_.get()->name;
  return n.empty() ? menu_key : n;
}

// ---- native window ----

std::string C_Form::get_caption() { return C_Brek_form::get_caption(native); }

void C_Form::set_caption(const std::string& text) {
  if (is_none() || native == 0) return;
  caption = text;
  C_Brek_form::set_caption(native, text);
}

void C_Form::set_border_kind(uint8_t kind) {
  if (is_none()) return;
  border_kind = kind;
  C_Brek_form::set_border_kind(native, kind);
}

void C_Form::set_bevel(uint8_t value) {
  if (is_none()) return;
  bevel = value;
  C_Brek_form::set_bevel(native, value);
}

void C_Form::set_transparency(double value) { C_Brek_form::set_transparency(native, value); }

void C_Form::set_colors(int64_t foreground, int64_t background) {
  if (is_none()) return;
  colors_set = 1;
  colors[0] = foreground;
  colors[1] = background;
  C_Brek_form::set_form_colors(native, background, foreground);
}

rect C_Form::get_bounds() { return C_Brek_form::get_bounds(native); }
void C_Form::set_bounds(const rect& r) { C_Brek_form::set_bounds(native, r); }
double C_Form::get_left() { return C_Brek_form::get_left(native); }
double C_Form::get_top() { return C_Brek_form::get_top(native); }
double C_Form::get_width() { return C_Brek_form::get_width(native); }
double C_Form::get_height() { return C_Brek_form::get_height(native); }

void C_Form::set_left(double left) { set_position(positioning::POSITION_AS_IS, get_top(), left); }

void C_Form::set_top(double top) { set_position(positioning::POSITION_AS_IS, top, get_left()); }

void C_Form::set_width(double width) { set_size(sizing_options::SIZE_AS_IS, get_height(), width); }

void C_Form::set_height(double height) { set_size(sizing_options::SIZE_AS_IS, height, get_width()); }

void C_Form::set_min_size(double width, double height) { C_Brek_form::set_min_size(native, width, height); }
double C_Form::get_client_width() { return C_Brek_form::get_client_width(native); }
double C_Form::get_client_height() { return C_Brek_form::get_client_height(native); }
point C_Form::client_origin() { return C_Brek_form::client_origin(native); }

void C_Form::set_client_size(double height, double width) {
  C_Brek_form::set_client_size(native, width, height);
}

bool C_Form::is_visible() { return native != 0 && C_Brek_form::is_form_visible(native); }
bool C_Form::is_closed() { return C_Brek_form::form_hidden_mark(native); }
int C_Form::get_window_state() { return C_Brek_form::get_window_state(native); }

void C_Form::set_window_state(state_of_form state) {
  C_Brek_form::set_window_state(native, static_cast<int>(state));
}

// ---- screen ----

void C_Form::message(const std::string& text) { screen.lock()->message(Ref<C_Form>(this), text); }

bool C_Form::ask(const std::string& text) { return screen.lock()->ask_yes_no(Ref<C_Form>(this), text); }

void C_Form::popup_menu(const std::string& menu_text) {
  if (is_none() || !modal_child.is_none()) return;
  std::string text = NATIVE_String_functions::trim(menu_text);
  if (text.empty()) return;
  screen.lock()->popup_menu(Ref<C_Form>(this), text);
}

// ---- columns ----

void C_Form::new_column(const std::string& name, layout_on_form layout, const St_sizes_col__C_Form& sizes) {
  if (is_none()) return;
  int64_t host = sizes.inside.empty() ? 0 : column_handle(sizes.inside);
  double size = sizes.size > 0 ? sizes.size : 200.0;  // NaN fails the test too
  int64_t h = C_Brek_form::new_column(native, static_cast<int>(layout), host, sizes.extent, size);
  column_handles.append(h);
  column_names.append(name);
  column_layouts.append(static_cast<uint8_t>(layout));
  column_sizes.append(sizes);
  column_hosts.append(host);
  column_controls.append(static_cast<uint8_t>(controls_layout::CONTROLS_LEFT));
  current_column = name;
  C_Brek_form::set_current_column(native, h);
  size_new_column(h, layout, size);
}

void C_Form::ensure_column() {
  if (is_none() || column_names.count() > 0) return;
  new_column("", layout_on_form::CENTER, St_sizes_col__C_Form());
}

void C_Form::set_current_column(const std::string& name) {
  if (is_none()) return;
  current_column = name;
  C_Brek_form::set_current_column(native, column_handle(name));
}

int64_t C_Form::column_handle(const std::string& name) const {
  return column_handles.get(column_names.index_of(name));
}

layout_on_form C_Form::column_layout(const std::string& name) const {
  return static_cast<layout_on_form>(column_layouts.get(column_names.index_of(name)));
}

bool C_Form::column_shown(const std::string& name) { return C_Brek_form::column_visible(column_handle(name)); }

void C_Form::set_column_shown(const std::string& name, bool shown) {
  C_Brek_form::set_column_visible(column_handle(name), shown);
}

void C_Form::set_font(const Ref<Brek_object>& object, const std::string& name, double size) {
  Ref<C_Screen> s = ref_cast<C_Screen>(object);
  if (!s.is_none()) {
    C_Brek_form::set_default_font(s, name, size);
    return;
  }
  Ref<C_Control> c = ref_cast<C_Control>(object);
  if (c.is_none()) return;
  C_Brek_form::set_font_name(c->native, name);
  C_Brek_form::set_font_size(c->native, size);
}

// ---- focus and buttons ----

Ref<C_Control> C_Form::active_control() { return C_Brek_form::active_control(native); }

void C_Form::set_focus(const Ref<C_Control>& control) {
  if (is_none() || control.is_none()) return;
  C_Brek_form::set_active_control(control->native);
  control->on_focus_set();
  request_relayout();
}

void C_Form::set_default_button(const Ref<C_Control>& button) {
  if (is_none()) return;
  Ref<C_Control> old = default_button;
  if (!old.is_none()) {
    std::string style = C_Brek_form::get_font_style(old->native);
    std::string without;
    for (char c : style)
      if (c != 'B') without += c;
    C_Brek_form::set_font_style(old->native, without);
  }
  C_Brek_form::set_default_button(native, button->native);
  default_button = button;
  if (!button.is_none()) {
    std::string style = C_Brek_form::get_font_style(button->native);
    if (style.find('B') == std::string::npos) style += "B";
    C_Brek_form::set_font_style(button->native, style);
  }
}

void C_Form::set_cancel_button(const Ref<C_Control>& button) {
  if (is_none()) return;
  cancel_button = button;
  C_Brek_form::set_cancel_button(native, button->native);
}

point C_Form::cursor_position() { return C_Brek_form::cursor_position(); }

// ---- layout ----

void C_Form::request_relayout() {
  if (is_none()) return;
  select_count += 1;
  on_select();
  relayout();
}

void C_Form::begin_update() {
  if (is_none()) return;
  update_count += 1;
  if (update_count == 1) C_Brek_form::begin_update(native);
}

void C_Form::end_update() {
  if (is_none() || update_count <= 0) return;  // an unmatched end changes nothing
  update_count -= 1;
  if (update_count != 0) return;
  C_Brek_form::end_update(native);
  if (!layout_pending) return;
  layout_pending = 0;
  update_count = -1;
  C_Brek_form::begin_update(native);
  try {
    relayout();
  } catch (...) {
    C_Brek_form::end_update(native);
    update_count = 0;
    throw;
  }
  C_Brek_form::end_update(native);
  update_count = 0;
  realign_columns();
}

void C_Form::process_messages() {
  if (is_none() || process_depth != 0) return;
  Ref<C_Form> keep(this);
  process_depth += 1;
  try {
    C_Brek_form::process_messages();
  } catch (...) {
    process_depth -= 1;
    throw;
  }
  process_depth -= 1;
}

}  // namespace brek
