#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "baselib/mathematics.h"
#include "runtime/runtime_services.h"

using namespace brek;
namespace M = brek::Mathematics;

TEST(Mathematics, DefinedResultsWhereRawCallsFail) {
  EXPECT_TRUE(M::is_nan(M::power(0, -1)));
  EXPECT_TRUE(M::is_nan(M::power(2, INFINITY)));
  EXPECT_TRUE(M::is_nan(M::power(-8, 1.0 / 3.0)));
  EXPECT_TRUE(M::is_nan(M::power(10, 400)));
  EXPECT_EQ(M::power(2, 10), 1024);
  EXPECT_EQ(M::power(0, 0), 1);

  Brek_runtime::clear_exception_texts();
  EXPECT_EQ(M::sqrt(-4), 0);
  EXPECT_EQ(Brek_runtime::last_exception_texts().size(), 1u);
  EXPECT_EQ(M::sqrt(16), 4);
  EXPECT_EQ(M::sin(INFINITY), 0);
  EXPECT_NEAR(M::cos(M::pi()), -1, 1e-15);

  EXPECT_EQ(M::sign(-0.0), 0);
  EXPECT_EQ(M::sign(std::nan("")), 0);
  EXPECT_EQ(M::sign(-3), -1);
  EXPECT_TRUE(M::is_nan(M::abs_real(std::nan(""))));
  EXPECT_FALSE(M::is_nan(INFINITY));
  EXPECT_EQ(M::int64_abs(std::numeric_limits<int64_t>::min()), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(M::int64_abs(-5), 5);
}

TEST(Mathematics, ApproximateEquality) {
  EXPECT_TRUE(M::approx_equal(1e9, 1e9 + 0.5));
  EXPECT_FALSE(M::approx_equal(1, 1 + 1e-8));
  EXPECT_TRUE(M::approx_equal(0, 1e-12));
  EXPECT_FALSE(M::approx_equal(0, 1e-10));
  EXPECT_FALSE(M::approx_equal(std::nan(""), std::nan("")));
  EXPECT_TRUE(M::approx_equal_2(1, 1));
}

TEST(Mathematics, NumberTextIsReadExactly) {
  EXPECT_EQ(M::str_to_real("0.3"), 0.3);  // not 0.30000000000000004
  EXPECT_EQ(M::str_to_real("1_000.25"), 1000.25);
  EXPECT_EQ(M::str_to_real("-2.5e3"), -2500);
  EXPECT_EQ(M::str_to_real("3e-2"), 0.03);
  EXPECT_EQ(M::str_to_real("2E+2"), 200);
  EXPECT_EQ(M::str_to_real("12x"), 12);
  EXPECT_EQ(M::str_to_real("-12+5"), -12);
  EXPECT_EQ(M::str_to_real(".5"), 0.5);
  EXPECT_EQ(M::str_to_real(""), 0);
  EXPECT_EQ(M::str_to_real("abc"), 0);
  EXPECT_EQ(M::str_to_real("0.1234567890123456789"), 0.1234567890123456789);
  EXPECT_EQ(M::str_to_real("1e400"), INFINITY);
  EXPECT_EQ(M::str_to_real("-1e400"), -INFINITY);
  EXPECT_EQ(M::str_to_real("1e-400"), 0);
  EXPECT_EQ(M::str_to_real("0e99999999999999999999"), 0);
  EXPECT_EQ(M::str_to_real("0.00001e310"), 1e305);
  // "-" then an exponent that is itself negative and of the largest size.
  EXPECT_EQ(M::str_to_real("1e--9223372036854775808"), INFINITY);
  EXPECT_EQ(M::str_to_real("1e--99999999999999999999"), INFINITY);
}

TEST(Mathematics, RoundingHalvesAwayFromZero) {
  EXPECT_EQ(M::round_to_int64(2.5), 3);
  EXPECT_EQ(M::round_to_int64(-2.5), -3);
  EXPECT_EQ(M::round_to_int64(0.5), 1);
  EXPECT_EQ(M::round_to_int64(1.4999999999999998), 1);
  EXPECT_EQ(M::round_to_int64(std::nan("")), 0);
  EXPECT_EQ(M::round_to_int64(1e300), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(M::round_real(2.5), 2);  // the processor's ties-to-even
  EXPECT_EQ(M::round_real(-3.5), -4);
}
