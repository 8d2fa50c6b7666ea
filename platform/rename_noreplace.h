#pragma once
// A rename that never replaces an entry, also where the file system cannot
// refuse a replacement itself (the NFS client, FUSE file systems such as
// sshfs), and the removal of a name that another program may save a new
// version onto at any moment.

#include <sys/stat.h>

#include <string>

namespace brek_platform {

// Moves from to to on one file system; false (errno EEXIST) when to exists,
// and then both stay as they were. Where rename flags are not supported, a
// file or link takes a hard link, and then leaves from as
// remove_if_same does: a new version saved onto from meanwhile stays there;
// the link stays as the moved file when another program removed from.
// A folder, or a file where links are refused, takes a plain rename once
// to is seen missing: sound only where nothing else creates to meanwhile
// (a name the caller reserved).
bool rename_noreplace(const std::string& from, const std::string& to);

// Removes the name path while it holds the entry expected (device and
// inode, as lstat gives them). The entry goes to a fresh name beside it
// first and is looked at there: what another program put at path meanwhile
// (a new version saved over it) goes back and stays. True when the
// expected entry no longer is at path (removed here, or replaced or
// removed by another program before); false with errno when the name
// could not be removed, the entry then unchanged there.
bool remove_if_same(const std::string& path, const struct stat& expected);

// Whether two lstat results are one entry: the same device and inode.
inline bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace brek_platform
