#pragma once
// The trash folders of the desktop, which listings of pictures leave out:
// a deleted picture is not shown again. The interface carries no Qt types.

#include <sys/types.h>

#include <string>

namespace brek_platform {

// Whether a folder's name is a trash's: a top directory's shared ".Trash"
// or the ".Trash-<uid>" of any user.
bool is_trash_name(const std::string& name);

// The trash folders as they stand when it is made: the home trash is
// looked up once (where a link to it leads), so a walk asks cheaply.
class Trash_folders {
 public:
  Trash_folders();
  // Whether the folder (a path, "/" at its end or not) is a trash folder:
  // one named as a trash, or the home trash itself.
  bool holds(const std::string& folder) const;

 private:
  std::string home_name_;  // the home trash's own last name; empty when it is missing
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

}  // namespace brek_platform
