#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "runtime/clock.h"
#include "runtime/runtime_services.h"

using namespace brek;

namespace {
int guarded_recursion(int depth) {
  Brek_runtime::Recursion_guard guard;
  if (depth <= 1) return 1;
  return 1 + guarded_recursion(depth - 1);
}

struct Recording_handler : Brek_handler {
  Recording_handler(std::vector<std::string>& log, std::string name) : log(log), name(std::move(name)) {}
  void run() override { log.push_back(name); }
  std::vector<std::string>& log;
  std::string name;
};
}  // namespace

TEST(RecursionGuard, Depth129RunsAnd130Raises) {
  int before = Brek_runtime::recursion_depth();
  EXPECT_EQ(guarded_recursion(129), 129);
  EXPECT_THROW(guarded_recursion(130), TooDeepRecursionException);
  EXPECT_EQ(Brek_runtime::recursion_depth(), before);
}

TEST(LoopTicks, HandlersRunLastRegisteredFirstEvery65536Ticks) {
  std::vector<std::string> log;
  Recording_handler a(log, "A"), b(log, "B");
  Brek_runtime::register_tick_handler(&a);
  Brek_runtime::register_tick_handler(&b);
  Brek_runtime::set_tick_counter(0);
  for (int i = 0; i < 65535; ++i) Brek_runtime::loop_tick();
  EXPECT_TRUE(log.empty());
  Brek_runtime::loop_tick();
  EXPECT_EQ(log, (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(Brek_runtime::tick_counter(), 0u);
  Brek_runtime::unregister_tick_handler(&a);
  Brek_runtime::unregister_tick_handler(&b);
}

TEST(LoopTicks, AHandlerMayUnwindTheLoop) {
  struct Stopper : Brek_handler {
    void run() override { Brek_runtime::raise_stop("Long operation is cancelled"); }
  } stopper;
  Brek_runtime::register_tick_handler(&stopper);
  Brek_runtime::set_tick_counter(65535);
  try {
    Brek_runtime::loop_tick();
    FAIL() << "no Stop";
  } catch (const Stop_exception& e) {
    EXPECT_EQ(e.message(), "Long operation is cancelled");
  }
  Brek_runtime::unregister_tick_handler(&stopper);
}

TEST(ExceptionTexts, KeepsFirstFiveAMarkAndLatestFour) {
  Brek_runtime::clear_exception_texts();
  for (int i = 1; i <= 12; ++i) Brek_runtime::log_exception(Stop_exception("E" + std::to_string(i)));
  auto t = Brek_runtime::last_exception_texts();
  std::vector<std::string> want = {"Stop_exception: E1", "Stop_exception: E2",  "Stop_exception: E3",
                                   "Stop_exception: E4", "Stop_exception: E5",  "",
                                   "Stop_exception: E9", "Stop_exception: E10", "Stop_exception: E11",
                                   "Stop_exception: E12"};
  EXPECT_EQ(t, want);
}

TEST(ExceptionTexts, EachThreadKeepsItsOwnAndFreesItAtItsEnd) {
  Brek_runtime::clear_exception_texts();
  Brek_runtime::log_exception(Stop_exception("main"));
  std::vector<std::string> seen;
  // Several short-lived threads, as directory workers are: a list left
  // behind by each would grow with every one of them.
  for (int i = 0; i < 3; ++i) {
    std::thread([&seen, i] {
      Brek_runtime::log_exception(Stop_exception("worker " + std::to_string(i)));
      seen = Brek_runtime::last_exception_texts();
    }).join();
    EXPECT_EQ(seen, std::vector<std::string>{"Stop_exception: worker " + std::to_string(i)});
  }
  EXPECT_EQ(Brek_runtime::last_exception_texts(), std::vector<std::string>{"Stop_exception: main"});
}

TEST(Console, StopLeavingMainIsPrintedAndWaitsForALine) {
  std::string written;
  int reads = 0;
  Brek_runtime::set_line_writer([&](const std::string& s) { written += s; });
  Brek_runtime::set_line_reader([&] {
    ++reads;
    return std::string();
  });
  int rc = Brek_runtime::run_main([] { Brek_runtime::raise_stop("bad input"); });
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(written, "STOP: bad input\n");
  EXPECT_EQ(reads, 1);
  EXPECT_EQ(Brek_runtime::run_main([] {}), 0);
  EXPECT_THROW(Brek_runtime::run_main([] { throw TooDeepRecursionException(""); }), TooDeepRecursionException);
  Brek_runtime::set_line_writer({});
  Brek_runtime::set_line_reader({});
}

TEST(SoftwareTimers, DueTimesByUnitAndRemoval) {
  Brek_runtime::Test_clock clock(5000);
  int64_t a = Brek_runtime::add_timer(1, 2.7);
  int64_t b = Brek_runtime::add_timer(3, 0.5);
  int64_t c = Brek_runtime::add_timer(9, 100);
  EXPECT_EQ(b, a + 1);
  EXPECT_EQ(Brek_runtime::timer_due(a), 7000);
  EXPECT_EQ(Brek_runtime::timer_due(b), 5000 + 1800000);
  EXPECT_EQ(Brek_runtime::timer_due(c), 5000);
  int64_t n = Brek_runtime::timer_count();
  Brek_runtime::remove_timer(123456789);
  EXPECT_EQ(Brek_runtime::timer_count(), n);
  clock.advance(2000);
  auto due = Brek_runtime::due_timers(clock.ticks());
  EXPECT_EQ(due, (std::vector<int64_t>{a, c}));
  Brek_runtime::remove_timer(a);
  Brek_runtime::remove_timer(b);
  Brek_runtime::remove_timer(c);
  EXPECT_EQ(Brek_runtime::timer_count(), n - 3);
  // A NaN or huge amount never reaches an undefined conversion.
  int64_t d = Brek_runtime::add_timer(0, 0.0 / 0.0);
  EXPECT_EQ(Brek_runtime::timer_due(d), clock.ticks());
  Brek_runtime::remove_timer(d);
  // Far-off timers stay far off in every unit: none wraps round to "due".
  for (int unit = 0; unit <= 4; ++unit) {
    for (double amount : {2e14, 1e300}) {
      int64_t far = Brek_runtime::add_timer(unit, amount);
      int64_t past = Brek_runtime::add_timer(unit, -amount);
      EXPECT_GT(Brek_runtime::timer_due(far), clock.ticks() + 100000000000000LL) << unit << " " << amount;
      EXPECT_LT(Brek_runtime::timer_due(past), clock.ticks()) << unit << " " << amount;
      auto now_due = Brek_runtime::due_timers(clock.ticks());
      EXPECT_EQ(std::count(now_due.begin(), now_due.end(), far), 0) << unit << " " << amount;
      Brek_runtime::remove_timer(far);
      Brek_runtime::remove_timer(past);
    }
  }
}
