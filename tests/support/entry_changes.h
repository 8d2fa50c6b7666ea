#pragma once
// Another program at work at the very moment between two steps of ours:
// the steps that change directory entries, or those that open or read
// files, are held one by one.

#include <chrono>
#include <cstdint>
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

// Calls of one kind that the threads this thread starts make, held from
// now on until release() or the object's end, for a process that ends
// after it (a death test's child); this thread's calls, and all others,
// go on at once. The hold stays on this thread and those it starts for
// good. A call held for `bound` goes on by itself, and the release fails
// the test: code that never lets the test release it fails instead of
// hanging.
class Stalled_calls {
 public:
  ~Stalled_calls();
  Stalled_calls(const Stalled_calls&) = delete;
  Stalled_calls& operator=(const Stalled_calls&) = delete;
  // False where the kernel cannot hold calls (seccomp user notification).
  bool holding() const;
  // Whether a held call waits now.
  bool waiting() const;
  // The waiting calls, and every later one, go on.
  void release();

 protected:
  struct State;
  explicit Stalled_calls(std::shared_ptr<State> state);
  // Holds the calls `hold` (run on this thread) makes the kernel hold,
  // answering them from now on.
  void listen(const std::function<int()>& hold, std::chrono::milliseconds bound);
  std::shared_ptr<State> state_;

 private:
  bool released_ = false;
};

// A disk that stalls on one file: the reads of the file at `path` (the
// file itself, wherever a rename or the trash takes it).
class Stalled_reads : public Stalled_calls {
 public:
  explicit Stalled_reads(const std::string& path, std::chrono::milliseconds bound = std::chrono::seconds(20));
};

// A system slow to map memory: the mappings of at least `bytes` (a
// picture's memory, such as workers take for the pictures they make).
class Stalled_maps : public Stalled_calls {
 public:
  explicit Stalled_maps(uint64_t bytes, std::chrono::milliseconds bound = std::chrono::seconds(20));
};

// Saves a new version onto path as editors and cameras' programs do: a
// temporary written, then renamed over the name.
void save_over(const std::string& path, const std::string& bytes);

}  // namespace brek_test
