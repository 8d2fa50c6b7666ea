#include "platform/trash_folders.h"

#include <sys/stat.h>

#include <cstdlib>

#include "platform/trash.h"

namespace brek_platform {

namespace {

std::string last_name(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const size_t k = path.find_last_of('/');
  return k == std::string::npos ? path : path.substr(k + 1);
}

}  // namespace

bool is_trash_name(const std::string& name) {
  const std::string shared = ".Trash";
  if (name.compare(0, shared.size(), shared) != 0) return false;
  if (name.size() == shared.size()) return true;
  if (name[shared.size()] != '-' || name.size() == shared.size() + 1) return false;
  for (size_t i = shared.size() + 1; i < name.size(); ++i)
    if (name[i] < '0' || name[i] > '9') return false;
  return true;
}

Trash_folders::Trash_folders() {
  const std::string home = home_trash_dir();
  char* real = home.empty() ? nullptr : ::realpath(home.c_str(), nullptr);
  if (!real) return;
  struct stat st;
  if (::stat(real, &st) == 0 && S_ISDIR(st.st_mode)) {
    home_name_ = last_name(real);
    device_ = st.st_dev;
    inode_ = st.st_ino;
  }
  std::free(real);
}

bool Trash_folders::holds(const std::string& folder) const {
  const std::string name = last_name(folder);
  if (is_trash_name(name)) return true;
  // Only a folder of the home trash's own name can be it: one stat then.
  struct stat st;
  return !home_name_.empty() && name == home_name_ && ::stat(folder.c_str(), &st) == 0 && st.st_dev == device_ &&
         st.st_ino == inode_;
}

}  // namespace brek_platform
