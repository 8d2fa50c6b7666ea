#pragma once
// The lock of a settings store, and the record in it of the write that
// goes on.
//
// The lock is $XDG_RUNTIME_DIR/settings-locks/<hash of the store's path,
// its folder resolved>.lock, else "<store>.lock" beside the store. A lock
// beside the store that an earlier version left (it is empty) is taken
// too, and never removed: that version may still be running and waiting
// for it. One that this version made holds a text and goes when its last
// holder is done, so the settings folder keeps no litter.
//
// While a write goes on, its lock names the writer (process id and start
// time) and the temporary file it writes; a temporary that a writer killed
// mid-write left is removed by the next holder, or by the next reader
// (the program's start), once that writer is gone.

#include <string>

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
  // False when the lock could not be had; errno then tells why.
  bool held() const { return fd_ >= 0; }
  int error() const { return error_; }
  // Records the temporary the write is about to make, before it exists.
  void record(const std::string& temporary);
  // The write is over: its temporary is renamed or removed.
  void clear_record();

 private:
  int fd_ = -1;        // the lock
  int old_fd_ = -1;    // an earlier version's beside the store, or one taken with it
  std::string path_;
  std::string old_path_;
  bool records_ = false;  // the lock takes the record (not an earlier version's)
  int error_ = 0;
};

// What a reader does before it reads: when no write goes on, removes the
// temporary of a writer that was killed mid-write. Never creates a file.
void clean_after_killed_writer(const std::string& store);

}  // namespace brek::Settings_lock
