#include "platform/mount_table.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>

#include "platform/trash_mounts.h"

namespace brek_platform {

namespace {

// A name as the table writes it: space, tab, newline and backslash as
// octal escapes ("\040").
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

// The blank-separated fields of one line.
std::vector<std::string> fields_of(const std::string& line) {
  std::vector<std::string> fields;
  for (size_t k = 0; k < line.size();) {
    const size_t blank = std::min(line.find(' ', k), line.size());
    fields.push_back(line.substr(k, blank - k));
    k = blank + 1;
  }
  return fields;
}

// The kernel's own file systems, which hold nothing to choose.
bool kernel_place(const std::string& point) {
  for (const char* top : {"/dev", "/proc", "/sys", "/var/run", "/var/lock"}) {
    const std::string t = top;
    if (point.rfind(t, 0) == 0 && (point.size() == t.size() || point[t.size()] == '/')) return true;
  }
  return false;
}

}  // namespace

std::vector<Table_mount> parsed_mount_table(const std::string& table) {
  std::vector<Table_mount> mounts;
  size_t start = 0;
  while (start < table.size()) {
    size_t end = table.find('\n', start);
    if (end == std::string::npos) end = table.size();
    // id, parent, device, root, mount point, options, optional fields up
    // to "-", then file system, source and its options.
    const std::vector<std::string> f = fields_of(table.substr(start, end - start));
    start = end + 1;
    Table_mount m;
    if (f.size() < 5 || !to_number(f[0], &m.id) || !to_number(f[1], &m.parent) || f[4].empty()) continue;
    m.point = unescaped(f[4]);
    for (size_t k = 6; k + 1 < f.size(); ++k)
      if (f[k] == "-") {
        m.file_system = unescaped(f[k + 1]);
        if (k + 2 < f.size()) m.source = unescaped(f[k + 2]);
        break;
      }
    mounts.push_back(m);
  }
  return mounts;
}

namespace {

// The table as an open descriptor of it gives it from its start.
std::string read_table_from(int fd) {
  std::string table;
  char buf[16384];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) != 0;) {
    if (n > 0) table.append(buf, static_cast<size_t>(n));
    else if (errno != EINTR) break;
  }
  return table;
}

}  // namespace

std::string read_mount_table() {
  const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::string();
  std::string table = read_table_from(fd);
  ::close(fd);
  return table;
}

std::vector<Volume> mounted_volumes() {
  std::vector<Volume> out;
  for (const Table_mount& m : parsed_mount_table(read_mount_table()))
    if (m.file_system != "rootfs" && !kernel_place(m.point)) out.push_back(Volume{m.point, m.file_system, m.source});
  if (out.empty()) out.push_back(Volume{"/", "", ""});
  return out;
}

bool volume_of(const std::string& path, Volume& out) {
  out = Volume();
  Mount_place place;
  if (path.empty() || !mount_place(path, true, &place) || place.mount == 0) return false;
  for (const Table_mount& m : parsed_mount_table(read_mount_table()))
    if (m.id == place.mount) {
      out = Volume{m.point, m.file_system, m.source};
      return true;
    }
  return false;
}

std::string holding_mount(const std::vector<std::string>& points, const std::string& path) {
  std::string best;
  bool found = false;
  for (const std::string& p : points) {
    const std::string point = p.size() > 1 && p.back() == '/' ? p.substr(0, p.size() - 1) : p;
    const bool holds = point == "/" ? path.rfind('/', 0) == 0
                                    : path.rfind(point, 0) == 0 && (path.size() == point.size() || path[point.size()] == '/');
    if (holds && (!found || point.size() > best.size())) {
      best = point;
      found = true;
    }
  }
  return best;
}

Mount_points::~Mount_points() {
  if (fd_ >= 0) ::close(fd_);
}

const std::vector<std::string>& Mount_points::now() {
  bool changed = fd_ < 0;
  if (fd_ < 0) fd_ = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
  if (fd_ >= 0 && !changed) {
    // The kernel marks the table's descriptor once the table changed.
    pollfd p{fd_, POLLPRI, 0};
    changed = ::poll(&p, 1, 0) > 0 && (p.revents & (POLLPRI | POLLERR));
  }
  if (!changed) return points_;
  points_.clear();
  kept_here_.clear();
  if (fd_ >= 0 && ::lseek(fd_, 0, SEEK_SET) == 0)
    for (const Table_mount& m : parsed_mount_table(read_table_from(fd_))) {
      points_.push_back(m.point);
      // A later mount on the same point hides the earlier one.
      if (brek_platform::kept_here(m.file_system))
        kept_here_.insert(m.point);
      else
        kept_here_.erase(m.point);
    }
  if (points_.empty()) points_.push_back("/");
  return points_;
}

bool kept_here(const std::string& file_system) {
  static const char* const here[] = {"ext2",     "ext3",  "ext4",    "xfs",     "btrfs",    "f2fs",   "jfs",
                                     "reiserfs", "nilfs2", "vfat",   "msdos",   "exfat",    "ntfs3",  "hfsplus",
                                     "iso9660",  "udf",   "squashfs", "erofs",  "zfs",      "tmpfs",  "ramfs",
                                     "devtmpfs", "overlay", "proc",   "sysfs",   "rootfs"};
  for (const char* f : here)
    if (file_system == f) return true;
  return false;
}

}  // namespace brek_platform
