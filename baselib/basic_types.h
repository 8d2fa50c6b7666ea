#pragma once
// The basic-types module: byte and character conversions.

#include <cstdint>
#include <string>

#include "runtime/object.h"

namespace brek {

class C_Basic_types : public Brek_object {
  BREK_CLASS(C_Basic_types)
};

namespace Basic_types {
// The byte's value, 0-255.
inline int64_t byte_to_int(uint8_t b) { return b; }
// The one-character string of a code (UTF-8 for codes from 128 up).
std::string char_to_str(int64_t code);
}  // namespace Basic_types

}  // namespace brek
