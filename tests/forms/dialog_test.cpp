// Modal dialogs over an in-memory native layer whose modal loop runs a
// test's script: placement over the owner, results, one dialog per owner.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

#include "forms/dialog.h"
#include "forms_test_support.h"
#include "placement_test_support.h"

using namespace forms_test;

namespace {

// The modal loop is the script registered for the dialog's handle; it
// runs with the window shown, as the user's actions would.
class Modal_native : public Placement_native {
 public:
  std::map<Native_handle, std::function<void()>> scripts;
  std::vector<Native_handle> runs;
  void run_modal(Native_handle h, Native_handle) override {
    runs.push_back(h);
    windows[h].visible = true;
    auto it = scripts.find(h);
    if (it != scripts.end() && it->second) it->second();
  }
};

class Dialog_test : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = brek_platform::set_native_forms(&native);
    Event_routing::reset_state();
    screen = make<C_Screen>();
    owner = make<Log_form>();
    native.windows[owner->native].bounds = {10, 20, 400, 300};
    native.windows[owner->native].visible = true;
  }
  void TearDown() override {
    Event_routing::reset_state();
    brek_platform::set_native_forms(previous_);
  }
  Ref<C_Dialog> new_dialog(double width = 200, double height = 100) {
    Ref<C_Dialog> d = make<C_Dialog>();
    native.windows[d->native].bounds = {0, 0, width, height};
    return d;
  }
  void during(const Ref<C_Form>& d, std::function<void()> script) { native.scripts[d->native] = std::move(script); }
  bool visible(const Ref<C_Form>& f) { return native.windows[f->native].visible; }

  Modal_native native;
  Ref<C_Screen> screen;
  Ref<Log_form> owner;

 private:
  brek_platform::Native_forms* previous_ = nullptr;
};

}  // namespace

TEST(Dialog_place, CentredOnlyOverAnOwnerMoreThanAThirdLarger) {
  point p = C_Dialog::place_over(rect{100, 50, 800, 600}, rect{0, 0, 400, 300});
  EXPECT_EQ(p.x, 300);
  EXPECT_EQ(p.y, 200);
  // 500 x 0.75 - 400 < 0: in by 60 points; so is a dialog of exactly 0.75.
  p = C_Dialog::place_over(rect{100, 50, 500, 600}, rect{0, 0, 400, 300});
  EXPECT_EQ(p.x, 160);
  EXPECT_EQ(p.y, 200);
  p = C_Dialog::place_over(rect{100, 50, 400, 400}, rect{0, 0, 300, 300});
  EXPECT_EQ(p.x, 160);
  EXPECT_EQ(p.y, 110);
  // A broken owner size never reaches the arithmetic's halves.
  p = C_Dialog::place_over(rect{100, 50, std::nan(""), 600}, rect{0, 0, 400, 300});
  EXPECT_EQ(p.x, 160);
}

TEST_F(Dialog_test, ShowModalPlacesTheDialogAndGivesTheFirstResult) {
  Ref<C_Dialog> d = new_dialog(200, 100);
  bool child_meanwhile = false;
  during(d, [&] {
    child_meanwhile = owner->modal_child.get() == d.get();
    d->close_with("A");
    d->close_with("B");
  });
  EXPECT_EQ(d->show_modal(owner), "A");
  EXPECT_TRUE(child_meanwhile);
  EXPECT_TRUE(owner->modal_child.is_none());
  EXPECT_FALSE(visible(d));  // hidden, not destroyed
  EXPECT_NE(d->native, 0);
  brek_platform::Rect_pt b = native.windows[d->native].bounds;
  EXPECT_EQ(b.x, 110);
  EXPECT_EQ(b.y, 120);
  EXPECT_EQ(b.w, 200);
  EXPECT_EQ(b.h, 100);

  // Each run starts without a result; a hidden dialog returns what was set.
  during(d, [&] { d->hide_window(); });
  EXPECT_EQ(d->show_modal(owner), "");
  EXPECT_EQ(native.runs.size(), 2u);

  // Not centred when asked not to be.
  native.windows[d->native].bounds = {5, 6, 200, 100};
  d->center_on_owner = 0;
  during(d, [&] { d->close_with("OK"); });
  EXPECT_EQ(d->show_modal(owner), "OK");
  EXPECT_EQ(native.windows[d->native].bounds.x, 5);
}

