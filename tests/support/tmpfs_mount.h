#pragma once
#include <sys/types.h>

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

// A bindfs mount whose daemon is stopped once the mount is in place, as a
// network server or FUSE daemon that hangs: every call that reaches the
// mount waits until the daemon goes on. It goes on at the end, and the
// mount goes; should the test process die first (killed at its time limit,
// a SIGTRAP or an abort), a watchdog process of its own lets it go on,
// unmounts and ends it, so no stalled mount outlives a test. Needs bindfs.
class Stalled_mount : public Folder_mount {
 public:
  Stalled_mount();
  ~Stalled_mount();
  // Runs work on this thread; should it still run when wait_until's bound
  // has passed, it waits for the mount: the daemon goes on so that work can
  // end. Whether work ended without that.
  bool ends_while_stalled(const std::function<void()>& work);
  // Whether a thread of this process that is still there asked the mount
  // anything since it stalled (other processes may, unasked). The daemon
  // goes on to tell: the mount answers from then on.
  bool asked_by_this_process();
  // The daemon goes on: the mount answers from then on.
  void resume();
  // The daemon stops again, as when the mount was made.
  void stall();

 private:
  // Starts the watchdog, told through watchdog_.
  void watch();
  pid_t daemon_ = 0;
  int watchdog_ = -1;
  Temp_dir log_dir_;
  // Where the daemon's log of requests stood when it stopped.
  size_t stalled_at_ = 0;
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
