#pragma once
// The user's trash (the freedesktop trash of the desktop). The interface
// carries no Qt types.
//
// The entry's folder is resolved first; the home trash (where its link
// leads) takes it where the mount and device match (trash_mounts.h), else
// the trash at that mount's top: the shared "$top/.Trash/$uid" where
// ".Trash" is a sticky folder and no link, else "$top/.Trash-$uid". The
// record (O_EXCL) reserves the name, then a plain rename moves the entry.

#include <string>

namespace brek_platform {

// Moves one file, symbolic link or directory (an absolute path, no trailing
// "/") to the trash: the home trash where a rename reaches it from the
// entry (the same mount and device), else the trash at the top directory
// of the entry's mount, also when the home trash refuses the rename across
// after all. True only when the entry has left its place and lies in a
// trash folder now; *where then receives its path there. Never deletes
// anything for good: when the trash cannot take the entry, it stays where it
// is, the result is false and errno says why: the system's reason (a
// read-only or full file system; EXDEV when the home trash refused the
// rename across and the entry's own trash failed too), EPERM for an entry within a trash, EBUSY
// for a mount point, EAGAIN when another program put a new entry at path
// while it was being moved (that one stays). Folders made for a failed
// attempt go again, the home's own among them.
bool move_to_trash(const std::string& path, std::string* where = nullptr);

// The user's home trash ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash),
// made or not; empty when no home is known.
std::string home_trash_dir();

}  // namespace brek_platform
