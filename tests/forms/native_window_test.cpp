// Forms on the platform's real window layer (offscreen), driven by input
// synthesized at native handles.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <algorithm>

#include "baselib/system_functions.h"
#include "forms/button.h"
#include "forms/control_bridge.h"
#include "forms/label.h"
#include "platform/control_input.h"
#include "platform/menu.h"
#include "runtime/clock.h"
#include "forms_test_support.h"
#include "platform/test_events.h"
#include "platform/window.h"
#include "runtime/exceptions.h"
#include "runtime/runtime_services.h"
#include "tests/support/on_window_layer.h"
#include "tests/support/wait_until.h"

using namespace forms_test;
namespace te = brek_platform::test_events;

namespace {

class Native_window : public ::testing::Test, protected brek_test::On_window_layer<> {
 protected:
  // A shown form with a centre column "C1" holding the control "TC" at
  // (12, 12), 60 x 30 points. Places are multiples of 3 points, whole
  // pixels at 96 pixels per inch.
  Ref<Log_form> form_with_control() {
    auto f = make<Log_form>();
    f->set_caption("Native");
    f->set_bounds({40, 40, 400, 300});
    f->new_column("C1", layout_on_form::CENTER, St_sizes_col__C_Form{300, 0, 0, 0, ""});
    control = make_on<Log_control>(f, "TC");
    control->native = te::add_control(f->native, {12, 12, 60, 30});
    C_Brek_form::register_control(control->native, control);
    f->show();
    // The window's activation comes as an event of its own, late on a
    // busy machine: it is over before the test's log starts.
    EXPECT_TRUE(te::wait_exposed(f->native));
    te::settle();
    f->log.clear();
    control->log.clear();
    return f;
  }

  Ref<Log_control> control;
};

using Log = std::vector<std::string>;

}  // namespace

TEST_F(Native_window, PointerEventsReachTheControlFirstThenTheForm) {
  auto f = form_with_control();
  int64_t column = f->column_handle("C1");
  ASSERT_NE(column, 0);

  te::click(column, {150, 99});
  EXPECT_EQ(f->log, (Log{"down", "click", "up"}));
  EXPECT_DOUBLE_EQ(f->mouse_position().x, 150);  // client points of the form
  EXPECT_DOUBLE_EQ(f->mouse_position().y, 99);

  f->log.clear();
  // The column's layout places the control; 6 x 9 points inside it.
  const brek_platform::Point_pt inside{control->get_left() + 6, control->get_top() + 9};
  te::click(column, inside);
  EXPECT_EQ(control->log, (Log{"down 6,9", "up 6,9"}));
  EXPECT_EQ(f->log, (Log{"down:TC", "click:TC", "up:TC"}));

  f->log.clear();
  control->log.clear();
  control->take = true;  // the control keeps its pointer events
  te::click(column, inside);
  EXPECT_EQ(f->log, (Log{"click:TC"}));

  f->log.clear();
  te::double_click(column, {200, 150});
  EXPECT_EQ(f->log, (Log{"down", "click", "up", "down", "double", "up"}));

  // A right button released over a control clicks it too.
  f->log.clear();
  control->take = false;
  te::click(column, inside, 2);
  EXPECT_EQ(f->log, (Log{"down:TC", "up:TC", "click:TC"}));
  EXPECT_EQ(f->mouse_buttons(), 2);
}

TEST_F(Native_window, WheelTurnsReachTheFormWithTheirAmount) {
  auto f = form_with_control();
  Brek_runtime::Test_clock clock;
  // The control with the focus has its wheel hook called first.
  te::focus(control->native);
  te::settle();
  te::wheel(f->native, {150, 120}, -120);
  EXPECT_EQ(f->log, (Log{"wheel -0.250000:TC"}));  // a notch is a quarter
  EXPECT_DOUBLE_EQ(f->mouse_position().x, 150);

  // The form's answer decides whether the platform scrolls.
  f->log.clear();
  control->log.clear();
  f->wheel_result = true;
  clock.advance(10);
  te::wheel(f->native, {150, 120}, 240);
  EXPECT_EQ(control->log, (Log{"wheel"}));
  EXPECT_EQ(f->log, (Log{"wheel 0.500000:TC"}));

  // Turns less than 2 ms apart arrive as one, a moment later.
  f->log.clear();
  clock.advance(10);
  te::wheel(f->native, {150, 120}, 120);
  te::wheel(f->native, {150, 120}, 120);
  te::wheel(f->native, {150, 120}, 120);
  EXPECT_TRUE(brek_test::wait_until([&] {
    te::settle();
    return f->log.size() >= 2;
  }));
  EXPECT_EQ(f->log, (Log{"wheel 0.250000:TC", "wheel 0.500000:TC"}));
}

