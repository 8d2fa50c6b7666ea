// Thread objects: start, polling, stop, the registry of ids and the hand-over
// of the thread object to its worker. These tests also run under
// ThreadSanitizer (see README.md).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "baselib/thread.h"
#include "runtime/dyn_array.h"
#include "runtime/runtime_services.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

using namespace brek;
using brek_test::wait_until;

namespace {

class Gate {
 public:
  void open() {
    std::lock_guard<std::mutex> lock(m_);
    open_ = true;
    cv_.notify_all();
  }
  void wait() {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool open_ = false;
};

// Where and whether a job was disposed.
struct Death_note {
  std::mutex m;
  std::thread::id thread;
  std::atomic<int> hooks{0};
  std::thread::id where() {
    std::lock_guard<std::mutex> lock(m);
    return thread;
  }
};

class C_Job : public C_Thread {
  BREK_CLASS(C_Job)
 public:
  std::function<void(C_Job&)> body;
  Death_note* note = nullptr;
  std::string dir;
  DynAStr entries;
  std::thread::id ran_on;
  std::atomic<bool> saw_stop{false};

  void run() override {
    ran_on = std::this_thread::get_id();
    if (body) body(*this);
    C_Thread::run();
  }
  void destroy_hook() override {
    if (note) {
      std::lock_guard<std::mutex> lock(note->m);
      note->thread = std::this_thread::get_id();
      note->hooks.fetch_add(1);
    }
    C_Thread::destroy_hook();
  }
};

// A body that runs until it is stopped; saw_stop tells whether the stop
// came (not the wait's bound).
void run_until_stopped(C_Job& j) {
  j.saw_stop = wait_until([&j] { return !j.is_running_flag(); }, std::chrono::seconds(60));
}

}  // namespace

TEST(ThreadRegistry, IdsStartAtOneGrowByHundredsAndAreReused) {
  Thread_registry reg;
  EXPECT_EQ(reg.owner_capacity(), 0);
  for (int64_t i = 1; i <= 150; ++i) {
    EXPECT_EQ(reg.register_record(new Brek_thread()), i);
    if (i == 1 || i == 99) {
      EXPECT_EQ(reg.owner_capacity(), 100) << i;
    }
    if (i == 100) {
      EXPECT_EQ(reg.owner_capacity(), 200);
    }
  }
  EXPECT_EQ(reg.owner_capacity(), 200);
  EXPECT_EQ(reg.live_count(), 150);
  EXPECT_EQ(reg.owner_count(3), 2);
  reg.unregister(3);
  EXPECT_NE(reg.record(3), nullptr);  // one owner left
  reg.unregister(3);
  EXPECT_EQ(reg.record(3), nullptr);
  reg.unregister(3);  // nothing left to give up
  EXPECT_EQ(reg.record(4)->id, 4);
  // Ids never handed out change nothing.
  reg.unregister(0);
  reg.unregister(-1);
  reg.unregister(1000);
  EXPECT_EQ(reg.live_count(), 149);
  EXPECT_EQ(reg.register_record(new Brek_thread()), 3);
  EXPECT_EQ(reg.register_record(new Brek_thread()), 151);
}

TEST(Thread, AnUnstartedObjectHasNoRecord) {
  auto job = make<C_Job>();
  EXPECT_EQ(job->id(), 0);
  EXPECT_TRUE(job->is_finished());  // nothing runs
  EXPECT_FALSE(job->is_running());
  Ref<C_Thread> none;
  EXPECT_FALSE(none->is_finished());
  EXPECT_TRUE(none->start().is_none());
}

TEST(Thread, StartRunsTheBodyOnAWorkerUntilItFinishes) {
  Gate gate;
  auto job = make<C_Job>();
  job->dir = "/some/dir";
  job->body = [&gate](C_Job& j) {
    gate.wait();
    for (int i = 0; i < 3; ++i) j.entries.append(j.dir + "/" + std::to_string(i));
  };
  Ref<C_Thread> started = job->start();
  ASSERT_FALSE(started.is_none());
  EXPECT_TRUE(started.same(Ref<C_Thread>(job)));
  EXPECT_TRUE(job->started());
  EXPECT_GT(job->id(), 0);
  EXPECT_FALSE(job->is_finished());
  EXPECT_TRUE(job->is_running());
  EXPECT_TRUE(job->is_running_flag());
  // A started object does not start again.
  EXPECT_TRUE(job->start().is_none());
  gate.open();
  ASSERT_TRUE(wait_until([&] { return job->is_finished(); }));
  EXPECT_FALSE(job->is_running());
  EXPECT_FALSE(job->is_running_flag());
  EXPECT_NE(job->ran_on, std::this_thread::get_id());
  // What the body produced is there for the starting thread.
  EXPECT_EQ(job->entries.count(), 3);
  EXPECT_EQ(job->entries.get(2), "/some/dir/2");
  EXPECT_TRUE(job->start().is_none());
}

TEST(Thread, AStopIsNeverLost) {
  // Before start: start refuses and nothing runs.
  auto early = make<C_Job>();
  early->stop();
  EXPECT_TRUE(early->start().is_none());
  EXPECT_EQ(early->id(), 0);
  EXPECT_TRUE(early->is_finished());
  // Right after start, whether or not the worker has begun: the body sees
  // the cleared flag and ends.
  for (int i = 0; i < 30; ++i) {
    auto job = make<C_Job>();
    job->body = run_until_stopped;
    Ref<C_Thread> t = job->start();
    t->stop();
    ASSERT_TRUE(wait_until([&] { return t->is_finished(); })) << "round " << i;
    EXPECT_TRUE(job->saw_stop) << "round " << i;
  }
  // While the body polls.
  std::atomic<bool> entered{false};
  auto job = make<C_Job>();
  job->body = [&entered](C_Job& j) {
    entered = true;
    run_until_stopped(j);
  };
  Ref<C_Thread> t = job->start();
  ASSERT_TRUE(wait_until([&] { return entered.load(); }));
  EXPECT_FALSE(t->is_finished());
  t->stop();
  EXPECT_TRUE(wait_until([&] { return t->is_finished(); }));
  EXPECT_TRUE(job->saw_stop);
}

TEST(Thread, LettingGoOfEveryReferenceWhileTheBodyRuns) {
  // By dropping the references, and by disposing the object at once.
  for (bool forced : {false, true}) {
    Gate gate;
    Death_note note;
    std::atomic<bool> whole{false};
    int64_t id = 0;
    Weak<C_Job> watch;
    {
      auto job = make<C_Job>();
      job->note = &note;
      job->dir = "kept";
      job->body = [&gate, &whole](C_Job& j) {
        gate.wait();
        // The object is still whole for the worker, which references it
        // through its own handle.
        Ref<C_Job> self(&j);
        Ref<C_Job> copy = self;
        whole = !copy.is_none() && copy->dir == "kept";
      };
      watch = job;
      Ref<C_Thread> t = job->start();
      id = job->id();
      if (forced) {
        dispose_now(t);
        EXPECT_TRUE(job.is_none());
      }
    }
    // The starting side let go: its references read None, the body runs on
    // and the record stays.
    EXPECT_TRUE(watch.is_none());
    EXPECT_NE(Thread_registry::global().record(id), nullptr);
    EXPECT_EQ(note.hooks.load(), 0);
    gate.open();
    ASSERT_TRUE(wait_until([&] { return note.hooks.load() == 1; })) << forced;
    EXPECT_NE(note.where(), std::this_thread::get_id()) << forced;  // disposed on the worker
    EXPECT_TRUE(whole.load()) << forced;
    // Both owners are done: the id is free again.
    EXPECT_TRUE(wait_until([&] { return Thread_registry::global().record(id) == nullptr; }));
    watch.reset();
  }
}

TEST(Thread, AnObjectStillHeldSurvivesTheBodyAndDiesOnItsOwnThread) {
  Death_note note;
  auto job = make<C_Job>();
  job->note = &note;
  job->body = [](C_Job& j) {
    // References taken on the worker count on the worker's own handle,
    // while the starting thread copies its own below.
    for (int i = 0; i < 20000; ++i) {
      Ref<C_Job> self(&j);
      Weak<C_Job> w = self;
    }
  };
  Ref<C_Thread> t = job->start();
  for (int i = 0; i < 20000; ++i) {
    Ref<C_Job> again(job.get());
    Ref<C_Thread> copy = t;
  }
  ASSERT_TRUE(wait_until([&] { return t->is_finished(); }));
  EXPECT_EQ(Ref<C_Job>(job.get()).raw_handle(), job.raw_handle());
  job.reset();
  t.reset();
  EXPECT_EQ(note.hooks.load(), 1);
  EXPECT_EQ(note.where(), std::this_thread::get_id());
}

TEST(Thread, IdsAreReusedAfterAThreadEnds) {
  auto first = make<C_Job>();
  first->start();
  ASSERT_TRUE(wait_until([&] { return first->is_finished(); }));
  int64_t id = first->id();
  first.reset();
  // Once the owner saw the end and let go, the id is free at once.
  EXPECT_EQ(Thread_registry::global().record(id), nullptr);
  auto second = make<C_Job>();
  second->start();
  EXPECT_EQ(second->id(), id);
  ASSERT_TRUE(wait_until([&] { return second->is_finished(); }));
}

TEST(Thread, MoreThanAHundredThreadsAtOnce) {
  Gate gate;
  std::vector<Ref<C_Thread>> threads;
  std::set<int64_t> ids;
  for (int i = 0; i < 130; ++i) {
    auto job = make<C_Job>();
    job->body = [&gate](C_Job&) { gate.wait(); };
    threads.push_back(job->start());
    ASSERT_FALSE(threads.back().is_none());
    ids.insert(threads.back()->id());
  }
  EXPECT_EQ(ids.size(), 130u);
  EXPECT_GE(*ids.rbegin(), 130);
  EXPECT_GE(Thread_registry::global().owner_capacity(), 200);
  EXPECT_TRUE(wait_until([] { return Thread_registry::global().running_bodies() == 130; }));
  gate.open();
  for (auto& t : threads) EXPECT_TRUE(wait_until([&] { return t->is_finished(); }));
  EXPECT_EQ(Thread_registry::global().running_bodies(), 0);
}

TEST(Thread, AnExceptionLeavingTheBodyEndsOnlyTheWorker) {
  auto job = make<C_Job>();
  job->body = [](C_Job&) { Brek_runtime::raise_stop("worker gave up"); };
  Ref<C_Thread> t = job->start();
  EXPECT_TRUE(wait_until([&] { return t->is_finished(); }));
  EXPECT_FALSE(t->is_running_flag());
}

TEST(ThreadDeathTest, WorkersStillRunningAtExitAreStoppedAndJoined) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The child runs this test again from the start: it takes the parent's
  // mark from the environment instead of making a directory of its own.
  const char* inherited = std::getenv("COLLAGE_TEST_EXIT_MARK");
  std::optional<brek_test::Temp_dir> dir;
  if (!inherited) dir.emplace();
  const std::string marker = inherited ? inherited : dir->file("stopped");
  setenv("COLLAGE_TEST_EXIT_MARK", marker.c_str(), 1);
  EXPECT_EXIT(
      {
        auto job = make<C_Job>();
        job->body = [](C_Job& j) {
          run_until_stopped(j);
          if (j.saw_stop) brek_test::write_file(std::getenv("COLLAGE_TEST_EXIT_MARK"), "stopped");
        };
        job->start();
        std::exit(0);
      },
      testing::ExitedWithCode(0), "");
  unsetenv("COLLAGE_TEST_EXIT_MARK");
  EXPECT_EQ(brek_test::read_file(marker), "stopped");
}
