#pragma once
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace brek_test {

// A small tmpfs mounted on a fresh folder for the life of the object: a
// second file system, or a disk that fills up. Mounting needs root; when
// it fails, mounted() is false and failure() says why, for the skip.
class Tmpfs_mount {
 public:
  explicit Tmpfs_mount(const std::string& size = "64k", const std::string& mode = "0755");
  ~Tmpfs_mount();
  Tmpfs_mount(const Tmpfs_mount&) = delete;
  Tmpfs_mount& operator=(const Tmpfs_mount&) = delete;
  bool mounted() const { return mounted_; }
  const std::string& failure() const { return failure_; }
  // Mounted again read-only; false when that failed.
  bool make_read_only();
  // The mount point, without a trailing "/".
  const std::string& path() const { return dir_.path(); }
  std::string file(const std::string& name) const { return dir_.file(name); }
  // The names of the entries at its top, sorted.
  std::vector<std::string> entries() const;

 private:
  Temp_dir dir_;
  bool mounted_ = false;
  std::string failure_;
};

// A folder of the test's own seen through bindfs, a FUSE file system that
// refuses every rename flag, as the NFS client and sshfs do, but takes hard
// links. Needs root and bindfs; otherwise mounted() is false and failure()
// says why, for the skip.
class Bindfs_mount {
 public:
  Bindfs_mount();
  ~Bindfs_mount();
  Bindfs_mount(const Bindfs_mount&) = delete;
  Bindfs_mount& operator=(const Bindfs_mount&) = delete;
  bool mounted() const { return mounted_; }
  const std::string& failure() const { return failure_; }
  // The mount point, without a trailing "/".
  const std::string& path() const { return at_.path(); }
  std::string file(const std::string& name) const { return at_.file(name); }

 private:
  Temp_dir source_;
  Temp_dir at_;
  bool mounted_ = false;
  std::string failure_;
};

}  // namespace brek_test
