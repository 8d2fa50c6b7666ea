#pragma once
// The tick count (milliseconds of a steady clock) and the wall clock, both
// replaceable by a test clock so that timing rules are tested without
// sleeping.

#include <cstdint>
#include <functional>

namespace brek::Brek_runtime {

// Milliseconds since an arbitrary start, never going back.
int64_t tick_count_ms();
// Milliseconds since the Unix epoch, UTC.
int64_t wall_clock_ms();

// The local time zone's offset from UTC, in milliseconds, at a moment given
// in milliseconds since the Unix epoch.
int64_t local_offset_ms(int64_t wall_ms);

// Replaces the tick source; an empty function restores the real clock.
void set_tick_source(std::function<int64_t()> source);
// Replaces the wall clock; an empty function restores the real clock.
void set_wall_clock_source(std::function<int64_t()> source);
// Replaces the local offset; an empty function restores the time zone's.
void set_local_offset_source(std::function<int64_t(int64_t)> source);

// A test clock: set_tick_source and set_wall_clock_source to a value that
// only moves when told, and a fixed local offset (UTC unless told);
// restores the real clocks when it goes.
class Test_clock {
 public:
  explicit Test_clock(int64_t start_ticks = 1000000, int64_t start_wall = 1700000000000);
  ~Test_clock();
  void advance(int64_t ms) {
    ticks_ += ms;
    wall_ += ms;
  }
  int64_t ticks() const { return ticks_; }
  int64_t wall() const { return wall_; }
  void set_wall(int64_t ms) { wall_ = ms; }
  void set_local_offset(int64_t ms) { offset_ = ms; }

 private:
  int64_t ticks_;
  int64_t wall_;
  int64_t offset_ = 0;
};

}  // namespace brek::Brek_runtime
