#pragma once
// The sound module. Nothing in the program plays sounds; this class only
// stands for the module.

#include "runtime/object.h"

namespace brek {

class C_Sound : public Brek_object {
  BREK_CLASS(C_Sound)
};

}  // namespace brek
