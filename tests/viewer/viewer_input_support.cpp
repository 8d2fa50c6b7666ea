#include "tests/viewer/viewer_input_support.h"

#include <sys/stat.h>

#include <filesystem>

#include "platform/menu.h"
#include "platform/test_events.h"
#include "tests/support/wait_until.h"

namespace viewer_input {

namespace R = brek::Event_routing;

Input_box::Input_box(int w, int h) : Boxed(w, h) {
  screen->own_dialogs = 1;
  C_Screen::set_own_dialog([this](const Ref<C_Form>&, const std::string& text, bool) {
    messages.push_back(text);
    return false;
  });
}

Input_box::~Input_box() { C_Screen::set_own_dialog(nullptr); }

void Input_box::key(int vk, const Key_modifiers& mods) {
  R::key_down(v, Ref<C_Control>(), vk, mods);
  R::key_up(v, Ref<C_Control>(), vk, mods);
}

namespace {
R::Pointer pointer_at(point at, int button) {
  R::Pointer p;
  p.at = at;
  p.at_control = at;
  p.button = static_cast<button_mouse>(button);
  return p;
}
}  // namespace

void Input_box::press(point at, int button) { R::mouse_down(v, Ref<C_Control>(), pointer_at(at, button)); }
void Input_box::move(point at) { R::mouse_move(v, Ref<C_Control>(), pointer_at(at, 0)); }
void Input_box::release(point at, int button) { R::mouse_up(v, Ref<C_Control>(), pointer_at(at, button)); }

void Input_box::wheel(point at, int delta) {
  R::wheel(v, delta, 0, at);
  R::wheel_flush(v);
}

void Input_box::menu(const std::string& key) { R::menu_chosen(v, key); }

std::string Input_box::right_click(point at, int64_t choose_tag, bool* chosen) {
  std::string shown;
  brek_platform::set_popup_menu_hook([&] {
    shown = brek_platform::open_popup_menu_text();
    const bool taken = choose_tag >= 0 && brek_platform::choose_popup_menu_item(choose_tag);
    if (chosen) *chosen = taken;
    if (!taken) brek_platform::close_popup_menu();
  });
  press(at, 2);
  release(at, 2);
  brek_platform::set_popup_menu_hook(nullptr);
  brek_platform::test_events::settle();
  return shown;
}

Key_modifiers shift() {
  Key_modifiers m;
  m.shift = true;
  return m;
}
Key_modifiers ctrl() {
  Key_modifiers m;
  m.ctrl = true;
  return m;
}
Key_modifiers alt() {
  Key_modifiers m;
  m.alt = true;
  return m;
}

void picture(const std::string& path, int w, int h) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  ASSERT_TRUE(write_bmp(quadrants(w, h), path)) << path;
}

void numbered_pictures(const std::string& stem, int first, int count, int w, int h) {
  for (int i = first; i < first + count; ++i) picture(stem + std::to_string(i) + ".bmp", w, h);
}

void change_modes(const std::string& path) {
  struct stat before;
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  ASSERT_TRUE(brek_test::wait_until([&] {
    ::chmod(path.c_str(), (before.st_mode & 07777) ^ 0040);
    ::chmod(path.c_str(), before.st_mode & 07777);
    struct stat now;
    return ::stat(path.c_str(), &now) == 0 &&
           (now.st_ctim.tv_sec != before.st_ctim.tv_sec || now.st_ctim.tv_nsec != before.st_ctim.tv_nsec);
  }));
}

Ref<C_Image> add_entry(const Ref<Test_viewer>& v, const std::string& name, const rect& cell) {
  Ref<C_Image> e = C_Image::create();
  e->file_name = name;
  e->set_load_options(cell);
  v->files.append(e);
  return e;
}

void ticks(const Ref<Test_viewer>& v, int n) {
  for (int i = 0; i < n; ++i) {
    v->last_scan_time = date_time{};
    v->on_timer();
  }
}

Ref<Test_viewer> show_folder(Boxed& b, const std::string& dir, int n, mode_view mode) {
  b.v->collage->mode_view = mode;
  b.v->open_dir(dir);
  ticks(b.v, n);
  return b.v;
}

Ref<C_Image> Viewer_box::open_picture(const std::string& name, int w, int h) {
  picture(dir.file(name), w, h);
  v->open_file(dir.file(name));
  return v->current_image();
}

void Viewer_box::open_folder(std::initializer_list<const char*> names) {
  for (const char* n : names) picture(dir.file(n));
  v->open_dir(dir.path());
}

}  // namespace viewer_input
