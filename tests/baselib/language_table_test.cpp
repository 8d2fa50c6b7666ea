#include <gtest/gtest.h>

#include <set>
#include <string>

#include "baselib/language_table.h"

using namespace brek;

TEST(LanguageTable, TenSectionsAndUniqueKeysPerSection) {
  int sections = 0;
  std::set<std::string> in_section;
  for (int i = 0; i < lng::ENTRY_COUNT; ++i) {
    std::string key = lng::built_in_table[i].key;
    std::string text = lng::built_in_table[i].text;
    if (key[0] == '[') {
      ++sections;
      EXPECT_EQ(key.substr(0, 2), "[{");
      EXPECT_EQ(key.substr(key.size() - 2), "}]");
      EXPECT_TRUE(text.empty());
      in_section.clear();
    } else {
      EXPECT_FALSE(text.empty()) << key;
      EXPECT_EQ(key.find('='), std::string::npos);
      EXPECT_TRUE(in_section.insert(key).second) << "duplicate " << key;
    }
  }
  EXPECT_EQ(sections, lng::SECTION_COUNT);
  EXPECT_EQ(lng::ENTRY_COUNT - sections, 167);
}

TEST(LanguageTable, PositionsNameTheirEntries) {
  EXPECT_STREQ(lng::built_in_table[lng::Collage_viewer::SECTION].key, "[{Collage_viewer}]");
  EXPECT_STREQ(lng::built_in_table[lng::Collage_viewer::files].text, "files");
  EXPECT_STREQ(lng::built_in_table[lng::Long_operation::Cancel].key, "Cancel");
  EXPECT_STREQ(lng::built_in_table[lng::Select_directory_dialog::Cancel].key, "Cancel");
  EXPECT_NE(lng::Long_operation::Cancel, lng::Select_directory_dialog::Cancel);
  EXPECT_STREQ(lng::built_in_table[lng::Long_operation::Pause1].text, "Pause");
  EXPECT_STREQ(lng::built_in_table[lng::Long_operation::Pause].text, "Pause");
  EXPECT_STREQ(lng::built_in_table[lng::Move_to_dirs::Select_target].text, "Select taret directory");
  EXPECT_STREQ(lng::built_in_table[lng::Select_directory_dialog::Select_directory].key,
               "Select_directory");
  EXPECT_EQ(lng::Select_directory_dialog::Select_directory, lng::ENTRY_COUNT - 1);
}
