#include "tests/support/wait_until.h"

#include <algorithm>
#include <thread>

namespace brek_test {

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
  const auto limit = std::chrono::steady_clock::now() + bound;
  std::chrono::milliseconds pause(1);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::milliseconds(32));
  }
  return true;
}

}  // namespace brek_test
