#pragma once
// Menus described as text. A menu text has one item a line (lines end with
// CR LF):
//   key[,flags]:caption[TAB hot-key text]   an item; ",d..." disables it,
//                                           ",c..." checks it (any case)
//   -                                       a separator line (key "-")
//   (  ...  )                               the submenu of the item before
// C_Menu builds such lines, parses a text into a flat list of items, and
// shows it as a popup menu over a form; the key of the chosen item comes
// back to the form as a MENU event with menu_key set, once the menu has
// closed, so no handler runs inside the menu's own loop.

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/object.h"

namespace brek {

// One item of a parsed menu text. The list is flat: an item's submenu is
// the items whose parent is its index, in list order, so a text nested
// however deep is handled without recursion.
struct Menu_entry {
  std::string key;
  std::string caption;
  std::string hot_key;  // the caption's part after its first TAB
  int64_t parent = -1;  // index of the item whose submenu holds this one
  bool disabled = false;
  bool checked = false;
  bool has_submenu = false;  // opens a submenu and raises no event
  bool separator() const { return caption == "-" && !has_submenu; }
};

struct Parsed_menu {
  std::vector<Menu_entry> items;  // item i answers with key i
  std::vector<std::string> keys;  // in parse order; two items may share one
};

class C_Menu : public Brek_object {
  BREK_CLASS(C_Menu)
 public:
  // ---- line builders (each returns a new text) ----
  // key (up to its first ":") + ":" + caption + CR LF.
  static std::string add_item(const std::string& key, const std::string& caption);
  // The line without its trailing blanks and control characters, a TAB and
  // the hot-key text (when not empty, and not on "android" platforms), CR LF.
  static std::string add_hot_key(const std::string& item_line, const std::string& hot_key);
  static std::string add_hot_key_for(const std::string& item_line, const std::string& hot_key,
                                     const std::string& platform_lower);
  static std::string add_separator();
  static std::string begin_submenu();
  static std::string end_submenu();

  // ---- parsing ----
  // Lines end at CR LF (a bare LF too); blank lines are skipped. A ")" at
  // the top level ends the menu; a "(" that is never closed takes the rest
  // of the text. An item whose submenu holds no item is disabled.
  static Parsed_menu parse(const std::string& text);
  static Parsed_menu parse_lines(const std::vector<std::string>& lines);
  // One item line: key, flags, caption and hot key.
  static Menu_entry parse_item_line(const std::string& line);

  // ---- showing ----
  // Shows the lines as a popup menu of the form (a native form handle) at
  // the pointer and returns when it has closed; the choice reaches the
  // form afterwards as a MENU event. Nothing for handle 0 or no item.
  static void popup(int64_t form, const std::vector<std::string>& lines);
};

}  // namespace brek
