// The tests' disk that stalls on one file (Stalled_reads) holds the
// program's reads, which go through the C library, and no other: a
// sanitizer's runtime reads with system calls of its own, and its leak
// checker reads while every other thread, the one answering held calls
// among them, is suspended.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "tests/support/child_failures.h"
#include "tests/support/entry_changes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace {

#if defined(__x86_64__)
// A read by a system call of its own, as the sanitizers' runtimes make them.
long read_without_the_c_library(int fd, void* into, size_t n) {
  long rc;
  asm volatile("syscall" : "=a"(rc) : "a"(long(SYS_read)), "D"(long(fd)), "S"(into), "d"(n) : "rcx", "r11", "memory");
  return rc;
}
#endif

}  // namespace

// A thread started while the file stalls reads it by a system call of its
// own: the read is not held, and comes back at once with the file's bytes;
// the same thread's read through the C library waits until the release.
using HeldReadsDeathTest = brek_test::Stalled_reads_death_test;
TEST_F(HeldReadsDeathTest, OnlyReadsThroughTheCLibraryWait) {
#if !defined(__x86_64__)
  GTEST_SKIP() << "a system call of the test's own is written for x86-64 alone";
#else
  brek_test::Temp_dir dir;
  const std::string file = dir.file("stalls.jpg");
  ASSERT_TRUE(brek_test::write_file(file, "bytes"));
  const auto reading = [&] {
    brek_test::Stalled_reads disk(file);
    ASSERT_TRUE(disk.holding());
    std::atomic<bool> raw_done{false}, held_done{false};
    std::string raw(5, '\0'), held(5, '\0');
    std::thread reader([&] {
      const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
      raw_done = read_without_the_c_library(fd, raw.data(), raw.size()) == 5;
      ::pread(fd, held.data(), held.size(), 0);
      held_done = true;
      ::close(fd);
    });
    EXPECT_TRUE(brek_test::wait_until([&] { return raw_done.load(); })) << "the read by a system call was held";
    EXPECT_EQ(raw, "bytes");
    EXPECT_TRUE(brek_test::wait_until([&] { return disk.waiting(); })) << "the read through the C library was not held";
    EXPECT_FALSE(held_done);
    disk.release();
    reader.join();
    EXPECT_EQ(held, "bytes");
  };
  EXPECT_EXIT(brek_test::exit_with_failures(reading), testing::ExitedWithCode(0), "");
#endif
}
