#include <gtest/gtest.h>

#include <stdexcept>

#include "baselib/system_functions.h"
#include "forms_test_support.h"
#include "runtime/exceptions.h"
#include "runtime/runtime_services.h"

using namespace forms_test;
namespace R = brek::Event_routing;

namespace {

class Event_routing_test : public Forms_test {};

R::Pointer at(double x, double y, button_mouse b = button_mouse::LMB) {
  R::Pointer p;
  p.at = {x + 100, y + 100};
  p.at_control = {x, y};
  p.button = b;
  return p;
}

const Ref<C_Control> no_control;
using R::Key_modifiers;

}  // namespace

TEST_F(Event_routing_test, ControlUnderThePointerHasTheFirstChance) {
  auto f = new_form();
  auto pb = new_control(f, "PB");
  R::mouse_down(f, pb, at(3, 4));
  EXPECT_EQ(pb->log, (std::vector<std::string>{"down 3,4"}));
  EXPECT_EQ(f->log, (std::vector<std::string>{"down:PB"}));
  EXPECT_EQ(f->mouse_position().x, 103);
  EXPECT_EQ(f->mouse_buttons(), 1);

  pb->take = true;
  R::mouse_down(f, pb, at(5, 6));
  R::mouse_move(f, pb, at(7, 8));
  EXPECT_EQ(f->log.size(), 1u);  // the control took both

  // The wheel reaches the form whatever the control did.
  native.focused = 77;
  C_Brek_form::register_control(77, pb);
  Brek_runtime::Test_clock clock;
  R::wheel(f, 120, 0, {1, 1});
  EXPECT_EQ(pb->log.back(), "wheel");
  EXPECT_EQ(f->log.back(), "wheel 0.250000:PB");
}

TEST_F(Event_routing_test, InsideAClickOnlyClicksAndDoubleClicksGetThrough) {
  auto f = new_form();
  auto b = new_control(f, "B");
  bool cleared_up = false;
  bool cleared_down = false;
  f->inside["click"] = [&] {
    f->inside.erase("click");
    EXPECT_EQ(f->event_depth, 2);
    R::mouse_down(f, b, at(1, 1));
    R::mouse_up(f, b, at(1, 1));
    cleared_up = R::key_up(f, b, 'A', {});
    cleared_down = R::key_down(f, no_control, 'A', {});
    R::click(f, b, {});
    R::double_click_pending();
    R::mouse_down(f, b, at(2, 2));
  };
  R::click(f, no_control, {});
  EXPECT_TRUE(cleared_up);
  EXPECT_TRUE(cleared_down);
  // The double click is an "s" event inside the click: it runs when the click ends.
  EXPECT_EQ(f->log, (std::vector<std::string>{"click", "click:B", "double:B"}));
  EXPECT_EQ(b->log, (std::vector<std::string>{"double 2,2"}));
}

TEST_F(Event_routing_test, TimerThatStopsItselfLetsPointerEventsIn) {
  auto f = new_form();
  auto t = new_control(f, "TIMER_1");
  f->inside["timer"] = [&] {
    f->timer_event_adjust();  // the timer switched itself off
    R::mouse_down(f, no_control, at(1, 1));
    EXPECT_EQ(f->log.back(), "down");  // at once, not after the timer
    EXPECT_EQ(f->event_depth, 1);
  };
  R::timer(f, t);
  EXPECT_EQ(f->log, (std::vector<std::string>{"timer:TIMER_1", "down"}));
  EXPECT_EQ(f->event_depth, 0);

  // Stopping a timer from a click handler changes nothing.
  f->log.clear();
  f->inside["click"] = [&] {
    f->timer_event_adjust();
    R::mouse_down(f, no_control, at(1, 1));
  };
  R::click(f, no_control, {});
  EXPECT_EQ(f->log, (std::vector<std::string>{"click"}));
}

TEST_F(Event_routing_test, RightAndMiddleReleaseRaiseAClick) {
  auto f = new_form();
  auto b = new_control(f, "B");
  R::mouse_up(f, b, at(1, 1, button_mouse::RMB));
  R::mouse_up(f, b, at(1, 1, button_mouse::MMB));
  R::mouse_up(f, b, at(1, 1, button_mouse::LMB));
  R::mouse_up(f, no_control, at(1, 1, button_mouse::RMB));
  EXPECT_EQ(f->log, (std::vector<std::string>{"up:B", "click:B", "up:B", "click:B", "up:B", "up"}));
}

