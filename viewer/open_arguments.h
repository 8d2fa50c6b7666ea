#pragma once
// What the command line (or a drop, which replaces it) asks the main window
// to open. One argument is a file or a directory; anything else, several
// dropped names or a path with blanks that came unquoted, is joined with
// blanks into one path and tried as a file, a directory and the directory
// part of that path, in this order.

#include <string>

#include "runtime/dyn_array.h"

namespace brek::Open_arguments {

enum class target_kind { NOTHING, FILE, DIRECTORY };

struct Target {
  target_kind kind = target_kind::NOTHING;
  std::string path;
};

// The arguments without the program's path. With single_always, only files
// are opened.
Target resolve(const DynAStr& arguments, bool single_always);

// The arguments of the current command line (parameters 1 .. count - 1).
DynAStr command_line_arguments();

}  // namespace brek::Open_arguments
