#pragma once
// Another program at work at the very moment between two steps of ours:
// the steps that change directory entries, or those that open or read
// files, are held one by one.

#include <functional>
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
// carried out by a thread of their own until the process ends.
int with_own_entry_changes_held(const std::function<void()>& work, const std::function<void(int done)>& between);

// Saves a new version onto path as editors and cameras' programs do: a
// temporary written, then renamed over the name.
void save_over(const std::string& path, const std::string& bytes);

}  // namespace brek_test
