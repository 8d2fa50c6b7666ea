#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "baselib/sorting.h"

using namespace brek;

namespace {
// Sorts a vector of ints, counting what the sorter asks for.
class C_Int_sorter : public C_Sorting {
  BREK_CLASS(C_Int_sorter)
 public:
  std::vector<int> items;
  int64_t compares = 0, swaps = 0;
  std::vector<std::pair<int64_t, int64_t>> compared;
  int32_t compare(int64_t i, int64_t j) override {
    ++compares;
    if (compared.size() < 16) compared.emplace_back(i, j);
    return (items.at(i) > items.at(j)) - (items.at(i) < items.at(j));
  }
  void swap(int64_t i, int64_t j) override {
    ++swaps;
    std::swap(items.at(i), items.at(j));
  }
};

// A compare that says every item belongs after every other.
class C_Liar : public C_Int_sorter {
  BREK_CLASS(C_Liar)
 public:
  int32_t compare(int64_t i, int64_t j) override {
    C_Int_sorter::compare(i, j);
    return 1;
  }
};

// The direct-call form of the same sorter.
class C_Direct_sorter final : public C_Sorting_of<C_Direct_sorter> {
  BREK_CLASS(C_Direct_sorter)
 public:
  std::vector<int> items;
  int32_t compare(int64_t i, int64_t j) override { return (items.at(i) > items.at(j)) - (items.at(i) < items.at(j)); }
  void swap(int64_t i, int64_t j) override { std::swap(items.at(i), items.at(j)); }
};

Ref<C_Int_sorter> sorter_of(std::vector<int> v) {
  auto s = make<C_Int_sorter>();
  s->items = std::move(v);
  return s;
}
}  // namespace

TEST(Sorting, TinyInputs) {
  auto s = sorter_of({});
  s->sort(0);
  auto one = sorter_of({5});
  one->sort(1);
  EXPECT_EQ(s->compares + s->swaps + one->compares + one->swaps, 0);

  auto two = sorter_of({2, 1});
  two->sort(2);
  EXPECT_EQ(two->compares, 1);
  EXPECT_EQ(two->compared.at(0), (std::pair<int64_t, int64_t>{0, 1}));
  EXPECT_EQ(two->items, (std::vector<int>{1, 2}));

  auto three = sorter_of({3, 1, 2});
  three->sort(3);
  EXPECT_EQ(three->items, (std::vector<int>{1, 2, 3}));
  EXPECT_LE(three->compares, 3);
}

TEST(Sorting, MatchesStdSortOnRandomArraysWithManyDuplicates) {
  std::mt19937 rng(12345);
  for (int n : {4, 5, 7, 16, 100, 1000, 20000}) {
    for (int range : {2, 10, n}) {
      std::vector<int> v(n);
      for (int& x : v) x = static_cast<int>(rng() % range);
      auto s = sorter_of(v);
      s->sort(n);
      std::sort(v.begin(), v.end());
      ASSERT_EQ(s->items, v) << "n=" << n << " range=" << range;
      EXPECT_LE(s->step_count(), n + 1);
      EXPECT_TRUE(s->stack.empty());
    }
  }
}

TEST(Sorting, DirectCallsSortTheSameWay) {
  std::mt19937 rng(99);
  std::vector<int> v(5000);
  for (int& x : v) x = static_cast<int>(rng() % 50);
  auto counted = sorter_of(v);
  counted->sort(5000);
  auto direct = make<C_Direct_sorter>();
  direct->items = v;
  direct->sort(5000);
  EXPECT_EQ(direct->items, counted->items);
  EXPECT_EQ(direct->step_count(), counted->step_count());
}

TEST(Sorting, OrderedInputsStayWithinTheStepBound) {
  std::vector<int> up(10000), down(10000), organ(10000);
  for (int i = 0; i < 10000; ++i) {
    up[i] = i;
    down[i] = 10000 - i;
    organ[i] = i < 5000 ? i : 10000 - i;
  }
  for (auto& v : {up, down, organ}) {
    auto s = sorter_of(v);
    s->sort(10000);
    EXPECT_TRUE(std::is_sorted(s->items.begin(), s->items.end()));
    EXPECT_LE(s->step_count(), 10001);
  }
}

TEST(Sorting, EqualItemsTakeOnePartition) {
  auto s = sorter_of(std::vector<int>(1000, 7));
  s->sort(1000);
  EXPECT_EQ(s->step_count(), 3);  // one partition, then its two empty parts
  EXPECT_TRUE(s->stack.empty());
}

TEST(Sorting, AnInconsistentCompareStillEnds) {
  auto s = make<C_Liar>();
  s->items.assign(500, 0);
  s->sort(500);
  EXPECT_LE(s->step_count(), 501);
  // and the None sorter does nothing at all
  none_of<C_Int_sorter>()->sort(10);
  EXPECT_EQ(none_of<C_Int_sorter>()->compares, 0);
}

TEST(Sorting, StringsSortByBytes) {
  DynAStr s{"b", "B", "a"};
  C_Sorting::sort_part(s);
  EXPECT_EQ(s.to_vector(), (std::vector<std::string>{"B", "a", "b"}));
  std::mt19937 rng(7);
  std::vector<std::string> words;
  for (int i = 0; i < 3000; ++i) words.push_back(std::to_string(rng() % 500) + "\xC3\xA4");
  DynAStr big(words);
  C_Sorting::sort_part(big);
  std::sort(words.begin(), words.end());
  EXPECT_EQ(big.to_vector(), words);
}

TEST(Sorting, IndexOfMinAndMaxTakeTheFirst) {
  EXPECT_EQ(C_Sorting::index_of_min_int(DynAInt{5, 2, 2, 7}), 1);
  EXPECT_EQ(C_Sorting::index_of_max_real(DynAReal{1.0, 3.0, 3.0}), 1);
  EXPECT_EQ(C_Sorting::index_of_max_int(DynAInt{}), 0);
  EXPECT_EQ(C_Sorting::index_of_min_real(DynAReal{2.0}), 0);
  EXPECT_EQ(C_Sorting::clamp_real(10, 0, 11), 10);
  EXPECT_EQ(C_Sorting::clamp_real(10, 0, -1), 0);
  EXPECT_EQ(C_Sorting::clamp_real(0, 10, 4), 4);
}
