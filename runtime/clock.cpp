#include "runtime/clock.h"

#include <chrono>
#include <ctime>

namespace brek::Brek_runtime {

namespace {
std::function<int64_t()> g_tick_source;
std::function<int64_t()> g_wall_source;
std::function<int64_t(int64_t)> g_offset_source;
}  // namespace

int64_t tick_count_ms() {
  if (g_tick_source) return g_tick_source();
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t wall_clock_ms() {
  if (g_wall_source) return g_wall_source();
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

int64_t local_offset_ms(int64_t wall_ms) {
  if (g_offset_source) return g_offset_source(wall_ms);
  // Floor division: a moment before 1970 belongs to the second it starts in.
  int64_t secs = wall_ms / 1000 - (wall_ms % 1000 < 0 ? 1 : 0);
  std::time_t t = static_cast<std::time_t>(secs);
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return 0;
  return static_cast<int64_t>(tm.tm_gmtoff) * 1000;
}

void set_tick_source(std::function<int64_t()> source) { g_tick_source = std::move(source); }
void set_wall_clock_source(std::function<int64_t()> source) { g_wall_source = std::move(source); }
void set_local_offset_source(std::function<int64_t(int64_t)> source) { g_offset_source = std::move(source); }

Test_clock::Test_clock(int64_t start_ticks, int64_t start_wall) : ticks_(start_ticks), wall_(start_wall) {
  set_tick_source([this] { return ticks_; });
  set_wall_clock_source([this] { return wall_; });
  set_local_offset_source([this](int64_t) { return offset_; });
}

Test_clock::~Test_clock() {
  set_tick_source({});
  set_wall_clock_source({});
  set_local_offset_source({});
}

}  // namespace brek::Brek_runtime
