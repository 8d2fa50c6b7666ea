// The build step that writes the English language file beside the program.

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "baselib/localize_str.h"
#include "tests/support/temp_dir.h"

extern char** environ;

using brek_test::read_file;
using brek_test::Temp_dir;
using brek_test::write_file;
namespace L = brek::Localize_str;

namespace {

#ifdef ENGLISH_LANGUAGE_FILE_TOOL
// The tool's exit status for the folder; -1 when it did not run.
int run_tool(const std::string& folder) {
  std::string tool = ENGLISH_LANGUAGE_FILE_TOOL;
  std::vector<char*> argv{tool.data(), const_cast<char*>(folder.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}
#endif

std::string crlf(std::initializer_list<std::string> lines) {
  std::string s = "\xEF\xBB\xBF";
  for (const auto& l : lines) s += l + "\r\n";
  return s;
}

}  // namespace

TEST(LanguageFileTool, WritesTheTableAndBringsTheOtherFilesOfTheFolderUpToDate) {
#ifndef ENGLISH_LANGUAGE_FILE_TOOL
  GTEST_SKIP() << "the program is not built";
#else
  L::reset_to_english();
  Temp_dir dir;
  // Written by an older build, which lacked a key of the first section.
  brek::DynAStr old_table = L::table_as_lines();
  old_table.remove(brek::lng::Collage_viewer::LandR2, 1);
  ASSERT_TRUE(L::write_lines(dir.file("English_EN.lng"), old_table));
  ASSERT_TRUE(write_file(dir.file("Deutsch_DE.lng"), crlf({"[{Collage_viewer}]", "files=Dateien"})));

  ASSERT_EQ(run_tool(dir.path()), 0);

  const brek::DynAStr english = L::read_lines(dir.file("English_EN.lng"));
  const brek::DynAStr table = L::table_as_lines();
  ASSERT_EQ(english.count(), table.count());
  for (int64_t i = 0; i < table.count(); ++i) EXPECT_EQ(english.get(i), table.get(i)) << i;
  const brek::DynAStr german = L::read_lines(dir.file("Deutsch_DE.lng"));
  ASSERT_EQ(german.count(), table.count());
  EXPECT_EQ(german.get(0), "[{Collage_viewer}]");
  EXPECT_EQ(german.get(27), "files=Dateien");  // the missing keys went in before it

  // A folder it cannot write to fails the build step.
  EXPECT_EQ(run_tool(dir.file("missing")), 1);
#endif
}
