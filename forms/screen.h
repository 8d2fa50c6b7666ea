#pragma once
// The single screen object: the open forms, the main form, the default font
// of new windows, the form busy inside an event, and the message boxes,
// questions and popup menus shown over a form.

#include <cstdint>
#include <string>

#include "runtime/dyn_array.h"
#include "runtime/object.h"

namespace brek {

class C_Form;

class C_Screen : public Brek_object {
  BREK_CLASS(C_Screen)
 public:
  C_Screen() = default;

  DynAObj<C_Form> forms;
  Weak<C_Form> main_form;
  double font_size = 0;   // points; 0: the platform default
  std::string font_name;  // empty: the platform default
  Weak<C_Form> busy_form;
  uint8_t auto_answer = 0;
  uint8_t auto_answer_value = 0;
  uint8_t own_dialogs = 0;
  std::string menu_answer;

  // Becomes the screen of the main loop, which new forms join.
  void init() override;
  // Closes the remaining forms, the last first.
  void destroy_hook() override;

  // The screen of the main loop (the None screen before one exists).
  static Ref<C_Screen> current();

  // Removes the form wherever it stands and appends it.
  void add_form(const Ref<C_Form>& form);
  void remove_form(const Ref<C_Form>& form);
  void set_main_form(const Ref<C_Form>& form);

  // Message with an OK button over the form; nothing with auto_answer.
  virtual void message(const Ref<C_Form>& form, const std::string& text);
  // Yes/no question; auto_answer_value with auto_answer.
  virtual bool ask_yes_no(const Ref<C_Form>& form, const std::string& text);
  // Shows the menu text as a popup menu; with menu_answer set, the form's
  // on_menu_item runs at once with that key instead.
  virtual void popup_menu(const Ref<C_Form>& form, const std::string& menu_text);
  // The outermost tracked event of the busy form ended.
  virtual void busy_ended() {}
};

}  // namespace brek
