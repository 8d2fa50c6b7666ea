#include "drawing/listing_ahead.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "baselib/file_path.h"

namespace brek {

// Shared by the dialog and the listing's thread, which may outlive it.
struct Listing_ahead::Pending {
  std::mutex lock;
  std::condition_variable came;
  bool done = false;
  DynAStr entries;
};

void Listing_ahead::set_mounts(const std::vector<brek_platform::Volume>& volumes) {
  mount_points_.clear();
  for (const brek_platform::Volume& v : volumes)
    if (v.root != "/") mount_points_.insert(File_path::without_trailing_separator(v.root));
}

bool Listing_ahead::is_mount_point(const std::string& path) const {
  return mount_points_.count(File_path::without_trailing_separator(path)) != 0;
}

bool Listing_ahead::list(const std::string& dir, DynAStr& entries) {
  entries.clear();
  const std::string key = File_path::without_trailing_separator(dir);
  if (!is_mount_point(key)) {
    File_path::list_directory(dir, entries);
    return true;
  }
  std::shared_ptr<Pending> pending = pending_[key];
  if (pending) {
    std::lock_guard<std::mutex> guard(pending->lock);
    if (!pending->done) return false;
  }
  pending = std::make_shared<Pending>();
  pending_[key] = pending;
  try {
    std::thread([pending, dir] {
      DynAStr found;
      File_path::list_directory(dir, found);
      std::lock_guard<std::mutex> guard(pending->lock);
      pending->entries = found;
      pending->done = true;
      pending->came.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    // No thread to be had: listed here, as any folder.
    pending_.erase(key);
    File_path::list_directory(dir, entries);
    return true;
  }
  std::unique_lock<std::mutex> guard(pending->lock);
  if (!pending->came.wait_for(guard, BOUND, [&] { return pending->done; })) return false;
  entries = pending->entries;
  guard.unlock();
  pending_.erase(key);
  return true;
}

}  // namespace brek
