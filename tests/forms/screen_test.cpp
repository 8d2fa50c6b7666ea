// The screen object without a window system: running the forms, the
// long-operation tick on a test clock, software timers delivered to the
// loop that waits for them, and the own message dialog.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "baselib/config.h"
#include "forms/settings_writes.h"
#include "forms_test_support.h"
#include "runtime/clock.h"
#include "runtime/exceptions.h"
#include "runtime/runtime_services.h"

using namespace forms_test;

namespace {

// A long-operation window that records what the screen asks of it.
class Fake_long_operation : public C_Form, public Long_operation_window {
  BREK_CLASS(Fake_long_operation)
 public:
  int steps = 0;
  bool cancel = false;
  void step(bool) override {
    steps += 1;
    hide_window();
  }
  bool take_cancel() override {
    bool c = cancel;
    cancel = false;
    return c;
  }
};

// A native layer with a loop: waiting processes messages, and the
// application ends when told.
class Loop_native : public Fake_native {
 public:
  bool terminated = false;
  std::vector<int> waits;
  std::function<void()> on_wait;
  bool application_terminated() override { return terminated; }
  void set_application_terminated(bool t) override { terminated = t; }
  void wait_for_events(int max_ms) override {
    waits.push_back(max_ms);
    if (on_wait) on_wait();
    process_messages();
  }
};

class Screen_test : public Forms_test {
 protected:
  void SetUp() override {
    Forms_test::SetUp();
    C_Screen::set_long_operation_factory([this](const Ref<C_Screen>&, const Ref<C_Form>&) {
      made += 1;
      Ref<C_Form> w = make<Fake_long_operation>();
      window = ref_cast<Fake_long_operation>(w);
      return w;
    });
  }
  void TearDown() override {
    C_Screen::set_long_operation_factory(nullptr);
    C_Screen::set_own_dialog(nullptr);
    Forms_test::TearDown();
  }
  int process_calls() {
    int n = 0;
    for (auto& c : native.calls) n += c == "process_messages";
    return n;
  }
  // Runs the screen's tick as loop ticks would, at the clock's time.
  void tick() { Brek_runtime::run_handlers(); }

  int made = 0;
  Ref<Fake_long_operation> window;
};

}  // namespace

TEST_F(Screen_test, RunFormsShowsTheFormsAndMakesTheMainForm) {
  auto hidden = new_form();
  hidden->hide_window();  // hidden by the program: not shown
  auto f = new_form();
  auto g = new_form();
  screen->run_forms(f);  // the headless layer has no loop to run
  EXPECT_TRUE(screen->main_form.get() == f.get());
  EXPECT_TRUE(native.windows[f->native].visible);
  EXPECT_TRUE(native.windows[g->native].visible);
  EXPECT_FALSE(native.windows[hidden->native].visible);

  auto other = make<C_Screen>();
  auto first = new_form();
  new_form();
  other->run_forms(Ref<C_Form>());
  EXPECT_TRUE(other->main_form.get() == first.get());  // the first form
}

TEST_F(Screen_test, TheMainLoopRunsUntilTheMainWindowCloses) {
  Loop_native loop;
  brek_platform::set_native_forms(&loop);
  C_Brek_form::reset_application();
  auto f = new_form();
  auto g = new_form();
  int turns = 0;
  loop.on_wait = [&] {
    auto& events = brek_platform::form_events();
    if (++turns == 2) events.closed(g->native);  // not the main window
    if (turns == 3) events.closed(f->native);
  };
  screen->run_forms(f);
  EXPECT_EQ(turns, 3);
  EXPECT_TRUE(loop.terminated);
  EXPECT_EQ(f->native, 0);
  EXPECT_FALSE(C_Screen::loop_running());
  EXPECT_EQ(C_Brek_form::main_window(), 0);

  // A main form whose window is gone cannot end a loop: none is run.
  C_Brek_form::reset_application();
  turns = 0;
  screen->run_forms(f);
  EXPECT_EQ(turns, 0);
  brek_platform::set_native_forms(&native);
}

