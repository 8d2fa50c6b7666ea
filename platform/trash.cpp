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
#include "platform/trash_mounts.h"

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

// The folders one trashing made, removed again (those still empty) when
// the entry could not be trashed.
class Made {
 public:
  void add(const std::string& dir) { dirs_.push_back(dir); }
  void undo() {
    const int e = errno;
    for (auto d = dirs_.rbegin(); d != dirs_.rend(); ++d) ::rmdir(d->c_str());
    dirs_.clear();
    errno = e;
  }

 private:
  std::vector<std::string> dirs_;
};

// A folder of ours that is what it claims: a folder owned by us, made when
// missing; no link unless follow (the home trash may be one, as file
// managers allow).
bool own_directory(const std::string& dir, Made* made, bool follow = false) {
  if (::mkdir(dir.c_str(), 0700) == 0) made->add(dir);
  else if (errno != EEXIST) return false;
  struct stat st;
  if ((follow ? ::stat(dir.c_str(), &st) : ::lstat(dir.c_str(), &st)) != 0) return false;
  if (!S_ISDIR(st.st_mode)) errno = ENOTDIR;
  else if (st.st_uid != ::getuid()) errno = EACCES;
  else return true;
  return false;
}

// A trash directory with its two folders, and where relative record paths
// start ("" for the home trash, whose records hold absolute paths).
struct Trash {
  std::string dir;
  std::string top;
};

bool with_folders(const std::string& dir, Made* made) {
  return own_directory(dir + "/files", made) && own_directory(dir + "/info", made);
}

std::string data_home() {
  // A relative location does not count: it would put the trash into the
  // working directory.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') return xdg;
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

}  // namespace

std::string home_trash_dir() {
  const std::string data = data_home();
  return data.empty() ? data : data + "/Trash";
}

