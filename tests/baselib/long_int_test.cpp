#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "baselib/long_int.h"

using namespace brek;

namespace {
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
Long_int L(int64_t v) { return Long_int::from_int64(v); }
}  // namespace

TEST(LongInt, StoresSignExtendedWords) {
  Long_int m = L(-2);
  EXPECT_EQ(m.w0, 0xFFFFFFFEu);
  EXPECT_EQ(m.w1, 0xFFFFFFFFu);
  EXPECT_EQ(m.w2, 0xFFFFFFFFu);
  EXPECT_EQ(m.w3, 0xFFFFFFFFu);
  EXPECT_EQ(Long_int::to_int64(m), -2);

  Long_int c = Long_int::add(L(0x7FFFFFFF), L(1));  // the carry reaches the high half
  EXPECT_EQ(c.w0, 0x80000000u);
  EXPECT_EQ(c.w1, 0u);
  EXPECT_EQ(c.w2, 0u);
  EXPECT_EQ(c.w3, 0u);
  EXPECT_EQ(Long_int::add(L(3000000000), L(3000000000)).value(), 6000000000);
  EXPECT_EQ(Long_int::subtract_int64(L(5), 7).value(), -2);
  EXPECT_TRUE(Long_int::subtract_int64(L(5), 7).is_negative());
}

TEST(LongInt, DivisionByZeroAndOverflowDoNotTrap) {
  EXPECT_EQ(Long_int::divide(L(7), L(0)).value(), kMax);
  EXPECT_EQ(Long_int::divide(L(0), L(0)).value(), kMax);
  EXPECT_EQ(Long_int::divide(L(-7), L(0)).value(), -1);
  EXPECT_EQ(Long_int::divide_int64(L(-7), 2).value(), -3);
  EXPECT_EQ(Long_int::divide_int64(L(kMin), -1).value(), kMin);
  // 64-bit wrapping, results still sign-extended
  Long_int w = Long_int::add_int64(L(kMax), 1);
  EXPECT_EQ(w.value(), kMin);
  EXPECT_EQ(w.w3, 0xFFFFFFFFu);
  EXPECT_EQ(Long_int::negate(L(kMin)).value(), kMin);
  EXPECT_EQ(Long_int::multiply_int64(L(1), 4096).value(), 4096);
}

TEST(LongInt, CompareIsDirectEvenForFarApartValues) {
  EXPECT_EQ(Long_int::compare(L(5), L(7)), -1);
  EXPECT_EQ(Long_int::compare(L(7), L(7)), 0);
  EXPECT_EQ(Long_int::compare(L(-1), L(-2)), 1);
  // a - b wraps here; the order must not.
  EXPECT_EQ(Long_int::compare(L(kMax), L(-1)), 1);
  EXPECT_EQ(Long_int::compare(L(kMin), L(1)), -1);
  EXPECT_TRUE(L(kMin) < L(kMax));
  EXPECT_TRUE(Long_int::equal(L(42), L(40) + L(2)));
  EXPECT_TRUE(L(3) != L(4));
}

TEST(LongInt, NativeOpUsesTheExchangeLayout) {
  // a = 0x1'00000002 (words 2, 1), b = -3 (words 0xFFFFFFFD, 0xFFFFFFFF)
  DynAInt x{2, 1, 0xFFFFFFFD, 0xFFFFFFFF};
  Long_int::native_op(x, Long_int::OP_ADD);
  ASSERT_EQ(x.count(), 8);
  EXPECT_EQ(x.get(4), -1);  // sum 0xFFFFFFFF: its low word, sign-extended
  EXPECT_EQ(x.get(5), 0);
  DynAInt y{7, 0, 0, 0};
  Long_int::native_op(y, Long_int::OP_DIVIDE);
  EXPECT_EQ(y.get(4), -1);  // 0x7FFFFFFF'FFFFFFFF, words sign-extended
  EXPECT_EQ(y.get(5), 0x7FFFFFFF);
  DynAInt z{uint32_t(-6), uint32_t(-1), 0, 0};
  Long_int::native_op(z, Long_int::OP_NEGATE);
  EXPECT_EQ(z.get(4), 6);
  EXPECT_EQ(z.get(5), 0);
  // Operands left out read 0, and the result still has its place.
  DynAInt one{5};
  Long_int::native_op(one, Long_int::OP_NEGATE);
  EXPECT_EQ(one.get(4), -5);
  EXPECT_EQ(one.get(5), -1);
}
