#pragma once
// C_Dialog: a form that runs modally over an owner form and gives back a
// result text, the name of the button that closed it ("OK", "CANCEL") or ""
// when it was closed any other way. A dialog is built once and may run
// many times; each run starts with no result, and the first result given
// during a run is the one returned. It is never shown modelessly, unless it
// is the screen's main form.

#include <string>

#include "baselib/geometry.h"
#include "forms/form.h"

namespace brek {

class C_Dialog : public C_Form {
  BREK_CLASS(C_Dialog)
 public:
  C_Dialog() = default;

  // Placed over the owner (or its monitor) when it runs.
  uint8_t center_on_owner = 1;

  bool is_dialog() override { return true; }
  // Hides the dialog (which ends a run), then closes the window.
  void close_window() override;
  // Only the screen's main form shows itself this way.
  void show() override;
  void hide_window() override;
  void close() override;
  // The first result of a run wins; ends the modal loop.
  void close_with(const std::string& result) override;
  // Runs the dialog over owner until it is given a result, hidden or
  // closed, and returns the result text. "" at once without a native
  // window, over a closed owner, over itself, and for a dialog whose run is
  // under way already.
  std::string show_modal(const Ref<C_Form>& owner) override;
  bool in_modal_loop() override { return running_; }

  // The first form up the owner chain that is no dialog with an owner of
  // its own (the last form reached when the chain is longer than the
  // screen's forms).
  Ref<C_Form> root_owner();

  // Where a dialog of size dialog goes over owner (points): centred on an
  // owner more than a third larger, else 60 points in from its corner.
  static point place_over(const rect& owner, const rect& dialog);

 private:
  // Centred over the owner when there is one, else on its monitor, and
  // wholly on that monitor's work area, cut to it when larger. Run again
  // on the monitor its owner is on, it stays where it was (the user may
  // have moved it), only kept on that work area.
  void place_for_run(const Ref<C_Form>& own);
  bool running_ = false;
  bool placed_once_ = false;
};

}  // namespace brek