namespace {

// Where the user's other trash directories are, made or not: at a top
// directory the administrator's shared "$top/.Trash" (holding a folder per
// user) and "$top/.Trash-$uid".
std::string shared_trash(const std::string& top) { return (top == "/" ? std::string() : top) + "/.Trash"; }
std::string own_trash(const std::string& top) {
  return (top == "/" ? std::string() : top) + "/.Trash-" + std::to_string(::getuid());
}

std::string home_trash(Made* made) {
  const std::string trash = home_trash_dir();
  if (trash.empty()) {
    errno = ENOENT;
    return {};
  }
  // The data home itself, the home too, may be missing on a fresh account.
  const std::string data = parent_of(trash);
  for (size_t k = data.find('/', 1);; k = data.find('/', k + 1)) {
    const std::string folder = data.substr(0, k);
    if (::mkdir(folder.c_str(), 0700) == 0) made->add(folder);
    if (k == std::string::npos) break;
  }
  return own_directory(trash, made, true) && with_folders(trash, made) ? trash : std::string();
}

// The top directory of dir (a resolved folder): the highest folder that a
// rename from dir reaches, on the same mount and device.
std::string top_directory(std::string dir) {
  Mount_place here;
  if (!mount_place(dir, false, &here)) return {};
  while (dir != "/") {
    Mount_place up;
    std::string parent = parent_of(dir);
    if (!mount_place(parent, false, &up) || !(up == here)) break;
    dir = parent;
  }
  return dir;
}

// A top directory's trash: the shared one when it is a sticky folder (no
// link: others can write there), else the user's own.
std::string top_trash(const std::string& top, Made* made) {
  struct stat st;
  const std::string shared = shared_trash(top);
  if (lstat_ok(shared, &st) && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
    const std::string mine = shared + "/" + std::to_string(::getuid());
    if (own_directory(mine, made) && with_folders(mine, made)) return mine;
  }
  const std::string own = own_trash(top);
  return own_directory(own, made) && with_folders(own, made) ? own : std::string();
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

// The trash at the top directory of a folder (resolved).
Trash top_trash_of(const std::string& folder, Made* made) {
  const std::string top = top_directory(folder);
  return top.empty() ? Trash{} : Trash{top_trash(top, made), top};
}

// The home trash for an entry (its folder resolved) where a rename reaches
// it, else the trash at the entry's top directory. Without a usable home
// trash nothing is trashed, so that no trash is made at the top of the
// home's own mount; nor is one made around a mount point, which never
// moves.
Trash trash_for(const std::string& entry, Made* made) {
  const std::string home = home_trash(made);
  Mount_place home_at, at, folder_at;
  // A linked home trash lies where its link leads.
  if (home.empty() || !mount_place(home, true, &home_at) || !mount_place(entry, false, &at)) return {};
  if (home_at == at) return {home, ""};
  const std::string folder = parent_of(entry);
  if (!mount_place(folder, false, &folder_at)) return {};
  if (!(folder_at == at)) {
    errno = EBUSY;
    return {};
  }
  return top_trash_of(folder, made);
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
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written >= 0 && written < static_cast<ssize_t>(text.size())) errno = ENOSPC;
    bool ok = written == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
    int e = errno;
    if (::close(fd) != 0 && ok) {
      ok = false;
      e = errno;
    }
    if (ok) return name;
    ::unlink(info.c_str());
    errno = e;
    return {};
  }
  errno = EEXIST;
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

// Moves the entry (as lstat gave it before) into the trash under a record
// of its own. False with errno when the trash does not hold it now; its
// record then goes again.
bool trash_into(const Trash& trash, const std::string& entry, const struct stat& before, std::string* where) {
  const std::string name = write_record(trash, entry);
  if (name.empty()) return false;
  const std::string info = trash.dir + "/info/" + name + ".trashinfo";
  const std::string result = trash.dir + "/files/" + name;
  const auto fail = [&](int e) {
    ::unlink(info.c_str());
    errno = e;
    return false;
  };
  // A rename only: across mounts it fails, and nothing is copied or
  // deleted for good. The record reserves the name in files/ (no program
  // that writes records first takes it), so a plain rename, which every
  // file system takes, can replace nothing there; a link and an unlink
  // could take a new version that another program saves onto the old name
  // in between.
  if (::rename(entry.c_str(), result.c_str()) != 0) return fail(errno);
  struct stat moved, left;
  const bool ours = lstat_ok(result, &moved) && same_file(moved, before);
  // Both names were links of one file: the rename did nothing.
  if (lstat_ok(entry, &left) && same_file(left, before)) return fail(EEXIST);
  // Another program saved a new version over the name before the move took
  // it: that one goes back and stays; the entry asked for is gone already.
  // Where yet another took the name meanwhile, the one moved keeps its
  // record here instead.
  if (!ours && rename_noreplace(result, entry)) return fail(EAGAIN);
  // Moved with its record in place. What appears at the old place now is
  // another program's new entry, no sign of failure.
  if (where) *where = result;
  return true;
}

}  // namespace

bool move_to_trash(const std::string& path, std::string* where) {
  if (where) where->clear();
  if (path.empty() || path[0] != '/' || last_name(path).empty()) {
    errno = EINVAL;
    return false;
  }
  const std::string entry = resolved_entry(path);
  struct stat before;
  if (entry.empty() || !lstat_ok(entry, &before)) return false;
  if (in_a_trash(parent_of(entry))) {
    errno = EPERM;
    return false;
  }
  Made made;
  Trash trash = trash_for(entry, &made);
  bool done = !trash.dir.empty() && trash_into(trash, entry, before, where);
  // The home trash is out of reach after all (a FUSE file system over
  // several, the mounts changed meanwhile): the trash at the entry's own
  // top directory.
  // When that fails too, the home trash's refusal is what the user is
  // told: the other trash was only a way round it.
  if (!done && errno == EXDEV && trash.top.empty()) {
    trash = top_trash_of(parent_of(entry), &made);
    done = !trash.dir.empty() && trash_into(trash, entry, before, where);
    if (!done) errno = EXDEV;
  }
  // Nothing trashed: the folders made for it go again.
  if (!done) made.undo();
  return done;
}

}  // namespace brek_platform
