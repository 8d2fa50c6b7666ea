#include "platform/trash_mounts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <vector>

namespace brek_platform {

namespace {

struct Table_mount {
  uint64_t id = 0;
  uint64_t parent = 0;
  std::string point;
};

// A mount point as the table writes it: space, tab, newline and backslash
// as octal escapes ("\040").
std::string unescaped(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    const auto octal = [&](size_t k, char last) { return field[k] >= '0' && field[k] <= last; };
    if (field[i] == '\\' && i + 3 < field.size() && octal(i + 1, '3') && octal(i + 2, '7') && octal(i + 3, '7')) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

bool to_number(const std::string& field, uint64_t* n) {
  const auto [end, e] = std::from_chars(field.data(), field.data() + field.size(), *n);
  return e == std::errc() && end == field.data() + field.size();
}

// Each line: id, parent id, device, root, mount point, then more; lines
// that do not read so are passed by.
std::vector<Table_mount> parsed(const std::string& table) {
  std::vector<Table_mount> mounts;
  size_t start = 0;
  while (start < table.size()) {
    size_t end = table.find('\n', start);
    if (end == std::string::npos) end = table.size();
    std::vector<std::string> fields;
    for (size_t k = start; k < end && fields.size() < 5;) {
      const size_t blank = std::min(table.find(' ', k), end);
      fields.push_back(table.substr(k, blank - k));
      k = blank + 1;
    }
    Table_mount m;
    if (fields.size() == 5 && to_number(fields[0], &m.id) && to_number(fields[1], &m.parent) && !fields[4].empty()) {
      m.point = unescaped(fields[4]);
      mounts.push_back(m);
    }
    start = end + 1;
  }
  return mounts;
}

std::string read_table() {
  std::string table;
  const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return table;
  char buf[16384];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) != 0;) {
    if (n > 0) table.append(buf, static_cast<size_t>(n));
    else if (errno != EINTR) break;
  }
  ::close(fd);
  return table;
}

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
  const std::vector<Table_mount> mounts = parsed(table);
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
  place->mount = mount_in_table(read_table(), resolved(path, follow));
  return true;
}

}  // namespace brek_platform
