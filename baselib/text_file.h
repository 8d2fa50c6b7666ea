#pragma once
// C_Text_file: lines written to a file as text, the lines' own bytes or
// UTF-8, separated by line_end (no line end after the last line, no mark).
// The file is replaced only once everything was written.

#include <string>

#include "baselib/text_encoding.h"
#include "runtime/dyn_array.h"
#include "runtime/object.h"

namespace brek {

class C_Text_file : public Brek_object {
  BREK_CLASS(C_Text_file)
 public:
  DynAStr lines;
  // UTF8 writes UTF-8 (malformed bytes become U+FFFD); anything else
  // writes the lines' bytes as they are.
  brek::encoding encoding = brek::encoding::DEFAULT;
  std::string line_end = "\r\n";

  static Ref<C_Text_file> create();

  // Writes the lines to the file. A missing directory (one level) is
  // created; when it still does not exist nothing is written and the
  // result is false. A file that cannot be written raises Brek_Exception
  // and leaves any old file as it was.
  bool save(const std::string& name);
};

}  // namespace brek
