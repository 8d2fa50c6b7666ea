#pragma once
// C_Long_operation: the small window shown while one event handler works
// for long (text, progress bar, Pause and Cancel). The screen makes it on
// first use; its tick (forms/screen.h) shows it after 2000 ms of work, lets
// the windows run meanwhile and turns a Cancel into Stop_exception "Long
// operation is cancelled" inside the working code. The end of the busy
// form's outermost event gives it a step, which hides it.
//
// It is a dialog of the busy form, which may itself be a modal dialog
// (set_form_owner: its WM_TRANSIENT_FOR, written as it maps, has a window
// manager keep it above), placed over that form as a dialog is, not where
// a manager puts a window of its own. Escape presses its Cancel.

#include <cstdint>
#include <string>

#include "forms/button.h"
#include "forms/form.h"
#include "forms/label.h"
#include "forms/progress.h"
#include "forms/screen.h"

namespace brek {

class C_Long_operation : public C_Form, public Long_operation_window {
  BREK_CLASS(C_Long_operation)
 public:
  C_Long_operation();

  std::string busy_name;  // the busy form's control when it was made
  Ref<C_Label> text_label;
  Ref<C_Label> detail_label;
  Ref<C_Progress> progress;
  Ref<C_Button> pause_button;
  Ref<C_Button> cancel_button_;
  uint8_t paused = 0;            // the pause message is on screen
  uint8_t cancel_requested = 0;  // Cancel pressed, the work not stopped yet
  uint64_t steps = 0;            // wraps after 999999
  double last_step = 0;          // date_time of the last step
  // The window really closes; otherwise a close only hides it.
  uint8_t closable = 0;

  // current when it is not None; otherwise a new window on form's screen.
  static Ref<C_Long_operation> obtain(const Ref<C_Form>& form, const Ref<C_Long_operation>& current);
  // A new window on screen for the busy form (the screen's built-in maker).
  static Ref<C_Long_operation> make_for(const Ref<C_Screen>& screen, const Ref<C_Form>& busy);

  void init() override;
  void destroy_hook() override;
  bool on_close_query() override;
  void on_click() override;

  // The busy form's outermost event ended: counts a step and hides the
  // window; pump lets pending messages run as well.
  void step(bool pump) override;
  // Once after a Cancel; the window may close until its next step.
  bool take_cancel() override;
  // For loops of long work: counts a step without hiding the window, runs
  // the screen's long-operation tick (which may raise the Stop of a
  // Cancel) and, with pump, lets pending messages run.
  void tick(int64_t pump);

 private:
  void count_step();
};

}  // namespace brek
