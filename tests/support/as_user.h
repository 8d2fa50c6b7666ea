#pragma once
// A user at the keyboard while the program runs: the user's actions run on
// a thread of their own (through the X server, as another program's input
// does), while the calling thread runs the program's events, nested modal
// loops included, until they are done.

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/test_events.h"

namespace brek_test {

inline void as_user(const std::function<void()>& user) {
  std::atomic<bool> done{false};
  std::thread t([&] {
    user();
    done = true;
  });
  while (!done) {
    brek_platform::test_events::settle();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  t.join();
  brek_platform::test_events::settle();
}

}  // namespace brek_test