TEST_F(Native_window, KeysArriveAsVirtualKeysWithTheirText) {
  auto f = form_with_control();
  te::key(f->native, 'A', {}, "a");
  EXPECT_EQ(f->log, (Log{"key_down A", "key_press a", "key_up"}));

  // With Ctrl held a letter's key text is still the upper-case letter.
  f->log.clear();
  brek_platform::Key_modifiers ctrl;
  ctrl.ctrl = true;
  te::key(f->native, 'S', ctrl, "\x13");
  ASSERT_FALSE(f->log.empty());
  EXPECT_EQ(f->log[0], "key_down S");
  EXPECT_EQ(f->key_info.ctrl, 1);

  // Each kind of key comes back with its code.
  struct Case {
    int vk;
    int64_t code;
    const char* text;
  };
  const Case cases[] = {{'7', '7', "7"}, {13, 13, "\r"}, {27, 27, ""}, {32, 32, " "}, {37, 37, ""},
                        {40, 40, ""},    {46, 46, ""},    {113, 113, ""}, {123, 123, ""}, {186, 0, ";"},
                        {222, 0, "'"},   {8, 8, "\b"}};
  for (const Case& c : cases) {
    f->log.clear();
    te::key_press(f->native, c.vk, {}, "");
    EXPECT_EQ(f->key_info.key_code, c.code) << c.vk;
    EXPECT_EQ(f->key_info.key_text, c.text) << c.vk;
    te::key_release(f->native, c.vk);
  }

  // Keys of a control name it; a key its handler takes stops there.
  f->log.clear();
  f->key_result = true;
  te::key(control->native, 'B', {}, "b");
  EXPECT_EQ(f->log, (Log{"key_down B:TC", "key_press b:TC", "key_up:TC"}));
}

TEST_F(Native_window, OnAGermanKeyboardTheDigitKeysAreKnownByTheirPlace) {
  auto f = form_with_control();
  // "&" is Shift+6 there and "(" Shift+8; "#" has a key of its own.
  const std::pair<const char*, const char*> cases[] = {{"&", "key_down 6"}, {"(", "key_down 8"}, {"#", "key_down "}};
  for (const auto& [typed, down] : cases) {
    f->log.clear();
    ASSERT_TRUE(te::german_key(f->native, typed));
    ASSERT_FALSE(f->log.empty());
    EXPECT_EQ(f->log[0], down) << typed;
    EXPECT_EQ(f->log[1], std::string("key_press ") + typed);
  }
}

TEST_F(Native_window, DroppedFilesBecomeTheCommandLineOnlyWhenAccepted) {
  auto f = form_with_control();
  std::string program = System_functions::param_str(0);
  System_functions::set_parameters(std::vector<std::string>{program, "old"});
  std::string long_name = "/tmp/" + std::string(300, 'x') + ".jpg";  // past any fixed buffer
  std::vector<std::string> files{"/tmp/Ünïcode dir/a b.jpg", long_name};

  te::drop_files(f->native, files, {120, 90});
  EXPECT_EQ(System_functions::param_str(1), "old");  // refused
  EXPECT_DOUBLE_EQ(f->drop_point().x, 120);
  EXPECT_DOUBLE_EQ(f->drop_point().y, 90);

  f->accept = true;
  // Dropped on the control, the files are still the form's.
  te::drop_files(f->column_handle("C1"), files, {20, 20});
  EXPECT_EQ(f->log, (Log{"command"}));
  EXPECT_EQ(System_functions::param_count(), 3);
  EXPECT_EQ(System_functions::param_str(0), program);
  EXPECT_EQ(System_functions::param_str(1), files[0]);
  EXPECT_EQ(System_functions::param_str(2), files[1]);
}

TEST_F(Native_window, CloseQueryRefusedThenAccepted) {
  auto f = form_with_control();
  int64_t h = f->native;
  f->keep_open = true;
  te::close(h);
  EXPECT_EQ(f->log, (Log{"close_query"}));
  EXPECT_TRUE(f->is_visible());
  EXPECT_EQ(f->close_reason, reason_closing::PROGRAM);

  f->keep_open = false;
  te::close(h);
  EXPECT_EQ(f->native, 0);
  EXPECT_EQ(screen->forms.count(), 0);
  // The handle names nothing any more, even before the widget is freed.
  EXPECT_FALSE(te::click(h, {10, 10}));
  EXPECT_EQ(brek_platform::native_forms().get_caption(h), "");
  te::settle();
}

