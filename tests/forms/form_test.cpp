#include <gtest/gtest.h>

#include <cmath>

#include "forms_test_support.h"

using namespace forms_test;

namespace {

class Form_test : public Forms_test {};

// A dialog whose modal loop is running.
class Modal_form : public Log_form {
  BREK_CLASS(Modal_form)
 public:
  bool is_dialog() override { return true; }
  bool in_modal_loop() override { return true; }
};

}  // namespace

TEST_F(Form_test, WithoutANativeWindowEveryOperationIsHarmless) {
  brek_platform::set_native_forms(nullptr);  // the headless default
  auto f = new_form();
  EXPECT_EQ(f->native, 0);
  f->set_caption("Title");
  f->set_bounds({1, 2, 3, 4});
  f->set_left(5);
  f->set_width(50);
  f->set_transparency(0.5);
  f->show();
  f->set_window_state(state_of_form::MAXIMIZED);
  EXPECT_EQ(f->get_caption(), "");
  EXPECT_EQ(f->caption, "");
  const rect r = f->get_bounds();
  EXPECT_EQ(r.x + r.y + r.w + r.h, 0);
  EXPECT_EQ(f->get_width(), 0);
  EXPECT_EQ(f->want_width, 0);
  EXPECT_EQ(f->get_client_height(), 0);
  EXPECT_FALSE(f->is_visible());
  EXPECT_FALSE(f->is_closed());
  EXPECT_EQ(f->get_window_state(), 0);
  EXPECT_TRUE(f->active_control().is_none());
  EXPECT_EQ(f->hidden_by_program, 0);
  f->relayout();  // no window: nothing to lay out, nothing marked
  EXPECT_EQ(f->layout_pending, 0);
  brek_platform::set_native_forms(&native);
}

TEST_F(Form_test, CaptionSizeAndVisibilityGoThroughTheNativeWindow) {
  auto f = new_form();
  ASSERT_NE(f->native, 0);
  EXPECT_EQ(screen->forms.count(), 1);
  f->set_caption("BrekView");
  EXPECT_EQ(f->get_caption(), "BrekView");
  EXPECT_EQ(f->caption, "BrekView");
  f->set_width(400);
  EXPECT_EQ(f->get_width(), 400);
  EXPECT_EQ(f->get_height(), 200);
  EXPECT_EQ(f->want_width, 400);
  f->set_transparency(0.5);
  EXPECT_EQ(native.windows[f->native].alpha, 127);
  f->hide_window();
  EXPECT_TRUE(f->is_closed());  // the hidden mark
  f->show();
  EXPECT_TRUE(f->is_visible());
  EXPECT_FALSE(f->is_closed());
}

TEST_F(Form_test, SecondDefaultButtonTakesTheBoldMark) {
  auto f = new_form();
  auto ok = new_control(f, "OK", 501);
  auto go = new_control(f, "GO", 502);
  native.font_styles[502] = "I";
  f->set_default_button(ok);
  EXPECT_EQ(native.font_styles[501], "B");
  f->set_default_button(go);
  EXPECT_EQ(native.font_styles[501], "");
  EXPECT_EQ(native.font_styles[502], "IB");
  EXPECT_EQ(f->default_button.get(), go.get());
}

TEST_F(Form_test, FontOfTheScreenOrOfAControl) {
  auto f = new_form();
  auto label = new_control(f, "L", 503);
  f->set_font(screen, "Arial", 10);
  EXPECT_EQ(screen->font_name, "Arial");
  EXPECT_EQ(screen->font_size, 10);
  native.calls.clear();
  f->set_font(label, "Arial", 10.5);
  f->set_font(label, "Arial", 11.5);
  f->set_font(label, "Arial", std::nan(""));
  EXPECT_EQ(native.calls, (std::vector<std::string>{"font_size 10", "font_size 12"}));
}

TEST_F(Form_test, CloseWindowWaitsForAModalDialog) {
  auto f = new_form();
  f->modal_child = make<Modal_form>();
  native.calls.clear();
  f->close_window();
  EXPECT_TRUE(native.calls.empty());
  EXPECT_EQ(f->closed, 0);
  f->modal_child.reset();
  f->close_window();
  EXPECT_EQ(native.calls, (std::vector<std::string>{"close_form"}));
  EXPECT_EQ(f->closed, 1);
}

