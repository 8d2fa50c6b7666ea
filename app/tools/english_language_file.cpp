// Build step: writes the built-in language table as "English_EN.lng" into
// the folder given (the program's), the same file the program's language
// module writes, so that the language menu has English to list and the
// other language files of that folder are kept in step with the table.
#include <cstdio>
#include <string>

#include "baselib/localize_str.h"

int main(int argc, char** argv) {
  namespace L = brek::Localize_str;
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder of the program>\n", argc > 0 ? argv[0] : "english_language_file");
    return 2;
  }
  L::set_language_directory(argv[1]);
  L::write_language_file("EN", "English");
  // The file must be in that folder, not in the per-user one the module
  // falls back to.
  const std::string file = L::directory() + "English_EN.lng";
  const brek::DynAStr written = L::read_lines(file);
  const brek::DynAStr table = L::table_as_lines();
  bool same = written.count() == table.count();
  for (int64_t i = 0; same && i < table.count(); ++i) same = written.get(i) == table.get(i);
  if (!same) {
    std::fprintf(stderr, "could not write %s\n", file.c_str());
    return 1;
  }
  return 0;
}
