// The language menu of the program as built: the build writes the English
// language file beside the executable, and the test programs sit one folder
// below it, where the viewer looks for that file second.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "baselib/config.h"
#include "baselib/file_path.h"
#include "baselib/localize_str.h"
#include "forms/menu.h"
#include "platform/test_events.h"
#include "runtime/clock.h"
#include "tests/support/temp_dir.h"
#include "tests/viewer/viewer_input_support.h"

using namespace viewer_input;

namespace {

using area = area_where_configuration_is_stored;

std::vector<std::string> lines_of(const DynAStr& a) { return std::vector<std::string>(a.begin(), a.end()); }

// The tag the popup menu gives the item of that key.
int64_t tag_of(const std::string& menu_text, const std::string& key) {
  const std::vector<std::string> keys = C_Menu::parse(menu_text).keys;
  auto it = std::find(keys.begin(), keys.end(), key);
  return it == keys.end() ? -1 : int64_t(it - keys.begin());
}

}  // namespace

TEST(LanguageMenu, TheBuiltProgramListsEnglishAndChoosingItChangesNothingButIsRemembered) {
  // The empty window's notices take turns by the clock: it stands still
  // after the first paint has started the turns.
  brek::Brek_runtime::Test_clock clock;
  const std::vector<std::string> table = lines_of(Localize_str::table_as_lines());
  {
    Input_box b;
    b.paint();
    const std::string file = Localize_str::directory() + "English_EN.lng";
    ASSERT_TRUE(File_path::file_exists(file)) << file;
    EXPECT_EQ(lines_of(Localize_str::read_lines(file)), table);
    EXPECT_EQ(Localize_str::available_languages(), "English;EN");

    const int64_t tag = tag_of(b.v->directory_menu_text(), "LANG_EN");
    ASSERT_GE(tag, 0);
    // A right click that chooses nothing, then one that chooses English:
    // the window must look the same after both.
    b.right_click({50, 50});
    b.paint();
    EXPECT_TRUE(b.v->language.empty());
    const std::vector<uint32_t> before = b.sample();
    const std::string caption = b.v->collage->caption;
    bool chosen = false;
    const std::string shown = b.right_click({50, 50}, tag, &chosen);
    b.paint();

    EXPECT_NE(shown.find("|Language... (English)|"), std::string::npos) << shown;
    ASSERT_TRUE(chosen);
    EXPECT_EQ(b.v->language, "EN");
    EXPECT_EQ(C_Config::open_read("Ostrel6", area::USER, "")->read_string("Language"), "EN");
    EXPECT_EQ(lines_of(Localize_str::table_as_lines()), table);
    EXPECT_EQ(b.v->collage->caption, caption);
    EXPECT_EQ(b.sample(), before);
    EXPECT_TRUE(b.messages.empty());
  }
  // The next start reads the choice back.
  Input_box again;
  EXPECT_EQ(again.v->language, "EN");
  EXPECT_EQ(lines_of(Localize_str::table_as_lines()), table);
}

TEST(LanguageMenu, TheUsersLanguageFilesAreOfferedBesideThoseOfTheProgram) {
  // A user without write access to the program's folder adds a language in
  // the per-user data folder, and overrides a shipped text there.
  brek::Brek_runtime::Test_clock clock;
  const std::string user = Localize_str::fallback_directory();
  std::filesystem::create_directories(user);
  ASSERT_TRUE(brek_test::write_file(user + "Deutsch_DE.lng",
                                    "[{Collage_viewer}]\r\nLanguage2=Sprache\r\nExit_2=Beenden\r\n"));
  ASSERT_TRUE(brek_test::write_file(user + "English_EN.lng", "[{Collage_viewer}]\r\nExit_2=Quit\r\n"));
  std::string shown;
  {
    Input_box b;
    b.paint();
    const std::string menu = b.v->directory_menu_text();
    const int64_t tag = tag_of(menu, "LANG_DE");
    ASSERT_GE(tag, 0) << menu;
    EXPECT_EQ(Localize_str::available_languages(), "Deutsch;DE;English;EN");
    // The user's English file wins over the program's for the same language.
    EXPECT_EQ(Localize_str::text(lng::Collage_viewer::Exit_2), "Quit");
    b.right_click({50, 50}, tag);
    shown = b.right_click({50, 50});
    EXPECT_EQ(b.v->language, "DE");
  }
  Localize_str::reset_to_english();
  EXPECT_NE(shown.find("|Sprache... (Deutsch|English)|"), std::string::npos) << shown;
  EXPECT_NE(shown.find("|Beenden\t"), std::string::npos) << shown;
}

// A language file far larger than any table (3 GiB, sparse) is the
// language the settings name, and then the one chosen in the menu: the
// program starts at once in the built-in English, saying why through its
// usual message, and reads none of the file.
TEST(LanguageMenu, ALanguageFileFarLargerThanAnyTableIsRefused) {
  namespace te = brek_platform::test_events;
  const std::string user = Localize_str::fallback_directory();
  std::filesystem::create_directories(user);
  const std::string huge = user + "Huge_HG.lng";
  ASSERT_TRUE(brek_test::write_file(huge, "[{Collage_viewer}]\r\nExit_2=Quit\r\n"));
  std::filesystem::resize_file(huge, uint64_t(3) << 30);
  C_Config::open_write("Ostrel6", area::USER, "")->write_string("Language", "HG");
  const std::string said_then = huge + ": Language file not read, it is too large (3 GBytes, at most 16 MBytes)";
  const std::string english = Localize_str::text(lng::Collage_viewer::Exit_2);

  std::string said;
  te::answer_next_message(true, nullptr, &said);
  const int64_t growth = peak_growth([&] {
    Input_box b;
    EXPECT_EQ(said, said_then);
    EXPECT_EQ(Localize_str::text(lng::Collage_viewer::Exit_2), english);
    b.menu("LANG_HG");
    EXPECT_EQ(b.last_message(), said_then);
    EXPECT_EQ(Localize_str::text(lng::Collage_viewer::Exit_2), english);
  });
  if (RESIDENT_SIZE_COUNTS) {
    EXPECT_LT(growth, int64_t(64) << 20);
  }
}
