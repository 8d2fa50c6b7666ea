#pragma once
// Plain Qt work that benchmarks measure our code against (benchmarks cannot
// include Qt themselves). No Qt types.

#include <cstdint>
#include <vector>

#include "platform/painter.h"

namespace brek_platform {

// The source scaled with Qt's smooth transformation to w x h, then drawn
// unscaled at (x, y) on the target with a painter of its own.
void reference_smooth_scale_draw(const Raster& source, const Raster& target, int x, int y, int w, int h);

// A filled rectangle (colour 0xAARRGGBB).
struct Reference_box {
  int x = 0, y = 0, w = 0, h = 0;
  uint32_t colour = 0xFF000000u;
};
// A picture drawn unscaled at (x, y), clipped to the clip box when it has
// an area.
struct Reference_picture {
  Raster picture;
  int x = 0, y = 0;
  Reference_box clip;
};

// With one painter on the target: the boxes filled in order, then the
// pictures drawn; what a program that keeps scaled copies does at best.
void reference_draw_prescaled(const Raster& target, const std::vector<Reference_box>& boxes,
                              const std::vector<Reference_picture>& pictures);

}  // namespace brek_platform
