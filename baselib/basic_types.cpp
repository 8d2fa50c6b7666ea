#include "baselib/basic_types.h"

#include "baselib/string_functions.h"

namespace brek::Basic_types {

std::string char_to_str(int64_t code) { return NATIVE_String_functions::char_to_str(code); }

}  // namespace brek::Basic_types
