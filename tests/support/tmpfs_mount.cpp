#include "tests/support/tmpfs_mount.h"

#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace brek_test {

Tmpfs_mount::Tmpfs_mount(const std::string& size, const std::string& mode) {
  if (::geteuid() != 0) {
    failure_ = "a file system of the test's own needs root (mount)";
    return;
  }
  const std::string options = "size=" + size + ",mode=" + mode;
  mounted_ = ::mount("tmpfs", dir_.path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
  if (!mounted_) failure_ = std::string("a tmpfs cannot be mounted here: ") + std::strerror(errno);
}

Tmpfs_mount::~Tmpfs_mount() {
  // Detached even while something still holds a file open there.
  if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
}

bool Tmpfs_mount::make_read_only() {
  return mounted_ && ::mount(nullptr, dir_.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

std::vector<std::string> Tmpfs_mount::entries() const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir_.path(), ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace brek_test