TEST_F(Event_routing_test, WheelTurnsCloseTogetherAreFoldedAndFlushed) {
  Brek_runtime::Test_clock clock;
  auto f = new_form();
  f->wheel_result = true;
  auto r = R::wheel(f, 120, 0, {});
  EXPECT_TRUE(r.handled);
  EXPECT_EQ(r.flush_after_ms, 0);
  clock.advance(1);
  r = R::wheel(f, 120, 0, {});
  EXPECT_EQ(r.flush_after_ms, 1);
  r = R::wheel(f, -360, 0, {});
  EXPECT_EQ(r.flush_after_ms, 1);
  EXPECT_EQ(f->log, (std::vector<std::string>{"wheel 0.250000"}));
  clock.advance(1);
  EXPECT_TRUE(R::wheel_flush(f));  // the folded turns arrive without a further turn
  EXPECT_EQ(f->log.back(), "wheel -0.500000");
  EXPECT_FALSE(R::wheel_flush(f));  // nothing is left
  EXPECT_EQ(f->log.size(), 2u);
  clock.advance(5);
  R::wheel(f, -120, 0, {});
  EXPECT_EQ(f->log.back(), "wheel -0.250000");

  // A subclass's own amount wins over the native one.
  f->wheel_amount = 3;
  EXPECT_EQ(f->wheel_delta(), 3);
}

TEST_F(Event_routing_test, KeyTextTable) {
  struct Case {
    int64_t vk;
    const char* text;
    int64_t code;
  } cases[] = {{'A', "A", 'A'},  {'7', "7", '7'},  {8, "\b", 8},   {13, "\r", 13}, {32, " ", 32},
               {186, ";", 0},    {58, ";", 0},     {188, "<", 0},  {190, ">", 0},  {191, "/", 0},
               {192, "~", 0},    {219, "[", 0},    {220, "\\", 0}, {221, "]", 0},  {222, "'", 0},
               {94, "'", 0},     {0, "", 0},       {112, "", 112}, {27, "", 27},   {'a', "", 'a'}};
  for (const Case& c : cases) {
    auto k = R::key_info_from_virtual_key(c.vk, {});
    EXPECT_EQ(k.key_text, c.text) << c.vk;
    EXPECT_EQ(k.key_code, c.code) << c.vk;
  }
  EXPECT_EQ(R::key_info_from_virtual_key(0x141, {}).key_code, 0x41);  // low byte kept
  Key_modifiers m;
  m.shift = m.win = m.toggled = true;
  auto k = R::key_info_from_virtual_key('Q', m);
  EXPECT_TRUE(k.shift && k.win && k.toggled && !k.ctrl && !k.alt);
}

TEST_F(Event_routing_test, KeyPressRecordsAltGrAndNumericEdits) {
  Key_modifiers altgr;
  altgr.ctrl = altgr.alt = altgr.left_ctrl = altgr.right_alt = true;
  auto k = R::key_info_from_char(0x20AC, altgr);  // the euro sign
  EXPECT_EQ(k.key_text, "\xE2\x82\xAC");
  EXPECT_EQ(k.key_code, 0x20AC);
  EXPECT_FALSE(k.ctrl);
  EXPECT_TRUE(k.alt);
  Key_modifiers ctrl_alt;
  ctrl_alt.ctrl = ctrl_alt.alt = ctrl_alt.left_ctrl = true;
  EXPECT_TRUE(R::key_info_from_char('x', ctrl_alt).ctrl);

  auto f = new_form();
  auto edit = new_control(f, "E");
  edit->numeric = true;
  EXPECT_EQ(R::key_press(f, edit, 'a', {}), 0u);
  EXPECT_EQ(R::key_press(f, edit, '7', {}), static_cast<uint32_t>('7'));
  EXPECT_EQ(R::key_press(f, edit, '-', {}), static_cast<uint32_t>('-'));
  EXPECT_EQ(R::key_press(f, edit, 8, {}), 8u);
  auto plain = new_control(f, "P");
  EXPECT_EQ(R::key_press(f, plain, 'a', {}), static_cast<uint32_t>('a'));
  EXPECT_EQ(f->log.front(), "key_press a:E");  // the handler still sees what was typed
}

