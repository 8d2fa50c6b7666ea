#pragma once
// Plain Qt work that benchmarks measure our code against (benchmarks cannot
// include Qt themselves). No Qt types.

#include "platform/painter.h"

namespace brek_platform {

// The source scaled with Qt's smooth transformation to w x h, then drawn
// unscaled at (x, y) on the target with a painter of its own.
void reference_smooth_scale_draw(const Raster& source, const Raster& target, int x, int y, int w, int h);

}  // namespace brek_platform
