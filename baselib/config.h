#pragma once
// Settings: named, typed values under a key path, chosen by an application
// name, a storage area and a section, as in a registry. A configuration
// object is opened read-only or writable; every read has a fallback for a
// missing or mistyped value, and a write through a read-only object does
// nothing.
//
// The values live in text files under $XDG_CONFIG_HOME (see config_store.h
// for the format); every write reaches the disk as a whole or not at all,
// and two writers do not lose each other's values.

#include <cstdint>
#include <string>
#include <utility>

#include "runtime/exceptions.h"
#include "runtime/object.h"

namespace brek {

// Where a key path starts; any other value means that the section is the
// whole key path.
enum class area_where_configuration_is_stored : int64_t { USER = 0, MACHINE = 1 };

// A write that could not reach the disk.
BREK_EXCEPTION(E_Config_write_failed, Brek_Exception)

class C_Config : public Brek_object {
  BREK_CLASS(C_Config)
 public:
  static Ref<C_Config> open_read(const std::string& application, area_where_configuration_is_stored area,
                                 const std::string& section);
  static Ref<C_Config> open_write(const std::string& application, area_where_configuration_is_stored area,
                                  const std::string& section);

  C_Config() = default;
  C_Config(std::string application, area_where_configuration_is_stored area, std::string section,
           bool read_only)
      : application_(std::move(application)), area_(area), section_(std::move(section)), read_only_(read_only) {}

  void init() override;

  // Missing or stored with another type: "".
  std::string read_string(const std::string& name) const;
  void write_string(const std::string& name, const std::string& value);
  // The stored 32-bit value, sign-extended; missing or mistyped: 0.
  int64_t read_integer(const std::string& name) const;
  // Stores the low 32 bits.
  void write_integer(const std::string& name, int64_t value);
  // Missing: bool_default (false); mistyped: false.
  bool read_boolean(const std::string& name) const;
  void write_boolean(const std::string& name, bool value);
  // Kept as text with "."; missing or not a number: 0.
  double read_real_value(const std::string& name) const;
  void write_real(const std::string& name, double value);
  bool exists(const std::string& name) const;

  // The whole key path ("HKEY_CURRENT_USER\Software\" + application + "\" +
  // section, and so on).
  const std::string& key_path() const { return path_; }
  // The file that holds this key's values; empty when the key path has no
  // known root.
  std::string file_path() const;

  const std::string& application() const { return application_; }
  area_where_configuration_is_stored area() const { return area_; }
  const std::string& section() const { return section_; }
  bool read_only() const { return read_only_; }
  bool create_keys() const { return create_keys_; }
  bool bool_default() const { return bool_default_; }

  // The key path that an application, area and section give.
  static std::string build_key_path(const std::string& application, area_where_configuration_is_stored area,
                                    const std::string& section);

 private:
  std::string application_;
  area_where_configuration_is_stored area_ = area_where_configuration_is_stored::USER;
  std::string section_;
  bool read_only_ = true;
  bool create_keys_ = false;
  bool bool_default_ = false;
  std::string path_;
};

}  // namespace brek
