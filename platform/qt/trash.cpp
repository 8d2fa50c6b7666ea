#include "platform/trash.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

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

bool same_dir(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// A trash directory: the home trash, or a top-directory trash of another
// file system ("$top/.Trash-$uid" or "$top/.Trash/$uid").
bool is_trash_dir(const std::string& dir, const std::string& home_trash) {
  if (same_dir(dir, home_trash)) return true;
  std::string uid = std::to_string(::getuid());
  std::string name = last_name(dir);
  if (name == ".Trash-" + uid) return true;
  return name == uid && last_name(parent_of(dir)) == ".Trash";
}

// The byte string names the same file after a trip through QString: a name
// that is not valid UTF-8 would otherwise reach the system as another name.
bool round_trips(const std::string& path) {
  QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
  return QFile::encodeName(QFile::decodeName(bytes)) == bytes;
}

std::string home_trash() {
  QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  // A relative location would put the trash into the working directory.
  if (data.isEmpty() || !QDir::isAbsolutePath(data)) return {};
  QString trash = data + QStringLiteral("/Trash");
  QDir dir;
  if (!dir.mkpath(trash + QStringLiteral("/files")) || !dir.mkpath(trash + QStringLiteral("/info")))
    return {};
  QByteArray t = QFile::encodeName(trash);
  ::chmod(t.constData(), 0700);
  return std::string(t.constData(), static_cast<size_t>(t.size()));
}

}  // namespace

std::string home_trash_files() {
  std::string t = home_trash();
  return t.empty() ? t : t + "/files";
}

bool move_to_trash(const std::string& path, std::string* where) {
  if (where) where->clear();
  if (path.empty() || path[0] != '/' || !round_trips(path)) return false;
  struct stat before;
  if (!lstat_ok(path, &before)) return false;
  // The trash folders must exist before the move: otherwise the move can
  // report success with the entry put somewhere else.
  std::string trash = home_trash();
  if (trash.empty()) return false;

  QString in_trash;
  bool ok = QFile::moveToTrash(QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size()))),
                               &in_trash);
  if (!ok || in_trash.isEmpty()) return false;
  QByteArray r = QFile::encodeName(in_trash);
  std::string result(r.constData(), static_cast<size_t>(r.size()));

  // Success only when the entry is where the trash keeps its files and has
  // left its old place.
  struct stat after;
  bool placed = result[0] == '/' && last_name(parent_of(result)) == "files" &&
                is_trash_dir(parent_of(parent_of(result)), trash) && lstat_ok(result, &after) &&
                after.st_dev == before.st_dev && after.st_ino == before.st_ino;
  struct stat gone;
  bool left = !lstat_ok(path, &gone) && errno == ENOENT;
  if (placed && left) {
    if (where) *where = result;
    return true;
  }
  // Put somewhere that is no trash: back to where it was.
  struct stat moved;
  if (left && lstat_ok(result, &moved) && moved.st_dev == before.st_dev && moved.st_ino == before.st_ino)
    ::renameat2(AT_FDCWD, result.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE);
  return false;
}

}  // namespace brek_platform
