#include "platform/trash_mounts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/mount_table.h"

namespace brek_platform {

namespace {

// The path with its folder resolved, and itself too when follow.
std::string resolved(const std::string& path, bool follow) {
  const size_t k = path.find_last_of('/');
  const std::string folder = follow || k == std::string::npos ? path : k == 0 ? "/" : path.substr(0, k);
  char* real = ::realpath(folder.c_str(), nullptr);
  if (!real) return {};
  std::string out = real;
  std::free(real);
  if (folder != path) out += (out == "/" ? "" : "/") + path.substr(k + 1);
  return out;
}

}  // namespace

uint64_t mount_in_table(const std::string& table, const std::string& path) {
  if (path.empty() || path[0] != '/') return 0;
  const std::vector<Table_mount> mounts = parsed_mount_table(table);
  uint64_t at = 0;
  // The root: a mount on "/" whose parent lies outside what the table shows.
  for (const Table_mount& m : mounts) {
    bool parent_shown = false;
    for (const Table_mount& p : mounts) parent_shown = parent_shown || (p.id == m.parent && p.id != m.id);
    if (m.point == "/" && !parent_shown) at = m.id;
  }
  if (at == 0) return 0;
  // On each spot of the path the last mount made there counts: it was made
  // on top of the one before, its parent. A mount covered by another made
  // on a folder above it is a child of the covered one, never passed.
  const auto climb = [&](const std::string& spot) {
    for (size_t n = 0; n < mounts.size(); ++n) {
      bool on = false;
      for (const Table_mount& m : mounts)
        if (!on && m.parent == at && m.id != at && m.point == spot) {
          at = m.id;
          on = true;
        }
      if (!on) break;
    }
  };
  climb("/");
  for (size_t k = path.find('/', 1); path != "/"; k = path.find('/', k + 1)) {
    climb(path.substr(0, k));
    if (k == std::string::npos) break;
  }
  return at;
}

bool mount_place(const std::string& path, bool follow, Mount_place* place) {
  struct statx sx;
  const int flags = AT_STATX_SYNC_AS_STAT | (follow ? 0 : AT_SYMLINK_NOFOLLOW);
  if (::statx(AT_FDCWD, path.c_str(), flags, STATX_MNT_ID, &sx) == 0) {
    place->device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    place->mount = sx.stx_mnt_id;
    if (sx.stx_mask & STATX_MNT_ID) return true;
  } else {
    struct stat st;
    if (errno != ENOSYS || (follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return false;
    place->device = st.st_dev;
  }
  // Without a table (no /proc) the device alone tells.
  place->mount = mount_in_table(read_mount_table(), resolved(path, follow));
  return true;
}

}  // namespace brek_platform
