#pragma once
// C_Sorting sorts anything that can compare and swap two positions: a
// subclass overrides compare and swap and calls sort(n); the sorter never
// sees the items. The algorithm is an iterative three-way quicksort with a
// median-of-three pivot: pending ranges live on an array stack (no
// recursion), and items equal to the pivot are gathered in one pass and
// left out of both parts, so many equal keys sort in near-linear time.
// A sort takes at most n + 1 steps (one range each); a consistent compare
// never needs more, an inconsistent one is stopped there.
//
// The unit also holds small min/max helpers and the index-of-min/max
// functions.

#include <cstdint>

#include "runtime/dyn_array.h"
#include "runtime/object.h"
#include "runtime/runtime_services.h"

namespace brek {

namespace sorting_detail {

inline void push_range(DynAInt& stack, int64_t start, int64_t count) {
  stack.append(start);
  stack.append(count);
}

// One quicksort step over the range on top of the stack. Ops supplies
// cmp(i, j) and swp(i, j).
template <class Ops>
void step(DynAInt& stack, Ops& ops) {
  int64_t top = stack.count();
  int64_t c = stack.get(top - 1);
  int64_t s = stack.get(top - 2);
  stack.remove(top - 2, 2);
  if (c == 2 && ops.cmp(s, s + 1) > 0) ops.swp(s, s + 1);
  if (c < 3) return;

  int64_t hi = s + c - 1;
  int64_t mid = s + c / 2;
  // Median of three into s; mid then holds an item <= the pivot and hi one
  // >= it.
  if (ops.cmp(mid, hi) > 0) ops.swp(mid, hi);
  if (ops.cmp(mid, s) > 0)
    ops.swp(mid, s);
  else if (ops.cmp(s, hi) > 0)
    ops.swp(s, hi);
  if (c == 3) {
    ops.swp(mid, s);
    return;
  }

  // Partition s+1..hi against the pivot at s: s..e-1 equal items, e..i-1
  // smaller ones, j+1..hi greater ones.
  int64_t i = s + 1, e = s + 1, j = hi;
  for (int64_t guard = 0; guard < 2147483647; ++guard) {
    Brek_runtime::loop_tick();
    for (;;) {
      int32_t r = ops.cmp(i, s);
      if (r > 0) break;
      if (r == 0) [[unlikely]] {
        ops.swp(e, i);
        ++e;
      }
      if (i >= j) break;
      ++i;
    }
    while (j > i) {
      int32_t r = ops.cmp(s, j);
      if (r >= 0) {
        ops.swp(j, i);
        if (r != 0) {
          ++i;
          --j;
        }
        break;
      }
      --j;
    }
    if (j <= i) break;
  }
  if (ops.cmp(i, s) <= 0) ++i;
  // Move the equal block between the two parts.
  for (int64_t k = s, l = i - 1; k < e && l >= e; ++k, --l) ops.swp(k, l);
  push_range(stack, i, s + c - i);  // greater items
  push_range(stack, s, i - e);      // smaller items, processed next
}

// Sorts positions 0..n-1 in at most n + 1 steps; returns the steps taken.
template <class Ops>
int64_t run(DynAInt& stack, int64_t n, Ops& ops) {
  if (n < 0) n = 0;
  stack.clear();
  push_range(stack, 0, n);
  int64_t steps = 0;
  for (int64_t k = 0; k <= n && !stack.empty(); ++k) {
    Brek_runtime::loop_tick();
    step(stack, ops);
    ++steps;
  }
  return steps;
}

}  // namespace sorting_detail

class C_Sorting : public Brek_object {
  BREK_CLASS(C_Sorting)
 public:
  // Positive when item i belongs after item j, 0 when equal, negative when
  // before. The base says every pair is equal.
  virtual int32_t compare(int64_t i, int64_t j) { return 0; }
  // Exchanges items i and j. The base does nothing.
  virtual void swap(int64_t i, int64_t j) {}

  // Sorts positions 0..n-1 ascending by compare, moving items only
  // through swap.
  void sort(int64_t n);
  // One step: pops one range (start, count) off the stack and partitions it.
  void quicksort_step();
  // Steps the last sort took.
  int64_t step_count() const { return steps_; }

  // Sorts a string array in place by bytes ("B" before "a"), swapping
  // through the array.
  static void sort_part(DynAStr& strings);
  // The step of sort_part on a string array with its own stack.
  static void string_quicksort_step(DynAStr& view, DynAInt& stack);

  static double max_real(double a, double b) { return a > b ? a : b; }
  static double min_real(double a, double b) { return a < b ? a : b; }
  static int64_t max_int64(int64_t a, int64_t b) { return a > b ? a : b; }
  static int64_t min_int64(int64_t a, int64_t b) { return a < b ? a : b; }
  // Position of the first smallest / greatest element; 0 for an empty array.
  static int64_t index_of_min_real(const DynAReal& a);
  static int64_t index_of_min_int(const DynAInt& a);
  static int64_t index_of_max_real(const DynAReal& a);
  static int64_t index_of_max_int(const DynAInt& a);
  // x limited to the interval between a and b, whichever is larger.
  static double clamp_real(double a, double b, double x);

  void destroy_hook() override;

  // Pending ranges as pairs (start, count), count on top.
  DynAInt stack;

 protected:
  // The loop of sort: steps until the stack is empty or the bound is
  // reached; returns the steps taken.
  virtual int64_t run_sort(int64_t n);

 private:
  int64_t steps_ = 0;
};

// Base for a sorter class that is declared final: the same sort, with its
// compare and swap called directly (and inlined) instead of through the
// virtual table, for large sorts. Derived is the final class itself.
template <class Derived>
class C_Sorting_of : public C_Sorting {
  BREK_CLASS(C_Sorting_of)
 protected:
  int64_t run_sort(int64_t n) override {
    struct Direct {
      Derived* self;
      int32_t cmp(int64_t i, int64_t j) { return self->compare(i, j); }
      void swp(int64_t i, int64_t j) { self->swap(i, j); }
    } ops{static_cast<Derived*>(this)};
    return sorting_detail::run(stack, n, ops);
  }
};

}  // namespace brek
