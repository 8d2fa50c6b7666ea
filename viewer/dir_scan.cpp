#include "viewer/dir_scan.h"

#include <algorithm>
#include <iterator>

#include "baselib/sorting.h"
#include "baselib/string_functions.h"
#include "images/image_file_name.h"

namespace brek::Dir_scan {

namespace {
bool is_subdirectory(const std::string& entry) { return !entry.empty() && entry.back() == '/'; }
}  // namespace

void Known_dirs::add(const std::string& dir) {
  if (index_.emplace(dir, count()).second) order_.push_back(dir);
}

void Known_dirs::clear() {
  order_.clear();
  index_.clear();
}

std::string Known_dirs::next_after(const std::string& current) const {
  if (order_.empty()) return std::string();
  const auto at = index_.find(current);
  const int64_t i = at == index_.end() ? 0 : at->second + 1;
  return order_[size_t(i < count() ? i : 0)];
}

std::string_view directory_view(std::string_view name) {
  const size_t p = name.rfind('/');
  return p == std::string_view::npos ? std::string_view() : name.substr(0, p + 1);
}

void Entries_per_dir::add(std::string_view dir, int64_t n) {
  auto at = counts_.find(dir);
  if (at == counts_.end()) at = counts_.emplace(std::string(dir), 0).first;
  at->second += n;
}

int64_t Entries_per_dir::of(std::string_view dir) const {
  const auto at = counts_.find(dir);
  return at == counts_.end() ? 0 : at->second;
}

void prefix_names(const std::string& dir, DynAStr& names) {
  const std::string d = NATIVE_String_functions::with_trailing_separator(dir);
  for (int64_t i = names.count() - 1; i >= 0; --i) names.set(i, d + names.get(i));
}

void queue_subdirectories(DynAStr& list, DynAStr& queue, const Known_dirs& known,
                          const brek_platform::Trash_folders& trash) {
  std::vector<std::string> files, found;
  for (const std::string& e : list) {
    if (!is_subdirectory(e))
      files.push_back(e);
    else if (!known.contains(e) && !std::binary_search(queue.begin(), queue.end(), e) && !trash.holds(e))
      found.push_back(e);
  }
  list = DynAStr(std::move(files));
  if (found.empty()) return;
  // Merged into the sorted queue: a leaf of a wide tree costs no sort.
  std::sort(found.begin(), found.end());
  std::vector<std::string> merged;
  merged.reserve(size_t(queue.count()) + found.size());
  std::merge(queue.begin(), queue.end(), found.begin(), found.end(), std::back_inserter(merged));
  queue = DynAStr(std::move(merged));
}

void keep_image_files(DynAStr& list) {
  for (int64_t i = list.count() - 1; i >= 0; --i) {
    const std::string e = list.get(i);
    if (is_subdirectory(e) || !Image_file_name::is_image_file_name(e)) list.remove(i);
  }
  C_Sorting::sort_part(list);
}

bool uses_scan_thread(const std::string& platform_description) {
  const std::string d = NATIVE_String_functions::lower_case(platform_description);
  return d.find("qix") == std::string::npos && d.find("vcl") == std::string::npos;
}

}  // namespace brek::Dir_scan
