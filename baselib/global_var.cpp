#include "baselib/global_var.h"

#include <map>
#include <mutex>

#include "runtime/strings.h"

namespace brek {

namespace {
std::mutex g_mutex;
// Keyed by the upper-cased name.
std::map<std::string, int32_t>& table() {
  static std::map<std::string, int32_t> t;
  return t;
}
}  // namespace

int64_t C_Global_var::get(const std::string& name) {
  std::string key = Brek_runtime::upper_case(name);
  std::lock_guard<std::mutex> lock(g_mutex);
  auto it = table().find(key);
  return it == table().end() ? 0 : it->second;
}

void C_Global_var::set(const std::string& name, int64_t value) {
  std::string key = Brek_runtime::upper_case(name);
  std::lock_guard<std::mutex> lock(g_mutex);
  table()[key] = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

}  // namespace brek
