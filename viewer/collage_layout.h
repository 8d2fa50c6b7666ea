#pragma once
// The collage's rows: the images of one directory in rows of equal height
// that fill the width like bricks. The rules work on an abstract list of
// cells so that they are tested without files or a window; the viewer
// adapts its file list to it. A row looks at most 64 entries ahead for
// neighbours of a fitting height, so a row costs the same however long its
// directory is, and layout time is linear in the list.

#include <cstdint>

#include "baselib/geometry.h"

namespace brek::Collage_layout {

// What the row builder sees of the file list.
class Cells {
 public:
  virtual ~Cells() = default;
  virtual int64_t count() const = 0;
  // Makes the entry's size known (its header is read once).
  virtual void read_header(int64_t i) = 0;
  // The entry's natural cell size before scaling, never below the smallest
  // cell side.
  virtual double width(int64_t i) = 0;
  virtual double height(int64_t i) = 0;
  virtual bool same_directory(int64_t a, int64_t b) = 0;
  virtual void swap(int64_t a, int64_t b) = 0;
  // The entry's cell (device pixels); empty when it was never placed.
  virtual rect cell(int64_t i) const = 0;
  // Stores a cell; the stored one may differ (sides below 16 become 16).
  virtual void set_cell(int64_t i, const rect& r) = 0;
};

struct Rules {
  double box_w = 0;          // width of the view, device pixels
  double thumb_scale = 1.0;  // the user's scale of the cells
  bool by_dimensions = false;
  double min_row_h = 0;      // twice the smallest cell side
};

// A cell's bottom edge.
inline double bottom(const rect& r) { return r.y + r.h; }

// Lays out one row from entry j0 inside area and gives the first entry after
// it; j0 itself when nothing was placed. Entries may be swapped to pick
// neighbours of similar height (order by dimensions) or to pull the members
// of the row together.
int64_t build_row(Cells& cells, const rect& area, int64_t j0, const Rules& rules);

// The top of a row that begins at entry j: the lowest bottom of the row
// before it.
double row_top(const Cells& cells, int64_t j);

}  // namespace brek::Collage_layout
