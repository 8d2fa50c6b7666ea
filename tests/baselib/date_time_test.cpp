#include <gtest/gtest.h>

#include <cmath>

#include "baselib/date_time.h"
#include "runtime/clock.h"

using namespace brek;
namespace D = brek::Date_time;

TEST(DateTime, DifferencesAndComponents) {
  date_time a, b;
  D::from_int64(a, 10000);
  D::from_int64(b, 8500);
  EXPECT_EQ(D::difference_seconds(a, b), 1.5);
  EXPECT_EQ(D::difference_seconds(a, a), 0.0);
  EXPECT_EQ(D::difference_ms(b, a), -1500);

  date_time noon = D::from_real(86400000.0 * 2.5);
  EXPECT_EQ(D::hour_of(noon), 12);
  EXPECT_EQ(D::to_text(noon), "1900-01-01 12:00:00");
  date_time zero;
  D::clear(zero);
  EXPECT_EQ(D::hour_of(zero), 0);
  EXPECT_EQ(D::to_text(zero), "1899-12-30 00:00:00");

  date_time t = D::from_real(86400000.0 * 45000 + 13 * 3600000.0 + 14 * 60000.0 + 15 * 1000.0 + 678);
  EXPECT_EQ(D::hour_of(t), 13);
  EXPECT_EQ(D::minute_of(t), 14);
  EXPECT_EQ(D::second_of(t), 15);
  EXPECT_EQ(D::millisecond_of(t), 678);
  EXPECT_EQ(D::to_text(t), "2023-03-15 13:14:15");
  // before the scale's start the fraction still counts forward in the day
  EXPECT_EQ(D::to_text(D::from_real(-1.25 * 86400000.0)), "1899-12-29 06:00:00");
}

TEST(DateTime, ValuesThatAreNoDateGiveNoText) {
  EXPECT_EQ(D::to_text(D::from_real(NAN)), "");
  EXPECT_EQ(D::to_text(D::from_real(1e300)), "");
  EXPECT_EQ(D::hour_of(D::from_real(INFINITY)), 0);
  EXPECT_EQ(D::to_text(D::from_real(2958465.0 * 86400000.0)), "9999-12-31 00:00:00");
}

TEST(DateTime, NowFollowsTheTestClockInLocalTime) {
  // 2024-01-01 00:00:00 UTC
  Brek_runtime::Test_clock clock(1000, 1704067200000);
  EXPECT_EQ(D::to_text(D::now()), "2024-01-01 00:00:00");
  clock.set_local_offset(2 * 3600000);
  date_time before = D::now();
  EXPECT_EQ(D::hour_of(before), 2);
  clock.advance(1500);
  EXPECT_EQ(D::difference_ms(D::now(), before), 1500);
  EXPECT_EQ(D::tick_count(), 2500);
  EXPECT_EQ(D::unix_from_local_ms(D::now_ms()), 1704067201500);
  // West of Greenwich the offset is taken off: the far end must not wrap.
  clock.set_local_offset(-5 * 3600000);
  EXPECT_GT(D::unix_from_local_ms(1e300), 0);
  EXPECT_LT(D::unix_from_local_ms(-1e300), 0);
}
