#include "drawing/listing_ahead.h"

#include "baselib/bounded_ask.h"
#include "baselib/file_path.h"

namespace brek {

void Listing_ahead::set_mounts(const std::vector<brek_platform::Volume>& volumes) {
  mount_points_.clear();
  for (const brek_platform::Volume& v : volumes)
    if (v.root != "/") mount_points_.insert(File_path::without_trailing_separator(v.root));
}

bool Listing_ahead::is_mount_point(const std::string& path) const {
  return mount_points_.count(File_path::without_trailing_separator(path)) != 0;
}

bool Listing_ahead::list(const std::string& dir, DynAStr& entries) { return Bounded_ask::list_directory(dir, entries); }

}  // namespace brek
