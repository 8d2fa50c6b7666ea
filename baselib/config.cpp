#include "baselib/config.h"

#include "baselib/config_store.h"
#include "baselib/mathematics.h"
#include "runtime/strings.h"

namespace brek {

namespace {
bool begins_with(const std::string& s, const std::string& prefix) {
  return !prefix.empty() && s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}
}  // namespace

std::string C_Config::build_key_path(const std::string& application, area_where_configuration_is_stored area,
                                     const std::string& section) {
  if (begins_with(section, "HKEY_")) return section;
  switch (area) {
    case area_where_configuration_is_stored::USER:
      return "HKEY_CURRENT_USER\\Software\\" + application + "\\" + section;
    case area_where_configuration_is_stored::MACHINE:
      return "HKEY_LOCAL_MACHINE\\" + section;
  }
  return section;
}

Ref<C_Config> C_Config::open_read(const std::string& application, area_where_configuration_is_stored area,
                                  const std::string& section) {
  return make<C_Config>(application, area, section, true);
}

Ref<C_Config> C_Config::open_write(const std::string& application, area_where_configuration_is_stored area,
                                   const std::string& section) {
  return make<C_Config>(application, area, section, false);
}

void C_Config::init() {
  if (is_none()) return;
  create_keys_ = true;
  path_ = build_key_path(application_, area_, section_);
}

std::string C_Config::file_path() const { return Config_store::locate(path_).file; }

namespace {
std::optional<Config_store::Value> read_of(const C_Config& c, const std::string& name) {
  if (c.is_none()) return std::nullopt;
  return Config_store::read_value(Config_store::locate(c.key_path()), name);
}

void write_of(const C_Config& c, const std::string& name, const Config_store::Value& v) {
  if (c.is_none() || c.read_only()) return;
  Config_store::write_value(Config_store::locate(c.key_path()), name, v);
}
}  // namespace

std::string C_Config::read_string(const std::string& name) const {
  auto v = read_of(*this, name);
  return v && !v->is_integer ? v->text : std::string();
}

void C_Config::write_string(const std::string& name, const std::string& value) {
  Config_store::Value v;
  v.text = value;
  write_of(*this, name, v);
}

int64_t C_Config::read_integer(const std::string& name) const {
  auto v = read_of(*this, name);
  return v && v->is_integer ? static_cast<int64_t>(v->integer) : 0;
}

void C_Config::write_integer(const std::string& name, int64_t value) {
  Config_store::Value v;
  v.is_integer = true;
  v.integer = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
  write_of(*this, name, v);
}

bool C_Config::read_boolean(const std::string& name) const {
  auto v = read_of(*this, name);
  if (!v) return bool_default_;
  return v->is_integer && v->integer != 0;
}

void C_Config::write_boolean(const std::string& name, bool value) { write_integer(name, value ? 1 : 0); }

double C_Config::read_real_value(const std::string& name) const {
  auto v = read_of(*this, name);
  if (!v) return Mathematics::str_to_real("");
  // A person who edits the file may well write a whole number bare.
  if (v->is_integer) return static_cast<double>(v->integer);
  return Mathematics::str_to_real(v->text);
}

void C_Config::write_real(const std::string& name, double value) {
  write_string(name, Brek_runtime::real_to_str(value));
}

bool C_Config::exists(const std::string& name) const { return read_of(*this, name).has_value(); }

}  // namespace brek
