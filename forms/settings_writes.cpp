#include "forms/settings_writes.h"

#include "baselib/config.h"
#include "forms/form.h"
#include "runtime/runtime_services.h"

namespace brek::Settings_writes {

namespace {
// The user knows that the settings are not being saved.
bool g_told = false;
}  // namespace

bool run(const Ref<C_Form>& form, const std::function<void()>& write) {
  try {
    write();
  } catch (const E_Config_write_failed& e) {
    Brek_runtime::log_exception(e);
    // Every later write fails the same way: once is enough.
    if (!g_told) {
      g_told = true;
      form->message(std::string("Settings could not be saved: ") + e.what());
    }
    return false;
  }
  g_told = false;
  return true;
}

}  // namespace brek::Settings_writes
