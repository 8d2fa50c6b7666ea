#pragma once
// Devices that drawing reaches by handle (printer pages, offscreen pages):
// the Qt code that owns a page registers the painter open on it and hands
// the handle up as the canvas's printer object. Qt-side only.

#include <QPainter>

#include <cstdint>

namespace brek_platform::qt {

struct Paint_device {
  QPainter* painter = nullptr;  // active on the page while registered
  int dpi_x = 96;
  int dpi_y = 96;
};

// Registers an active painter; the handle is never 0.
int64_t register_device(QPainter* painter, int dpi_x, int dpi_y);
// Forgets a handle (before its painter ends).
void unregister_device(int64_t handle);
// The device of a handle; nullptr when unknown.
Paint_device* find_device(int64_t handle);

}  // namespace brek_platform::qt
