#pragma once
// Dynamic arrays with the program's safe rules: a read out of range gives
// the element type's empty value, a write, swap or delete out of range does
// nothing, and an insert beyond the end appends (2147483647 and -1 are both
// "append": indexes are tested as unsigned). An array can be a view on a
// range of another array; writes through a view land in the viewed array.
//
// Copying an array copies its elements (its `copy`); copying a view gives
// another view on the same elements; moving leaves the source empty and
// usable. Arrays that belong to a None instance are frozen: writes made
// through a None reference change nothing, and a move out of one copies.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "runtime/object.h"

namespace brek {

// The index that generated code uses to append.
inline constexpr int64_t APPEND = 2147483647;

template <class E>
class DynArray {
 public:
  using value_type = E;

  DynArray() : store_(std::make_shared<std::vector<E>>()), frozen_(detail::constructing_none()) {}
  DynArray(std::initializer_list<E> init)
      : store_(std::make_shared<std::vector<E>>(init)), frozen_(detail::constructing_none()) {}
  explicit DynArray(std::vector<E> v)
      : store_(std::make_shared<std::vector<E>>(std::move(v))),
        frozen_(detail::constructing_none()) {}

  DynArray(const DynArray& o) : frozen_(detail::constructing_none()) { copy_from(o); }
  DynArray(DynArray&& o) noexcept : frozen_(detail::constructing_none()) { take_from(o); }
  DynArray& operator=(const DynArray& o) {
    if (this != &o && !frozen_) copy_from(o);
    return *this;
  }
  DynArray& operator=(DynArray&& o) noexcept {
    if (this != &o && !frozen_) take_from(o);
    return *this;
  }

  // Number of elements (a view: its length, cut to what the viewed array
  // still holds).
  int64_t count() const {
    if (!view_) return static_cast<int64_t>(store_->size());
    int64_t avail = static_cast<int64_t>(store_->size()) - offset_;
    return std::max<int64_t>(0, std::min(length_, avail));
  }
  bool empty() const { return count() == 0; }

  // Element i, or the empty value out of range.
  E get(int64_t i) const {
    if (!in_range(i)) return E();
    return (*store_)[offset_ + i];
  }
  E operator[](int64_t i) const { return get(i); }
  // Element i in place, for records kept by value; nullptr out of range.
  E* at(int64_t i) {
    if (!in_range(i) || frozen_) return nullptr;
    return &(*store_)[offset_ + i];
  }
  const E* at(int64_t i) const {
    if (!in_range(i)) return nullptr;
    return &(*store_)[offset_ + i];
  }

  void set(int64_t i, E v) {
    if (frozen_ || !in_range(i)) return;
    (*store_)[offset_ + i] = std::move(v);
  }

  // Inserts before element i; an index at or beyond the end appends.
  // Views do not insert.
  void insert(int64_t i, E v) {
    if (frozen_ || view_) return;
    uint64_t n = store_->size();
    uint64_t at = static_cast<uint64_t>(i) > n ? n : static_cast<uint64_t>(i);
    store_->insert(store_->begin() + static_cast<std::ptrdiff_t>(at), std::move(v));
  }
  void append(E v) { insert(APPEND, std::move(v)); }

  // Removes n elements from i (cut to the end); nothing when i is out of
  // range or n <= 0. Views do not remove.
  void remove(int64_t i, int64_t n = 1) {
    if (frozen_ || view_ || !in_range(i) || n <= 0) return;
    int64_t end = std::min<int64_t>(count(), i + std::min<int64_t>(n, count()));
    store_->erase(store_->begin() + i, store_->begin() + end);
  }

  // First index holding an element equal to v, else -1.
  int64_t index_of(const E& v) const {
    int64_t n = count();
    for (int64_t i = 0; i < n; ++i)
      if ((*store_)[offset_ + i] == v) return i;
    return -1;
  }
  bool contains(const E& v) const { return index_of(v) >= 0; }

  void swap(int64_t i, int64_t j) {
    if (frozen_ || !in_range(i) || !in_range(j)) return;
    std::swap((*store_)[offset_ + i], (*store_)[offset_ + j]);
  }

  // Removes every element; a view's length becomes 0.
  void clear() {
    if (frozen_) return;
    if (view_) {
      length_ = 0;
      return;
    }
    store_->clear();
  }

  // Sets the length; new elements are empty values. Not for views.
  void set_length(int64_t n) {
    if (frozen_ || view_ || n < 0) return;
    store_->resize(static_cast<size_t>(n));
  }

  // A new array holding the same elements (a view copies as a view).
  DynArray copy() const { return DynArray(*this); }

