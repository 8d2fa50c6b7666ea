// The view settings: their defaults, ranges and fallbacks, a restart, the
// empty window's hints, and stores that cannot be written.
#include <gtest/gtest.h>

#include <filesystem>

#include "baselib/config.h"
#include "platform/test_events.h"
#include "runtime/clock.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"
#include "tests/viewer/viewer_input_support.h"

using namespace viewer_test;

namespace {
using area = area_where_configuration_is_stored;

void store(std::initializer_list<std::pair<const char*, int64_t>> values) {
  Ref<C_Config> c = C_Config::open_write("Collage_viewer", area::USER, "Main");
  for (auto& [name, value] : values) c->write_integer(name, value);
}
}  // namespace

TEST(ViewerSettings, NothingStoredGivesTheDefaults) {
  Ref<Test_viewer> v = new_viewer();
  Ref<C_Additional_collage> c = v->collage;
  c->mode_view = mode_view::THUMB;
  c->load_settings();
  EXPECT_EQ(c->mode_view, mode_view::COLLAGE);
  EXPECT_EQ(c->sort_by, sort_by::BY_DIM);
  EXPECT_FALSE(c->descendant);
  EXPECT_EQ(c->thumb_w, 256);
  EXPECT_EQ(c->thumb_h, 192);
  EXPECT_FALSE(c->full_screen);
  EXPECT_FALSE(c->single_always);
  EXPECT_DOUBLE_EQ(v->thumb_scale, 1.0);
}

TEST(ViewerSettings, RangesAndFallbacks) {
  Ref<Test_viewer> v = new_viewer();
  Ref<C_Additional_collage> c = v->collage;
  store({{"Mode", 2}, {"Order", 4}, {"Thumb_w", 2048}, {"Thumb_h", 96}, {"Descendant", 1}});
  c->load_settings();
  EXPECT_EQ(c->mode_view, mode_view::CAPTIONS);
  EXPECT_EQ(c->sort_by, sort_by::BY_MODIFY);
  EXPECT_TRUE(c->descendant);
  EXPECT_EQ(c->thumb_w, 256);
  EXPECT_EQ(c->thumb_h, 96);
  EXPECT_DOUBLE_EQ(v->thumb_scale, 0.5);

  // Out-of-range items leave the field as it was.
  store({{"Mode", 7}, {"Order", -1}, {"Thumb_w", 8}, {"Thumb_h", 1600}});
  c->load_settings();
  EXPECT_EQ(c->mode_view, mode_view::CAPTIONS);
  EXPECT_EQ(c->sort_by, sort_by::BY_MODIFY);
  EXPECT_EQ(c->thumb_w, 8);
  EXPECT_EQ(c->thumb_h, 192);

  store({{"Thumb_h", 1000}});
  c->load_settings();
  EXPECT_DOUBLE_EQ(v->thumb_scale, 2.0);
  store({{"Thumb_h", 20}});
  c->load_settings();
  EXPECT_DOUBLE_EQ(v->thumb_scale, 0.2);

  // A value of the wrong type reads as missing.
  C_Config::open_write("Collage_viewer", area::USER, "Main")->write_string("Thumb_w", "512");
  c->load_settings();
  EXPECT_EQ(c->thumb_w, 256);
}

TEST(ViewerSettings, SavedSettingsSurviveARestart) {
  {
    Ref<Test_viewer> v = new_viewer();
    Ref<C_Additional_collage> c = v->collage;
    c->mode_view = mode_view::THUMB;
    c->sort_by = sort_by::BY_SIZE;
    c->descendant = true;
    c->thumb_w = 300;
    c->thumb_h = 200;
    c->single_always = true;
    c->save_settings();
  }
  Ref<Test_viewer> v = new_viewer();
  Ref<C_Additional_collage> c = v->collage;
  c->load_settings();
  EXPECT_EQ(c->mode_view, mode_view::THUMB);
  EXPECT_EQ(c->sort_by, sort_by::BY_SIZE);
  EXPECT_TRUE(c->descendant);
  EXPECT_EQ(c->thumb_w, 300);
  EXPECT_EQ(c->thumb_h, 200);
  EXPECT_TRUE(c->single_always);
  EXPECT_FALSE(c->full_screen);
}

