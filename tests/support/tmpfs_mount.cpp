#include "tests/support/tmpfs_mount.h"

#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace brek_test {

Test_mount::~Test_mount() {
  // Detached even while something still holds a file open there; a bindfs
  // process ends by itself once its mount is gone.
  if (mounted_) ::umount2(at_.path().c_str(), MNT_DETACH);
}

std::vector<std::string> Test_mount::entries() const { return entries_of(at_.path()); }

Tmpfs_mount::Tmpfs_mount(const std::string& size, const std::string& mode) {
  if (::geteuid() != 0) {
    failure_ = "a file system of the test's own needs root (mount)";
    return;
  }
  const std::string options = "size=" + size + ",mode=" + mode;
  mounted_ = ::mount("tmpfs", at_.path().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
  if (!mounted_) failure_ = std::string("a tmpfs cannot be mounted here: ") + std::strerror(errno);
}

bool Tmpfs_mount::make_read_only() {
  return mounted_ && ::mount(nullptr, at_.path().c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

Bind_mount::Bind_mount(bool read_only) {
  if (::geteuid() != 0) {
    failure_ = "a bind mount of the test's own needs root (mount)";
    return;
  }
  const char* at = at_.path().c_str();
  mounted_ = ::mount(source_.path().c_str(), at, nullptr, MS_BIND, nullptr) == 0;
  if (!mounted_) failure_ = std::string("a folder cannot be bound here: ") + std::strerror(errno);
  // MS_BIND with the remount makes this mount read-only, not the file
  // system under it.
  if (mounted_ && read_only && ::mount(nullptr, at, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
    failure_ = std::string("a bind mount cannot be made read-only here: ") + std::strerror(errno);
    ::umount2(at, MNT_DETACH);
    mounted_ = false;
  }
}

Overlay_mount::Overlay_mount(const std::function<void(const std::string& lower)>& fill) {
  if (::geteuid() != 0) {
    failure_ = "an overlay of the test's own needs root (mount)";
    return;
  }
  fill(lower_.path());
  const std::string upper = upper_.file("upper"), work = upper_.file("work");
  ::mkdir(upper.c_str(), 0755);
  ::mkdir(work.c_str(), 0755);
  const std::string options = "lowerdir=" + lower_.path() + ",upperdir=" + upper + ",workdir=" + work;
  mounted_ = ::mount("overlay", at_.path().c_str(), "overlay", 0, options.c_str()) == 0;
  if (!mounted_) failure_ = std::string("an overlay cannot be mounted here: ") + std::strerror(errno);
}

Overlay_mount::~Overlay_mount() {
  if (mounted_) ::umount2(at_.path().c_str(), MNT_DETACH);
  mounted_ = false;
}

Bindfs_mount::Bindfs_mount() {
  if (::geteuid() != 0) {
    failure_ = "a FUSE mount of the test's own needs root";
    return;
  }
  const std::string source = source_.path(), at = at_.path();
  std::vector<char*> argv = {const_cast<char*>("bindfs"), const_cast<char*>(source.c_str()),
                             const_cast<char*>(at.c_str()), nullptr};
  pid_t pid = 0;
  if (int e = ::posix_spawnp(&pid, "bindfs", nullptr, nullptr, argv.data(), environ); e != 0) {
    failure_ = std::string("bindfs cannot be started (scripts/install-deps.sh installs it): ") + std::strerror(e);
    return;
  }
  // bindfs goes to the background once its mount is in place.
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  constexpr long FUSE_MAGIC = 0x65735546;
  struct statfs fs {};
  mounted_ = WIFEXITED(status) && WEXITSTATUS(status) == 0 && ::statfs(at.c_str(), &fs) == 0 && fs.f_type == FUSE_MAGIC;
  if (!mounted_) failure_ = "bindfs could not mount a folder here (is /dev/fuse there?)";
}

}  // namespace brek_test
