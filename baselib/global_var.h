#pragma once
// Named process-wide integer variables (window-appearance options and the
// like). Names are matched without regard to letter case; a name never set
// reads 0. Values are kept as signed 32-bit numbers. Safe to use from any
// thread.

#include <cstdint>
#include <string>

#include "runtime/object.h"

namespace brek {

class C_Global_var : public Brek_object {
  BREK_CLASS(C_Global_var)
 public:
  // The value stored under name, sign-extended; 0 when absent.
  static int64_t get(const std::string& name);
  // Replaces or adds the value; only its low 32 bits are kept.
  static void set(const std::string& name, int64_t value);
};

}  // namespace brek
