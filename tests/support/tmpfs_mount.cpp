#include "tests/support/tmpfs_mount.h"

#include <sys/mount.h>

namespace brek_test {

Tmpfs_mount::Tmpfs_mount(const std::string& size) {
  const std::string options = "size=" + size + ",mode=0755";
  mounted_ = ::mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, options.c_str()) == 0;
}

Tmpfs_mount::~Tmpfs_mount() {
  // Detached even while something still holds a file open there.
  if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
}

}  // namespace brek_test
