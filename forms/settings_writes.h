#pragma once
// Writes of settings that must not stop what the user asked for: when the
// settings cannot be saved (a full disk, a read-only folder), the user is
// told once a run (the screen's), in words, and the program goes on.

#include <functional>

#include "runtime/object.h"

namespace brek {

class C_Form;

namespace Settings_writes {

// Runs write (a few C_Config writes). When it fails with
// E_Config_write_failed, the failure is logged and, unless the user has
// been told in this run already, shown on the form as "Settings could not
// be saved: " and the reason. False when it failed.
bool run(const Ref<C_Form>& form, const std::function<void()>& write);

}  // namespace Settings_writes
}  // namespace brek
