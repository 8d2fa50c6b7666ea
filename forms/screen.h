#pragma once
// The single screen object: the open forms, the main form, the default font
// of new windows, the form busy inside an event and the long-operation
// window; it runs the forms and the main loop, keeps the interface alive
// during long work (the long-operation tick), and shows message boxes,
// questions and popup menus over a form.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "runtime/dyn_array.h"
#include "runtime/object.h"

namespace brek {

class C_Form;
class Screen_tick;

// What the screen asks of its long-operation window; the window class
// implements it next to C_Form.
class Long_operation_window {
 public:
  virtual ~Long_operation_window() = default;
  // The busy form's outermost event ended (the window hides itself);
  // pump: let pending messages run as well.
  virtual void step(bool pump) = 0;
  // true once after the user cancelled the operation; the window may then
  // be closed.
  virtual bool take_cancel() = 0;
};

class C_Screen : public Brek_object {
  BREK_CLASS(C_Screen)
 public:
  C_Screen();
  ~C_Screen() override;

  DynAObj<C_Form> forms;
  Weak<C_Form> main_form;
  double font_size = 0;   // points; 0: the platform default
  std::string font_name;  // empty: the platform default
  Weak<C_Form> busy_form;
  // A C_Form that implements Long_operation_window; made on first use.
  Ref<C_Form> long_operation;
  uint8_t auto_answer = 0;
  uint8_t auto_answer_value = 0;
  uint8_t own_dialogs = 0;
  std::string menu_answer;
  // The user was told that the settings cannot be saved (Settings_writes).
  uint8_t settings_failure_told = 0;

  // Becomes the screen of the main loop, which new forms join, starts a new
  // run of the application and installs the long-operation tick.
  void init() override;
  // Removes the tick, then closes the remaining forms, the last first.
  void destroy_hook() override;

  // The screen of the main loop (the None screen before one exists).
  static Ref<C_Screen> current();

  // Removes the form wherever it stands and appends it.
  void add_form(const Ref<C_Form>& form);
  void remove_form(const Ref<C_Form>& form);
  void set_main_form(const Ref<C_Form>& form);
  // Monitors came, went or changed: every shown form is kept wholly on
  // them.
  void monitors_changed();

  // Makes form the main form (unless it is None; the first form when there
  // is no main form), shows every form not hidden by the program and runs
  // the main loop until the application is told to end.
  void run_forms(const Ref<C_Form>& form);
  // Whether the main loop runs.
  static bool loop_running();
  // Tells the application to end: the main loop returns.
  void terminate();
  // The current local date and time (milliseconds on the day scale).
  double now();

  // Message with an OK button over the form; nothing with auto_answer.
  virtual void message(const Ref<C_Form>& form, const std::string& text);
  // Yes/no question; auto_answer_value with auto_answer.
  virtual bool ask_yes_no(const Ref<C_Form>& form, const std::string& text);
  // Shows the menu text as a popup menu; with menu_answer set, the form's
  // on_menu_item runs at once with that key instead.
  virtual void popup_menu(const Ref<C_Form>& form, const std::string& menu_text);
  // The busy form's outermost tracked event began or ended.
  virtual void busy_started();
  virtual void busy_ended();

  // ---- the long-operation window ----
  // The long-operation window, made by the factory on first use (the
  // program's C_Long_operation unless another factory is set; nullptr
  // sets that one back).
  Ref<C_Form> obtain_long_operation(const Ref<C_Form>& busy);
  Long_operation_window* long_operation_window() const;
  using Long_operation_factory = std::function<Ref<C_Form>(const Ref<C_Screen>& screen, const Ref<C_Form>& busy)>;
  static void set_long_operation_factory(Long_operation_factory factory);
  // The tick (run by Brek_runtime::loop_tick every 65,536 ticks, main thread
  // only): shows the long-operation window once the busy form's outermost
  // event has run 2000 ms, lets messages run at most every 100 ms, and
  // raises Stop_exception "Long operation is cancelled" after a Cancel.
  void long_operation_tick();

  // ---- the program's own message dialog ----
  // Shows text over form as a message (question false) or a yes/no
  // question; returns true for yes. Used while own_dialogs is set.
  using Own_dialog = std::function<bool(const Ref<C_Form>& form, const std::string& text, bool question)>;
  static void set_own_dialog(Own_dialog dialog);
  static bool has_own_dialog();

 private:
  void main_loop();

  std::unique_ptr<Screen_tick> tick_;
  int64_t refresh_ms_ = 0;   // the long-operation window's last refresh
  int64_t pumped_ms_ = 0;    // the tick's last processing of messages
  bool pumping_ = false;     // the tick never processes messages re-entrantly
};

}  // namespace brek
