#include "platform/rename_noreplace.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace brek_platform {

namespace {

bool flags_refused(int e) { return e == EINVAL || e == ENOSYS || e == EOPNOTSUPP; }

// A name beside path for a moment's use, random so that nobody else uses it.
std::string fresh_name_beside(const std::string& path) {
  static thread_local std::mt19937_64 gen{std::random_device{}()};
  char name[32];
  std::snprintf(name, sizeof name, ".~gone-%012llx", static_cast<unsigned long long>(gen() & 0xFFFFFFFFFFFFULL));
  const size_t k = path.find_last_of('/');
  return (k == std::string::npos ? std::string() : path.substr(0, k + 1)) + name;
}

// Renames path to a fresh name beside it, which *aside receives.
bool rename_aside(const std::string& path, std::string* aside) {
  for (int tries = 0; tries < 100; ++tries) {
    *aside = fresh_name_beside(path);
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside->c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EEXIST) continue;
    if (!flags_refused(errno)) return false;
    struct stat st;
    if (::lstat(aside->c_str(), &st) == 0) continue;
    if (errno != ENOENT) return false;
    return ::rename(path.c_str(), aside->c_str()) == 0;
  }
  errno = EEXIST;
  return false;
}

}  // namespace

bool remove_if_same(const std::string& path, const struct stat& expected) {
  std::string aside;
  // A name already gone (another program removed it) holds the entry no
  // longer either.
  if (!rename_aside(path, &aside)) {
    if (errno == ENOENT) return true;
    // No fresh name to be had (a full disk takes no new name on some file
    // systems): the name goes after a look, which leaves a moment open.
    struct stat now;
    if (::lstat(path.c_str(), &now) != 0) return errno == ENOENT;
    return !same_file(now, expected) || ::unlink(path.c_str()) == 0 || errno == ENOENT;
  }
  struct stat moved;
  const bool ours = ::lstat(aside.c_str(), &moved) == 0 && same_file(moved, expected);
  if (ours && ::unlink(aside.c_str()) == 0) return true;
  const int e = errno;
  // Another program's new version, saved over the name just before, goes
  // back to it. Where yet another took the name meanwhile, it keeps the
  // fresh name: it is not lost.
  rename_noreplace(aside, path);
  errno = e;
  return !ours;
}

bool rename_noreplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (!flags_refused(errno)) return false;
  // The file system cannot refuse a replacement itself.
  struct stat st;
  if (::lstat(from.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) {
    // A hard link is never made over an existing name. An unlink of from
    // could take a new version saved onto it since: from goes only while
    // it holds what was linked.
    if (::link(from.c_str(), to.c_str()) == 0) {
      struct stat linked {};
      if (::lstat(to.c_str(), &linked) == 0 && remove_if_same(from, linked)) return true;
      const int e = errno;
      struct stat now;
      if (::lstat(to.c_str(), &now) == 0 && same_file(now, linked)) ::unlink(to.c_str());
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
  if (::lstat(from.c_str(), &left) == 0 && ::lstat(to.c_str(), &st) == 0 && same_file(left, st)) {
    errno = EEXIST;
    return false;
  }
  return true;
}

}  // namespace brek_platform
