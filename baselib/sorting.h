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

namespace brek {

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

 private:
  int64_t steps_ = 0;
};

}  // namespace brek
