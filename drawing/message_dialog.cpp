#include "drawing/message_dialog.h"

#include <algorithm>
#include <cmath>

#include "baselib/localize_str.h"
#include "forms/control_bridge.h"
#include "forms/placement.h"
#include "forms/screen.h"
#include "platform/native_forms.h"

namespace brek {

namespace {

constexpr double WIDTH = 300;
constexpr double HEIGHT = 140;

}  // namespace

void C_Message_dialog::build(const Ref<C_Form>& over, const std::string& text, bool question) {
  if (is_none()) return;
  Ref<C_Form> self(this);
  // Placed here, centred without the owner-size rule of other dialogs.
  center_on_owner = 0;
  begin_update();
  new_column("C2", layout_on_form::BOTTOM, St_sizes_col__C_Form());
  set_controls_layout("C2", controls_layout::CONTROLS_CENTER);
  Ref<C_Button> first;
  if (question) {
    yes_button = C_Button::new_on_form(self, "Y", Localize_str::text(lng::Form_containing_controls::Yes));
    yes_button->set_default();
    no_button = C_Button::new_on_form(self, "N", Localize_str::text(lng::Form_containing_controls::No));
    no_button->set_cancel();
    first = yes_button;
  } else {
    ok_button = C_Button::new_on_form(self, "OK", Localize_str::text(lng::Form_containing_controls::Ok));
    ok_button->set_default();
    ok_button->set_cancel();
    first = ok_button;
  }
  new_column("C1", layout_on_form::CENTER, St_sizes_col__C_Form());
  // Read-only, and wrapping what no screen is wide enough for rather than
  // hiding it to the right.
  text_memo = C_Memo::new_on_form(self, "M1", 1 | 2);
  text_memo->set_stretch(true);
  text_memo->set_all_text(text);
  end_update();
  // The title the platform's message boxes carry.
  set_caption(brek_platform::native_forms().application_title());

  const double width = over->message_size.x > 0 ? over->message_size.x : WIDTH;
  const double height = over->message_size.y > 0 ? over->message_size.y : HEIGHT;
  set_size(sizing_options::SIZE_AS_IS, height, width);
  if (!over.is_none() && over->native != 0) {
    rect o = over->get_bounds();
    set_position(positioning::KEEP_ON_SCREEN, o.y + (o.h - height) / 2, o.x + (o.w - width) / 2);
  } else {
    set_position(positioning::CENTER_ON_SCREEN, 0, 0);
  }
  // Wider for a longer line, so that no line needs scrolling to be read.
  fit_lines();
  set_focus(first);
}

void C_Message_dialog::fit_lines() {
  if (is_none() || native == 0 || text_memo.is_none() || fitting_) return;
  double need = 0;
  for (int64_t i = 0; i < text_memo->line_count(); ++i)
    need = std::max(need, Control_bridge::text_width(text_memo->native, text_memo->get_line(i)));
  const double lack = std::ceil(need - Control_bridge::text_room(text_memo->native));
  if (!(lack > 0)) return;
  Placement::refresh_monitors();
  const std::vector<rect> monitors = Placement::monitor_rects();
  if (monitors.empty()) return;
  const rect b = get_bounds();
  const rect work = Placement::monitor_work_area(Placement::best_monitor(monitors, b));
  const double width = std::min(b.w + lack, work.w);
  if (!(width > b.w)) return;
  fitting_ = true;
  // Grown about its middle, then kept on the monitor.
  set_size(sizing_options::SIZE_AS_IS, b.h, width);
  set_position(positioning::KEEP_ON_SCREEN, b.y, b.x - (width - b.w) / 2);
  fitting_ = false;
}

void C_Message_dialog::on_shown() {
  C_Dialog_common::on_shown();
  fit_lines();
}

void C_Message_dialog::destroy_hook() {
  if (!is_none()) {
    text_memo.reset();
    ok_button.reset();
    yes_button.reset();
    no_button.reset();
  }
  C_Dialog_common::destroy_hook();
}

bool C_Message_dialog::run(const Ref<C_Form>& over, const std::string& text, bool question) {
  Ref<C_Message_dialog> d = make<C_Message_dialog>();
  d->build(over, text, question);
  std::string result = d->show_modal(over);
  dispose_now(d);
  return question && result == "Y";
}

void C_Message_dialog::install() {
  if (!C_Screen::has_own_dialog()) C_Screen::set_own_dialog(run);
}

}  // namespace brek
