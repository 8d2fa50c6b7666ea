#pragma once
// The folders C_Select_dir lists a level ahead of the user. A mount point
// is neither looked at nor listed on the window's thread: a mount whose
// server or daemon does not answer would hold the dialog for as long as it
// hangs. Its listing runs on a thread of its own and is waited for no
// longer than BOUND; a mount that has not answered by then is shown
// without its folders, and is not asked again while that listing is still
// under way. Other folders are listed at once.

#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/mount_table.h"
#include "runtime/dyn_array.h"

namespace brek {

class Listing_ahead {
 public:
  static constexpr std::chrono::milliseconds BOUND{1000};

  // The mount points as they are now: disks come and go while a dialog
  // shows.
  void set_mounts(const std::vector<brek_platform::Volume>& volumes);
  // Whether a path (without a trailing separator) is a mount point other
  // than "/".
  bool is_mount_point(const std::string& path) const;
  // The entries of dir as File_path::list_directory gives them; false,
  // with none, for a mount that did not answer within BOUND.
  bool list(const std::string& dir, DynAStr& entries);

 private:
  struct Pending;
  std::set<std::string> mount_points_;
  std::map<std::string, std::shared_ptr<Pending>> pending_;
};

}  // namespace brek
