#pragma once
// What the tests of the move window and its questions on a desktop of the
// test's own share: a picture whose name is taken in the move window's
// target 1, and a viewer that counts the keys it gets.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <filesystem>
#include <string>

#include "baselib/config.h"
#include "tests/support/own_desktop.h"
#include "tests/support/temp_dir.h"
#include "tests/support/x11_client.h"
#include "tests/viewer/viewer_test_support.h"

namespace viewer_test {

// Counts the keys that reach the window's key handler, by key code.
class Key_count_viewer : public Test_viewer {
  BREK_CLASS(Key_count_viewer)
 public:
  std::array<std::atomic<int>, 256> downs{};
  bool on_key_down() override {
    downs[size_t(key_info.key_code & 0xFF)] += 1;
    return Test_viewer::on_key_down();
  }
};

// The picture "a.bmp" in `from`, its namesake in `to`, which the move
// window's target 1 names.
class Picture_with_a_name_clash : public testing::Test {
 protected:
  void SetUp() override {
    if (!brek_test::own_desktop_failure().empty()) GTEST_SKIP() << brek_test::own_desktop_failure();
    ASSERT_TRUE(x.ok());
    std::filesystem::create_directories(from);
    std::filesystem::create_directories(to);
    ASSERT_TRUE(write_bmp(quadrants(120, 90), from + "/a.bmp"));
    ASSERT_TRUE(write_bmp(quadrants(60, 40), to + "/a.bmp"));
    ASSERT_TRUE(write_config_file("Collage_viewer/Collage_viewer.conf", "[Move_to_dirs]\n1 = \"" + to + "\"\n"));
  }

  x11_test::Client x;
  brek_test::Temp_dir dir;
  const std::string from = dir.file("from"), to = dir.file("to");
};

}  // namespace viewer_test
