#pragma once
// Where an entry lies as a rename sees it. No rename leaves the mount that
// holds an entry, not even to another mount of the same file system (a
// bind mount has the device number of its source), nor the device within
// one mount (a btrfs subvolume): a trash takes an entry only where both
// match.

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace brek_platform {

struct Mount_place {
  uint64_t mount = 0;  // the kernel's mount id
  dev_t device = 0;
  bool operator==(const Mount_place&) const = default;
};

// The place of the entry at path (absolute; the link itself unless
// follow). False with errno when it cannot be looked at.
bool mount_place(const std::string& path, bool follow, Mount_place* place);

// The id of the mount that holds path (absolute, no link in it) by a mount
// table as /proc/self/mountinfo gives it; 0 when the table holds none. The
// kernel tells the id itself since Linux 5.8; older ones need the table.
uint64_t mount_in_table(const std::string& table, const std::string& path);

}  // namespace brek_platform
