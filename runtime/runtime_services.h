#pragma once
// Conventions every routine of the program follows: the recursion guard,
// loop ticks that run the registered tick handlers every 65,536 iterations,
// the per-thread trail of the last exception texts, the console, the Stop
// that leaves the program's main routine, and the registry of software
// timers (deadlines).

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "runtime/exceptions.h"

namespace brek {

// Base of tick handlers.
class Brek_handler {
 public:
  virtual ~Brek_handler() = default;
  virtual void run() {}
};

namespace Brek_runtime {

// ---- recursion guard -------------------------------------------------------

inline constexpr int DEFAULT_RECURSION_LIMIT = 128;
// The thread's current depth of guarded calls.
int recursion_depth();
// The limit (process-wide; 128).
int recursion_limit();
void set_recursion_limit(int limit);

namespace detail {
// The thread's counters are reached through functions defined beside them:
// an extern thread_local read from another translation unit goes through a
// TLS wrapper that some compilers instrument wrongly under UBSan.
int& depth_counter();
extern int g_limit;
}  // namespace detail

// Put at the entry of a guarded routine: the 130th nested guarded call
// raises TooDeepRecursionException; the depth is restored on every exit.
class Recursion_guard {
 public:
  Recursion_guard() {
    int& depth = detail::depth_counter();
    if (depth > detail::g_limit) throw TooDeepRecursionException("");
    ++depth;
  }
  ~Recursion_guard() { --detail::depth_counter(); }
  Recursion_guard(const Recursion_guard&) = delete;
  Recursion_guard& operator=(const Recursion_guard&) = delete;
};

// ---- loop ticks ------------------------------------------------------------

namespace detail {
uint32_t& tick_count();
}  // namespace detail

// Runs the tick handlers, the last registered first, after resetting the
// thread's counter.
void run_handlers();

// One tick of a loop: every 65,536 ticks the handlers run on this thread.
inline void loop_tick() {
  if (++detail::tick_count() > 65535) run_handlers();
}
uint32_t tick_counter();
void set_tick_counter(uint32_t value);

// Registers a tick handler for the life of the process (not owned).
void register_tick_handler(Brek_handler* handler);
void unregister_tick_handler(Brek_handler* handler);

// ---- exceptions ------------------------------------------------------------

[[noreturn]] void raise_stop(const std::string& message);

// Appends "ClassName: message" to the thread's last exception texts; the
// list keeps the first five, an empty line for dropped ones and the latest
// four.
void log_exception(const std::exception& e);
void log_exception_text(const std::string& text);
std::vector<std::string> last_exception_texts();
void clear_exception_texts();

// The class name of an exception as the program reports it.
std::string exception_class_name(const std::exception& e);

// ---- console ---------------------------------------------------------------

// Writes text to standard output as it is.
void console_write(const std::string& text);
// Writes text and a line end through the current line writer.
void console_write_line(const std::string& text);
// Replaces the line writer (tests); an empty function restores the default.
void set_line_writer(std::function<void(const std::string&)> writer);
// Replaces where a line of console input comes from (tests).
void set_line_reader(std::function<std::string()> reader);

// Runs the program's main routine: a Stop_exception that leaves it is
// written as "STOP: " + message and the program waits for a line of input.
// Other exceptions pass. Returns 0 normally, 1 after a Stop.
int run_main(const std::function<void()>& main_routine);

// ---- software timers -------------------------------------------------------

// Registers a one-shot timer due after amount in unit (0 milliseconds,
// 1 seconds, 2 minutes, 3 hours, 4 days; other units add nothing) and
// returns its id (ids start at 1).
int64_t add_timer(int unit, double amount);
// Removes a timer; nothing for an id that was never returned.
void remove_timer(int64_t id);
// The due time of a timer in milliseconds of tick_count_ms, or -1.
int64_t timer_due(int64_t id);
// The ids of timers due at now_ms (still registered), oldest first.
std::vector<int64_t> due_timers(int64_t now_ms);
// Number of registered timers.
int64_t timer_count();

}  // namespace Brek_runtime
}  // namespace brek
