#include <gtest/gtest.h>

#include "forms_test_support.h"
#include "runtime/exceptions.h"

using namespace forms_test;

namespace {

using K = event_kind;

class Event_queue : public Forms_test {};

std::vector<std::string> queued_kinds(const Ref<Log_form>& f) {
  std::vector<std::string> out;
  for (int64_t i = 0; i < f->event_queue.count(); ++i) out.push_back(event_kind_name(f->event_queue.get(i).kind));
  return out;
}

}  // namespace

TEST_F(Event_queue, EveryKindRunsAtOnceOutsideAnEvent) {
  EXPECT_STREQ(QUEUE_POLICY, "kiiqiqqqqqssssskkkqkkiiiqqk");
  EXPECT_STREQ(event_kind_name(K::COMMAND), "COMMAND");
  auto f = new_form();
  EXPECT_EQ(f->queue_policy, QUEUE_POLICY);
  for (int k = 0; k < EVENT_KIND_COUNT; ++k) {
    ASSERT_TRUE(f->event_begin(static_cast<K>(k), nullptr)) << event_kind_name(static_cast<K>(k));
    EXPECT_EQ(f->event_depth, 2);
    EXPECT_EQ(f->current_kind, k);
    f->event_end();
    EXPECT_EQ(f->event_depth, 0);
    EXPECT_EQ(f->current_kind, 0);
  }
  EXPECT_EQ(f->event_queue.count(), 0);
}

TEST_F(Event_queue, QueuedEventIsNotAlsoHandledAtOnce) {
  auto f = new_form();
  int ran = 0;
  f->inside["click"] = [&] {
    EXPECT_FALSE(Event_routing::bracket(f, K::RESIZE, nullptr, [&] { ++ran; }));
    EXPECT_EQ(f->event_depth, 2);  // the queued event left no trace on the depth
  };
  Event_routing::click(f, Ref<C_Control>(), {});
  EXPECT_EQ(ran, 0);
  EXPECT_EQ(f->log, (std::vector<std::string>{"click", "resized"}));
  EXPECT_EQ(f->event_depth, 0);
}

TEST_F(Event_queue, NewestEqualWinsForQAndOldestForS) {
  auto f = new_form();
  auto a = new_control(f, "A");
  ASSERT_TRUE(f->event_begin(K::CLICK, nullptr));
  // "q": the older RESIZE gives way to the newer one, behind MOVED.
  EXPECT_FALSE(f->event_begin(K::RESIZE, nullptr));
  EXPECT_FALSE(f->event_begin(K::MOVED, nullptr));
  EXPECT_FALSE(f->event_begin(K::RESIZE, nullptr));
  // "s": the second move of A is dropped; the down keeps its place after it.
  EXPECT_FALSE(f->event_begin(K::MOUSE_MOVE, a.get()));
  EXPECT_FALSE(f->event_begin(K::MOUSE_DOWN, a.get()));
  EXPECT_FALSE(f->event_begin(K::MOUSE_MOVE, a.get()));
  EXPECT_EQ(queued_kinds(f), (std::vector<std::string>{"MOVED", "RESIZE", "MOUSE_MOVE", "MOUSE_DOWN"}));
  f->event_end();
  EXPECT_EQ(f->log, (std::vector<std::string>{"moved", "resized", "move:A", "down:A"}));
  EXPECT_EQ(a->log, (std::vector<std::string>{"move 0,0", "down 0,0"}));
}

TEST_F(Event_queue, DifferentSendersAreBothQueued) {
  auto f = new_form();
  auto a = new_control(f, "A");
  auto b = new_control(f, "B");
  ASSERT_TRUE(f->event_begin(K::CLICK, a.get()));
  f->event_begin(K::MOUSE_MOVE, a.get());
  f->event_begin(K::MOUSE_MOVE, b.get());
  f->event_begin(K::RESIZE, b.get());  // a control's resize goes to the control
  f->event_begin(K::RESIZE, nullptr);
  EXPECT_EQ(f->event_queue.count(), 4);
  f->event_end();
  EXPECT_EQ(f->log, (std::vector<std::string>{"move:A", "move:B", "resized"}));
  EXPECT_EQ(b->log, (std::vector<std::string>{"move 0,0", "resize"}));
  EXPECT_TRUE(f->current_control().is_none());
}

TEST_F(Event_queue, EventEqualToOneBeingDispatchedIsDropped) {
  auto f = new_form();
  f->inside["resized"] = [&] {
    EXPECT_EQ(f->current_kind, static_cast<int32_t>(K::RESIZE));
    EXPECT_FALSE(f->event_begin(K::RESIZE, nullptr));
    EXPECT_FALSE(f->event_begin(K::MOVED, nullptr));
  };
  ASSERT_TRUE(f->event_begin(K::CLICK, nullptr));
  f->event_begin(K::RESIZE, nullptr);
  f->event_end();
  EXPECT_EQ(f->log, (std::vector<std::string>{"resized"}));
  // Only the MOVED raised during dispatch waits for the next event's end.
  EXPECT_EQ(queued_kinds(f), (std::vector<std::string>{"MOVED"}));
  ASSERT_TRUE(f->event_begin(K::CLICK, nullptr));
  f->event_end();
  EXPECT_EQ(f->log, (std::vector<std::string>{"resized", "moved"}));
}

