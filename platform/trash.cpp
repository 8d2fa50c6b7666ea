#include "platform/trash.h"

#include <fcntl.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/rename_noreplace.h"

namespace brek_platform {

namespace {

bool lstat_ok(const std::string& p, struct stat* st) { return ::lstat(p.c_str(), st) == 0; }

std::string parent_of(const std::string& p) {
  size_t k = p.find_last_of('/');
  if (k == std::string::npos || k == 0) return "/";
  return p.substr(0, k);
}

std::string last_name(const std::string& p) {
  size_t k = p.find_last_of('/');
  return k == std::string::npos ? p : p.substr(k + 1);
}

// A folder of ours that is what it claims: no link, owned by us, made with
// mode when missing.
bool own_directory(const std::string& dir, mode_t mode) {
  if (::mkdir(dir.c_str(), mode) != 0 && errno != EEXIST) return false;
  struct stat st;
  return lstat_ok(dir, &st) && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

// A trash directory with its two folders, and where relative record paths
// start ("" for the home trash, whose records hold absolute paths).
struct Trash {
  std::string dir;
  std::string top;
};

bool with_folders(const std::string& dir) { return own_directory(dir + "/files", 0700) && own_directory(dir + "/info", 0700); }

std::string data_home() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  // A relative location would put the trash into the working directory.
  if (xdg && *xdg) return xdg[0] == '/' ? std::string(xdg) : std::string();
  std::string home;
  if (const char* h = std::getenv("HOME"); h && h[0] == '/') home = h;
  if (home.empty()) {
    struct passwd pw;
    struct passwd* found = nullptr;
    std::vector<char> buf(16384);
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
      home = found->pw_dir;
  }
  return home.empty() || home[0] != '/' ? std::string() : home + "/.local/share";
}

// Where the user's trash directories are, made or not: the home trash, and
// at a top directory the administrator's shared "$top/.Trash" (holding a
// folder per user) and "$top/.Trash-$uid".
std::string home_trash_dir() {
  const std::string data = data_home();
  return data.empty() ? data : data + "/Trash";
}
std::string shared_trash(const std::string& top) { return (top == "/" ? std::string() : top) + "/.Trash"; }
std::string own_trash(const std::string& top) {
  return (top == "/" ? std::string() : top) + "/.Trash-" + std::to_string(::getuid());
}

std::string home_trash() {
  const std::string trash = home_trash_dir();
  if (trash.empty()) return {};
  // The data home itself may be missing on a fresh account.
  const std::string data = parent_of(trash);
  for (size_t k = data.find('/', 1); k != std::string::npos; k = data.find('/', k + 1))
    ::mkdir(data.substr(0, k).c_str(), 0700);
  ::mkdir(data.c_str(), 0700);
  return own_directory(trash, 0700) && with_folders(trash) ? trash : std::string();
}

// The mount point of the file system that holds dir (a resolved folder).
std::string top_directory(std::string dir) {
  struct stat st;
  if (!lstat_ok(dir, &st)) return {};
  while (dir != "/") {
    struct stat up;
    std::string parent = parent_of(dir);
    if (!lstat_ok(parent, &up) || up.st_dev != st.st_dev) break;
    dir = parent;
  }
  return dir;
}

// A top directory's trash: the shared one when it is a sticky folder (no
// link), else the user's own.
std::string top_trash(const std::string& top) {
  struct stat st;
  const std::string shared = shared_trash(top);
  if (lstat_ok(shared, &st) && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
    const std::string mine = shared + "/" + std::to_string(::getuid());
    if (own_directory(mine, 0700) && with_folders(mine)) return mine;
  }
  const std::string own = own_trash(top);
  return own_directory(own, 0700) && with_folders(own) ? own : std::string();
}

std::string real_path(const std::string& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return {};
  const std::string out = real;
  std::free(real);
  return out;
}

// Whether dir (a resolved folder) lies in one of the user's trash
// directories: trashed again, an entry there would leave its record behind.
bool in_a_trash(const std::string& dir) {
  const std::string top = top_directory(dir);
  const std::string mine = shared_trash(top) + "/" + std::to_string(::getuid());
  for (const std::string& trash : {home_trash_dir(), mine, own_trash(top)}) {
    const std::string real = trash.empty() ? trash : real_path(trash);
    if (!real.empty() && (dir == real || dir.compare(0, real.size() + 1, real + "/") == 0)) return true;
  }
  return false;
}

// The home trash for an entry (its folder resolved) on its file system, else
// its top directory's. Without a usable home trash nothing is trashed, so
// that no trash is made at the top of the home's own file system; nor is one
// made around a mount point, which never moves.
Trash trash_for(const std::string& entry, dev_t device) {
  std::string home = home_trash();
  struct stat st;
  if (home.empty() || !lstat_ok(home, &st)) return {};
  if (st.st_dev == device) return {home, ""};
  const std::string folder = parent_of(entry);
  if (!lstat_ok(folder, &st) || st.st_dev != device) return {};
  std::string top = top_directory(folder);
  if (top.empty()) return {};
  return {top_trash(top), top};
}

// The record's path: bytes other than letters, digits, "-._~" and "/"
// escaped as in URLs, so any name (a newline, bytes that are no UTF-8)
// comes back as it was.
std::string escaped(const std::string& path) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string record_text(const std::string& path, const Trash& trash) {
  std::string stored = path;
  if (!trash.top.empty()) stored = path.substr(trash.top == "/" ? 1 : trash.top.size() + 1);
  char date[32] = "";
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (::localtime_r(&now, &local)) std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  return "[Trash Info]\nPath=" + escaped(stored) + "\nDeletionDate=" + date + "\n";
}

// A name for the entry in the trash, its stem cut (at a character's start)
// so that the record's name stays within the file system's limit.
std::string trash_name(const std::string& name, int n) {
  const std::string suffix = n < 2 ? std::string() : "." + std::to_string(n);
  const size_t room = 255 - std::string(".trashinfo").size() - suffix.size();
  std::string stem = name;
  if (stem.size() > room) {
    size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
    stem.resize(cut);
  }
  return stem + suffix;
}

// Writes the record under a name that neither info/ nor files/ holds yet
// (O_EXCL: two programs trashing at once never share one); the name, or ""
// when no record could be written.
std::string write_record(const Trash& trash, const std::string& path) {
  const std::string text = record_text(path, trash);
  for (int n = 1; n < 10000; ++n) {
    const std::string name = trash_name(last_name(path), n);
    const std::string info = trash.dir + "/info/" + name + ".trashinfo";
    int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return {};
    struct stat st;
    if (lstat_ok(trash.dir + "/files/" + name, &st)) {
      ::close(fd);
      ::unlink(info.c_str());
      continue;
    }
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok) return name;
    ::unlink(info.c_str());
    return {};
  }
  return {};
}

// The entry with its folder resolved, so that a linked folder leads to the
// file system that holds it; a link itself goes as the link. "" when the
// folder cannot be resolved.
std::string resolved_entry(const std::string& path) {
  const std::string folder = real_path(parent_of(path));
  if (folder.empty()) return {};
  return (folder == "/" ? folder : folder + "/") + last_name(path);
}

}  // namespace

bool move_to_trash(const std::string& path, std::string* where) {
  if (where) where->clear();
  if (path.empty() || path[0] != '/' || last_name(path).empty()) return false;
  const std::string entry = resolved_entry(path);
  struct stat before;
  if (entry.empty() || !lstat_ok(entry, &before) || in_a_trash(parent_of(entry))) return false;
  const Trash trash = trash_for(entry, before.st_dev);
  if (trash.dir.empty()) return false;
  const std::string name = write_record(trash, entry);
  if (name.empty()) return false;
  const std::string info = trash.dir + "/info/" + name + ".trashinfo";
  const std::string result = trash.dir + "/files/" + name;
  // A rename only: across file systems it fails, and nothing is copied or
  // deleted for good. The record reserves the name in files/ (no program
  // that writes records first takes it), so where the file system knows no
  // rename flags, a plain rename after the check is sound there.
  if (!rename_noreplace(entry, result)) {
    ::unlink(info.c_str());
    return false;
  }
  // Moved with its record in place. What appears at the old place now is
  // another program's new entry, no sign of failure.
  if (where) *where = result;
  return true;
}

}  // namespace brek_platform
