#pragma once
// C_Message_dialog: the program's own message and yes/no question, the
// screen's messages and questions while its own_dialogs flag is set (a
// common form sets it). A read-only text and centred buttons: "OK" for a
// message (default and cancel button at once), "Y" and "N" for a question.

#include <string>

#include "drawing/dialog_common.h"
#include "forms/button.h"
#include "forms/memo.h"

namespace brek {

class C_Message_dialog : public C_Dialog_common {
  BREK_CLASS(C_Message_dialog)
 public:
  C_Message_dialog() = default;

  Ref<C_Memo> text_memo;
  Ref<C_Button> ok_button;
  Ref<C_Button> yes_button;
  Ref<C_Button> no_button;

  // The controls for text as a message or a question, and the window's
  // size (300 x 140 points unless the form's message_size gives its own;
  // wider when a line of the text needs it, up to the work area of its
  // monitor) and place, centred over the form and kept on the screen. A
  // line longer than the work area is wide wraps; a text taller than the
  // window scrolls.
  void build(const Ref<C_Form>& over, const std::string& text, bool question);
  void destroy_hook() override;
  // Shown, the window widens again where the text's room came out
  // narrower than measured before (its frame).
  void on_shown() override;

  // Shows the dialog over the form until it is answered; true when the
  // question was answered yes.
  static bool run(const Ref<C_Form>& over, const std::string& text, bool question);
  // Makes run the screen's own dialog, unless one is set already.
  static void install();

 private:
  // Widens the window by what the longest line lacks, within the work
  // area of its monitor, and keeps it there.
  void fit_lines();
  bool fitting_ = false;
};

}  // namespace brek
