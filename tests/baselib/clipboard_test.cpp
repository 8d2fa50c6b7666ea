#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "baselib/clipboard.h"
#include "platform/clipboard.h"

using namespace brek;

namespace {
bool has_format(const std::string& f) {
  auto all = brek_platform::clipboard_formats();
  return std::find(all.begin(), all.end(), f) != all.end();
}
}  // namespace

TEST(Clipboard, TextReplacesContentAndEmptyTextEmptiesIt) {
  C_Clipboard::copy_text("Grüße, 世界");
  EXPECT_EQ(brek_platform::clipboard_text(), "Grüße, 世界");
  C_Clipboard::copy_text("");
  EXPECT_EQ(brek_platform::clipboard_text(), "");
  EXPECT_TRUE(brek_platform::clipboard_formats().empty());
}

TEST(Clipboard, FileListAsCopyAndAsCut) {
  DynAStr names{"/tmp/a b.jpg", "/tmp/ü/c#1.png"};
  C_Clipboard::copy_files(names, file_drop_operation::COPY);
  EXPECT_TRUE(has_format("text/uri-list"));
  EXPECT_EQ(brek_platform::clipboard_data("x-special/gnome-copied-files"),
            "copy\nfile:///tmp/a%20b.jpg\nfile:///tmp/%C3%BC/c%231.png");
  EXPECT_EQ(brek_platform::clipboard_files(),
            (std::vector<std::string>{"/tmp/a b.jpg", "/tmp/ü/c#1.png"}));

  C_Clipboard::copy_files(names, true);
  std::string gnome = brek_platform::clipboard_data("x-special/gnome-copied-files");
  EXPECT_EQ(gnome.substr(0, 4), "cut\n");
  std::string uris = brek_platform::clipboard_data("text/uri-list");
  EXPECT_NE(uris.find("file:///tmp/a%20b.jpg"), std::string::npos);
  EXPECT_NE(uris.find("file:///tmp/%C3%BC/c%231.png"), std::string::npos);
}

TEST(Clipboard, RelativeNamesBecomeAbsoluteAndEmptyNamesAreSkipped) {
  DynAStr names{"", "pic.jpg"};
  C_Clipboard::copy_files(names, file_drop_operation::COPY);
  auto files = brek_platform::clipboard_files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0], (std::filesystem::current_path() / "pic.jpg").string());
}
