#include "forms/screen.h"

#include <cstdint>
#include <thread>
#include <vector>

#include "forms/dialog.h"
#include "forms/event_routing.h"
#include "forms/form.h"
#include "forms/form_bridge.h"
#include "forms/long_operation.h"
#include "forms/modal_run.h"
#include "forms/placement.h"
#include "runtime/clock.h"
#include "runtime/exceptions.h"
#include "runtime/runtime_services.h"

namespace brek {

// The long-operation tick of one screen. Loop ticks of worker threads run
// the tick handlers too; windows belong to the main thread, so the tick
// does nothing there.
class Screen_tick final : public Brek_handler {
 public:
  explicit Screen_tick(C_Screen* screen) : screen_(screen), thread_(std::this_thread::get_id()) {}
  void run() override {
    if (std::this_thread::get_id() == thread_) screen_->long_operation_tick();
  }

 private:
  C_Screen* screen_;
  std::thread::id thread_;
};

namespace {

// Never destroyed: a reference must not outlive the thread's handle pool,
// which goes at exit before function statics do.
Weak<C_Screen>& current_slot() {
  static auto* slot = new Weak<C_Screen>();
  return *slot;
}

// The program's own window unless another maker is set.
Ref<C_Form> built_in_long_operation(const Ref<C_Screen>& screen, const Ref<C_Form>& busy) {
  return C_Long_operation::make_for(screen, busy);
}

C_Screen::Long_operation_factory& long_operation_factory() {
  static auto* f = new C_Screen::Long_operation_factory(built_in_long_operation);
  return *f;
}

C_Screen::Own_dialog& own_dialog() {
  static auto* d = new C_Screen::Own_dialog();
  return *d;
}

bool g_loop_running = false;

// Long-operation timing, milliseconds.
constexpr int64_t SHOW_AFTER_MS = 2000;
constexpr int64_t PUMP_EVERY_MS = 100;

}  // namespace

C_Screen::C_Screen() = default;
C_Screen::~C_Screen() = default;

void C_Screen::init() {
  Brek_object::init();
  if (is_none()) return;
  current_slot() = Ref<C_Screen>(this);
  C_Brek_form::reset_application();
  refresh_ms_ = Brek_runtime::tick_count_ms();
  pumped_ms_ = refresh_ms_;
  tick_ = std::make_unique<Screen_tick>(this);
  Brek_runtime::register_tick_handler(tick_.get());
}

void C_Screen::destroy_hook() {
  if (tick_) {
    Brek_runtime::unregister_tick_handler(tick_.get());
    tick_.reset();
  }
  // Last first; each leaves the list before its close runs.
  while (forms.count() > 0) {
    Ref<C_Form> f = forms.get(forms.count() - 1);
    forms.remove(forms.count() - 1, 1);
    f->close_window();
  }
  main_form.reset();
  busy_form.reset();
  long_operation.reset();
  Brek_object::destroy_hook();
}

Ref<C_Screen> C_Screen::current() { return current_slot().lock(); }

void C_Screen::monitors_changed() {
  if (is_none()) return;
  Placement::refresh_monitors();
  // A copy: keeping a form on screen runs its events, which may close one.
  std::vector<Ref<C_Form>> shown;
  for (const Ref<C_Form>& f : forms)
    if (f->is_visible()) shown.push_back(f);
  for (const Ref<C_Form>& f : shown) f->keep_on_monitors();
}

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

// ---- running the forms ----

void C_Screen::run_forms(const Ref<C_Form>& form) {
  if (is_none()) return;
  Ref<C_Screen> keep(this);
  if (!form.is_none()) set_main_form(form);
  if (main_form.is_none()) main_form = forms.get(0);
  std::vector<Ref<C_Form>> list;
  for (int64_t i = 0; i < forms.count(); ++i) list.push_back(forms.get(i));
  for (const Ref<C_Form>& f : list)
    if (!f->is_closed()) f->show();
  Ref<C_Form> main = main_form.lock();
  if (main->is_closed()) return;
  // A main window that is gone already could never end the loop.
  if (!main.is_none() && main->native == 0) return;
  main_loop();
}

void C_Screen::main_loop() {
  Ref<C_Screen> keep(this);
  Ref<C_Form> main = main_form.lock();
  C_Brek_form::remember_main_window(main->native);
  struct Running {
    ~Running() {
      g_loop_running = false;
      C_Brek_form::remember_main_window(0);
    }
  } running;
  g_loop_running = true;
  C_Brek_form::pump_messages();
  // Sleeping until the next message instead of polling every millisecond
  // keeps an idle program idle; the order of work is the same.
  while (!C_Brek_form::application_terminated()) {
    try {
      C_Brek_form::main_loop_turn();
    } catch (const std::exception& e) {
      // What leaves a message's handling is dropped, no message shown.
      Brek_runtime::log_exception(e);
    } catch (...) {
      Brek_runtime::log_exception_text("unknown exception");
    }
  }
}

bool C_Screen::loop_running() { return g_loop_running; }

void C_Screen::terminate() { C_Brek_form::terminate_application(); }

double C_Screen::now() { return C_Brek_form::now(); }

// ---- messages ----

void C_Screen::message(const Ref<C_Form>& form, const std::string& text) {
  // No screen, no one to show it to: a form without a screen stays quiet.
  if (is_none() || auto_answer) return;
  Modal_run modal{Ref<C_Screen>(this), form};
  if (own_dialogs && own_dialog()) {
    own_dialog()(form, text, false);
    return;
  }
  C_Brek_form::show_message(form->native, text);
}

bool C_Screen::ask_yes_no(const Ref<C_Form>& form, const std::string& text) {
  if (is_none()) return false;
  if (auto_answer) return auto_answer_value != 0;
  Modal_run modal{Ref<C_Screen>(this), form};
  if (own_dialogs && own_dialog()) return own_dialog()(form, text, true);
  return C_Brek_form::message_box(form->native, text);
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

void C_Screen::set_own_dialog(Own_dialog dialog) { own_dialog() = std::move(dialog); }

bool C_Screen::has_own_dialog() { return static_cast<bool>(own_dialog()); }

// ---- long operations ----

void C_Screen::busy_started() {
  if (is_none()) return;
  // The window's 2000 ms count from the start of the work, not from the
  // last time it was shown.
  refresh_ms_ = Brek_runtime::tick_count_ms();
}

void C_Screen::busy_ended() {
  if (is_none()) return;
  if (Long_operation_window* w = long_operation_window()) w->step(false);
}

void C_Screen::set_long_operation_factory(Long_operation_factory factory) {
  long_operation_factory() = factory ? std::move(factory) : Long_operation_factory(built_in_long_operation);
}

Ref<C_Form> C_Screen::obtain_long_operation(const Ref<C_Form>& busy) {
  if (is_none() || !long_operation.is_none()) return long_operation;
  if (long_operation_factory()) long_operation = long_operation_factory()(Ref<C_Screen>(this), busy);
  return long_operation;
}

Long_operation_window* C_Screen::long_operation_window() const {
  return dynamic_cast<Long_operation_window*>(long_operation.get());
}

void C_Screen::long_operation_tick() {
  if (is_none()) return;
  Ref<C_Screen> keep(this);
  int64_t now = Brek_runtime::tick_count_ms();
  // A time ahead of now (a clock that was replaced) counts as long ago.
  auto since = [now](int64_t then) { return then <= now ? now - then : INT64_MAX; };
  if (since(refresh_ms_) < PUMP_EVERY_MS) return;
  Ref<C_Form> busy = busy_form.lock();
  if (!busy.is_none() && busy->track_busy && since(refresh_ms_) >= SHOW_AFTER_MS) {
    refresh_ms_ = now;
    Ref<C_Form> window = obtain_long_operation(busy);
    if (!window.is_none() && !window->is_visible()) {
      // Over the busy form, which may be a modal dialog, placed as a
      // dialog is over its owner: a window manager would otherwise put it
      // where it puts a window of its own.
      C_Brek_form::set_form_owner(window->native, busy->native);
      const point at = C_Dialog::place_over(busy->get_bounds(), window->get_bounds());
      window->set_position(positioning::KEEP_ON_SCREEN, at.y, at.x);
      window->show();
      // Input goes to the long-operation window while the work runs.
      C_Brek_form::set_form_enabled(busy->native, false);
    }
  }
  if (long_operation.is_none() || pumping_ || since(pumped_ms_) < PUMP_EVERY_MS) return;
  pumped_ms_ = now;
  {
    struct Pumping {
      bool& flag;
      ~Pumping() { flag = false; }
    } pumping{pumping_};
    pumping_ = true;
    C_Brek_form::pump_messages();
  }
  Long_operation_window* w = long_operation_window();
  if (w && w->take_cancel()) {
    C_Brek_form::set_form_enabled(busy_form.lock()->native, true);
    Brek_runtime::raise_stop("Long operation is cancelled");
  }
}

}  // namespace brek
