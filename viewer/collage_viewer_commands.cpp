// The main window's own commands (view of the single image, transparency,
// language, exit) and the two popup menus that deliver every command key.
#include <algorithm>

#include "baselib/config.h"
#include "baselib/language_table.h"
#include "baselib/localize_str.h"
#include "baselib/string_functions.h"
#include "forms/menu.h"
#include "forms/settings_writes.h"
#include "viewer/collage_viewer.h"

namespace brek {

namespace {

using area = area_where_configuration_is_stored;
namespace L = lng::Collage_viewer;

const std::string& T(int64_t key) { return Localize_str::text(key); }

constexpr const char* CRLF = "\r\n";

// One menu line: key (with its flags), caption and hot-key text.
std::string item(const std::string& key, const std::string& caption, const std::string& hot_key = "") {
  return C_Menu::add_hot_key(key + ":" + caption, hot_key);
}

std::string line(const std::string& text) { return text + CRLF; }

// The end of both menus: the languages under their caption, then the exit.
std::string languages_and_exit(const std::string& languages, const std::string& caption,
                               const std::string& exit, const std::string& exit_keys) {
  std::string t = line("LANG:" + caption + "...");
  t += C_Menu::begin_submenu();
  t += languages;
  t += CRLF;
  t += C_Menu::end_submenu();
  t += item("EXIT", exit, exit_keys);
  return t;
}

}  // namespace

void C_Collage_viewer::on_menu_item() {
  if (is_none()) return;
  const std::string key = menu_key;
  if (NATIVE_String_functions::starts_with(key, "LANG_")) {
    language = key.substr(5);
    Settings_writes::run(Ref<C_Form>(this), [&] {
      C_Config::open_write(LANGUAGE_APPLICATION, area::USER, "")->write_string("Language", language);
    });
    if (!Localize_str::load_language(language)) tell_refused_language();
  }

  // The orientation commands change the wanted orientation of the current
  // image; without one there is nothing to change.
  Ref<C_Image> image = current_image();
  const bool orientation = key == "INVERSE" || key == "ROTATEL" || key == "ROTATER" || key == "FLIP_X" ||
                           key == "FLIP_Y";
  if (orientation && image.is_none()) return;
  if (key == "SCALE_I") {
    set_scale(scale * 1.1);
    repaint();
  } else if (key == "SCALE_D") {
    set_scale(scale / 1.1);
    repaint();
  } else if (key == "SCALE_R") {
    set_scale(1.0);
    repaint();
  } else if (key == "INVERSE") {
    if (!single_mode) return;
    orient(image, [](C_Image& i) { i.inverse = !i.inverse; });
  } else if (key == "ROTATEL" || key == "ROTATER") {
    orient(image, [flip = key_info.shift != 0, left = key == "ROTATEL"](C_Image& i) {
      if (flip)
        i.flip_x = !i.flip_x;
      else
        i.quarter_turns = (i.quarter_turns + (left ? 3 : 1)) % 4;
    });
  } else if (key == "FLIP_X") {
    orient(image, [](C_Image& i) { i.flip_x = !i.flip_x; });
  } else if (key == "FLIP_Y") {
    orient(image, [](C_Image& i) { i.flip_y = !i.flip_y; });
  } else if (key == "ALPHA+") {
    change_alpha(0.1);
  } else if (key == "ALPHA-") {
    change_alpha(-0.1);
  } else if (key == "EXIT") {
    exiting = true;
    close_window();
  } else if (key == "REFRESH") {
    // The item of F5: the directory is listed again.
    if (!root_dir.empty()) open_dir(root_dir);
  } else {
    collage->do_command(key);
  }
}

void C_Collage_viewer::change_alpha(double step) {
  if (is_none()) return;
  alpha = std::clamp(alpha + step, 0.0, 1.0);
  set_transparency(alpha);
}

// ---- menus ---------------------------------------------------------------------

std::string C_Collage_viewer::language_menu_text() {
  std::string text;
  DynAStr pairs = NATIVE_String_functions::split(Localize_str::available_languages(), ";");
  for (int64_t i = 0; i + 1 < pairs.count(); i += 2) {
    const std::string name = pairs.get(i), code = pairs.get(i + 1);
    if (code.empty()) continue;
    text += line("LANG_" + code + ":" + name);
  }
  return text;
}

std::string C_Collage_viewer::image_menu_text() {
  if (is_none()) return {};
  std::string t;
  t += line(T(L::Scale));
  t += C_Menu::begin_submenu();
  t += item("SCALE_I", T(L::Increase), "+," + T(L::Wheel_dn));
  t += item("SCALE_D", T(L::Decrease), "-," + T(L::Wheel_up));
  t += item("SCALE_R", T(L::Reset), "1");
  t += C_Menu::end_submenu();
  t += item("INVERSE", T(L::Inverse), "I");
  t += item("ROTATEL", T(L::Rotate_left), T(L::Left_key));
  t += item("ROTATER", T(L::Rotate_rt), T(L::Right_key));
  t += item("FLIP_X", T(L::Flip_h), "Shift+" + T(L::Left2));
  t += item("FLIP_Y", T(L::Flip_v), "Shift+" + T(L::Up2));
  t += C_Menu::add_separator();
  t += item("ALPHA+", T(L::Inc_alpha), "Alt+" + T(L::Up));
  t += item("ALPHA-", T(L::Dec_alpha), "Alt+" + T(L::Dn));
  t += collage->file_menu_text();
  t += CRLF;
  t += C_Menu::add_separator();
  t += languages_and_exit(language_menu_text(), T(L::Language), T(L::Exit_1), T(L::LandR1));
  return t;
}

std::string C_Collage_viewer::directory_menu_text() {
  if (is_none()) return {};
  std::string t;
  t += item("REFRESH", T(L::Refresh), "F5");
  t += collage->view_menu_text();
  t += languages_and_exit(language_menu_text(), T(L::Language2), T(L::Exit_2), T(L::LandR2));
  return t;
}

}  // namespace brek
