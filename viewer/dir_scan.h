#pragma once
// The steps of walking a directory tree one directory at a time: full
// paths of a listing, subdirectories into the sorted queue (so the smallest
// path is listed next: depth first in path order), the image files of a
// listing, and the turn through the known directories once the tree is
// walked. A listing names a subdirectory with a trailing "/" and a symbolic
// link by its bare name, so the walk never descends through a link; trash
// folders are never walked, so deleted pictures do not come back.

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/trash_folders.h"
#include "runtime/dyn_array.h"

namespace brek::Dir_scan {

// The directories of a walk in the order they were first listed, each
// looked up at once however many there are.
class Known_dirs {
 public:
  int64_t count() const { return int64_t(order_.size()); }
  bool empty() const { return order_.empty(); }
  bool contains(const std::string& dir) const { return index_.count(dir) != 0; }
  // Appends dir unless it is known.
  void add(const std::string& dir);
  void clear();
  // The known directory after `current` (the first after the last; the
  // first when current is not known); empty when none is known.
  std::string next_after(const std::string& current) const;

 private:
  std::vector<std::string> order_;
  std::unordered_map<std::string, int64_t> index_;
};

// The directory part of a file's name, with its "/" (empty when none).
std::string_view directory_view(std::string_view name);

// How many entries of the file list each directory holds (its directory
// part, "/" at the end): a directory new to the list is known at once to
// hold nothing there yet, so its listing needs no pass over the list.
class Entries_per_dir {
 public:
  void add(std::string_view dir, int64_t n);
  int64_t of(std::string_view dir) const;

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::unordered_map<std::string, int64_t, Hash, std::equal_to<>> counts_;
};

// Each name becomes dir (with a trailing separator) + name.
void prefix_names(const std::string& dir, DynAStr& names);

// Moves the subdirectories (entries ending with "/") of a prefixed listing
// into the queue, which is and stays sorted, unless the queue or `known`
// holds them already or they are trash folders.
void queue_subdirectories(DynAStr& list, DynAStr& queue, const Known_dirs& known,
                          const brek_platform::Trash_folders& trash);

// Leaves only the image files of a listing, sorted ascending.
void keep_image_files(DynAStr& list);

// Whether an empty listing is repeated on a worker thread on this platform.
bool uses_scan_thread(const std::string& platform_description);

}  // namespace brek::Dir_scan
