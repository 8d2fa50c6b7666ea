#include "forms/screen.h"

#include "forms/form.h"
#include "forms/form_bridge.h"

namespace brek {

namespace {
// Never destroyed: a reference must not outlive the thread's handle pool,
// which goes at exit before function statics do.
Weak<C_Screen>& current_slot() {
  static auto* slot = new Weak<C_Screen>();
  return *slot;
}
}  // namespace

void C_Screen::init() {
  Brek_object::init();
  if (is_none()) return;
  current_slot() = Ref<C_Screen>(this);
}

void C_Screen::destroy_hook() {
  // Last first; each leaves the list before its close runs.
  while (forms.count() > 0) {
    Ref<C_Form> f = forms.get(forms.count() - 1);
    forms.remove(forms.count() - 1, 1);
    f->close_window();
  }
  main_form.reset();
  busy_form.reset();
  Brek_object::destroy_hook();
}

Ref<C_Screen> C_Screen::current() { return current_slot().lock(); }

void C_Screen::add_form(const Ref<C_Form>& form) {
  if (is_none() || form.is_none()) return;
  Brek_runtime::dyn_obj_remove_all(forms, form);
  forms.append(form);
}

void C_Screen::remove_form(const Ref<C_Form>& form) {
  if (is_none()) return;
  Brek_runtime::dyn_obj_remove_all(forms, form);
}

void C_Screen::set_main_form(const Ref<C_Form>& form) {
  if (is_none()) return;
  main_form = form;
  C_Brek_form::remember_main_window(form->native);
}

void C_Screen::message(const Ref<C_Form>& form, const std::string& text) {
  if (auto_answer) return;
  C_Brek_form::show_message(form->native, text);
}

bool C_Screen::ask_yes_no(const Ref<C_Form>& form, const std::string& text) {
  if (auto_answer) return auto_answer_value != 0;
  return C_Brek_form::message_box(text);
}

void C_Screen::popup_menu(const Ref<C_Form>& form, const std::string& menu_text) {
  if (!menu_answer.empty()) {
    if (form.is_none()) return;
    std::string saved = form->menu_key;
    form->menu_key = menu_answer;
    try {
      form->on_menu_item();
    } catch (...) {
      form->menu_key = saved;
      throw;
    }
    form->menu_key = saved;
    return;
  }
  C_Brek_form::popup_menu(form->native, menu_text);
}

}  // namespace brek
