#pragma once
// The kernel's table of mounts (/proc/self/mountinfo) and the volumes it
// lists, read without asking any mount: a mount whose server or daemon
// does not answer holds whoever asks it (statfs, a stat of its root) for as
// long as it hangs, and a listing of the volumes must never wait for one.
// Only volume_of looks at its path itself.

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace brek_platform {

struct Table_mount {
  uint64_t id = 0;
  uint64_t parent = 0;
  std::string point;        // mount point
  std::string file_system;  // "ext4", "fuse.sshfs" ...
  std::string source;       // "/dev/sda1", "server:/export" ...
};

// The mounts of a table as /proc/self/mountinfo gives it, in its order,
// their names without the table's octal escapes ("\040" a blank); lines
// that do not read so are passed by.
std::vector<Table_mount> parsed_mount_table(const std::string& table);
// This process's table; empty where there is none (no /proc).
std::string read_mount_table();

// A mounted file system.
struct Volume {
  std::string root;         // mount point
  std::string file_system;  // "ext4", "nfs4", "iso9660" ...
  std::string device;       // "/dev/sda1", "server:/export" ...
};

// The mounts of the table, leaving out the kernel's own below /dev, /proc,
// /sys, /var/run and /var/lock; only "/" where there is no table.
std::vector<Volume> mounted_volumes();
// The volume that holds path (which is looked at, links followed); false
// when the path does not exist.
bool volume_of(const std::string& path, Volume& out);

// Of the mount points, the one that holds an absolute path by its name
// alone: the longest that is the path or one of its folders ("/" holds
// every one); links in the path are not followed. Empty when none does.
std::string holding_mount(const std::vector<std::string>& points, const std::string& path);

// Whether a file system keeps its files on this machine, on a disk or in
// memory, with no server or daemon of its own that may stop answering
// ("ext4", "tmpfs"; not "nfs4", "fuse.sshfs", "fuseblk", nor one this
// list does not know).
bool kept_here(const std::string& file_system);

// This process's mount points, read from its table again only when the
// kernel says the table changed (a poll of the open table), so that
// asking at every listing costs next to nothing. One thread at a time.
class Mount_points {
 public:
  Mount_points() = default;
  ~Mount_points();
  Mount_points(const Mount_points&) = delete;
  Mount_points& operator=(const Mount_points&) = delete;
  // The mount points as the table holds them now.
  const std::vector<std::string>& now();
  // Whether the mount at that point (one of now()'s) is kept_here.
  bool kept_here(const std::string& point) const { return kept_here_.count(point) != 0; }

 private:
  int fd_ = -1;
  std::vector<std::string> points_;
  std::set<std::string> kept_here_;
};

}  // namespace brek_platform
