#include <gtest/gtest.h>

#include "forms/menu.h"
#include "forms_test_support.h"
#include "platform/application.h"
#include "platform/menu.h"

using namespace forms_test;

namespace {

class Menu_test : public Forms_test {
 protected:
  void TearDown() override {
    brek_platform::set_popup_menu_hook(nullptr);
    Forms_test::TearDown();
  }
};

std::string keys_of(const Parsed_menu& m) {
  std::string all;
  for (const auto& k : m.keys) all += "[" + k + "]";
  return all;
}

}  // namespace

TEST(Menu_text, LineBuilders) {
  EXPECT_EQ(C_Menu::add_item("OPEN", "Open..."), "OPEN:Open...\r\n");
  EXPECT_EQ(C_Menu::add_item("C:odd", "Odd"), "C:Odd\r\n");
  std::string line = C_Menu::add_item("DEL,disabled", "Delete");
  EXPECT_EQ(C_Menu::add_hot_key_for(line, "DELETE", "collage;linux"), "DEL,disabled:Delete\tDELETE\r\n");
  EXPECT_EQ(C_Menu::add_hot_key_for(line, "DELETE", "collage;android"), "DEL,disabled:Delete\r\n");
  EXPECT_EQ(C_Menu::add_hot_key_for("A:a \t\r\n", "", "linux"), "A:a\r\n");
  EXPECT_EQ(C_Menu::add_separator() + C_Menu::begin_submenu() + C_Menu::end_submenu(), "-\r\n(\r\n)\r\n");
}

TEST(Menu_text, ItemLines) {
  Menu_entry e = C_Menu::parse_item_line("DEL,disabled:Delete\tDELETE");
  EXPECT_EQ(e.key, "DEL");
  EXPECT_EQ(e.caption, "Delete");
  EXPECT_EQ(e.hot_key, "DELETE");
  EXPECT_TRUE(e.disabled);
  EXPECT_FALSE(e.checked);

  e = C_Menu::parse_item_line("  GRID ,CHECKED :   Show grid");
  EXPECT_EQ(e.key, "GRID");
  EXPECT_EQ(e.caption, "Show grid");
  EXPECT_TRUE(e.checked);
  EXPECT_FALSE(e.disabled);

  e = C_Menu::parse_item_line("PLAIN,c");  // no ":": the line is the caption
  EXPECT_EQ(e.key, "PLAIN");
  EXPECT_EQ(e.caption, "PLAIN,c");
  EXPECT_TRUE(e.checked);

  e = C_Menu::parse_item_line("-");
  EXPECT_EQ(e.key, "-");
  EXPECT_TRUE(e.separator());
}

TEST(Menu_text, SubmenusSeparatorsAndBlankLines) {
  std::string text = C_Menu::add_item("OPEN", "Open") + "\r\n  \r\n" + C_Menu::add_separator() +
                     C_Menu::add_item("EMPTY", "Nothing here") + C_Menu::begin_submenu() + C_Menu::end_submenu() +
                     C_Menu::add_item("SORT", "Sort") + C_Menu::begin_submenu() + C_Menu::add_item("NAME", "Name") +
                     C_Menu::add_item("NAME", "Name again") + C_Menu::end_submenu() + C_Menu::add_item("QUIT", "Quit");
  Parsed_menu m = C_Menu::parse(text);
  EXPECT_EQ(keys_of(m), "[OPEN][-][EMPTY][SORT][NAME][NAME][QUIT]");
  ASSERT_EQ(m.items.size(), 7u);
  EXPECT_TRUE(m.items[1].separator());
  EXPECT_TRUE(m.items[2].has_submenu);
  EXPECT_TRUE(m.items[2].disabled);  // opens nothing
  EXPECT_TRUE(m.items[3].has_submenu);
  EXPECT_FALSE(m.items[3].disabled);
  EXPECT_EQ(m.items[4].parent, 3);
  EXPECT_EQ(m.items[5].parent, 3);
  EXPECT_EQ(m.items[6].parent, -1);

  // Bare line feeds end lines too; a submenu never closed takes the rest.
  m = C_Menu::parse("A:a\n(\nB:b\n(\n");
  EXPECT_EQ(keys_of(m), "[A][B]");
  EXPECT_EQ(m.items[1].parent, 0);
  EXPECT_TRUE(m.items[1].disabled);  // its own submenu got nothing
  EXPECT_FALSE(m.items[0].disabled);

  // A ")" at the top level ends the menu.
  EXPECT_EQ(keys_of(C_Menu::parse("A:a\r\n)\r\nB:b")), "[A]");

  // Nesting from a text has no depth limit.
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "K:k\r\n(\r\n";
  m = C_Menu::parse(deep);
  EXPECT_EQ(m.items.size(), 100000u);
  EXPECT_EQ(m.items.back().parent, 99998);
}

