#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "baselib/file_path.h"
#include "baselib/system_functions.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

using namespace brek;
using brek_test::Env_guard;
using brek_test::Temp_dir;
using brek_test::write_file;

TEST(SystemPlatform, DescriptionNamesLinuxOnly) {
  std::string d = System_functions::platform_lower();
  EXPECT_EQ(d, System_functions::platform_lower());
  EXPECT_NE(d.find("linux"), std::string::npos);
  for (const char* w : {"vcl", "qix", "c#", "android", "windows"}) EXPECT_EQ(d.find(w), std::string::npos) << w;
  EXPECT_NE(System_functions::platform_description().find("Brek"), std::string::npos);
}

TEST(SystemPlatform, ProgramAndUserDirectories) {
  EXPECT_EQ(System_functions::program_path(), "baselib_tests");
  std::string dir = System_functions::program_directory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(File_path::file_exists(dir + System_functions::program_path()));

  {
    Env_guard data("XDG_DATA_HOME", "/some/data");
    EXPECT_EQ(System_functions::user_data_directory(), "/some/data/baselib_tests/");
  }
  {
    Env_guard home("HOME", "/home/someone");
    Env_guard data("XDG_DATA_HOME", "relative");
    EXPECT_EQ(System_functions::user_data_directory(), "/home/someone/.local/share/baselib_tests/");
  }
  {
    Env_guard tmp("TMPDIR", "/var/tmp/x");
    EXPECT_EQ(System_functions::temp_directory(), "/var/tmp/x/");
  }
  {
    Env_guard tmp("TMPDIR", nullptr);
    EXPECT_EQ(System_functions::temp_directory(), "/tmp/");
  }
  EXPECT_EQ(NATIVE_process::environment_variable("COLLAGE_SURELY_UNSET_VARIABLE"), "");

  DynAByte bytes;
  System_functions::set_byte_length(bytes, 3);
  bytes.set(2, 7);
  System_functions::set_byte_length(bytes, 5);
  EXPECT_EQ(bytes.count(), 5);
  EXPECT_EQ(bytes.get(2), 7);
  EXPECT_EQ(bytes.get(4), 0);
  System_functions::set_byte_length(bytes, 1);
  EXPECT_EQ(bytes.count(), 1);
}

TEST(SystemParameters, DropsReplaceTheCommandLine) {
  System_functions::capture_platform_arguments({"\"/opt/my dir/viewer\"", "first", "\"second\""});
  System_functions::set_parameters(std::vector<std::string>{});
  EXPECT_EQ(System_functions::param_count(), 3);
  EXPECT_EQ(System_functions::param_str(1), "first");
  EXPECT_EQ(System_functions::param_str(3), "");
  EXPECT_EQ(System_functions::param_unquoted(0), "/opt/my dir/viewer");
  EXPECT_EQ(System_functions::param_unquoted(2), "\"second\"");  // only parameter 0 loses quotes
  EXPECT_EQ(System_functions::param_raw((int64_t{1} << 32) + 1), "first");

  DynAStr drop;
  drop.append("/usr/bin/viewer");
  drop.append("/pics/a;b.jpg");
  drop.append("/pics/c d.jpg");
  System_functions::set_parameters(drop);
  EXPECT_EQ(System_functions::param_count(), 3);
  EXPECT_EQ(System_functions::param_str(0), "\"/opt/my dir/viewer\"");  // always the own path
  EXPECT_EQ(System_functions::param_str(1), "/pics/a;b.jpg");
  EXPECT_EQ(System_functions::param_str(2), "/pics/c d.jpg");
  EXPECT_EQ(System_functions::param_str(3), "");
  EXPECT_EQ(System_functions::param_str(-1), "first");
  EXPECT_EQ(System_functions::param_str(-2), "");

  System_functions::set_parameters(std::vector<std::string>{});
  EXPECT_EQ(System_functions::param_count(), 3);
  EXPECT_EQ(System_functions::param_str(2), "\"second\"");
}

