#pragma once
// The program's icon: the resource "APP_ICO" (an icon file built into the
// program) on every window of the program.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "drawing/pixels.h"

namespace brek::App_icon {

// The bytes of the resource "APP_ICO".
const uint8_t* resource_data();
size_t resource_size();

// Decodes the resource with the program's own icon reader and gives every
// image of it to the platform as the icon of every window. False when
// nothing decoded (the windows then keep the platform's icon).
bool load();

}  // namespace brek::App_icon
