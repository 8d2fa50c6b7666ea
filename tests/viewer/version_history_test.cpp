#include <gtest/gtest.h>

#include "baselib/string_functions.h"
#include "viewer/version_history.h"

namespace V = brek::Version_history;
namespace NS = brek::NATIVE_String_functions;

TEST(VersionHistory, TableHasSevenEntriesAndTheNewestGivesTheTitle) {
  const brek::DynAStr& t = V::lines();
  ASSERT_EQ(t.count(), 56);
  int headers = 0;
  for (const std::string& line : t) {
    if (NS::starts_with(line, "UPDATED (")) {
      ++headers;
      EXPECT_TRUE(NS::ends_with(line, "\":")) << line;
    } else if (!NS::trim(line).empty()) {
      EXPECT_EQ(line[0], '\t') << line;  // items and their continuations
    }
  }
  EXPECT_EQ(headers, 7);
  EXPECT_EQ(V::newest_version(), "1.2 Solvarre");
  // The edition word is not doubled; older versions get it appended.
  EXPECT_EQ(V::title_for("Collage", V::newest_version()), "Collage v1.2 Solvarre");
  EXPECT_EQ(V::title_for("Collage", "6.5"), "Collage v6.5 Solvarre");
}

TEST(VersionHistory, HeadersAreFoundTrimmedAndTheVersionReadUntrimmed) {
  brek::DynAStr t{"UPDATED (2020-1-1), VER \"1.0\":", "\tADDED: \"x\", \"y\";", "",
                  "   UPDATED (2021-1-1), VER \" 2.0 \":", "\tFIXED: \"UPDATED \"", "not UPDATED \"3.0\""};
  EXPECT_EQ(V::newest_version(t), " 2.0 ");
  EXPECT_EQ(V::newest_version(brek::DynAStr{"nothing", ""}), "");
  EXPECT_EQ(V::newest_version(brek::DynAStr{}), "");
}
