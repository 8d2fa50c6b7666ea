#pragma once
// The orders of the file list: directory by directory, and within one
// directory by name, size, creation or modification time (by dimensions
// leaves a directory's files unordered, the collage rows pick their
// neighbours themselves). Descending reverses everything,
// the order of the directories included.

#include <cstdint>
#include <string>

#include "images/image.h"
#include "viewer/additional_collage.h"

namespace brek::File_order {

// -1 when a goes before b, 1 when after, 0 when the order does not tell.
int64_t compare(const C_Image& a, const C_Image& b, sort_by order, bool descending);

// Where the directory set that begins at `start` ends (one past its last
// entry), given whether entries i and j lie in one directory; `start` is
// taken as at least 0.
template <class Same>
int64_t set_end(int64_t start, int64_t count, Same same) {
  if (start < 0) start = 0;
  int64_t k = start + 1;
  while (k < count && same(start, k)) ++k;
  return k < count ? k : count;
}

}  // namespace brek::File_order
