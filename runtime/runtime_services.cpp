#include "runtime/runtime_services.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <typeinfo>
#include <unistd.h>

#include "runtime/clock.h"

namespace brek::Brek_runtime {

namespace detail {
namespace {
thread_local int t_depth = 0;
thread_local uint32_t t_ticks = 0;
}  // namespace
int g_limit = DEFAULT_RECURSION_LIMIT;
int& depth_counter() { return t_depth; }
uint32_t& tick_count() { return t_ticks; }
}  // namespace detail

namespace {
std::mutex g_handlers_mutex;
std::vector<Brek_handler*> g_handlers;

// The thread's list, made on first use and freed when the thread ends (a
// thread_local that is never named on a thread is never destroyed there).
std::vector<std::string>& exception_texts() {
  thread_local std::vector<std::string> list;
  return list;
}

std::function<void(const std::string&)> g_line_writer;
std::function<std::string()> g_line_reader;

struct Timer_entry {
  int64_t id;
  int64_t due;
};
std::mutex g_timers_mutex;
std::vector<Timer_entry> g_timers;
int64_t g_last_timer_id = 0;
}  // namespace

int recursion_depth() { return detail::t_depth; }
int recursion_limit() { return detail::g_limit; }
void set_recursion_limit(int limit) { detail::g_limit = limit; }

void run_handlers() {
  detail::t_ticks = 0;
  std::vector<Brek_handler*> copy;
  {
    std::lock_guard<std::mutex> lock(g_handlers_mutex);
    copy = g_handlers;
  }
  // The last registered runs first; a handler may raise, which unwinds
  // the loop that ticked.
  for (auto it = copy.rbegin(); it != copy.rend(); ++it) (*it)->run();
}

uint32_t tick_counter() { return detail::t_ticks; }
void set_tick_counter(uint32_t value) { detail::t_ticks = value; }

void register_tick_handler(Brek_handler* handler) {
  if (!handler) return;
  std::lock_guard<std::mutex> lock(g_handlers_mutex);
  g_handlers.push_back(handler);
}

void unregister_tick_handler(Brek_handler* handler) {
  std::lock_guard<std::mutex> lock(g_handlers_mutex);
  g_handlers.erase(std::remove(g_handlers.begin(), g_handlers.end(), handler), g_handlers.end());
}

void raise_stop(const std::string& message) { throw Stop_exception(message); }

std::string exception_class_name(const std::exception& e) {
  if (auto* b = dynamic_cast<const Brek_Exception*>(&e)) return b->class_name();
  return typeid(e).name();
}

void log_exception_text(const std::string& text) {
  auto& list = exception_texts();
  if (list.size() >= 10) {
    list.erase(list.begin() + 5);
    list[5] = "";
  }
  list.push_back(text);
}

void log_exception(const std::exception& e) { log_exception_text(exception_class_name(e) + ": " + e.what()); }

std::vector<std::string> last_exception_texts() { return exception_texts(); }

void clear_exception_texts() { exception_texts().clear(); }

void console_write(const std::string& text) {
  // Standard output is the console on this platform; a closed one takes
  // nothing.
  if (text.empty()) return;
  if (fwrite(text.data(), 1, text.size(), stdout) != text.size()) return;
  fflush(stdout);
}

void console_write_line(const std::string& text) {
  if (g_line_writer)
    g_line_writer(text + "\n");
  else
    console_write(text + "\n");
}

void set_line_writer(std::function<void(const std::string&)> writer) { g_line_writer = std::move(writer); }
void set_line_reader(std::function<std::string()> reader) { g_line_reader = std::move(reader); }

int run_main(const std::function<void()>& main_routine) {
  try {
    main_routine();
    return 0;
  } catch (const Stop_exception& e) {
    console_write_line("STOP: " + e.message());
    if (g_line_reader) {
      g_line_reader();
    } else {
      std::string line;
      std::getline(std::cin, line);  // returns at once when input is closed
    }
    return 1;
  }
}

int64_t add_timer(int unit, double amount) {
  // The wait in milliseconds, computed in doubles and cut to 2^52 ms (over
  // a hundred thousand years), so that neither the product nor the sum
  // with the tick count can overflow; a NaN waits nothing.
  auto ms = [](double v) -> int64_t {
    constexpr double kFar = 4503599627370496.0;
    if (std::isnan(v)) return 0;
    return static_cast<int64_t>(std::clamp(v, -kFar, kFar));
  };
  int64_t add = 0;
  switch (unit) {
    case 0: add = ms(std::trunc(amount)); break;
    case 1: add = ms(std::trunc(amount) * 1000.0); break;
    case 2: add = ms(std::trunc(amount) * 60000.0); break;
    case 3: add = ms(amount * 3600000.0); break;
    case 4: add = ms(amount * 3600000.0 * 24.0); break;
    default: add = 0; break;
  }
  std::lock_guard<std::mutex> lock(g_timers_mutex);
  int64_t id = ++g_last_timer_id;
  g_timers.push_back({id, tick_count_ms() + add});
  return id;
}

void remove_timer(int64_t id) {
  std::lock_guard<std::mutex> lock(g_timers_mutex);
  for (auto it = g_timers.rbegin(); it != g_timers.rend(); ++it) {
    if (it->id == id) {
      g_timers.erase(std::next(it).base());
      return;
    }
  }
}

int64_t timer_due(int64_t id) {
  std::lock_guard<std::mutex> lock(g_timers_mutex);
  for (auto& t : g_timers)
    if (t.id == id) return t.due;
  return -1;
}

std::vector<int64_t> due_timers(int64_t now_ms) {
  std::lock_guard<std::mutex> lock(g_timers_mutex);
  std::vector<int64_t> ids;
  for (auto& t : g_timers)
    if (t.due <= now_ms) ids.push_back(t.id);
  return ids;
}

int64_t timer_count() {
  std::lock_guard<std::mutex> lock(g_timers_mutex);
  return static_cast<int64_t>(g_timers.size());
}

}  // namespace brek::Brek_runtime
