// Saves and moves that the file system refuses, on real file systems: a
// small tmpfs filled up and a read-only mount. The message says why, and
// nothing is left behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "baselib/file_path.h"
#include "platform/test_events.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"
#include "tests/viewer/viewer_input_support.h"
#include "viewer/move_to_dirs.h"

using namespace viewer_input;
namespace fs = std::filesystem;
namespace te = brek_platform::test_events;

namespace {

constexpr int VK_F2 = 113, VK_F6 = 117;

// A directory mounted again read-only at another place, unmounted in
// every case.
class Read_only_mount {
 public:
  Read_only_mount(const std::string& source, const std::string& at) : at_(at) {
    fs::create_directories(source);
    fs::create_directories(at);
    const std::string commands[] = {"mount --bind '" + source + "' '" + at + "'",
                                    "mount -o remount,ro,bind '" + at + "'"};
    for (const std::string& c : commands) {
      if (std::system((c + " 2>/dev/null").c_str()) != 0) return;
      mounts_ += 1;
    }
    ok_ = true;
  }
  ~Read_only_mount() {
    for (; mounts_ > 0; --mounts_) (void)std::system(("umount '" + at_ + "' 2>/dev/null").c_str());
  }
  Read_only_mount(const Read_only_mount&) = delete;
  Read_only_mount& operator=(const Read_only_mount&) = delete;
  bool ok() const { return ok_; }

 private:
  std::string at_;
  int mounts_ = 0;
  bool ok_ = false;
};

// A picture, a full disk and a read-only view of the folder "behind", for
// the life of the test; ok() is false where they cannot be mounted.
struct Refusing_places {
  brek_test::Temp_dir dir;
  std::string photo = dir.file("photo.bmp");
  brek_test::Tmpfs_mount full;
  Read_only_mount locked{dir.file("behind"), dir.file("locked")};
  Refusing_places() {
    picture(photo, 200, 150);
    if (full.mounted()) fill_disk(full.path());
  }
  bool ok() const { return full.mounted() && locked.ok(); }
};

std::vector<std::string> names_in(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
  return out;
}

}  // namespace

// F2 and a name on a full disk or a read-only file system: the message says
// why, the disk keeps no half-written file.
TEST(ViewerFailures, ASaveThatTheFileSystemRefusesSaysWhy) {
  Refusing_places places;
  if (!places.ok()) GTEST_SKIP() << "cannot mount a small tmpfs or a read-only folder here (needs root)";

  Input_box b;
  b.v->open_file(places.photo);
  te::answer_next_file_dialog(true, {places.full.file("copy.bmp")});
  b.key(VK_F2);
  EXPECT_EQ(b.last_message(), "Save operation failed: No space left on device");
  EXPECT_EQ(names_in(places.full.path()), std::vector<std::string>{"filler"});

  te::answer_next_file_dialog(true, {places.dir.file("locked/copy.bmp")});
  b.key(VK_F2);
  EXPECT_EQ(b.last_message(), "Save operation failed: Read-only file system");
  EXPECT_TRUE(fs::is_empty(places.dir.file("behind")));
  EXPECT_EQ(b.messages.size(), 2u);
}

// A digit in the "Move to dir" window towards a full disk or a read-only
// file system: the message says why and the picture stays where it was.
TEST(ViewerFailures, AMoveThatTheFileSystemRefusesSaysWhy) {
  Refusing_places places;
  if (!places.ok()) GTEST_SKIP() << "cannot mount a small tmpfs or a read-only folder here (needs root)";
  const std::string& photo = places.photo;
  const char* home = std::getenv("XDG_CONFIG_HOME");
  ASSERT_TRUE(home && *home);
  fs::create_directories(std::string(home) + "/Collage_viewer");
  std::ofstream(std::string(home) + "/Collage_viewer/Collage_viewer.conf")
      << "[Move_to_dirs]\n1 = \"" << places.full.path() << "\"\n2 = \"" << places.dir.file("locked") << "\"\n";

  Input_box b;
  b.v->open_file(photo);
  b.key(VK_F6);
  Ref<C_Move_to_dirs> w = b.v->collage->move_dialog;
  ASSERT_TRUE(w->is_visible());
  auto digit = [&](int vk) {
    Event_routing::key_down(w, Ref<C_Control>(), vk, {});
    Event_routing::key_up(w, Ref<C_Control>(), vk, {});
  };
  b.messages.clear();
  C_Screen::set_own_dialog([&](const Ref<C_Form>&, const std::string& text, bool) {
    b.messages.push_back(text);
    return false;
  });
  digit('1');
  EXPECT_EQ(b.last_message(), "Move operation failed: No space left on device");
  EXPECT_EQ(names_in(places.full.path()), std::vector<std::string>{"filler"});
  digit('2');
  EXPECT_EQ(b.last_message(), "Move operation failed: Read-only file system");
  EXPECT_TRUE(fs::is_empty(places.dir.file("behind")));
  EXPECT_TRUE(File_path::file_exists(photo));
  EXPECT_EQ(b.v->current_file, photo);
  EXPECT_EQ(b.messages.size(), 2u);
}
