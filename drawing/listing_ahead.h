#pragma once
// The folders C_Select_dir lists a level ahead of the user. No folder is
// listed on the window's thread: a mount whose server or daemon does not
// answer would hold the dialog for as long as it hangs. Each listing is a
// bounded question (baselib/bounded_ask.h): a folder whose mount has not
// answered within its bound is shown without its folders, and that mount
// is not asked again while it owes the answer. A mount point is never
// looked at: its name says what the dialog needs to know of it.

#include <set>
#include <string>
#include <vector>

#include "platform/mount_table.h"
#include "runtime/dyn_array.h"

namespace brek {

class Listing_ahead {
 public:
  // The mount points as they are now: disks come and go while a dialog
  // shows.
  void set_mounts(const std::vector<brek_platform::Volume>& volumes);
  // Whether a path (without a trailing separator) is a mount point other
  // than "/".
  bool is_mount_point(const std::string& path) const;
  // The entries of dir as File_path::list_directory gives them; false,
  // with none, for a folder whose mount did not answer.
  bool list(const std::string& dir, DynAStr& entries);

 private:
  std::set<std::string> mount_points_;
};

}  // namespace brek
