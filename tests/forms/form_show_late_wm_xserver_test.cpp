// Forms shown under a window manager that stops answering (the tests' own
// manager on an X server of the test's own, framing windows as it maps
// them, then stopped as one that hangs): the first show waits for it,
// within its bound; later shows hold the window's thread no more.

#include <gtest/gtest.h>

#include "forms/form.h"
#include "platform/test_events.h"
#include "tests/support/on_window_layer.h"
#include "tests/support/own_desktop.h"
#include "tests/support/wait_until.h"

using namespace brek;
namespace te = brek_platform::test_events;

namespace {

class FormsUnderAHungManager : public testing::Test, protected brek_test::On_window_layer<> {
 protected:
  void SetUp() override {
    if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
    ASSERT_TRUE(brek_test::restart_own_window_manager("--frame-at-map"));
  }
  void TearDown() override { brek_test::pause_own_window_manager(false); }
};

}  // namespace

// Two forms shown while the manager answers nothing: a task queued behind
// the second show runs after it, not inside it.
TEST_F(FormsUnderAHungManager, OnlyTheFirstShowWaitsForIt) {
  Ref<C_Form> first = make<C_Form>();
  first->show();
  ASSERT_TRUE(te::wait_exposed(first->native));
  ASSERT_TRUE(brek_test::pause_own_window_manager(true));
  Ref<C_Form> second = make<C_Form>();
  second->show();
  Ref<C_Form> third = make<C_Form>();
  int ran = 0, inside = 0;
  bool in_show = false;
  te::post_task([&] {
    ++ran;
    if (in_show) ++inside;
  });
  in_show = true;
  third->show();
  in_show = false;
  ASSERT_TRUE(brek_test::wait_until([&] {
    te::settle();
    return ran == 1;
  }));
  EXPECT_EQ(inside, 0) << "the third show waited for the manager";
  ASSERT_TRUE(brek_test::pause_own_window_manager(false));
  dispose_now(third);
  dispose_now(second);
  dispose_now(first);
}
