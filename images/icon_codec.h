#pragma once
// Icon and cursor files (.ico, .cur) to the program's 32-bit pixel layout.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "drawing/pixels.h"
#include "images/load_failure.h"

namespace brek::Icon_codec {

// Decodes the largest image of an icon or cursor file, the deepest among
// equally large ones: DIB entries with their AND mask (a set bit is a
// transparent pixel), 32-bit entries with their own alpha, PNG entries
// through the platform. An entry that does not decode gives way to the next
// best. False, with `out` empty, when no entry decodes; `why` then says
// what kept the best entry (or the directory) from decoding.
bool decode(const uint8_t* data, size_t size, Pixels& out, Load_failure* why = nullptr);

// Every image of the file that decodes, in the file's order (a window icon
// offers them all, so each place shows the size drawn for it).
std::vector<Pixels> decode_all(const uint8_t* data, size_t size);

}  // namespace brek::Icon_codec
