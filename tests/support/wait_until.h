#pragma once
// The tests' one way to wait: for a condition that another thread, another
// process or the window system makes true. Nothing waits to show that
// something does not happen, and nothing waits on time otherwise: timing
// rules run on the test clock.

#include <chrono>
#include <functional>

namespace brek_test {

// Checks `condition` until it holds (true) or `bound` has passed (false).
// The pauses between checks grow from a millisecond to a few dozen, as
// some conditions start a process to find out. The bound only runs out
// when the code under test is broken, so it is generous.
bool wait_until(const std::function<bool()>& condition,
                std::chrono::milliseconds bound = std::chrono::seconds(20));

}  // namespace brek_test
