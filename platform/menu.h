#pragma once
// Popup menus. The program parses its menu texts itself (forms/menu.h) and
// hands the platform a finished tree of items. No Qt types here;
// platform/qt/menu.cpp implements it. An "&" before a blank or at a text's
// end is a plain "&" ("Auto paste & save"), doubled for Qt, which takes
// every "&" as a shortcut's mark.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace brek_platform {

// One item of a menu. The list is flat: an item goes into the submenu of
// the earlier item its parent index names (-1: the menu itself), in list
// order.
struct Menu_item {
  std::string caption;
  std::string hot_key;  // shown right-aligned; empty for none
  int64_t tag = -1;     // what a choice of this item reports
  bool enabled = true;
  bool checked = false;
  bool separator = false;      // a separator line, never chosen
  bool opens_submenu = false;  // opens a submenu and is not chosen itself
  int64_t parent = -1;
};

// Shows a popup menu with its top-left corner at (x, y), screen pixels, and
// returns when it has closed. The tag of the chosen item reaches `chosen`
// afterwards, from the event loop, as a choice made in a menu arrives after
// the menu is gone; a menu closed without a choice reports nothing. A popup
// menu still open is closed first (without a choice). Nothing is shown for
// an empty list or without an application object.
void show_popup_menu(const std::vector<Menu_item>& items, int32_t x, int32_t y,
                     std::function<void(int64_t tag)> chosen);

// Whether a popup menu is open now.
bool popup_menu_open();

// ---- test hooks: no person answers a menu in a headless test ----

// Runs once each time a popup menu has opened, inside the menu's own event
// loop; an empty function removes the hook.
void set_popup_menu_hook(std::function<void()> hook);
// The open menu as text, as it is shown (no shortcut marks): items
// separated by "|", a separator as "-", the
// hot key after a TAB, then " [disabled]" and " [checked]" where they
// apply, and an item's submenu in parentheses after it. "" when none is open.
std::string open_popup_menu_text();
// Chooses the item with this tag in the open menu or one of its submenus;
// false when no enabled item that can be chosen has it.
bool choose_popup_menu_item(int64_t tag);
// Closes the open menu without a choice.
void close_popup_menu();

}  // namespace brek_platform