TEST_F(Native_window, ClosingTheMainFormEndsRunForms) {
  auto f = make<Log_form>();
  auto other = make<Log_form>();
  // The main window closes itself from inside its own click handler: its
  // window must outlive the handler.
  f->inside["click"] = [&] { f->close_window(); };
  te::post_task([&] {
    f->log.clear();
    te::click(f->native, {21, 21});
  }, 20);
  te::post_task([&] { screen->terminate(); }, 10000);  // a safety net only
  screen->run_forms(f);
  EXPECT_FALSE(C_Screen::loop_running());
  EXPECT_EQ(f->log, (Log{"down", "click", "close_query"}));  // the release finds no window
  EXPECT_EQ(f->native, 0);
  EXPECT_TRUE(other->is_visible());  // every form was shown
  EXPECT_EQ(C_Brek_form::main_window(), 0);
}

TEST_F(Native_window, TheMainLoopFreesAWindowClosedFromItsOwnHandler) {
  auto main_form = make<Log_form>();
  auto f = make<Log_form>();
  f->inside["click"] = [&] { f->close_window(); };
  int before = -1, after_click = -1, later = -1;
  te::post_task([&] {
    before = te::native_window_count();
    te::click(f->native, {21, 21});
    after_click = te::native_window_count();
  }, 20);
  te::post_task([&] {
    later = te::native_window_count();
    screen->terminate();
  }, 300);
  te::post_task([&] { screen->terminate(); }, 10000);  // a safety net only
  screen->run_forms(main_form);
  EXPECT_EQ(f->native, 0);
  EXPECT_EQ(after_click, before);  // kept while its handler ran
  EXPECT_EQ(later, before - 1);    // freed by a later turn of the loop
}

TEST_F(Native_window, RunFormsWithoutFormsRunsUntilTerminated) {
  bool ran = false;
  te::post_task([&] {
    ran = C_Screen::loop_running();
    screen->terminate();
  });
  screen->run_forms(Ref<C_Form>());
  EXPECT_TRUE(ran);
}

TEST_F(Native_window, MessagesAndQuestions) {
  auto f = form_with_control();
  screen->auto_answer = 1;
  screen->auto_answer_value = 0;
  EXPECT_FALSE(f->ask("Delete?"));
  screen->auto_answer_value = 1;
  EXPECT_TRUE(f->ask("Delete?"));
  f->message("Nothing shown");
  EXPECT_FALSE(te::modal_window_open());

  screen->auto_answer = 0;
  te::answer_next_message(false);
  EXPECT_FALSE(f->ask("Delete?"));
  te::answer_next_message(true);
  EXPECT_TRUE(f->ask("Delete?"));

  // The message box is centred over the form, never left of it or above it.
  brek_platform::Rect_pt where;
  te::answer_next_message(true, &where);
  f->message("Saved");
  int64_t px = C_Brek_form::points_to_pixels(1);
  rect b = f->get_bounds();
  brek_platform::Rect_pt form_px{double(C_Brek_form::points_to_pixels(b.x)), double(C_Brek_form::points_to_pixels(b.y)),
                                 double(C_Brek_form::points_to_pixels(b.w)), double(C_Brek_form::points_to_pixels(b.h))};
  brek_platform::Point_pt o = brek_platform::message_box_origin(form_px, where.w, where.h);
  EXPECT_NEAR(where.x, o.x, px);
  EXPECT_NEAR(where.y, o.y, px);
}

TEST_F(Native_window, MessageBoxOriginKeepsToTheFormsCorner) {
  using brek_platform::message_box_origin;
  auto o = message_box_origin({100, 50, 401, 300}, 200, 100);
  EXPECT_EQ(o.x, 100 + 100);  // (401 - 200) / 2 toward zero
  EXPECT_EQ(o.y, 50 + 100);
  o = message_box_origin({100, 50, 150, 80}, 200, 100);  // larger than the form
  EXPECT_EQ(o.x, 100);
  EXPECT_EQ(o.y, 50);
}

TEST_F(Native_window, ModalLoopRunsUntilTheDialogIsHidden) {
  auto owner = form_with_control();
  auto dialog = make<Log_form>();
  dialog->set_caption("Dialog");
  bool modal = false;
  te::post_task([&] {
    modal = te::modal_window_open();
    dialog->hide_window();
  }, 20);
  C_Brek_form::run_modal(dialog, owner);
  EXPECT_TRUE(modal);
  EXPECT_FALSE(dialog->is_visible());
  EXPECT_NE(dialog->native, 0);  // hidden, not destroyed
  EXPECT_FALSE(te::modal_window_open());
}

