// Hand-over of an object to a second thread at the level of the object
// runtime: each thread counts its own handle, and the side that lets go last
// disposes the object on its own thread. Run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "runtime/object.h"

using namespace brek;

namespace {

struct Death_note {
  std::mutex m;
  std::thread::id thread;
  int hooks = 0;
};

class C_Shared : public Brek_object {
  BREK_CLASS(C_Shared)
 public:
  int value = 0;
  Death_note* note = nullptr;
  void destroy_hook() override {
    if (note) {
      std::lock_guard<std::mutex> lock(note->m);
      note->thread = std::this_thread::get_id();
      ++note->hooks;
    }
    Brek_object::destroy_hook();
  }
};

// Copies and drops references the way busy code does.
void churn(const Ref<C_Shared>& r, int rounds) {
  for (int i = 0; i < rounds; ++i) {
    Ref<C_Shared> a = r;
    Ref<C_Shared> b = Ref<C_Shared>(a.get());  // from a plain pointer, as Ref(this) does
    Weak<C_Shared> w = b;
    Ref<C_Shared> c = w.lock();
  }
}

// Runs f on a second thread that holds o through handle h.
template <class F>
std::thread second_side(C_Shared* o, Ref_obj* h, F f) {
  return std::thread([o, h, f] {
    adopt_handed_over(o, h);
    {
      ++h->strong;
      Ref<C_Shared> mine = Ref<C_Shared>::adopt(h);
      f(mine);
    }
    forget_handed_over();
  });
}

}  // namespace

TEST(ThreadHandover, EachSideCountsItsOwnHandle) {
  Death_note note;
  auto obj = make<C_Shared>();
  obj->note = &note;
  obj->value = 7;
  Ref_obj* h = hand_over(obj.get());
  ASSERT_NE(h, nullptr);
  EXPECT_NE(h, obj.raw_handle());
  std::atomic<bool> saw_own_handle{false};
  std::thread t = second_side(obj.get(), h, [&](Ref<C_Shared>& mine) {
    saw_own_handle = Ref<C_Shared>(mine.get()).raw_handle() == h;
    churn(mine, 20000);
  });
  churn(obj, 20000);  // at the same time, through the owner's handle
  t.join();
  EXPECT_TRUE(saw_own_handle);
  // The second side let go first: the object is the owner's alone again.
  EXPECT_EQ(obj->value, 7);
  EXPECT_EQ(Ref<C_Shared>(obj.get()).raw_handle(), obj.raw_handle());
  EXPECT_EQ(note.hooks, 0);
  obj.reset();
  EXPECT_EQ(note.hooks, 1);
  EXPECT_EQ(note.thread, std::this_thread::get_id());
}

TEST(ThreadHandover, TheSideThatLetsGoLastDisposesOnItsThread) {
  Death_note note;
  auto obj = make<C_Shared>();
  obj->note = &note;
  obj->value = 3;
  Weak<C_Shared> watch = obj;
  Ref_obj* h = hand_over(obj.get());
  std::atomic<bool> owner_gone{false};
  std::atomic<int> value_seen{0};
  std::thread::id second;
  std::thread t = second_side(obj.get(), h, [&](Ref<C_Shared>& mine) {
    while (!owner_gone) std::this_thread::yield();
    value_seen = mine->value;  // still alive for this side
  });
  second = t.get_id();
  obj.reset();
  // The owner let go: its references read None at once, although the
  // object lives on for the other side.
  EXPECT_TRUE(watch.is_none());
  EXPECT_TRUE(watch.lock().is_none());
  owner_gone = true;
  t.join();
  EXPECT_EQ(value_seen, 3);
  EXPECT_EQ(note.hooks, 1);
  EXPECT_EQ(note.thread, second);
}

TEST(ThreadHandover, OnlyLiveObjectsAreHandedOverAndOnlyOnce) {
  EXPECT_EQ(hand_over(none_of<C_Shared>()), nullptr);
  EXPECT_EQ(hand_over(nullptr), nullptr);
  auto obj = make<C_Shared>();
  Ref_obj* h = hand_over(obj.get());
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(hand_over(obj.get()), nullptr);
  // A second side that never ran lets go on the owner's thread.
  ++h->strong;
  Ref<C_Shared>::adopt(h).reset();
  EXPECT_FALSE(obj.is_none());
  obj.reset();
}

// Both sides let go by disposing while they keep references: each side's
// stale references read and write a copy of their own, never one shared
// with the other thread, and the None instance stays as it was.
TEST(ThreadHandover, StaleWritesOnEachSideStayOnThatSide) {
  Death_note note;
  auto obj = make<C_Shared>();
  obj->note = &note;
  Ref<C_Shared> kept = obj;
  Ref_obj* h = hand_over(obj.get());
  std::atomic<bool> mixed{false};
  std::thread t = second_side(obj.get(), h, [&](Ref<C_Shared>& mine) {
    Ref<C_Shared> other = mine;
    dispose_now(mine);
    for (int i = 1; i <= 20000; ++i) {
      other->value = i;
      if (other->value != i) mixed = true;
    }
  });
  dispose_now(obj);
  for (int i = 1; i <= 20000; ++i) {
    kept->value = -i;
    if (kept->value != -i) mixed = true;
  }
  t.join();
  EXPECT_FALSE(mixed);
  EXPECT_TRUE(kept.is_none());
  EXPECT_EQ(note.hooks, 1);
  EXPECT_EQ(none_of<C_Shared>()->value, 0);
}