TEST(ViewerSettings, TheEmptyWindowAlternatesItsTitleBlockAndHints) {
  Brek_runtime::Test_clock clock;
  Ref<Test_viewer> v = new_viewer();
  Ref<C_Additional_collage> c = v->collage;
  c->blink_time = Date_time::now();
  DynAStr lines = c->about_lines();
  ASSERT_EQ(lines.count(), 5);
  EXPECT_EQ(lines.get(0), "Viewer_tests v1.2 Solvarre");
  EXPECT_EQ(lines.get(3), "");
  clock.advance(3000);
  lines = c->about_lines();
  ASSERT_EQ(lines.count(), 1);
  EXPECT_EQ(lines.get(0), "... just drag & drop your image here ...");
  // The hint changes for the next paint, then stays a second.
  clock.advance(500);
  EXPECT_EQ(c->about_lines().get(0), "... or click to select an image to view");
  clock.advance(600);
  EXPECT_EQ(c->about_lines().get(0), "... or click to select an image to view");
  clock.advance(100);
  EXPECT_EQ(c->about_lines().get(0), "... just drag & drop your image here ...");
  clock.advance(1800);
  EXPECT_EQ(c->about_lines().count(), 5);  // 3 s of hints, then the block again
}

namespace {

bool has_prefix(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }

int settings_messages(const std::vector<std::string>& messages) {
  int n = 0;
  for (const std::string& m : messages) n += has_prefix(m, "Settings could not be saved: ");
  return n;
}

}  // namespace

TEST(ViewerSettings, ASettingsFolderThatIsAFileIsToldOnceAndTheProgramGoesOn) {
  brek_test::Temp_dir home;
  brek_test::Env_guard env("XDG_CONFIG_HOME", home.path());
  // A file stands where the settings folder should be.
  ASSERT_TRUE(brek_test::write_file(home.file("Collage_viewer"), "mine"));
  viewer_input::Input_box b;
  b.menu("SINGLE_ALWAYS");
  EXPECT_TRUE(b.v->collage->single_always);
  b.menu("SINGLE_ALWAYS");
  EXPECT_FALSE(b.v->collage->single_always);
  ASSERT_EQ(settings_messages(b.messages), 1);
  EXPECT_NE(b.last_message().find("Not a directory"), std::string::npos) << b.last_message();
  EXPECT_EQ(brek_test::read_file(home.file("Collage_viewer")), "mine");

  // Told once a run: a write that worked in between does not make the
  // next failure news.
  std::filesystem::remove(home.file("Collage_viewer"));
  b.menu("SINGLE_ALWAYS");
  std::filesystem::remove_all(home.file("Collage_viewer"));
  ASSERT_TRUE(brek_test::write_file(home.file("Collage_viewer"), "mine"));
  b.menu("SINGLE_ALWAYS");
  EXPECT_EQ(settings_messages(b.messages), 1);
}

// A settings folder on a disk mounted read-only, its file as the viewer
// left it last time (not full screen): F11 in, out and in again. Going out
// writes what the file holds, a write that changes nothing; the second F11
// in is no news.
TEST(ViewerSettings, AReadOnlySettingsFolderIsToldOnceAcrossFullScreenSwitches) {
  brek_test::Tmpfs_mount disk;
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  brek_test::Env_guard env("XDG_CONFIG_HOME", disk.path());
  viewer_input::Input_box b;
  b.v->collage->save_settings();
  ASSERT_TRUE(disk.make_read_only());
  constexpr int VK_F11 = 122;
  for (int press = 0; press < 3; ++press) {
    b.key(VK_F11);
    brek_platform::test_events::settle();
  }
  EXPECT_TRUE(b.v->collage->full_screen);
  EXPECT_EQ(settings_messages(b.messages), 1);
  EXPECT_NE(b.last_message().find("Read-only file system"), std::string::npos) << b.last_message();
}

TEST(ViewerSettings, AFullDiskIsToldOnceAndTheSettingsFileStaysWhole) {
  brek_test::Tmpfs_mount disk("16k");
  if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
  brek_test::Env_guard env("XDG_CONFIG_HOME", disk.path());
  viewer_input::Input_box b;
  b.menu("SINGLE_ALWAYS");  // saved while there is room
  ASSERT_EQ(settings_messages(b.messages), 0);
  const std::string file = disk.file("Collage_viewer/Collage_viewer.conf");
  const std::string before = brek_test::read_file(file);
  ASSERT_NE(before.find("Single_always"), std::string::npos);
  // Everything else fills the disk.
  fill_disk(disk.path());
  b.menu("SINGLE_ALWAYS");
  b.menu("SINGLE_ALWAYS");
  EXPECT_TRUE(b.v->collage->single_always);
  ASSERT_EQ(settings_messages(b.messages), 1);
  EXPECT_NE(b.last_message().find("No space left on device"), std::string::npos) << b.last_message();
  EXPECT_EQ(brek_test::read_file(file), before);
}