TEST(SystemPrograms, LookedUpOnPath) {
  Temp_dir t;
  ASSERT_TRUE(write_file(t.file("my-tool"), "#!/bin/sh\necho tool\n"));
  ::chmod(t.file("my-tool").c_str(), 0755);
  ASSERT_TRUE(write_file(t.file("not-executable"), "#!/bin/sh\n"));
  std::filesystem::create_directory(t.file("a-directory"));
  ::chmod(t.file("a-directory").c_str(), 0755);

  std::string old_path = NATIVE_process::environment_variable("PATH");
  Env_guard path("PATH", (":relative:" + t.path() + ":" + old_path).c_str());
  EXPECT_EQ(System_functions::find_program("my-tool"), t.file("my-tool"));
  EXPECT_TRUE(System_functions::program_exists("my-tool"));
  EXPECT_FALSE(System_functions::program_exists("not-executable"));
  EXPECT_FALSE(System_functions::program_exists("a-directory"));
  EXPECT_FALSE(System_functions::program_exists("no-such-program-anywhere"));
  EXPECT_FALSE(System_functions::program_exists(""));
  EXPECT_FALSE(System_functions::program_exists("my-tool; touch x"));
  EXPECT_TRUE(System_functions::program_exists(t.file("my-tool")));
  EXPECT_TRUE(System_functions::program_exists("sh"));
  EXPECT_EQ(System_functions::run_process("my-tool", {}), "tool\n");
  // The lookup writes and runs nothing of its own.
  EXPECT_FALSE(std::filesystem::exists(System_functions::temp_directory() + "test_program.sh"));
}

TEST(SystemProcesses, ArgumentsReachTheChildAsTheyAre) {
  std::vector<std::string> args = {"%s|", "a b", "c;d", "$HOME", "`id`", "\xC3\xA9", ""};
  int code = -5;
  EXPECT_EQ(System_functions::run_process("printf", args, System_functions::CAPTURE_STDOUT, &code),
            "a b|c;d|$HOME|`id`|\xC3\xA9||");
  EXPECT_EQ(code, 0);
}

TEST(SystemProcesses, CapturesTheChosenStreamsWholly) {
  std::vector<std::string> both = {"-c", "echo out; echo err >&2; exit 3"};
  int code = 0;
  EXPECT_EQ(System_functions::run_process("sh", both, System_functions::CAPTURE_STDOUT, &code), "out\n");
  EXPECT_EQ(code, 3);
  std::string all = System_functions::run_process(
      "sh", both, System_functions::CAPTURE_STDOUT | System_functions::CAPTURE_STDERR, &code);
  EXPECT_NE(all.find("out\n"), std::string::npos);
  EXPECT_NE(all.find("err\n"), std::string::npos);
  EXPECT_EQ(System_functions::run_process("true", {}, System_functions::CAPTURE_NONE, &code), "");
  EXPECT_EQ(code, 0);

  // More than a pipe holds.
  std::string many = System_functions::run_process("seq", {"1", "100000"});
  EXPECT_EQ(many.size(), 588895u);
  EXPECT_TRUE(many.ends_with("\n99999\n100000\n"));

  // The child's input is empty, not ours.
  EXPECT_EQ(System_functions::run_process("cat", {}), "");

  EXPECT_EQ(System_functions::run_process("no-such-program-anywhere", {}, 1, &code), "");
  EXPECT_EQ(code, -1);
}

TEST(SystemProcesses, StartedProgramsAreReaped) {
  int64_t pid = System_functions::start_program("sh", {"-c", "exit 0"});
  ASSERT_GT(pid, 0);
  // It ends at once; once reaped it is gone from the process table.
  EXPECT_TRUE(brek_test::wait_until([pid] { return !std::filesystem::exists("/proc/" + std::to_string(pid)); }));
  EXPECT_EQ(System_functions::start_program("no-such-program-anywhere", {}), 0);
}
