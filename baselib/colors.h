#pragma once
// The colours module. Colour values and their arithmetic belong to the
// drawing layer; this class only stands for the module.

#include "runtime/object.h"

namespace brek {

class C_Colors : public Brek_object {
  BREK_CLASS(C_Colors)
};

}  // namespace brek
