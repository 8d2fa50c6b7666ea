#include "baselib/sorting.h"

#include <string>

#include "runtime/runtime_services.h"
#include "runtime/strings.h"

namespace brek {

namespace {

void push_range(DynAInt& stack, int64_t start, int64_t count) {
  stack.append(start);
  stack.append(count);
}

// One quicksort step over the range on top of the stack. Ops supplies
// cmp(i, j) and swp(i, j); a template so that the string sorter compares
// without virtual calls.
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
      if (r == 0) {
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

struct Virtual_ops {
  C_Sorting* sorter;
  int32_t cmp(int64_t i, int64_t j) { return sorter->compare(i, j); }
  void swp(int64_t i, int64_t j) { sorter->swap(i, j); }
};

struct String_ops {
  DynAStr& strings;
  int32_t cmp(int64_t i, int64_t j) {
    static const std::string empty;
    const DynAStr& read = strings;
    const std::string* a = read.at(i);
    const std::string* b = read.at(j);
    return Brek_runtime::str_not_equal(a ? *a : empty, b ? *b : empty);
  }
  void swp(int64_t i, int64_t j) { strings.swap(i, j); }
};

template <class A>
int64_t index_of_best(const A& a, bool greatest) {
  int64_t best = 0;
  for (int64_t i = 1; i < a.count(); ++i) {
    Brek_runtime::loop_tick();
    if (greatest ? a.get(i) > a.get(best) : a.get(i) < a.get(best)) best = i;
  }
  return best;
}

}  // namespace

void C_Sorting::sort(int64_t n) {
  if (is_none()) return;
  stack.clear();
  push_range(stack, 0, n);
  steps_ = 0;
  Virtual_ops ops{this};
  for (int64_t k = 0; k <= n && !stack.empty(); ++k) {
    Brek_runtime::loop_tick();
    step(stack, ops);
    ++steps_;
  }
}

void C_Sorting::quicksort_step() {
  if (is_none() || stack.count() < 2) return;
  Virtual_ops ops{this};
  step(stack, ops);
}

void C_Sorting::string_quicksort_step(DynAStr& view, DynAInt& stack) {
  if (stack.count() < 2) return;
  String_ops ops{view};
  step(stack, ops);
}

void C_Sorting::sort_part(DynAStr& strings) {
  DynAInt stack;
  int64_t n = strings.count();
  push_range(stack, 0, n);
  for (int64_t k = 0; k <= n && !stack.empty(); ++k) {
    Brek_runtime::loop_tick();
    string_quicksort_step(strings, stack);
  }
}

int64_t C_Sorting::index_of_min_real(const DynAReal& a) { return index_of_best(a, false); }
int64_t C_Sorting::index_of_min_int(const DynAInt& a) { return index_of_best(a, false); }
int64_t C_Sorting::index_of_max_real(const DynAReal& a) { return index_of_best(a, true); }
int64_t C_Sorting::index_of_max_int(const DynAInt& a) { return index_of_best(a, true); }

double C_Sorting::clamp_real(double a, double b, double x) {
  double upper = max_real(a, b), lower = min_real(a, b);
  return max_real(min_real(x, upper), lower);
}

void C_Sorting::destroy_hook() {
  stack.clear();
  Brek_object::destroy_hook();
}

}  // namespace brek