TEST_F(Form_test, ModalDialogClosingIsOnlyHidden) {
  auto owner = new_form();
  auto dialog = make<Modal_form>();
  dialog->owner = owner;
  owner->modal_child = dialog;
  EXPECT_TRUE(Event_routing::close_query(dialog));
  EXPECT_TRUE(dialog->log.empty());  // let go without asking
  EXPECT_FALSE(Event_routing::closed(dialog));
  EXPECT_TRUE(owner->modal_child.is_none());
  EXPECT_NE(dialog->native, 0);
}

TEST_F(Form_test, ProcessMessagesDoesNotNest) {
  auto f = new_form();
  native.calls.clear();
  int inner = 0;
  native.on_process = [&] {
    ++inner;
    f->process_messages();
  };
  f->process_messages();
  EXPECT_EQ(inner, 1);
  EXPECT_EQ(f->process_depth, 0);
}

TEST_F(Form_test, LayoutWaitsForTheBatchAndTheEvent) {
  auto f = new_form();
  f->begin_update();
  f->begin_update();
  f->relayout();
  EXPECT_EQ(f->layout_pending, 1);
  native.calls.clear();
  f->end_update();
  EXPECT_TRUE(native.calls.empty());  // still inside the outer batch
  f->end_update();
  // Told of the end, then once more around the pending layout.
  EXPECT_EQ(native.calls, (std::vector<std::string>{"end_update", "begin_update", "end_update"}));
  EXPECT_EQ(f->layout_pending, 0);
  EXPECT_EQ(f->update_count, 0);
  f->end_update();  // unmatched: nothing changes
  EXPECT_EQ(f->update_count, 0);

  f->inside["click"] = [&] {
    f->relayout();
    EXPECT_EQ(f->layout_after_event, 1);
  };
  Event_routing::click(f, Ref<C_Control>(), {});
  EXPECT_EQ(f->layout_after_event, 0);
  EXPECT_EQ(native.windows[f->native].updates, 0);
}

TEST_F(Form_test, ColumnsAndControls) {
  auto f = new_form();
  f->ensure_column();
  EXPECT_EQ(f->column_names.count(), 1);
  f->ensure_column();  // only when there is none
  EXPECT_EQ(f->column_names.count(), 1);
  St_sizes_col__C_Form sizes;
  f->new_column("COL_1", layout_on_form::LEFT, sizes);
  f->new_column("COL_2", layout_on_form::BOTTOM, sizes);
  EXPECT_EQ(f->column_layout("COL_2"), layout_on_form::BOTTOM);
  EXPECT_NE(f->column_handle("COL_1"), 0);
  EXPECT_EQ(f->column_handle("NONE"), 0);
  auto a = new_control(f, "A");
  f->set_current_column("COL_1");
  auto b = new_control(f, "B");
  EXPECT_EQ(a->column, "COL_2");
  EXPECT_EQ(b->column, "COL_1");

  a->init();  // a second init moves it to the end, once
  ASSERT_EQ(f->controls.count(), 2);
  EXPECT_EQ(f->controls.get(1).get(), a.get());
  dispose_now(a);
  ASSERT_EQ(f->controls.count(), 1);
  EXPECT_EQ(f->controls.get(0).get(), b.get());
}

TEST_F(Form_test, PopupMenuText) {
  auto f = new_form();
  native.calls.clear();
  f->popup_menu("  \r\n ");
  EXPECT_TRUE(native.calls.empty());
  f->popup_menu(" OPEN:Open\r\n\r\n -\r\nEXIT:Exit \r\n");
  EXPECT_EQ(native.calls, (std::vector<std::string>{"popup [OPEN:Open][-][EXIT:Exit]"}));

  screen->menu_answer = "EXIT";
  f->popup_menu("EXIT:Exit");
  EXPECT_EQ(f->log, (std::vector<std::string>{"menu EXIT"}));
  EXPECT_EQ(f->menu_key, "");
}

TEST_F(Form_test, FormLeavesTheScreenWhenDisposed) {
  auto f = new_form();
  auto g = new_form();
  auto c = new_control(f, "C", 600);
  int64_t h = f->native;
  EXPECT_EQ(screen->forms.count(), 2);
  dispose_now(f);
  EXPECT_EQ(screen->forms.count(), 1);
  EXPECT_EQ(screen->forms.get(0).get(), g.get());
  EXPECT_EQ(native.windows.count(h), 0u);
  EXPECT_TRUE(C_Brek_form::form_of(h).is_none());
  EXPECT_TRUE(c->form.is_none());
  c.reset();  // the last holder goes: so does the handle
  EXPECT_TRUE(C_Brek_form::control_of(600).is_none());
}
