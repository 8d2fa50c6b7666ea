#pragma once
// Another program at work at the very moment between two steps of ours:
// the steps that change directory entries, or those that open or read
// files, are held one by one.

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace brek_test {

// Runs work on a thread of its own whose calls that change directory
// entries (mkdir, link, rename, unlink, rmdir and their *at forms) this
// thread carries out for it, one at a time. between(done) runs before the
// first of them (done 0) and right after each (done 1, 2, ...) while work
// waits for that call's answer. The number of such calls work made; -1
// where the kernel cannot hold them (seccomp user notification).
int with_entry_changes_held(const std::function<void()>& work, const std::function<void(int done)>& between);

// The same for the calls that open files (open, openat): before(path)
// runs right before each is carried out, while work waits. The number of
// opens; -1 where the kernel cannot hold them.
int with_opens_held(const std::function<void()>& work, const std::function<void(const std::string& path)>& before);

// The same for the calls that read from a descriptor (read, pread64, readv,
// preadv): before(path) runs right before each is carried out, path being
// what the descriptor reads (as /proc/self/fd names it). The number of
// reads; -1 where the kernel cannot hold them.
int with_reads_held(const std::function<void()>& work, const std::function<void(const std::string& path)>& before);

// with_entry_changes_held with work on this thread, for a process that
// ends after it (a death test's child): the calls stay held for good,
// carried out by a thread of their own until the process exits, when that
// thread ends. What between did is seen by this thread once work is over.
int with_own_entry_changes_held(const std::function<void()>& work, const std::function<void(int done)>& between);

// A disk that stalls on one file, for a process that ends after it (a
// death test's child): from now on the reads of the file at `path` (the
// file itself, wherever a rename or the trash takes it) by the threads
// this thread starts wait until release() or the object's end; this thread's reads, and all others, go on at once.
// The hold stays on this thread and those it starts for good. A read held
// for `bound` goes on by itself, and the release fails the test: code that
// never lets the test release it fails instead of hanging.
class Stalled_reads {
 public:
  explicit Stalled_reads(const std::string& path, std::chrono::milliseconds bound = std::chrono::seconds(20));
  ~Stalled_reads();
  Stalled_reads(const Stalled_reads&) = delete;
  Stalled_reads& operator=(const Stalled_reads&) = delete;
  // False where the kernel cannot hold calls (seccomp user notification).
  bool holding() const;
  // Whether a read of the file waits now.
  bool waiting() const;
  // The waiting reads, and every later one, go on.
  void release();

 private:
  struct State;
  std::shared_ptr<State> state_;
  bool released_ = false;
};

// Saves a new version onto path as editors and cameras' programs do: a
// temporary written, then renamed over the name.
void save_over(const std::string& path, const std::string& bytes);

}  // namespace brek_test
