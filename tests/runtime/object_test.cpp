#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "runtime/dyn_array.h"
#include "runtime/object.h"

using namespace brek;

namespace {

std::vector<std::string>* g_log = nullptr;

class C_Thing : public Brek_object {
  BREK_CLASS(C_Thing)
 public:
  C_Thing() = default;
  explicit C_Thing(std::string n) : name(std::move(n)) {}
  void init() override { inited = true; }
  void destroy_hook() override {
    if (g_log) g_log->push_back("hook " + name);
    Brek_object::destroy_hook();
  }
  void set_value(int v) {
    if (is_none()) return;  // writes through None change nothing
    value = v;
  }
  std::string name = "none";
  int value = 0;
  bool inited = false;
  DynAInt numbers;
};

class C_Special : public C_Thing {
  BREK_CLASS(C_Special)
 public:
  using C_Thing::C_Thing;
  int special = 7;
};

class C_Other : public Brek_object {
  BREK_CLASS(C_Other)
};

class C_Named : public Brek_object {
  BREK_CLASS(C_Named)
 public:
  DynAStr names{"first", "second"};
};

// A node that references its parent: disposal must cope with cycles.
class C_Node : public Brek_object {
  BREK_CLASS(C_Node)
 public:
  Ref<C_Node> parent;
  Ref<C_Node> child;
};

struct Log_scope {
  std::vector<std::string> log;
  Log_scope() { g_log = &log; }
  ~Log_scope() { g_log = nullptr; }
};

}  // namespace

TEST(ObjectModel, DefaultReferenceIsNoneOfItsClass) {
  Ref<C_Thing> r;
  EXPECT_TRUE(r.is_none());
  EXPECT_EQ(r.get(), none_of<C_Thing>());
  EXPECT_STREQ(r->class_name(), "C_Thing");
  EXPECT_EQ(r->name, "none");
  // Calling through None is safe and changes nothing.
  r->set_value(5);
  Ref<C_Thing> other;
  EXPECT_EQ(other->value, 0);
  EXPECT_FALSE(r->inited);  // None instances never run init
}

TEST(ObjectModel, NewObjectsGetSerialsAndInit) {
  auto a = make<C_Thing>("a");
  auto b = make<C_Thing>("b");
  EXPECT_EQ(b->serial(), a->serial() + 1);
  EXPECT_EQ(current_serial(), b->serial());
  EXPECT_TRUE(a->inited);
  EXPECT_FALSE(a.is_none());
  EXPECT_EQ(a.raw_handle()->strong, 1);
  EXPECT_EQ(a.raw_handle()->weak, 0);
}

TEST(ObjectModel, SelfAssignmentKeepsTheCount) {
  auto a = make<C_Thing>("a");
  Ref<C_Thing>& alias = a;
  a = alias;
  EXPECT_EQ(a.raw_handle()->strong, 1);
  EXPECT_FALSE(a.is_none());
  Ref<C_Thing> b = a;
  b = a;
  EXPECT_EQ(a.raw_handle()->strong, 2);
}

TEST(ObjectModel, LastStrongReleaseDisposesAndWeakSeesNone) {
  Log_scope log;
  Weak<C_Thing> w;
  {
    auto a = make<C_Thing>("a");
    w = a;
    EXPECT_EQ(w->name, "a");
  }
  EXPECT_EQ(log.log, std::vector<std::string>{"hook a"});
  EXPECT_TRUE(w.is_none());
  EXPECT_EQ(w->name, "none");
  EXPECT_TRUE(w.lock().is_none());
  w.reset();  // the last holder gives the handle back
}

