#pragma once
#include <string>

#include "tests/support/temp_dir.h"

namespace brek_test {

// A small tmpfs mounted on a fresh folder for the life of the object: a
// second file system, or a disk that fills up. Mounting needs root; when
// it fails, mounted() is false and the test skips.
class Tmpfs_mount {
 public:
  explicit Tmpfs_mount(const std::string& size = "64k");
  ~Tmpfs_mount();
  Tmpfs_mount(const Tmpfs_mount&) = delete;
  Tmpfs_mount& operator=(const Tmpfs_mount&) = delete;
  bool mounted() const { return mounted_; }
  // The mount point, without a trailing "/".
  const std::string& path() const { return dir_.path(); }
  std::string file(const std::string& name) const { return dir_.file(name); }

 private:
  Temp_dir dir_;
  bool mounted_ = false;
};

}  // namespace brek_test
