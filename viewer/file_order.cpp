#include "viewer/file_order.h"

#include <string_view>

#include "viewer/dir_scan.h"

namespace brek::File_order {

namespace {

int64_t sign(double d) { return d < 0 ? -1 : (d > 0 ? 1 : 0); }

int64_t text_order(std::string_view a, std::string_view b) {
  int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

int64_t compare(const C_Image& a, const C_Image& b, sort_by order, bool descending) {
  // The directory first in every order, so that a folder's images stay
  // one set even when a subfolder's name sorts between them.
  int64_t r = text_order(Dir_scan::directory_view(a.file_name), Dir_scan::directory_view(b.file_name));
  if (r == 0) {
    switch (order) {
      case sort_by::BY_NAME: r = text_order(a.file_name, b.file_name); break;
      case sort_by::BY_SIZE: r = sign(a.file_size() - b.file_size()); break;
      case sort_by::BY_CREATE: r = sign(a.created.ms - b.created.ms); break;
      case sort_by::BY_MODIFY: r = sign(a.modified.ms - b.modified.ms); break;
      default: r = 0; break;
    }
  }
  return descending ? -r : r;
}

}  // namespace brek::File_order
