#pragma once
// The soft random-number state: a 16-byte seed, taken from the time of day
// when an object is made.

#include <cstdint>

#include "runtime/object.h"

namespace brek {

struct St_seed__C_Random_soft {
  uint32_t w[4] = {0, 0, 0, 0};
  bool operator==(const St_seed__C_Random_soft&) const = default;
};

class C_Random_soft : public Brek_object {
  BREK_CLASS(C_Random_soft)
 public:
  void init() override { seed_from_time(); }
  // The first 8 bytes hold the milliseconds of the current local day as a
  // signed 64-bit number, the other 8 are 0.
  void seed_from_time();
  void set_seed(const St_seed__C_Random_soft& s);
  void clear_seed();
  const St_seed__C_Random_soft& seed() const { return seed_; }
  // The seed's first 8 bytes as a signed 64-bit number.
  int64_t seed_low() const;

  int32_t value = 0;

 private:
  St_seed__C_Random_soft seed_;
};

}  // namespace brek