  // A view on elements from..to (inclusive) of this array: to is cut to
  // the last element, from raised to 0; an inverted range gives length 0.
  // A view of a view refers to the underlying array.
  DynArray view(int64_t from, int64_t to) const {
    int64_t n = count();
    if (to >= n) to = n - 1;
    if (from < 0) from = 0;
    if (from > n) from = n;  // keeps the offset sum in range
    DynArray v(view_tag{});
    v.store_ = store_;
    v.view_ = true;
    v.offset_ = offset_ + from;
    v.length_ = std::max<int64_t>(0, to - from + 1);
    v.frozen_ = frozen_;
    return v;
  }
  bool is_view() const { return view_; }
  bool is_frozen() const { return frozen_; }

  // The address of element 0 (the viewed array's storage plus the offset).
  E* data() { return store_->data() + offset_; }
  const E* data() const { return store_->data() + offset_; }

  // Iteration over the elements.
  const E* begin() const { return data(); }
  const E* end() const { return data() + count(); }

  // The elements as a vector (a copy).
  std::vector<E> to_vector() const { return std::vector<E>(begin(), end()); }

 private:
  struct view_tag {};
  explicit DynArray(view_tag) : frozen_(false) {}

  bool in_range(int64_t i) const { return static_cast<uint64_t>(i) < static_cast<uint64_t>(count()); }

  void copy_from(const DynArray& o) {
    if (o.view_) {
      store_ = o.store_;
      view_ = true;
      offset_ = o.offset_;
      length_ = o.length_;
    } else {
      store_ = std::make_shared<std::vector<E>>(*o.store_);
      view_ = false;
      offset_ = 0;
      length_ = 0;
    }
  }

  // Leaves o an empty array. A frozen array (a None instance's) gives a
  // copy and keeps what it holds.
  void take_from(DynArray& o) {
    if (o.frozen_) {
      copy_from(o);
      return;
    }
    store_ = std::move(o.store_);
    offset_ = o.offset_;
    length_ = o.length_;
    view_ = o.view_;
    o.store_ = std::make_shared<std::vector<E>>();
    o.view_ = false;
    o.offset_ = o.length_ = 0;
  }

  std::shared_ptr<std::vector<E>> store_;
  int64_t offset_ = 0;
  int64_t length_ = 0;
  bool view_ = false;
  bool frozen_ = false;
};

using DynAInt = DynArray<int64_t>;
using DynAReal = DynArray<double>;
using DynAByte = DynArray<uint8_t>;
using DynAStr = DynArray<std::string>;

// An array of strong references; out-of-range reads give T's None.
template <class T>
class DynAObj : public DynArray<Ref<T>> {
 public:
  using DynArray<Ref<T>>::DynArray;
  // The disposing kind: clear() disposes every element, last first, even
  // when it is referenced elsewhere.
  static DynAObj disposing() {
    DynAObj a;
    a.disposing_ = true;
    return a;
  }
  bool is_disposing() const { return disposing_; }
  void clear() {
    if (this->is_frozen()) return;
    if (disposing_ && !this->is_view()) {
      for (int64_t i = this->count() - 1; i >= 0; --i) dispose_now(this->get(i));
    }
    DynArray<Ref<T>>::clear();
  }

 private:
  bool disposing_ = false;
};

// An array of weak references.
template <class T>
using DynAWeak = DynArray<Weak<T>>;

namespace Brek_runtime {

// Removes every entry referring to obj, scanning from the last to the first.
template <class T, class U>
void dyn_obj_remove_all(DynArray<Ref<T>>& list, const Ref<U>& obj) {
  const Brek_object* target = obj.get();
  for (int64_t i = list.count() - 1; i >= 0; --i)
    if (static_cast<const Brek_object*>(list.get(i).get()) == target) list.remove(i, 1);
}

// Removes every element equal to v, scanning from the last to the first.
inline void dyn_int_remove_value(DynAInt& a, int64_t v) {
  for (int64_t i = a.count() - 1; i >= 0; --i)
    if (a.get(i) == v) a.remove(i, 1);
}
inline void dyn_int_remove_all(DynAInt& a, int64_t v) { dyn_int_remove_value(a, v); }

inline bool dyn_str_contains(const DynAStr& a, const std::string& s) { return a.index_of(s) >= 0; }
inline bool dyn_int_contains(const DynAInt& a, int64_t v) { return a.index_of(v) >= 0; }
template <class T, class U>
bool dyn_obj_contains(const DynArray<Ref<T>>& a, const Ref<U>& v) {
  const Brek_object* target = v.get();
  for (int64_t i = 0; i < a.count(); ++i)
    if (static_cast<const Brek_object*>(a.get(i).get()) == target) return true;
  return false;
}

// Whether one of elements 0..last of a plain buffer equals v.
template <class E>
bool buffer_contains(const E* buffer, int64_t last, const E& v) {
  for (int64_t i = 0; i <= last; ++i)
    if (buffer[i] == v) return true;
  return false;
}

}  // namespace Brek_runtime
}  // namespace brek
