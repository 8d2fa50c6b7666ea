#pragma once
// A death test's child reports none of its failures: its parent only sees
// how it ended and what it wrote to stderr. Run there through
// exit_with_failures, the test's own assertions say what went wrong.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "tests/support/entry_changes.h"

namespace brek_test {

// Runs body, writes each failure it had to stderr and ends the process:
// with 1 after any, else with 0.
[[noreturn]] inline void exit_with_failures(const std::function<void()>& body) {
  testing::TestPartResultArray results;
  {
    const testing::ScopedFakeTestPartResultReporter reporter(
        testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &results);
    body();
  }
  int failed = 0;
  for (int i = 0; i < results.size(); ++i) {
    const testing::TestPartResult& r = results.GetTestPartResult(i);
    if (!r.failed()) continue;
    ++failed;
    std::fprintf(stderr, "%s:%d: Failure\n%s\n", r.file_name() ? r.file_name() : "(unknown file)", r.line_number(),
                 r.message());
  }
  std::exit(failed == 0 ? 0 : 1);
}

// Death tests whose children stall the reads of a file (Stalled_reads):
// skipped where the kernel cannot hold reads; the children start anew
// (threadsafe), for the parent's threads hold no reads.
class Stalled_reads_death_test : public testing::Test {
 protected:
  void SetUp() override {
    if (with_reads_held([] {}, [](const std::string&) {}) < 0)
      GTEST_SKIP() << "reads cannot be held here (seccomp user notification)";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
  }
};

}  // namespace brek_test
