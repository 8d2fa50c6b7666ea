#include <gtest/gtest.h>

#include <string>

#include "runtime/dyn_array.h"

using namespace brek;

namespace {
class C_Item : public Brek_object {
  BREK_CLASS(C_Item)
 public:
  int v = 0;
};
}  // namespace

TEST(DynArray, AppendIdiomsAndClampedInsert) {
  DynAInt a{1, 2, 3};
  a.insert(2147483647, 4);
  a.insert(-1, 5);  // -1 is out of range as an unsigned index: appends
  EXPECT_EQ(a.to_vector(), (std::vector<int64_t>{1, 2, 3, 4, 5}));
  a.insert(0, 0);
  EXPECT_EQ(a.get(0), 0);
  EXPECT_EQ(a.count(), 6);
}

TEST(DynArray, OutOfRangeReadsAndWrites) {
  DynAStr s{"a", "b"};
  EXPECT_EQ(s.get(-1), "");
  EXPECT_EQ(s.get(2), "");
  s.set(2, "x");
  s.set(-1, "x");
  EXPECT_EQ(s.count(), 2);
  s.swap(0, 5);
  EXPECT_EQ(s.get(0), "a");
  s.swap(0, 1);
  EXPECT_EQ(s.get(0), "b");

  DynAInt d{1, 2, 3, 4};
  d.remove(4, 1);
  EXPECT_EQ(d.count(), 4);
  d.remove(1, 100);
  EXPECT_EQ(d.to_vector(), std::vector<int64_t>{1});
  d.remove(0, 0);
  EXPECT_EQ(d.count(), 1);

  DynAObj<C_Item> objs;
  EXPECT_TRUE(objs.get(0).is_none());
  EXPECT_EQ(objs.get(3).get(), none_of<C_Item>());
}

TEST(DynArray, ViewsOfViewsWriteThrough) {
  DynAInt a{0, 1, 2, 3, 4};
  auto v = a.view(2, 10);
  EXPECT_EQ(v.count(), 3);
  EXPECT_TRUE(a.view(4, 2).empty());
  v.set(0, 20);
  EXPECT_EQ(a.get(2), 20);
  auto vv = v.view(1, 99);
  EXPECT_EQ(vv.get(0), 3);
  vv.set(0, 30);
  EXPECT_EQ(a.get(3), 30);
  vv.set(5, 99);  // beyond the view: ignored
  EXPECT_EQ(a.count(), 5);
  // Views neither insert nor remove; clear only empties the view.
  v.insert(0, 1);
  v.remove(0, 1);
  EXPECT_EQ(a.count(), 5);
  v.clear();
  EXPECT_EQ(v.count(), 0);
  EXPECT_EQ(a.count(), 5);
  // A copy of a view is another view on the same elements.
  auto vc = vv;
  vc.set(0, 31);
  EXPECT_EQ(a.get(3), 31);
  // A view never reads past what the viewed array still holds.
  a.remove(3, 2);
  EXPECT_EQ(vv.count(), 0);
  EXPECT_EQ(vv.get(0), 0);
  // A start far beyond the end gives an empty view, also on a view.
  EXPECT_TRUE(v.view(INT64_MAX, INT64_MAX).empty());
  EXPECT_TRUE(v.view(INT64_MAX, 1).view(0, 0).empty());
}

TEST(DynArray, MovedFromArraysStayUsable) {
  DynAInt a{1, 2, 3};
  DynAInt b = std::move(a);
  EXPECT_EQ(b.count(), 3);
  EXPECT_EQ(a.count(), 0);
  a.append(7);
  EXPECT_EQ(a.to_vector(), std::vector<int64_t>{7});
  std::vector<DynAStr> lists(3, DynAStr{"x"});
  lists.reserve(100);  // moves every element
  lists[0].append("y");
  EXPECT_EQ(lists[0].count(), 2);
  EXPECT_EQ(lists[1].count(), 1);
}

TEST(DynArray, StringViewIndexOf) {
  DynAStr s{"x", "y", "z", "y"};
  auto v = s.view(1, 3);
  EXPECT_EQ(v.index_of("y"), 0);
  EXPECT_EQ(v.index_of("x"), -1);
}

TEST(DynArray, CopyIsDeep) {
  DynAReal r{1.5, 2.5};
  DynAReal c = r.copy();
  c.set(0, 9.0);
  EXPECT_EQ(r.get(0), 1.5);
  DynAByte b;
  b.set_length(8);
  b.set(5, 0xFF);
  EXPECT_EQ(b.get(4), 0);
  EXPECT_EQ(b.get(5), 0xFF);
  EXPECT_EQ(b.get(6), 0);
  EXPECT_EQ(b.data()[5], 0xFF);
}

TEST(DynArray, ObjectArraysCountAndDispose) {
  auto a = make<C_Item>();
  {
    DynAObj<C_Item> list;
    list.append(a);
    list.append(a);
    EXPECT_EQ(a.raw_handle()->strong, 3);
    EXPECT_EQ(list.index_of(a), 0);
    Brek_runtime::dyn_obj_remove_all(list, a);
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(a.raw_handle()->strong, 1);
    list.append(a);
  }
  EXPECT_EQ(a.raw_handle()->strong, 1);

  auto disposing = DynAObj<C_Item>::disposing();
  disposing.append(a);
  disposing.clear();
  EXPECT_TRUE(a.is_none());  // disposed though still referenced here
}

TEST(DynArray, WeakArraysDoNotKeepObjectsAlive) {
  DynAWeak<C_Item> weak;
  {
    auto a = make<C_Item>();
    weak.append(Weak<C_Item>(a));
    EXPECT_FALSE(weak.get(0).is_none());
  }
  EXPECT_TRUE(weak.get(0).is_none());
}

TEST(DynArray, RemoveValue) {
  DynAInt a{1, 2, 1, 3, 1};
  Brek_runtime::dyn_int_remove_value(a, 1);
  EXPECT_EQ(a.to_vector(), (std::vector<int64_t>{2, 3}));
  EXPECT_TRUE(Brek_runtime::dyn_int_contains(a, 3));
  DynAStr s{"a"};
  EXPECT_TRUE(Brek_runtime::dyn_str_contains(s, "a"));
  EXPECT_FALSE(Brek_runtime::dyn_str_contains(s, "A"));
  int64_t buf[] = {4, 5, 6};
  EXPECT_TRUE(Brek_runtime::buffer_contains<int64_t>(buf, 2, 6));
  EXPECT_FALSE(Brek_runtime::buffer_contains<int64_t>(buf, 1, 6));
  EXPECT_FALSE(Brek_runtime::buffer_contains<int64_t>(buf, -1, 4));
}
