#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "baselib/text_file.h"
#include "runtime/exceptions.h"
#include "tests/support/temp_dir.h"

using namespace brek;
using brek_test::read_file;

TEST(TextFile, LinesAreJoinedWithoutATrailingEnd) {
  brek_test::Temp_dir dir;
  auto t = C_Text_file::create();
  t->lines = DynAStr{"a", "b", ""};
  EXPECT_TRUE(t->save(dir.file("abc.txt")));
  EXPECT_EQ(read_file(dir.file("abc.txt")), "a\r\nb\r\n");

  auto none = C_Text_file::create();
  ASSERT_TRUE(brek_test::write_file(dir.file("empty.txt"), "old"));
  EXPECT_TRUE(none->save(dir.file("empty.txt")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("empty.txt")));
  EXPECT_EQ(read_file(dir.file("empty.txt")), "");
}

TEST(TextFile, EncodingsAndLineEnds) {
  brek_test::Temp_dir dir;
  auto t = C_Text_file::create();
  t->lines = DynAStr{"Größe", std::string("bad\xFF")};
  t->line_end = "\n";
  EXPECT_TRUE(t->save(dir.file("raw.txt")));
  EXPECT_EQ(read_file(dir.file("raw.txt")), std::string("Größe\nbad\xFF"));
  t->encoding = encoding::UTF8;
  EXPECT_TRUE(t->save(dir.file("utf8.txt")));
  EXPECT_EQ(read_file(dir.file("utf8.txt")), "Größe\nbad\xEF\xBF\xBD");
}

TEST(TextFile, OneMissingDirectoryIsCreatedDeeperOnesAreNot) {
  brek_test::Temp_dir dir;
  auto t = C_Text_file::create();
  t->lines = DynAStr{"x"};
  EXPECT_TRUE(t->save(dir.file("new/file.txt")));
  EXPECT_EQ(read_file(dir.file("new/file.txt")), "x");
  EXPECT_FALSE(t->save(dir.file("a/b/file.txt")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("a")));
}

TEST(TextFile, AFileThatCannotBeWrittenRaisesAndKeepsTheOld) {
  brek_test::Temp_dir dir;
  std::filesystem::create_directory(dir.file("taken"));
  auto t = C_Text_file::create();
  t->lines = DynAStr{"x"};
  EXPECT_THROW(t->save(dir.file("taken")), Brek_Exception);
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken")));
}
