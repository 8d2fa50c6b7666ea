#pragma once
// This process's memory as the kernel counts it (/proc/self/status), for
// the tests that bound what a piece of work holds. Under the sanitizers,
// whose allocators hold freed memory back on purpose, it tells nothing.

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/support/sanitized_build.h"

namespace brek_test {

inline constexpr int64_t MB = int64_t(1) << 20;

// A size of this process's status ("VmRSS:", "VmHWM:"), bytes.
inline int64_t status_bytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0) return std::atoll(line.c_str() + key.size()) * 1024;
  return 0;
}
// The resident size of this process, bytes.
inline int64_t resident() { return status_bytes("VmRSS:"); }
// The most this process held resident since the last reset_peak_resident
// (or its start), bytes.
inline int64_t peak_resident() { return status_bytes("VmHWM:"); }
// Starts the peak over at what is resident now; false where the kernel
// does not let it.
inline bool reset_peak_resident() {
  std::ofstream clear("/proc/self/clear_refs");
  return static_cast<bool>(clear << "5") && static_cast<bool>(clear.flush());
}
// How far above what it held before the process went while `work` ran,
// bytes.
template <class Work>
int64_t peak_growth(Work work) {
  const int64_t before = resident();
  reset_peak_resident();
  work();
  return peak_resident() - before;
}
inline constexpr bool RESIDENT_SIZE_COUNTS = !SANITIZED_BUILD;

}  // namespace brek_test
