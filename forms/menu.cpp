#include "forms/menu.h"

#include "baselib/string_functions.h"
#include "baselib/system_functions.h"
#include "forms/form_bridge.h"
#include "platform/menu.h"
#include "platform/native_forms.h"

namespace brek {

namespace {

namespace S = NATIVE_String_functions;

const char* const CRLF = "\r\n";

// Lines as the menu reads them: split at LF (a CR before it dropped),
// trimmed, blank ones left out.
void add_lines(std::vector<std::string>& out, const std::string& text) {
  size_t from = 0;
  while (from <= text.size()) {
    size_t nl = text.find('\n', from);
    std::string line = text.substr(from, nl == std::string::npos ? std::string::npos : nl - from);
    line = S::trim(line);
    if (!line.empty()) out.push_back(line);
    if (nl == std::string::npos) break;
    from = nl + 1;
  }
}

}  // namespace

// ---- line builders ----

std::string C_Menu::add_item(const std::string& key, const std::string& caption) {
  std::string k = key.substr(0, key.find(':'));
  return k + ":" + caption + CRLF;
}

std::string C_Menu::add_hot_key(const std::string& item_line, const std::string& hot_key) {
  return add_hot_key_for(item_line, hot_key, System_functions::platform_lower());
}

std::string C_Menu::add_hot_key_for(const std::string& item_line, const std::string& hot_key,
                                    const std::string& platform_lower) {
  std::string line = S::trim_right(item_line);
  // Touch screens show no hot keys.
  if (!hot_key.empty() && platform_lower.find("android") == std::string::npos) line += "\t" + hot_key;
  return line + CRLF;
}

std::string C_Menu::add_separator() { return std::string("-") + CRLF; }
std::string C_Menu::begin_submenu() { return std::string("(") + CRLF; }
std::string C_Menu::end_submenu() { return std::string(")") + CRLF; }

// ---- parsing ----

Menu_entry C_Menu::parse_item_line(const std::string& line) {
  Menu_entry e;
  size_t colon = line.find(':');
  std::string key_part = S::trim(colon == std::string::npos ? line : line.substr(0, colon));
  e.key = S::trim(key_part.substr(0, key_part.find(',')));
  std::string flags = S::lower_case(key_part);
  e.disabled = flags.find(",d") != std::string::npos;
  e.checked = flags.find(",c") != std::string::npos;
  if (colon == std::string::npos) {
    e.caption = line;
  } else {
    e.caption = line.substr(colon + 1);
    size_t first = e.caption.find_first_not_of(' ');
    e.caption = first == std::string::npos ? std::string() : e.caption.substr(first);
  }
  size_t tab = e.caption.find('\t');
  if (tab != std::string::npos) {
    e.hot_key = e.caption.substr(tab + 1);
    e.caption = e.caption.substr(0, tab);
  }
  return e;
}

Parsed_menu C_Menu::parse(const std::string& text) {
  std::vector<std::string> lines;
  add_lines(lines, text);
  return parse_lines(lines);
}

Parsed_menu C_Menu::parse_lines(const std::vector<std::string>& raw) {
  std::vector<std::string> lines;
  for (const std::string& r : raw) add_lines(lines, r);

  Parsed_menu menu;
  // One entry per open level: the item that opened it (-1: the top level)
  // and how many items it got.
  struct Level {
    int64_t parent;
    int64_t added;
  };
  std::vector<Level> levels{{-1, 0}};
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i] == ")") {
      if (levels.size() == 1) break;  // ends the top level, and the menu
      Level done = levels.back();
      levels.pop_back();
      if (done.added == 0) menu.items[static_cast<size_t>(done.parent)].disabled = true;
      continue;
    }
    Menu_entry e = parse_item_line(lines[i]);
    e.parent = levels.back().parent;
    levels.back().added += 1;
    menu.keys.push_back(e.key);
    bool opens = i + 1 < lines.size() && lines[i + 1] == "(";
    e.has_submenu = opens;
    menu.items.push_back(e);
    if (opens) {
      levels.push_back({static_cast<int64_t>(menu.items.size()) - 1, 0});
      ++i;  // the "(" line
    }
  }
  // Levels left open at the end of the text end with it.
  for (size_t l = levels.size(); l-- > 1;)
    if (levels[l].added == 0) menu.items[static_cast<size_t>(levels[l].parent)].disabled = true;
  return menu;
}

// ---- showing ----

void C_Menu::popup(int64_t form, const std::vector<std::string>& lines) {
  if (form == 0) return;
  Parsed_menu menu = parse_lines(lines);
  if (menu.items.empty()) return;

  std::vector<brek_platform::Menu_item> items;
  items.reserve(menu.items.size());
  for (size_t i = 0; i < menu.items.size(); ++i) {
    const Menu_entry& e = menu.items[i];
    brek_platform::Menu_item it;
    it.caption = e.caption;
    it.hot_key = e.hot_key;
    it.tag = static_cast<int64_t>(i);
    it.enabled = !e.disabled;
    it.checked = e.checked;
    it.separator = e.separator();
    it.opens_submenu = e.has_submenu;
    it.parent = e.parent;
    items.push_back(it);
  }
  point at = C_Brek_form::cursor_position();
  auto x = static_cast<int32_t>(C_Brek_form::points_to_pixels(at.x));
  auto y = static_cast<int32_t>(C_Brek_form::points_to_pixels(at.y));
  std::vector<std::string> keys = std::move(menu.keys);
  brek_platform::show_popup_menu(items, x, y, [form, keys](int64_t tag) {
    if (tag < 0 || tag >= static_cast<int64_t>(keys.size())) return;
    // The bridge's receiver resolves the handle: a form gone meanwhile
    // gets nothing.
    brek_platform::form_events().menu_chosen(form, keys[static_cast<size_t>(tag)]);
  });
}

}  // namespace brek
