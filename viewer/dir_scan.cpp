#include "viewer/dir_scan.h"

#include "baselib/sorting.h"
#include "baselib/string_functions.h"
#include "images/image_file_name.h"

namespace brek::Dir_scan {

namespace {
bool is_subdirectory(const std::string& entry) { return !entry.empty() && entry.back() == '/'; }
}  // namespace

void prefix_names(const std::string& dir, DynAStr& names) {
  const std::string d = NATIVE_String_functions::with_trailing_separator(dir);
  for (int64_t i = names.count() - 1; i >= 0; --i) names.set(i, d + names.get(i));
}

void queue_subdirectories(DynAStr& list, DynAStr& queue, const DynAStr& known) {
  for (int64_t i = list.count() - 1; i >= 0; --i) {
    const std::string e = list.get(i);
    if (!is_subdirectory(e)) continue;
    if (!queue.contains(e) && !known.contains(e)) queue.append(e);
    list.remove(i);
  }
  C_Sorting::sort_part(queue);
}

void keep_image_files(DynAStr& list) {
  for (int64_t i = list.count() - 1; i >= 0; --i) {
    const std::string e = list.get(i);
    if (is_subdirectory(e) || !Image_file_name::is_image_file_name(e)) list.remove(i);
  }
  C_Sorting::sort_part(list);
}

std::string next_known(const DynAStr& known, const std::string& current) {
  if (known.empty()) return std::string();
  int64_t i = known.index_of(current) + 1;
  if (i >= known.count()) i = 0;
  return known.get(i);
}

bool uses_scan_thread(const std::string& platform_description) {
  const std::string d = NATIVE_String_functions::lower_case(platform_description);
  return d.find("qix") == std::string::npos && d.find("vcl") == std::string::npos;
}

}  // namespace brek::Dir_scan
