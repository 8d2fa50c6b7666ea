#pragma once
// What the calling thread has read through read() and pread() (files,
// pipes, sockets), as the kernel counts it for that thread alone
// (/proc/thread-self/io): whether a piece of work read a file on the
// window's thread or left it to workers, told without any clock.

#include <cstdint>
#include <fstream>
#include <string>

namespace brek_test {

// Bytes this thread has read so far; -1 where the kernel keeps no count.
inline int64_t bytes_read_by_this_thread() {
  std::ifstream io("/proc/thread-self/io");
  std::string key;
  int64_t n = 0;
  while (io >> key >> n)
    if (key == "rchar:") return n;
  return -1;
}

}  // namespace brek_test
