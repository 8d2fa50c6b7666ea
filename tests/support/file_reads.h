#pragma once
// The opens and finished reads of one file, by this process or any other,
// as the kernel reports them (inotify): a count taken after the work is
// final, the events being queued as the calls happen. Two opens in a row,
// no read finished between them, are one event unless counted between
// them: the kernel merges an event with a like one still unread.

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <string>

namespace brek_test {

class File_reads {
 public:
  explicit File_reads(const std::string& path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    EXPECT_GE(inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_CLOSE_NOWRITE), 0) << path;
  }
  ~File_reads() { ::close(fd_); }
  File_reads(const File_reads&) = delete;
  File_reads& operator=(const File_reads&) = delete;
  int opens() { return take(), opens_; }
  int reads() { return take(), reads_; }

 private:
  void take() {
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;)
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
        opens_ += (e->mask & IN_OPEN) != 0;
        reads_ += (e->mask & IN_CLOSE_NOWRITE) != 0;
        at += ssize_t(sizeof(inotify_event) + e->len);
      }
  }
  int fd_;
  int opens_ = 0, reads_ = 0;
};

}  // namespace brek_test
