#pragma once
// A small file system of the test's own: a tmpfs of a few kilobytes
// mounted on a temporary folder, so that a write fills it up as a full
// disk does. Mounting needs root; failure() then says why, for a skip
// message. Unmounted when the object goes, whatever the test did.

#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace print_test {

class Small_disk {
 public:
  explicit Small_disk(int kilobytes);
  ~Small_disk();
  Small_disk(const Small_disk&) = delete;
  Small_disk& operator=(const Small_disk&) = delete;

  // Empty when the file system is mounted.
  const std::string& failure() const { return failure_; }
  const std::string& path() const { return dir_.path(); }
  std::string file(const std::string& name) const { return dir_.file(name); }
  // The names of the entries in it, sorted.
  std::vector<std::string> entries() const;

 private:
  brek_test::Temp_dir dir_;
  std::string failure_;
  bool mounted_ = false;
};

}  // namespace print_test
