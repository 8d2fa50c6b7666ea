#pragma once
// The display monitors as the platform reports them. No Qt types here;
// platform/qt/screens.cpp implements it.

#include <cstdint>
#include <vector>

namespace brek_platform {

// One monitor: its full rectangle and its work area (the part that panels
// and docks leave free), in the platform's device-independent pixels.
struct Monitor_px {
  int32_t x = 0;
  int32_t y = 0;
  int32_t w = 0;
  int32_t h = 0;
  int32_t work_x = 0;
  int32_t work_y = 0;
  int32_t work_w = 0;
  int32_t work_h = 0;
};

// The monitors in the platform's order (the primary one first); empty
// before the application object exists.
std::vector<Monitor_px> monitors();

}  // namespace brek_platform
