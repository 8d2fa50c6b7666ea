#include "runtime/clock.h"

#include <chrono>

namespace brek::Brek_runtime {

namespace {
std::function<int64_t()> g_tick_source;
std::function<int64_t()> g_wall_source;
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

void set_tick_source(std::function<int64_t()> source) { g_tick_source = std::move(source); }
void set_wall_clock_source(std::function<int64_t()> source) { g_wall_source = std::move(source); }

Test_clock::Test_clock(int64_t start_ticks, int64_t start_wall) : ticks_(start_ticks), wall_(start_wall) {
  set_tick_source([this] { return ticks_; });
  set_wall_clock_source([this] { return wall_; });
}

Test_clock::~Test_clock() {
  set_tick_source({});
  set_wall_clock_source({});
}

}  // namespace brek::Brek_runtime