TEST_F(Event_queue, NestedEndDispatchesEachEntryOnceOldestFirst) {
  auto f = new_form();
  auto t = new_control(f, "T");
  f->inside["resized"] = [&] {
    // A handler that lets a nested event of the form begin and end.
    f->inside.erase("resized");
    ASSERT_TRUE(f->event_begin(K::CLICK, nullptr));
    f->event_begin(K::TIMER, t.get());
    f->event_end();
  };
  ASSERT_TRUE(f->event_begin(K::CLICK, nullptr));
  f->event_begin(K::RESIZE, nullptr);
  f->event_begin(K::MOVED, nullptr);
  f->event_begin(K::SELECTION_CHANGE, nullptr);
  f->event_end();
  EXPECT_EQ(f->log, (std::vector<std::string>{"resized", "moved", "select", "timer:T"}));
  EXPECT_EQ(f->dispatch_list.count(), 0);
  EXPECT_EQ(f->event_depth, 0);
}

TEST_F(Event_queue, FailingHandlerDoesNotLoseTheRest) {
  auto f = new_form();
  f->inside["resized"] = [] { throw Stop_exception("resize failed"); };
  ASSERT_TRUE(f->event_begin(K::CLICK, nullptr));
  f->event_begin(K::RESIZE, nullptr);
  f->event_begin(K::MOVED, nullptr);
  EXPECT_THROW(f->event_end(), Stop_exception);
  EXPECT_EQ(f->log, (std::vector<std::string>{"resized", "moved"}));
  EXPECT_EQ(f->dispatch_list.count(), 0);
  EXPECT_EQ(f->event_depth, 0);
  EXPECT_EQ(f->current_kind, 0);
  EXPECT_EQ(f->busy_count, 0);
}

TEST_F(Event_queue, QueuedWheelAndFocusKeepAmountAndDirection) {
  auto f = new_form();
  auto e = new_control(f, "E");
  ASSERT_TRUE(f->event_begin(K::CLICK, nullptr));
  Event_extra turn;
  turn.amount = 0.25;
  f->event_begin(K::MOUSE_WHEEL, nullptr, turn);
  turn.amount = 0.5;
  f->event_begin(K::MOUSE_WHEEL, nullptr, turn);  // joins the first turn
  Event_extra enter;
  enter.flag = true;
  f->event_begin(K::KEYBOARD_FOCUS, e.get(), enter);
  f->event_begin(K::KEYBOARD_FOCUS, e.get(), Event_extra());  // the newest direction wins
  Event_extra active;
  active.flag = false;
  f->event_begin(K::ACTIVATED, nullptr, active);
  f->event_end();
  EXPECT_EQ(f->log, (std::vector<std::string>{"wheel 0.750000", "exit:E", "deactivate"}));
}

TEST_F(Event_queue, DepthStaysAtZeroAndTimerAdjustOnlyInTimers) {
  auto f = new_form();
  f->event_end();
  EXPECT_EQ(f->event_depth, 0);
  EXPECT_EQ(f->current_kind, 0);

  ASSERT_TRUE(f->event_begin(K::CLICK, nullptr));
  f->timer_event_adjust();
  EXPECT_EQ(f->event_depth, 2);  // not a timer: nothing changes
  f->event_end();

  ASSERT_TRUE(f->event_begin(K::TIMER, nullptr));
  f->timer_event_adjust();
  EXPECT_EQ(f->event_depth, 1);
  f->timer_event_adjust();
  EXPECT_EQ(f->event_depth, 1);  // an odd depth stays
  ASSERT_TRUE(f->event_begin(K::RESIZE, nullptr));  // taken at once inside it
  EXPECT_EQ(f->event_depth, 3);
  f->event_end();
  EXPECT_EQ(f->event_depth, 1);
  f->event_end();
  EXPECT_EQ(f->event_depth, 0);

  // A queued timer that stops itself while the click that queued it ends
  // leaves no odd depth behind.
  auto t = new_control(f, "T");
  f->inside["timer"] = [&] {
    f->timer_event_adjust();
    EXPECT_EQ(f->event_depth, 1);
  };
  ASSERT_TRUE(f->event_begin(K::CLICK, nullptr));
  EXPECT_FALSE(f->event_begin(K::TIMER, t.get()));
  f->event_end();
  EXPECT_EQ(f->log, (std::vector<std::string>{"timer:T"}));
  EXPECT_EQ(f->event_depth, 0);
}

TEST_F(Event_queue, BusyFormIsTrackedForTheOutermostEvent) {
  auto f = new_form();
  auto b = new_control(f, "B_GO");
  native.windows[f->native].enabled = false;
  ASSERT_TRUE(f->event_begin(K::CLICK, b.get()));
  EXPECT_EQ(screen->busy_form.get(), f.get());
  EXPECT_EQ(f->busy_control_name, "B_GO");
  ASSERT_TRUE(f->event_begin(K::CLICK, nullptr));
  EXPECT_EQ(f->busy_count, 2);
  f->event_end();
  EXPECT_EQ(screen->busy_form.get(), f.get());
  f->event_end();
  EXPECT_TRUE(screen->busy_form.is_none());
  EXPECT_TRUE(native.windows[f->native].enabled);
  f->event_end();  // unmatched: the count stays at 0
  EXPECT_EQ(f->busy_count, 0);
}