TEST_F(Menu_test, PopupShowsTheItemsAndTheChoiceArrivesAsAMenuEvent) {
  auto f = new_form();
  std::string shown;
  brek_platform::set_popup_menu_hook([&] {
    shown = brek_platform::open_popup_menu_text();
    EXPECT_FALSE(brek_platform::choose_popup_menu_item(0));  // disabled
    EXPECT_FALSE(brek_platform::choose_popup_menu_item(2));  // opens a submenu
    EXPECT_TRUE(brek_platform::choose_popup_menu_item(4));   // in the submenu
  });
  std::vector<std::string> lines{"DEL,disabled:Delete\tDELETE", "GRID,CHECKED:Grid", "SUB:Sub", "(", "-",
                                 "PICK:Pick", ")", "EMPTY:Empty", "(", ")"};
  C_Menu::popup(f->native, lines);
  EXPECT_EQ(shown, "Delete\tDELETE [disabled]|Grid [checked]|Sub (-|Pick)|Empty [disabled] ()");
  EXPECT_FALSE(brek_platform::popup_menu_open());
  EXPECT_TRUE(f->log.empty());  // the choice comes from the event loop
  brek_platform::process_events();
  ASSERT_EQ(f->log.size(), 1u);
  EXPECT_EQ(f->log[0], "menu PICK");
  EXPECT_EQ(f->menu_key, "");
  EXPECT_EQ(f->event_depth, 0);
}

TEST_F(Menu_test, AnAmpersandBeforeABlankIsShownAsItStands) {
  auto f = new_form();
  std::string shown;
  brek_platform::set_popup_menu_hook([&] {
    shown = brek_platform::open_popup_menu_text();
    brek_platform::close_popup_menu();
  });
  // One before a letter still marks the shortcut letter.
  C_Menu::popup(f->native, {"SAVAUTO:Auto paste & save", "A:&Open", "B:Tom && Jerry", "C:Last &"});
  brek_platform::set_popup_menu_hook(nullptr);
  EXPECT_EQ(shown, "Auto paste & save|Open|Tom & Jerry|Last &");
}

TEST_F(Menu_test, AMenuClosedWithoutAChoiceLeavesNothingPending) {
  auto f = new_form();
  brek_platform::set_popup_menu_hook([] { brek_platform::close_popup_menu(); });
  C_Menu::popup(f->native, {"A:a", "B:b"});
  brek_platform::process_events();
  brek_platform::process_events();
  EXPECT_TRUE(f->log.empty());
  EXPECT_FALSE(brek_platform::popup_menu_open());

  // A choice made for a form that is gone before it arrives reaches nobody.
  auto g = new_form();
  brek_platform::set_popup_menu_hook([] { brek_platform::choose_popup_menu_item(1); });
  C_Menu::popup(g->native, {"A:a", "B:b"});
  dispose_now(g);
  brek_platform::process_events();
  EXPECT_TRUE(f->log.empty());
}

TEST_F(Menu_test, MenuAnswerChoosesWithoutShowing) {
  auto f = new_form();
  bool shown = false;
  brek_platform::set_popup_menu_hook([&] {
    shown = true;
    brek_platform::close_popup_menu();
  });
  screen->menu_answer = "DEL";
  f->popup_menu(C_Menu::add_item("DEL", "Delete") + C_Menu::add_item("KEEP", "Keep"));
  EXPECT_FALSE(shown);
  ASSERT_EQ(f->log.size(), 1u);
  EXPECT_EQ(f->log[0], "menu DEL");
  EXPECT_EQ(f->menu_key, "");
}
