#pragma once
// Date and time values: a double number of milliseconds on the day scale
// (days since 30 December 1899, local time, times 86,400,000). A zeroed
// value is the start of that scale. "Now" reads the wall clock of
// runtime/clock.h, so a Test_clock fixes it (and the local offset) in tests.

#include <cstdint>
#include <string>

namespace brek {

struct date_time {
  double ms = 0;
};

namespace Date_time {

// Milliseconds of one day, and the day-scale value of 1 January 1970.
inline constexpr double MS_PER_DAY = 86400000.0;
inline constexpr double UNIX_EPOCH_DAYS = 25569.0;

// The current local date-time in milliseconds on the day scale.
double now_ms();
date_time now();
void now(date_time& rec);
// The tick count of runtime/clock.h (milliseconds, never going back).
int64_t tick_count();
double as_real(const date_time& rec);
// Stores a count of milliseconds.
void from_int64(date_time& rec, int64_t ms);
void from_real(date_time& rec, double ms);
date_time from_real(double ms);
// a - b in milliseconds.
double difference(const date_time& a, const date_time& b);
double difference_ms(const date_time& a, const date_time& b);
// (a - b) / 1000 through the guarded real division.
double difference_seconds(const date_time& a, const date_time& b);
// Clock components of the value (0-23, 0-59, 0-59, 0-999); a value that
// is no number gives 0.
int64_t hour_of(const date_time& rec);
int64_t minute_of(const date_time& rec);
int64_t second_of(const date_time& rec);
int64_t millisecond_of(const date_time& rec);
// "YYYY-MM-DD HH:MM:SS"; "" for values outside the years 1 to 9999 and for
// values that are no number.
std::string to_platform_text(double ms);
std::string to_text(const date_time& rec);
void clear(date_time& rec);

// The local day-scale milliseconds of a moment given in milliseconds since
// the Unix epoch (UTC), and back (the offset of the moment itself is used).
double local_ms_from_unix(int64_t unix_ms);
int64_t unix_from_local_ms(double local_ms);

}  // namespace Date_time
}  // namespace brek
