#include "baselib/sorting.h"

#include <string>

#include "runtime/runtime_services.h"
#include "runtime/strings.h"

namespace brek {

namespace {

using sorting_detail::push_range;
using sorting_detail::step;

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
  steps_ = run_sort(n);
}

int64_t C_Sorting::run_sort(int64_t n) {
  Virtual_ops ops{this};
  return sorting_detail::run(stack, n, ops);
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
  String_ops ops{strings};
  sorting_detail::run(stack, strings.count(), ops);
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
