#pragma once
#include <functional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace brek_test {

// A file system of the test's own, mounted on a fresh folder for the life
// of the object. Mounting needs root; when it fails, mounted() is false and
// failure() says why, for the skip.
class Test_mount {
 public:
  ~Test_mount();
  Test_mount(const Test_mount&) = delete;
  Test_mount& operator=(const Test_mount&) = delete;
  bool mounted() const { return mounted_; }
  const std::string& failure() const { return failure_; }
  // The mount point, without a trailing "/".
  const std::string& path() const { return at_.path(); }
  std::string file(const std::string& name) const { return at_.file(name); }
  // The names of the entries at its top, sorted.
  std::vector<std::string> entries() const;

 protected:
  Test_mount() = default;
  Temp_dir at_;
  bool mounted_ = false;
  std::string failure_;
};

// A small tmpfs: a second file system, or a disk that fills up.
class Tmpfs_mount : public Test_mount {
 public:
  explicit Tmpfs_mount(const std::string& size = "64k", const std::string& mode = "0755");
  // Mounted again read-only; false when that failed.
  bool make_read_only();
};

// A folder of the test's own on the file system of the temporary folder
// (that of the tests' home too), mounted on the fresh one.
class Folder_mount : public Test_mount {
 public:
  // The folder itself, as the file system holds it.
  std::string source_file(const std::string& name) const { return source_.file(name); }

 protected:
  Temp_dir source_;
};

// The folder seen through bindfs, a FUSE file system that refuses every
// rename flag, as the NFS client and sshfs do, but takes hard links. Needs
// bindfs too.
class Bindfs_mount : public Folder_mount {
 public:
  Bindfs_mount();
};

// The folder bound to a second place by the kernel (mount --bind), as
// containers, sandboxes and fstab binds do: the same file system and
// device number, another mount; read-only on that mount alone when asked.
class Bind_mount : public Folder_mount {
 public:
  explicit Bind_mount(bool read_only = false);
};

// An overlay, as a container's root file system is: a lower folder that
// `fill` gives its entries before the mount, under an upper folder that
// takes every change. A folder of the lower one cannot be renamed there
// (the kernel answers EXDEV).
class Overlay_mount : public Test_mount {
 public:
  explicit Overlay_mount(const std::function<void(const std::string& lower)>& fill);
  // Gone before its folders are.
  ~Overlay_mount();

 private:
  Temp_dir lower_, upper_;
};

}  // namespace brek_test
