#include "platform/rename_noreplace.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace brek_platform {

bool rename_noreplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
  // The file system cannot refuse a replacement itself.
  struct stat st;
  if (::lstat(from.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) {
    // A hard link is never made over an existing name.
    if (::link(from.c_str(), to.c_str()) == 0) {
      if (::unlink(from.c_str()) == 0) return true;
      int e = errno;
      ::unlink(to.c_str());
      errno = e;
      return false;
    }
    if (errno == EEXIST) return false;
  }
  if (::lstat(to.c_str(), &st) == 0) {
    errno = EEXIST;
    return false;
  }
  if (errno != ENOENT) return false;
  if (::rename(from.c_str(), to.c_str()) != 0) return false;
  // Where to became another name of the same file meanwhile, rename did
  // nothing, yet succeeded.
  struct stat left;
  if (::lstat(from.c_str(), &left) == 0 && ::lstat(to.c_str(), &st) == 0 && left.st_dev == st.st_dev &&
      left.st_ino == st.st_ino) {
    errno = EEXIST;
    return false;
  }
  return true;
}

}  // namespace brek_platform
