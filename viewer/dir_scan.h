#pragma once
// The steps of walking a directory tree one directory at a time: full
// paths of a listing, subdirectories into the sorted queue (so the smallest
// path is listed next: depth first in path order), the image files of a
// listing, and the turn through the known directories once the tree is
// walked. A listing names a subdirectory with a trailing "/" and a symbolic
// link by its bare name, so the walk never descends through a link.

#include <string>

#include "runtime/dyn_array.h"

namespace brek::Dir_scan {

// Each name becomes dir (with a trailing separator) + name.
void prefix_names(const std::string& dir, DynAStr& names);

// Moves the subdirectories (entries ending with "/") of a prefixed listing
// to the end of the queue, unless the queue or `known` holds them already,
// then sorts the queue.
void queue_subdirectories(DynAStr& list, DynAStr& queue, const DynAStr& known);

// Leaves only the image files of a listing, sorted ascending.
void keep_image_files(DynAStr& list);

// The known directory after `current` (the first after the last; the
// first when current is not known); empty when none is known.
std::string next_known(const DynAStr& known, const std::string& current);

// Whether an empty listing is repeated on a worker thread on this platform.
bool uses_scan_thread(const std::string& platform_description);

}  // namespace brek::Dir_scan
