#include "baselib/text_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "baselib/file_stream.h"
#include "runtime/exceptions.h"

namespace brek {

Ref<C_Text_file> C_Text_file::create() { return make<C_Text_file>(); }

bool C_Text_file::save(const std::string& name) {
  if (is_none()) return false;
  size_t slash = name.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    std::string dir = name.substr(0, slash);
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0) ::mkdir(dir.c_str(), 0777);
    if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  }
  auto f = C_File_stream::open_replacing(name);
  if (f->file_handle == 0)
    throw Brek_Exception("Cannot create file \"" + name + "\". " + std::strerror(errno));
  bool ok = true;
  DynAByte bytes;
  for (int64_t i = 0; i < lines.count() && ok; ++i) {
    std::string line = lines.get(i);
    if (i > 0) line.insert(0, line_end);
    if (encoding == brek::encoding::UTF8)
      NATIVE_String_functions::text_to_utf8(line, bytes);
    else
      NATIVE_String_functions::ansi_to_bytes(line, bytes);
    ok = f->write(bytes) == bytes.count();
  }
  if (!ok || !f->commit()) {
    f->close();
    throw Brek_Exception("Cannot write file \"" + name + "\"");
  }
  return true;
}

}  // namespace brek