TEST(ObjectModel, DisposeNowWithSeveralStrongAndWeakHolders) {
  Log_scope log;
  auto a = make<C_Special>("a");
  Ref<C_Thing> b = a;
  Ref<C_Special> c = a;
  Weak<C_Thing> w1 = a;
  Weak<C_Special> w2 = a;
  dispose_now(b);
  EXPECT_EQ(log.log.size(), 1u);
  // Every holder reads the None instance of the object's own class.
  EXPECT_TRUE(a.is_none());
  EXPECT_TRUE(b.is_none());
  EXPECT_TRUE(c.is_none());
  EXPECT_TRUE(w1.is_none());
  EXPECT_TRUE(w2.is_none());
  EXPECT_STREQ(b->class_name(), "C_Special");
  EXPECT_EQ(b->none_instance(), none_of<C_Special>());
  EXPECT_TRUE(b == Ref<C_Special>());  // as equal as any two None references
  EXPECT_EQ(c->special, 7);
  // The handle is not recycled while held: the holders keep reading None
  // even after new objects are made.
  Ref_obj* h = a.raw_handle();
  auto fresh = make<C_Thing>("fresh");
  EXPECT_NE(fresh.raw_handle(), h);
  EXPECT_TRUE(a.is_none());
  // Releasing a retargeted handle never touches the None instance.
  a.reset();
  b.reset();
  c.reset();
  w1.reset();
  w2.reset();
  EXPECT_FALSE(none_of<C_Special>()->handle());
  EXPECT_TRUE(none_of<C_Special>()->is_none());
  // A second dispose of a disposed object does nothing.
  dispose_now(a);
  EXPECT_EQ(log.log.size(), 1u);
}

TEST(ObjectModel, WritesThroughAStaleReferenceLeaveTheNoneInstanceAsItWas) {
  auto a = make<C_Special>("a");
  Ref<C_Special> r2 = a;
  Weak<C_Thing> w = a;
  dispose_now(a);
  // Fields are public: a stale reference can write them.
  r2->value = 42;
  r2->name = "scribbled";
  r2->special = -1;
  r2->numbers.append(5);
  w->value = 43;
  // A None reference made afterwards reads the class's defaults.
  Ref<C_Special> fresh;
  EXPECT_EQ(fresh->value, 0);
  EXPECT_EQ(fresh->name, "none");
  EXPECT_EQ(fresh->special, 7);
  EXPECT_EQ(fresh->numbers.count(), 0);
  EXPECT_EQ(none_of<C_Thing>()->value, 0);
  // So does a checked cast that fails, and the handle of the next object
  // disposed.
  EXPECT_EQ(ref_cast<C_Special>(Ref<C_Thing>(make<C_Thing>("t")))->value, 0);
  auto b = make<C_Special>("b");
  Ref<C_Special> r3 = b;
  dispose_now(b);
  EXPECT_TRUE(r3.is_none());
  EXPECT_EQ(r3->value, 0);
  EXPECT_EQ(r3->name, "none");
  EXPECT_EQ(r3->special, 7);
}

TEST(ObjectModel, StaleReferencesWrittenIntoStaleObjectsAreFreedOnce) {
  // Each stale node's scratch copy holds the last reference to another
  // stale node: freeing the first frees the second's copy on the way.
  for (int i = 0; i < 600; ++i) {
    auto holder = make<C_Node>();
    Ref<C_Node> stale_holder = holder;
    dispose_now(holder);
    auto held = make<C_Node>();
    Ref<C_Node> stale_held = held;
    dispose_now(held);
    stale_holder->child = stale_held;
    stale_held.reset();
    EXPECT_TRUE(stale_holder->child.is_none());
    stale_holder.reset();
  }
  auto live = make<C_Node>();
  live->child = make<C_Node>();
  EXPECT_FALSE(live->child.is_none());
}

TEST(ObjectModel, ChildrenAreDisposedInOrderBeforeTheHook) {
  Log_scope log;
  auto parent = make<C_Thing>("parent");
  auto c1 = make<C_Thing>("c1");
  auto c2 = make<C_Thing>("c2");
  parent->own(c1);
  parent->own(c2);
  parent.reset();
  EXPECT_EQ(log.log, (std::vector<std::string>{"hook c1", "hook c2", "hook parent"}));
  EXPECT_TRUE(c1.is_none());
  EXPECT_TRUE(c2.is_none());
}

