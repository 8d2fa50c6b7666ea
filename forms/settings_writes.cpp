#include "forms/settings_writes.h"

#include "baselib/config.h"
#include "forms/form.h"
#include "forms/screen.h"
#include "runtime/runtime_services.h"

namespace brek::Settings_writes {

bool run(const Ref<C_Form>& form, const std::function<void()>& write) {
  try {
    write();
  } catch (const E_Config_write_failed& e) {
    Brek_runtime::log_exception(e);
    // Every later write fails the same way, and one that changes nothing
    // succeeds without writing: once a run is enough.
    // A form without a screen tells no one, and leaves the None screen,
    // which every such form shares, as it is.
    Ref<C_Screen> screen = form->screen.lock();
    if (!screen.is_none() && !screen->settings_failure_told) {
      screen->settings_failure_told = 1;
      form->message(std::string("Settings could not be saved: ") + e.what());
    }
    return false;
  }
  return true;
}

}  // namespace brek::Settings_writes
