#include "viewer/open_arguments.h"

#include <filesystem>
#include <system_error>

#include "baselib/file_path.h"
#include "baselib/string_functions.h"
#include "baselib/system_functions.h"

namespace brek::Open_arguments {

namespace {

// A relative name means the working directory at the start; the window
// needs the full path to list, move and save beside it.
std::string full(const std::string& p) {
  if (p.empty() || p[0] == File_path::SEPARATOR) return p;
  std::error_code ec;
  const std::filesystem::path a = std::filesystem::absolute(p, ec);
  return ec ? p : a.lexically_normal().string();
}

}  // namespace

Target resolve(const DynAStr& arguments, bool single_always) {
  if (arguments.count() == 1) {
    const std::string p = arguments.get(0);
    if (File_path::file_exists(p)) return {target_kind::FILE, full(p)};
    if (!single_always && File_path::directory_exists(p)) return {target_kind::DIRECTORY, full(p)};
  }
  std::string joined;
  for (const std::string& a : arguments) joined += " " + a;
  joined = NATIVE_String_functions::trim(joined);
  if (joined.empty()) return {};
  if (File_path::file_exists(joined)) return {target_kind::FILE, full(joined)};
  if (single_always) return {};
  if (File_path::directory_exists(joined)) return {target_kind::DIRECTORY, full(joined)};
  std::string dir = File_path::directory_of(joined);
  if (!dir.empty() && File_path::directory_exists(dir)) return {target_kind::DIRECTORY, full(dir)};
  return {};
}

DynAStr command_line_arguments() {
  DynAStr args;
  int64_t n = System_functions::param_count();
  for (int64_t i = 1; i < n; ++i) args.append(System_functions::param_unquoted(i));
  return args;
}

}  // namespace brek::Open_arguments