TEST_F(Screen_test, LongOperationWindowAfterTwoSecondsOfWork) {
  Brek_runtime::Test_clock clock;
  auto f = new_form();
  clock.advance(60000);  // long idle: the count starts with the work
  bool shown_early = true;
  f->inside["click"] = [&] {
    clock.advance(1500);
    tick();
    shown_early = made > 0;
    clock.advance(600);  // 2100 ms into the work
    tick();
  };
  Event_routing::click(f, Ref<C_Control>(), {});
  EXPECT_FALSE(shown_early);
  ASSERT_EQ(made, 1);
  EXPECT_EQ(window->steps, 1);  // the end of the work hid it
  EXPECT_FALSE(native.windows[window->native].visible);
  EXPECT_TRUE(native.windows[f->native].enabled);  // enabled again

  // While it shows, the busy form takes no input.
  bool disabled_meanwhile = false;
  bool visible_meanwhile = false;
  f->inside["click"] = [&] {
    clock.advance(2500);
    tick();
    disabled_meanwhile = !native.windows[f->native].enabled;
    visible_meanwhile = native.windows[window->native].visible;
  };
  Event_routing::click(f, Ref<C_Control>(), {});
  EXPECT_TRUE(disabled_meanwhile);
  EXPECT_TRUE(visible_meanwhile);
  EXPECT_EQ(made, 1);  // made once
}

// A message, then a question, shown 1.5 s into the work and read for ten
// seconds: no window shows over it, and the work's two seconds count anew
// once it closed.
TEST_F(Screen_test, AMessageOrQuestionInsideTheWorkRestartsTheTwoSeconds) {
  Brek_runtime::Test_clock clock;
  auto f = new_form();
  screen->own_dialogs = 1;
  C_Screen::set_own_dialog([&](const Ref<C_Form>&, const std::string&, bool) {
    clock.advance(10000);
    tick();
    return true;
  });
  for (const bool question : {false, true}) {
    SCOPED_TRACE(question ? "a question" : "a message");
    bool shown_over_it = true, shown_early = true, shown_late = false;
    f->inside["click"] = [&] {
      clock.advance(1500);
      tick();
      if (question)
        f->ask("Go on?");
      else
        f->message("Read me");
      shown_over_it = made > 0 && native.windows[window->native].visible;
      clock.advance(1500);
      tick();
      shown_early = made > 0 && native.windows[window->native].visible;
      clock.advance(600);
      tick();
      shown_late = made > 0 && native.windows[window->native].visible;
    };
    Event_routing::click(f, Ref<C_Control>(), {});
    EXPECT_FALSE(shown_over_it);
    EXPECT_FALSE(shown_early);
    EXPECT_TRUE(shown_late);
  }
}

TEST_F(Screen_test, TheTickProcessesMessagesAtMostEveryTenthOfASecond) {
  Brek_runtime::Test_clock clock;
  auto f = new_form();
  f->inside["click"] = [&] {
    clock.advance(2000);
    tick();  // shows the window and processes messages
    int after_show = process_calls();
    clock.advance(50);
    tick();
    clock.advance(40);
    tick();
    EXPECT_EQ(process_calls(), after_show);  // less than 100 ms after
    clock.advance(20);
    tick();
    EXPECT_EQ(process_calls(), after_show + 1);
    clock.advance(30);
    tick();
    EXPECT_EQ(process_calls(), after_show + 1);
  };
  native.calls.clear();
  Event_routing::click(f, Ref<C_Control>(), {});
  EXPECT_GE(process_calls(), 2);

  // Ticks of a worker thread's loops never touch the windows.
  native.calls.clear();
  clock.advance(5000);
  std::thread worker([] { Brek_runtime::run_handlers(); });
  worker.join();
  EXPECT_EQ(process_calls(), 0);
}

TEST_F(Screen_test, CancelRaisesStopInTheRunningHandler) {
  Brek_runtime::Test_clock clock;
  auto f = new_form();
  std::string stopped;
  f->inside["click"] = [&] {
    clock.advance(2000);
    tick();
    window->cancel = true;
    native.windows[f->native].enabled = false;
    clock.advance(100);
    try {
      tick();
    } catch (const Stop_exception& e) {
      stopped = e.message();
      EXPECT_TRUE(native.windows[f->native].enabled);
      throw;
    }
  };
  Brek_runtime::clear_exception_texts();
  EXPECT_THROW(Event_routing::click(f, Ref<C_Control>(), {}), Stop_exception);
  EXPECT_EQ(stopped, "Long operation is cancelled");
  EXPECT_EQ(f->event_depth, 0);
  // A second cancel needs a second press.
  f->inside["click"] = [&] {
    clock.advance(3000);
    tick();
  };
  EXPECT_NO_THROW(Event_routing::click(f, Ref<C_Control>(), {}));
}

