#include "tests/printing/small_disk.h"

#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

namespace print_test {

Small_disk::Small_disk(int kilobytes) {
  if (::geteuid() != 0) {
    failure_ = "a small file system of the test's own needs root (mount)";
    return;
  }
  const std::string options = "size=" + std::to_string(kilobytes) + "k,mode=0777";
  if (::mount("tmpfs", dir_.path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    failure_ = std::string("a tmpfs cannot be mounted here: ") + std::strerror(errno);
    return;
  }
  mounted_ = true;
}

Small_disk::~Small_disk() {
  // Lazily, so a file a failed test left open cannot keep it mounted.
  if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
}

std::vector<std::string> Small_disk::entries() const {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(dir_.path(), ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace print_test