TEST(ObjectModel, CyclesOfReferencesAreBrokenByDispose) {
  auto p = make<C_Node>();
  auto c = make<C_Node>();
  p->child = c;
  c->parent = p;
  Weak<C_Node> wc = c;
  c.reset();
  dispose_now(p);
  EXPECT_TRUE(p.is_none());
  // The child stays alive only through the disposed parent's field, which
  // was released when the parent's memory went.
  EXPECT_TRUE(wc.is_none());
}

TEST(ObjectModel, CheckedCast) {
  auto s = make<C_Special>("s");
  Ref<C_Thing> t = s;
  Ref<C_Special> back = ref_cast<C_Special>(t);
  EXPECT_EQ(back.get(), s.get());
  Ref<C_Other> wrong = ref_cast<C_Other>(t);
  EXPECT_TRUE(wrong.is_none());
  EXPECT_EQ(wrong.get(), none_of<C_Other>());
  auto plain = make<C_Thing>("p");
  EXPECT_TRUE(ref_cast<C_Special>(plain).is_none());
  Ref<Brek_object> base = s;
  EXPECT_EQ(ref_cast<C_Thing>(base).get(), s.get());
}

TEST(ObjectModel, RecordsSurviveMatchedAssignRelease) {
  struct St_pair__C_Test : Structure_any {
    BREK_CLASS(St_pair__C_Test)
   public:
    int a = 1;
  };
  Weak<St_pair__C_Test> w;
  {
    auto r = make_record<St_pair__C_Test>();
    w = r;
    for (int i = 0; i < 100; ++i) {
      Ref<St_pair__C_Test> copy = r;
      copy->a = i;
    }
  }
  EXPECT_FALSE(w.is_none());  // no release disposes a record
  EXPECT_EQ(w->a, 99);
  Ref_obj* h = w.raw_handle();
  dispose_now(w);
  EXPECT_TRUE(w.is_none());
  // Once the last holder lets go, the record's handle is free again: the
  // pool hands it to the next object (last in, first out).
  w.reset();
  auto next = make<C_Other>();
  EXPECT_EQ(next.raw_handle(), h);
}

TEST(ObjectModel, NoneArraysAreFrozen) {
  Ref<C_Thing> n;
  n->numbers.append(5);
  n->numbers.set_length(3);
  Ref<C_Thing> other;
  EXPECT_EQ(other->numbers.count(), 0);
  auto real = make<C_Thing>("r");
  real->numbers.append(5);
  EXPECT_EQ(real->numbers.count(), 1);
  // A copy of a frozen array is an ordinary array.
  DynAInt copy = n->numbers;
  copy.append(1);
  EXPECT_EQ(copy.count(), 1);
  // Moving out of a None's array copies it: the None keeps what it holds.
  Ref<C_Named> none;
  DynAStr taken = std::move(none->names);
  taken.append("third");
  EXPECT_EQ(taken.count(), 3);
  DynAStr assigned;
  assigned = std::move(none->names);
  EXPECT_EQ(assigned.count(), 2);
  EXPECT_EQ(Ref<C_Named>()->names.to_vector(), (std::vector<std::string>{"first", "second"}));
}

// What a thread's end releases after the thread's handles were torn down:
// objects of thread storage made before its first reference, and at the
// program's exit every object of static storage (a benchmark's viewer and
// screen kept in globals, one of them disposed while held).
namespace {
struct Late_holder {
  Ref<C_Thing> disposed, alive;
  void fill() {
    disposed = make<C_Thing>("disposed");
    alive = make<C_Thing>("alive");
    dispose_now(disposed);
  }
};

void end_holding_late_references() {
  std::thread([] {
    thread_local Late_holder late;
    late.fill();
    // 64 handles back to the thread's pool: its list is full, so one more
    // would move it.
    std::vector<Ref<C_Thing>> many(64);
    for (auto& r : many) r = make<C_Thing>();
  }).join();
  static Late_holder at_exit;
  at_exit.fill();
  std::exit(0);
}
}  // namespace

TEST(ObjectModelDeathTest, ReferencesReleasedAfterTheirThreadsHandlesWentAtItsEnd) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(end_holding_late_references(), testing::ExitedWithCode(0), "");
}
