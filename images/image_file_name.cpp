#include "images/image_file_name.h"

#include <algorithm>

#include "images/native_image_files.h"

namespace brek::Image_file_name {

namespace {

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return s;
}

// The name without its last extension.
std::string without_extension(const std::string& name) {
  return name.substr(0, name.size() - extension_of(name).size());
}

bool loadable(const std::string& extension) {
  return Brek_drawing::can_load_ext(upper(extension.empty() ? extension : extension.substr(1)));
}

}  // namespace

bool is_partial_download_suffix(const std::string& e) {
  static const char* const kSuffixes[] = {".part", ".!qb", ".!bt", ".bt!", ".!bc",
                                          ".bc!",  ".!ut", ".xlx", ".crdownload"};
  return std::any_of(std::begin(kSuffixes), std::end(kSuffixes), [&](const char* s) { return e == s; });
}

std::string extension_of(const std::string& name) {
  // Only the last component: a dot in a directory's name is no extension.
  size_t slash = name.rfind('/');
  size_t start = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot < start) return std::string();
  return name.substr(dot);
}

std::string file_extension(const std::string& name) {
  std::string e = lower(extension_of(name));
  if (is_partial_download_suffix(e)) e = lower(extension_of(without_extension(name)));
  return e;
}

bool is_image_file_name(const std::string& name) {
  std::string e = extension_of(name);
  if (loadable(e)) return true;
  size_t slash = name.rfind('/');
  std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  if (std::count(base.begin(), base.end(), '.') < 2) return false;
  if (!is_partial_download_suffix(lower(e))) return false;
  return loadable(extension_of(without_extension(name)));
}

bool names_a_file(const std::string& name) { return !name.empty() && name != "<clipboard>" && name != "<cut>"; }

}  // namespace brek::Image_file_name
