#include "baselib/random_soft.h"

#include "baselib/date_time.h"

namespace brek {

void C_Random_soft::seed_from_time() {
  if (is_none()) return;
  date_time t = Date_time::now();
  int64_t ms = Date_time::millisecond_of(t) + Date_time::second_of(t) * 1000 + Date_time::minute_of(t) * 60000 +
               Date_time::hour_of(t) * 3600000;
  uint64_t u = static_cast<uint64_t>(ms);
  seed_ = St_seed__C_Random_soft{};
  seed_.w[0] = static_cast<uint32_t>(u);
  seed_.w[1] = static_cast<uint32_t>(u >> 32);
}

void C_Random_soft::set_seed(const St_seed__C_Random_soft& s) {
  if (is_none()) return;
  seed_ = s;
}

void C_Random_soft::clear_seed() {
  if (is_none()) return;
  seed_ = St_seed__C_Random_soft{};
}

int64_t C_Random_soft::seed_low() const {
  return static_cast<int64_t>((static_cast<uint64_t>(seed_.w[1]) << 32) | seed_.w[0]);
}

}  // namespace brek