TEST_F(Event_routing_test, KeyDownSwallowAndReentry) {
  auto f = new_form();
  auto e = new_control(f, "E");
  EXPECT_FALSE(R::key_down(f, e, 'A', {}));
  f->inside["key_down A"] = [&] { f->key_info.swallow = 1; };
  EXPECT_TRUE(R::key_down(f, e, 'A', {}));
  f->inside.clear();
  f->key_result = true;
  EXPECT_TRUE(R::key_down(f, e, 'B', {}));
  // A key down inside a key down is passed on untouched.
  f->key_result = false;
  f->inside["key_down C"] = [&] { EXPECT_FALSE(R::key_down(f, e, 'D', {})); };
  R::key_down(f, e, 'C', {});
  EXPECT_EQ(f->log.back(), "key_down C:E");
  EXPECT_EQ(R::key_up(f, no_control, 'C', {}), true);
  EXPECT_EQ(f->log.back(), "key_up");
}

TEST_F(Event_routing_test, DropReplacesTheCommandLineOnlyWhenAccepted) {
  namespace S = System_functions;
  S::set_parameters(std::vector<std::string>{S::param_str(0), "old.jpg"});
  auto f = new_form();
  R::files_dropped(f, {"/a b/1.jpg", "/c/2.gif"}, {40, 50});
  EXPECT_EQ(S::param_count(), 2);
  EXPECT_EQ(S::param_str(1), "old.jpg");
  EXPECT_TRUE(f->log.empty());
  EXPECT_EQ(f->drop_point().x, 40);

  f->accept = true;
  f->inside["command"] = [] { EXPECT_EQ(S::param_str(2), "/c/2.gif"); };
  R::files_dropped(f, {"/a b/1.jpg", "/c/2.gif"}, {40, 50});
  EXPECT_EQ(S::param_count(), 3);
  EXPECT_EQ(S::param_str(1), "/a b/1.jpg");
  EXPECT_EQ(f->log, (std::vector<std::string>{"command"}));
  S::set_parameters(std::vector<std::string>{});
}

TEST_F(Event_routing_test, HandlerExceptionsAreGuarded) {
  auto f = new_form();
  Brek_runtime::clear_exception_texts();
  f->inside["click"] = [] { throw std::runtime_error("not ours"); };
  EXPECT_NO_THROW(R::click(f, no_control, {}));
  EXPECT_EQ(Brek_runtime::last_exception_texts().size(), 1u);

  f->inside["click"] = [&] {
    EXPECT_EQ(f->event_depth, 2);
    throw Stop_exception("Long operation is cancelled");
  };
  EXPECT_THROW(R::click(f, no_control, {}), Stop_exception);
  EXPECT_EQ(f->event_depth, 0);  // raised again only after the event closed

  // The drop is not guarded: every exception passes, after the event closed.
  f->accept = true;
  f->inside["command"] = [] { throw std::runtime_error("drop"); };
  EXPECT_THROW(R::files_dropped(f, {"x"}, {}), std::runtime_error);
  EXPECT_EQ(f->event_depth, 0);
}

TEST_F(Event_routing_test, CloseQueryAndClose) {
  auto f = new_form();
  f->keep_open = true;
  EXPECT_FALSE(R::close_query(f));
  EXPECT_EQ(f->closed, 0);
  f->input.shutdown_pending = 1;
  f->keep_open = false;
  EXPECT_TRUE(R::close_query(f));
  EXPECT_EQ(f->close_reason, reason_closing::SHUTDOWN);
  EXPECT_EQ(f->closed, 1);

  int64_t h = f->native;
  EXPECT_EQ(screen->forms.count(), 1);
  EXPECT_TRUE(R::closed(f));
  EXPECT_EQ(screen->forms.count(), 0);
  EXPECT_EQ(f->native, 0);
  EXPECT_TRUE(C_Brek_form::form_of(h).is_none());
  EXPECT_EQ(f->hidden_by_program, 1);
}

TEST_F(Event_routing_test, MenuKeyDuringTheHandlerOnly) {
  auto f = new_form();
  f->menu_key = "before";
  R::menu_chosen(f, "Rotate_left");
  EXPECT_EQ(f->log, (std::vector<std::string>{"menu Rotate_left"}));
  EXPECT_EQ(f->menu_key, "before");
}

TEST_F(Event_routing_test, ValueChangeFocusAndControlResize) {
  auto f = new_form();
  auto e = new_control(f, "E");
  R::value_changed(f, e);
  R::selection_changed(f, e);
  R::focus(f, e, true);
  R::focus(f, e, false);
  EXPECT_EQ(f->log, (std::vector<std::string>{"change:E", "select:E", "enter:E", "exit:E"}));
  EXPECT_EQ(f->select_count, 1);
  R::control_resized(f, e);
  f->begin_update();
  R::control_resized(f, e);  // not during a batch
  f->end_update();
  EXPECT_EQ(e->log, (std::vector<std::string>{"resize"}));
}
