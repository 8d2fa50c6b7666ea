#pragma once
// Text and file lists on the system clipboard, in the formats other programs
// paste: plain text, and file lists that a file manager pastes as a copy or,
// for a cut, as a move. Failures are silent: the clipboard may be held by
// another program, and nothing the user owns depends on it.

#include <string>

#include "runtime/dyn_array.h"
#include "runtime/object.h"

namespace brek {

enum class file_drop_operation { COPY, MOVE };

class C_Clipboard : public Brek_object {
  BREK_CLASS(C_Clipboard)
 public:
  // Puts the text on the clipboard; an empty text empties the clipboard.
  static void copy_text(const std::string& text);
  // Puts the file names on the clipboard; MOVE marks them as cut.
  static void copy_files(const DynAStr& names, file_drop_operation operation);
  static void copy_files(const DynAStr& names, bool cut) {
    copy_files(names, cut ? file_drop_operation::MOVE : file_drop_operation::COPY);
  }
};

}  // namespace brek