TEST_F(Screen_test, PauseLoopsReceiveTheirOwnTimers) {
  Brek_runtime::Test_clock clock;
  Loop_native loop;
  brek_platform::set_native_forms(&loop);
  // A pause: add a timer, process messages until it arrives, remove it.
  auto pause = [&](int64_t ms, std::vector<int64_t>& seen) {
    int64_t id = Brek_runtime::add_timer(0, static_cast<double>(ms));
    for (int turn = 0; turn < 100; ++turn) {
      try {
        C_Brek_form::process_messages();
      } catch (const Timer_due_exception& e) {
        seen.push_back(e.id());
        if (e.id() == id) break;
      }
    }
    Brek_runtime::remove_timer(id);
    return id;
  };
  std::vector<int64_t> outer_seen;
  std::vector<int64_t> inner_seen;
  int64_t inner_id = 0;
  int turns = 0;
  // Every turn of message processing takes 100 ms; the third turn of the
  // outer pause runs a handler that pauses too, longer than what is left
  // of the outer one.
  loop.on_process = [&] {
    clock.advance(100);
    if (++turns == 3) {
      loop.on_process = [&] { clock.advance(100); };
      inner_id = pause(500, inner_seen);
    }
  };
  int64_t outer_id = pause(300, outer_seen);
  EXPECT_EQ(inner_seen, (std::vector<int64_t>{inner_id}));  // never the outer one
  EXPECT_EQ(outer_seen, (std::vector<int64_t>{outer_id}));
  EXPECT_EQ(Brek_runtime::timer_count(), 0);
  EXPECT_EQ(loop.waits.front(), 300);  // a waiting loop sleeps until its timer

  // A timer its loop abandoned is dropped by the main loop, not raised in
  // some later handler.
  loop.on_process = [&] { clock.advance(100); };
  int64_t abandoned = Brek_runtime::add_timer(0, 150);
  EXPECT_NO_THROW(C_Brek_form::process_messages());
  clock.advance(100);
  C_Brek_form::main_loop_turn();
  EXPECT_EQ(Brek_runtime::timer_due(abandoned), -1);
  brek_platform::set_native_forms(&native);
}

TEST_F(Screen_test, OwnDialogsAnswerWhenSwitchedOn) {
  auto f = new_form();
  std::string asked;
  C_Screen::set_own_dialog([&](const Ref<C_Form>& over, const std::string& text, bool question) {
    asked = text + (question ? "?" : "!") + (over.get() == f.get() ? " over" : "");
    return question;
  });
  EXPECT_FALSE(f->ask("A"));  // switched off: the headless layer's answer
  screen->own_dialogs = 1;
  EXPECT_TRUE(f->ask("A"));
  EXPECT_EQ(asked, "A? over");
  f->message("B");
  EXPECT_EQ(asked, "B! over");
  screen->auto_answer = 1;
  f->message("C");
  EXPECT_EQ(asked, "B! over");
}

// Settings that cannot be saved are told once a run, by the screen of the
// form that saved them; a form without a screen tells no one and marks no
// screen, the None one included, which every such form shares.
TEST_F(Screen_test, ASettingsFailureIsToldOncePerScreenAndAFormWithoutOneMarksNone) {
  std::vector<std::string> told;
  screen->own_dialogs = 1;
  C_Screen::set_own_dialog([&](const Ref<C_Form>&, const std::string& text, bool) {
    told.push_back(text);
    return true;
  });
  const auto failing = [] { throw E_Config_write_failed("No space left on device"); };
  Ref<C_Form> lone = new_form();
  lone->screen = Weak<C_Screen>();
  EXPECT_FALSE(Settings_writes::run(lone, failing));
  EXPECT_EQ(Ref<C_Screen>()->settings_failure_told, 0);
  auto f = new_form();
  EXPECT_FALSE(Settings_writes::run(f, failing));
  EXPECT_FALSE(Settings_writes::run(f, failing));
  EXPECT_EQ(told, std::vector<std::string>{"Settings could not be saved: No space left on device"});
}
