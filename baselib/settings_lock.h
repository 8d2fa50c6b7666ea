#pragma once
// The lock of a settings store, and the record in it of the write that
// goes on.
//
// A write takes, in this order: the records, files named by a hash of the
// store's path in $XDG_RUNTIME_DIR/settings-locks (which earlier versions
// lock) when there is one, and in a folder of the user's in the temporary
// folder, which a process finds with or without a runtime folder; the
// store's folder itself (flock on the directory, no file made), or where
// its file system cannot lock one, "<store>.lock" beside the store, made
// and kept; then that lock beside the store where it exists, as earlier
// versions take it. Nothing is ever removed: someone may wait for it.
//
// While a write goes on, its records name the writer (process id and start
// time) and the temporary file it writes; a temporary that a writer killed
// mid-write left is removed by the next writer, or by the next reader
// (the program's start), once that writer is gone, whichever of the
// records they find.

#include <string>
#include <vector>

namespace brek::Settings_lock {

// The name of a temporary of the store: "." + the store's name + "." + six
// letters or digits.
bool is_temporary_of(const std::string& name, const std::string& store_name);

// The store's lock (and an earlier version's beside it, when there is
// one), held for the life of the object.
class Held {
 public:
  explicit Held(const std::string& store);
  ~Held();
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  // False when the lock could not be had; error() then tells why.
  bool held() const { return folder_fd_ >= 0; }
  int error() const { return error_; }
  // Records the temporary the write is about to make, before it exists.
  void record(const std::string& temporary);
  // The write is over: its temporary is renamed or removed.
  void clear_record();

 private:
  void release();
  std::vector<int> record_fds_;  // none: no folder for records
  int folder_fd_ = -1;  // the folder, or the lock beside the store in its stead
  int old_fd_ = -1;     // an earlier version's beside the store
  int error_ = 0;
};

// What a reader does before it reads: when no write goes on, removes the
// temporary of a writer that was killed mid-write. Once a store for the
// process (the program's start): later, this process's writers clean up
// as they take the lock. Never waits, never creates a file.
void clean_after_killed_writer(const std::string& store);

}  // namespace brek::Settings_lock