TEST_F(Dialog_test, ASecondDialogOverTheSameOwnerEndsTheFirst) {
  Ref<C_Dialog> a = new_dialog();
  Ref<C_Dialog> b = new_dialog();
  std::string b_result;
  bool a_hidden_meanwhile = false;
  during(a, [&] { b_result = b->show_modal(owner); });
  during(b, [&] {
    a_hidden_meanwhile = !visible(a);
    EXPECT_EQ(owner->modal_child.get(), b.get());
    b->close_with("OK");
    a->close_with("late");  // a's run ended already: its result stays
  });
  EXPECT_EQ(a->show_modal(owner), "");
  EXPECT_EQ(b_result, "OK");
  EXPECT_TRUE(a_hidden_meanwhile);
  EXPECT_TRUE(owner->modal_child.is_none());
}

TEST_F(Dialog_test, ARunningDialogIsNotStartedAgain) {
  Ref<C_Dialog> d = new_dialog();
  std::string inner = "unset";
  during(d, [&] {
    inner = d->show_modal(owner);
    EXPECT_TRUE(d->in_modal_loop());
    d->close_with("X");
  });
  EXPECT_EQ(d->show_modal(owner), "X");
  EXPECT_EQ(inner, "");
  EXPECT_EQ(native.runs.size(), 1u);
  EXPECT_FALSE(d->in_modal_loop());
}

TEST_F(Dialog_test, NothingRunsWithoutAWindowOrOverAClosedOwner) {
  Ref<C_Dialog> d = new_dialog();
  during(d, [&] { d->close_with("OK"); });
  EXPECT_EQ(d->show_modal(d), "");  // over itself
  Ref<Log_form> gone = make<Log_form>();
  gone->closed = 1;
  EXPECT_EQ(d->show_modal(gone), "");
  EXPECT_TRUE(gone->modal_child.is_none());
  Ref<C_Dialog> headless = make<C_Dialog>();
  headless->native = 0;
  EXPECT_EQ(headless->show_modal(owner), "");
  EXPECT_TRUE(native.runs.empty());
  // No owner at all is allowed.
  EXPECT_EQ(d->show_modal(Ref<C_Form>()), "OK");
}

TEST_F(Dialog_test, TheOwnerKeepsItsControlAndCannotCloseMeanwhile) {
  Ref<Log_control> c = make_on<Log_control>(owner, "C");
  owner->set_current_control(c);
  Ref<C_Dialog> d = new_dialog();
  during(d, [&] {
    owner->set_current_control(Ref<C_Control>());
    native.calls.clear();
    owner->close_window();  // refused while the dialog runs
    d->update_count = 5;
    d->close_with("OK");
  });
  d->update_count = 2;
  EXPECT_EQ(d->show_modal(owner), "OK");
  EXPECT_EQ(owner->current_control().get(), c.get());
  EXPECT_EQ(d->update_count, 2);
  EXPECT_EQ(std::count(native.calls.begin(), native.calls.end(), "close_form"), 0);
  EXPECT_EQ(owner->closed, 0);
}

TEST_F(Dialog_test, OnlyTheMainFormShowsWithoutARun) {
  Ref<C_Dialog> d = new_dialog();
  d->show();
  EXPECT_FALSE(visible(d));
  screen->set_main_form(d);
  d->show();
  EXPECT_TRUE(visible(d));
  // A main dialog's result closes its window.
  during(d, [&] { d->close_with("DONE"); });
  native.calls.clear();
  EXPECT_EQ(d->show_modal(owner), "DONE");
  EXPECT_EQ(std::count(native.calls.begin(), native.calls.end(), "close_form"), 1);
  EXPECT_EQ(d->closed, 1);
}

TEST_F(Dialog_test, RootOwnerFollowsDialogsToTheirForm) {
  Ref<C_Dialog> first = new_dialog();
  Ref<C_Dialog> second = new_dialog();
  Ref<C_Form> root;
  during(first, [&] { second->show_modal(first); });
  during(second, [&] {
    root = second->root_owner();
    second->close_with("");
  });
  first->show_modal(owner);
  EXPECT_EQ(root.get(), owner.get());
  // A dialog without an owner is its own end of the chain.
  Ref<C_Dialog> lone = new_dialog();
  EXPECT_TRUE(lone->root_owner().is_none());
}

TEST_F(Dialog_test, ADialogDisposedDuringItsRunEndsIt) {
  Ref<C_Dialog> d = new_dialog();
  Ref<Log_control> c = make_on<Log_control>(owner, "C");
  owner->set_current_control(c);
  during(d, [&] {
    d->close_with("OK");
    dispose_now(d);
  });
  Ref<C_Dialog> keep = d;
  EXPECT_EQ(keep->show_modal(owner), "");
  EXPECT_TRUE(keep.is_none());
  EXPECT_TRUE(owner->modal_child.is_none());
  EXPECT_EQ(owner->current_control().get(), c.get());
}
