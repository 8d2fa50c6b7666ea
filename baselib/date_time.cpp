#include "baselib/date_time.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "runtime/clock.h"
#include "runtime/strings.h"

namespace brek::Date_time {

namespace R = Brek_runtime;

namespace {

// Days since 1899-12-30 and the milliseconds of the day. A negative day
// value keeps its time of day in the magnitude of its fraction (-1.25 is
// 29 December 1899, 06:00). False for a value that is no number.
bool split_value(double ms, int64_t& day, int64_t& ms_of_day) {
  if (!std::isfinite(ms)) return false;
  double days = ms / 24.0 / 3.6e6;
  double whole = std::trunc(days);
  day = R::to_int64_checked(whole);
  ms_of_day = R::round_to_int64_checked(std::fabs(days - whole) * MS_PER_DAY);
  if (ms_of_day >= 86400000) {  // rounded up to the next midnight
    ms_of_day = 0;
    ++day;
  }
  return true;
}

int64_t ms_of_day(const date_time& rec) {
  int64_t day = 0, ms = 0;
  return split_value(rec.ms, day, ms) ? ms : 0;
}

// Year, month and day of a count of days since 1970-01-01 (proleptic
// Gregorian calendar).
void civil_from_days(int64_t z, int64_t& y, int64_t& m, int64_t& d) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
}

}  // namespace

double local_ms_from_unix(int64_t unix_ms) {
  // Summed as doubles: exact for every real date, and no overflow at the
  // ends of the range.
  return static_cast<double>(unix_ms) + static_cast<double>(R::local_offset_ms(unix_ms)) +
         UNIX_EPOCH_DAYS * MS_PER_DAY;
}

int64_t unix_from_local_ms(double local_ms) {
  // Cut far inside the 64-bit range, so that taking off an offset of the
  // zone cannot overflow.
  constexpr int64_t kFar = int64_t{1} << 62;
  int64_t local = std::clamp(R::round_to_int64_checked(local_ms - UNIX_EPOCH_DAYS * MS_PER_DAY), -kFar, kFar);
  int64_t guess = local - R::local_offset_ms(local);
  return local - R::local_offset_ms(guess);
}

double now_ms() { return local_ms_from_unix(R::wall_clock_ms()); }
date_time now() { return date_time{now_ms()}; }
void now(date_time& rec) { rec.ms = now_ms(); }
int64_t tick_count() { return R::tick_count_ms(); }
double as_real(const date_time& rec) { return rec.ms; }
void from_int64(date_time& rec, int64_t ms) { rec.ms = static_cast<double>(ms); }
void from_real(date_time& rec, double ms) { rec.ms = ms; }
date_time from_real(double ms) { return date_time{ms}; }
double difference(const date_time& a, const date_time& b) { return a.ms - b.ms; }
double difference_ms(const date_time& a, const date_time& b) { return a.ms - b.ms; }
double difference_seconds(const date_time& a, const date_time& b) { return R::real_div(a.ms - b.ms, 1000.0); }

int64_t hour_of(const date_time& rec) { return ms_of_day(rec) / 3600000; }
int64_t minute_of(const date_time& rec) { return ms_of_day(rec) / 60000 % 60; }
int64_t second_of(const date_time& rec) { return ms_of_day(rec) / 1000 % 60; }
int64_t millisecond_of(const date_time& rec) { return ms_of_day(rec) % 1000; }

std::string to_platform_text(double ms) {
  int64_t day = 0, msd = 0;
  if (!split_value(ms, day, msd)) return std::string();
  // 0001-01-01 and 9999-12-31 on the day scale
  if (day < -693593 || day > 2958465) return std::string();
  int64_t y = 0, m = 0, d = 0;
  civil_from_days(day - static_cast<int64_t>(UNIX_EPOCH_DAYS), y, m, d);
  char buf[128];
  std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", static_cast<long long>(y),
                static_cast<long long>(m), static_cast<long long>(d), static_cast<long long>(msd / 3600000),
                static_cast<long long>(msd / 60000 % 60), static_cast<long long>(msd / 1000 % 60));
  return buf;
}

std::string to_text(const date_time& rec) {
  std::string s = to_platform_text(rec.ms);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

void clear(date_time& rec) { rec.ms = 0; }

}  // namespace brek::Date_time
