#include "baselib/clipboard.h"

#include <vector>

#include "platform/clipboard.h"

namespace brek {

void C_Clipboard::copy_text(const std::string& text) { brek_platform::clipboard_set_text(text); }

void C_Clipboard::copy_files(const DynAStr& names, file_drop_operation operation) {
  std::vector<std::string> list;
  list.reserve(static_cast<size_t>(names.count()));
  for (const std::string& n : names)
    if (!n.empty()) list.push_back(n);
  brek_platform::clipboard_set_files(list, operation == file_drop_operation::MOVE);
}

}  // namespace brek