TEST_F(Native_window, DisposingAFormInsideItsOwnHandlerIsSafe) {
  auto f = form_with_control();
  int64_t h = f->native;
  Weak<Log_form> weak = f;
  f->inside["down"] = [&] {
    f->inside.clear();
    Ref<Log_form> doomed = f;
    f.reset();
    dispose_now(doomed);
  };
  te::click(h, {30, 30});
  EXPECT_TRUE(weak.is_none());
  EXPECT_FALSE(te::click(h, {30, 30}));  // stale at once
  te::settle();
}

TEST_F(Native_window, SizesCrossInPointsAtTheScreensResolution) {
  brek_platform::set_pixels_per_inch_override(144);
  auto f = make<Log_form>();
  EXPECT_DOUBLE_EQ(f->get_width(), 300);  // 600 pixels at 144 pixels per inch
  EXPECT_DOUBLE_EQ(f->get_height(), 200);
  f->set_client_size(150, 250);
  EXPECT_DOUBLE_EQ(f->get_client_width(), 250);
  EXPECT_DOUBLE_EQ(f->get_client_height(), 150);
  brek_platform::set_pixels_per_inch_override(0);

  f->new_column("TOP", layout_on_form::TOP, St_sizes_col__C_Form{});
  int64_t top = f->column_handle("TOP");
  EXPECT_EQ(Control_bridge::column_pixels("W", top), 266);  // 200 points at 96
  EXPECT_EQ(Control_bridge::column_pixels("H", top), 37);   // 28 points
  EXPECT_EQ(C_Brek_form::column_layout_kind(top), layout_on_form::TOP);
  C_Brek_form::set_column_visible(top, false);
  EXPECT_TRUE(C_Brek_form::column_hidden(top));

  // Controls of the layer and standard controls share the column.
  int64_t c = te::add_control(f->native, {1, 2, 30, 20});
  auto label = C_Label::new_on_form(f, "Label");
  EXPECT_EQ(C_Brek_form::column_control_count(top), 2);
  EXPECT_EQ(C_Brek_form::control_column(c), top);
  EXPECT_EQ(C_Brek_form::control_column(label->native), top);
  EXPECT_TRUE(C_Brek_form::column_control(top, 1).get() == label.get());
  C_Brek_form::destroy_control(c);
  EXPECT_EQ(C_Brek_form::column_control_count(top), 1);
  EXPECT_EQ(C_Brek_form::control_column(c), 0);
}

TEST_F(Native_window, StandardControlsReportTheirInputOnce) {
  auto f = form_with_control();
  f->set_current_column("C1");
  auto button = C_Button::new_on_form(f, "OK", "OK");
  te::settle();
  f->log.clear();
  brek_platform::user_click(button->native);
  // The press moved the focus first; then one report per step.
  EXPECT_EQ(f->log, (Log{"exit:TC", "enter:OK", "down:OK", "click:OK", "up:OK"}));
  // A point on a standard control is a point of the form's client area
  // (the click went in half the button's height from its left end).
  rect b = button->get_bounds();
  EXPECT_NEAR(f->mouse_position().x, b.x + b.h / 2, 1);
  EXPECT_NEAR(f->mouse_position().y, b.y + b.h / 2, 1);
}

TEST_F(Native_window, APopupMenuOfTheFormAnswersWithTheChosenKey) {
  auto f = form_with_control();
  std::string shown;
  brek_platform::set_popup_menu_hook([&] {
    shown = brek_platform::open_popup_menu_text();
    brek_platform::choose_popup_menu_item(2);
  });
  f->popup_menu("OPEN:Open\r\n-\r\nEXIT:Exit\r\n");
  brek_platform::set_popup_menu_hook(nullptr);
  te::settle();
  EXPECT_EQ(shown, "Open|-|Exit");
  ASSERT_FALSE(f->log.empty());
  EXPECT_EQ(f->log.back(), "menu EXIT");  // after the menu's own activation changes
  EXPECT_EQ(std::count(f->log.begin(), f->log.end(), "menu EXIT"), 1);
}

TEST_F(Native_window, AWindowClosedInsideAMenuOfItsOwnPressIsFreedOnlyAfterThePress) {
  auto f = form_with_control();
  f->inside["down"] = [&] {
    f->inside["down"] = nullptr;
    brek_platform::set_popup_menu_hook([&] {
      brek_platform::set_popup_menu_hook(nullptr);
      f->close_window();
      // The menu's own loop turns a few times before it ends.
      te::post_task([] { brek_platform::close_popup_menu(); }, 30);
    });
    f->popup_menu("A:Item A\r\n");
  };
  te::mouse_press(control->native, {5, 5});
  te::settle();
  EXPECT_EQ(f->native, 0);
  EXPECT_TRUE(f->closed);
}
