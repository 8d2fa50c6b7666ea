// Delete in the viewer, read back from the trash as a file manager reads
// it: the records are parsed here by the freedesktop trash format alone.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "tests/support/entry_changes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"
#include "tests/viewer/viewer_input_support.h"

using namespace viewer_input;
namespace fs = std::filesystem;

namespace {

constexpr int VK_DELETE = 46;

struct Trash_record {
  std::string path;  // as the user will get it back
  bool relative = false;
  time_t deleted = -1;
};

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The "[Trash Info]" group of a record: Path escaped as in URLs, relative
// to the trash's top directory unless absolute; DeletionDate in local time.
Trash_record read_record(const std::string& info_file, const std::string& top) {
  std::istringstream in(brek_test::read_file(info_file));
  Trash_record r;
  bool group = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] == '[') {
      group = line == "[Trash Info]";
      continue;
    }
    const size_t eq = line.find('=');
    if (!group || eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "Path") {
      std::string p;
      for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size() && hex_digit(value[i + 1]) >= 0 && hex_digit(value[i + 2]) >= 0) {
          p += static_cast<char>(hex_digit(value[i + 1]) * 16 + hex_digit(value[i + 2]));
          i += 2;
        } else {
          p += value[i];
        }
      }
      r.relative = !p.empty() && p[0] != '/';
      r.path = r.relative ? top + "/" + p : p;
    } else if (key == "DeletionDate") {
      std::tm tm{};
      const char* end = strptime(value.c_str(), "%Y-%m-%dT%H:%M:%S", &tm);
      tm.tm_isdst = -1;
      if (end && *end == 0) r.deleted = std::mktime(&tm);
    }
  }
  return r;
}

// Every record of a trash directory, by the name its file has in files/.
std::map<std::string, Trash_record> records_of(const std::string& trash, const std::string& top) {
  std::map<std::string, Trash_record> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(trash + "/info", ec)) {
    const std::string name = e.path().filename().string();
    const std::string suffix = ".trashinfo";
    if (name.size() <= suffix.size() || name.substr(name.size() - suffix.size()) != suffix) continue;
    out[name.substr(0, name.size() - suffix.size())] = read_record(e.path().string(), top);
  }
  return out;
}

// Opens each file in the viewer and presses Delete on it; gives back each
// file's bytes by its path.
std::map<std::string, std::string> delete_in_viewer(Input_box& b, const std::vector<std::string>& paths) {
  std::map<std::string, std::string> bytes;
  for (const std::string& p : paths) {
    picture(p);
    bytes[p] = brek_test::read_file(p);
    b.v->open_file(p);
    b.key(VK_DELETE);
    EXPECT_FALSE(fs::exists(fs::symlink_status(p))) << p;
  }
  EXPECT_TRUE(b.messages.empty()) << b.last_message();
  return bytes;
}

// Each deleted file lies in files/ under its record's name; the record gives
// back its path, relative to a top if any, and a deletion time between the two.
void expect_restorable(const std::string& trash, const std::string& top,
                       const std::map<std::string, std::string>& deleted, time_t from, time_t to) {
  std::set<std::string> restored;
  for (const auto& [name, r] : records_of(trash, top)) {
    ASSERT_EQ(deleted.count(r.path), 1u) << r.path;
    EXPECT_EQ(brek_test::read_file(trash + "/files/" + name), deleted.at(r.path)) << r.path;
    EXPECT_EQ(r.relative, !top.empty()) << r.path;
    EXPECT_GE(r.deleted, from) << r.path;
    EXPECT_LE(r.deleted, to) << r.path;
    restored.insert(r.path);
  }
  EXPECT_EQ(restored.size(), deleted.size());
}

// The file opened in the viewer and Delete pressed, which fails: the
// message it shows (taken away).
std::string delete_failure(Input_box& b, const std::string& path) {
  b.messages.clear();
  b.v->open_file(path);
  b.key(VK_DELETE);
  EXPECT_TRUE(fs::exists(fs::symlink_status(path))) << path;
  const std::string shown = b.last_message();
  b.messages.clear();
  return shown;
}

// Local time far from UTC, so a date written in UTC would show.
class Far_time_zone {
 public:
  Far_time_zone() { tzset(); }

 private:
  struct Reread {
    ~Reread() { tzset(); }
  } reread_;  // last to go, after the variable is restored
  brek_test::Env_guard env_{"TZ", "XYZ+11"};
};

}  // namespace

TEST(ViewerTrash, RecordsOfTheHomeTrashGiveBackEveryName) {
  Far_time_zone zone;
  Input_box b;
  brek_test::Temp_dir dir;
  std::vector<std::string> paths;
  for (const char* n : {"50%41.bmp", "fo ur.bmp", "five&<six>.bmp", "new\nline.bmp", "bad \xFF\xFE.bmp",
                        "quote\"'#?.bmp"})
    paths.push_back(dir.file(n));
  const time_t from = std::time(nullptr);
  const auto deleted = delete_in_viewer(b, paths);
  const time_t to = std::time(nullptr);
  expect_restorable(std::string(std::getenv("XDG_DATA_HOME")) + "/Trash", "", deleted, from, to);
}

TEST(ViewerTrash, AFileOnAnotherFileSystemGoesToTheTrashOfItsTopDirectory) {
  brek_test::Tmpfs_mount disk;
  if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
  Far_time_zone zone;
  Input_box b;
  fs::create_directory(disk.file("sub dir"));
  const time_t from = std::time(nullptr);
  const auto first = delete_in_viewer(b, {disk.file("sub dir/a b%20.bmp"), disk.file("x\ny&.bmp")});
  time_t to = std::time(nullptr);
  const std::string own = disk.file(".Trash-" + std::to_string(::getuid()));
  EXPECT_EQ(fs::status(own).permissions(), fs::perms::owner_all);
  expect_restorable(own, disk.path(), first, from, to);

  // A shared trash set up by the administrator comes first.
  fs::create_directory(disk.file(".Trash"));
  fs::permissions(disk.file(".Trash"), fs::perms::all | fs::perms::sticky_bit);
  const auto second = delete_in_viewer(b, {disk.file("sub dir/c%.bmp")});
  to = std::time(nullptr);
  expect_restorable(disk.file(".Trash/" + std::to_string(::getuid())), disk.path(), second, from, to);
  EXPECT_EQ(records_of(own, disk.path()).size(), first.size());
}

// NFS and FUSE file systems such as sshfs refuse the flag that keeps a
// rename from replacing: Delete still trashes there.
TEST(ViewerTrash, AFileSystemWithoutNoReplaceRenamesStillTakesDeletes) {
  brek_test::Bindfs_mount disk;
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  Input_box b;
  const time_t from = std::time(nullptr);
  const auto deleted = delete_in_viewer(b, {disk.file("one.bmp"), disk.file("two&.bmp")});
  const time_t to = std::time(nullptr);
  expect_restorable(disk.file(".Trash-" + std::to_string(::getuid())), disk.path(), deleted, from, to);
}

// A folder bound to a second place (a container's or sandbox's view, an
// fstab bind) is another mount of the home's own file system, which no
// rename leaves: Delete takes the trash at the top of that mount, whose
// records name the files where the user saw them, unless the home itself
// is reached through the mount. Read-only there, Delete says so and the
// folder stays as it was.
TEST(ViewerTrash, AFileInABindMountGoesToATrashOnItsOwnMount) {
  brek_test::Bind_mount bound, read_only(true);
  if (!bound.mounted() || !read_only.mounted()) GTEST_SKIP() << bound.failure() << read_only.failure();
  Input_box b;
  const std::string uid = std::to_string(::getuid()), home_trash = std::string(std::getenv("XDG_DATA_HOME")) + "/Trash";
  fs::create_directory(bound.file("sub dir"));
  time_t from = std::time(nullptr);
  const auto deleted = delete_in_viewer(b, {bound.file("sub dir/a b.bmp"), bound.file("c%.bmp")});
  expect_restorable(bound.file(".Trash-" + uid), bound.path(), deleted, from, std::time(nullptr));
  EXPECT_EQ(brek_test::entries_of(home_trash + "/files"), std::vector<std::string>{});

  {
    brek_test::Env_guard data("XDG_DATA_HOME", bound.file("data"));
    from = std::time(nullptr);
    const auto at_home = delete_in_viewer(b, {bound.file("sub dir/d.bmp")});
    expect_restorable(bound.file("data/Trash"), "", at_home, from, std::time(nullptr));
  }

  picture(read_only.source_file("e.bmp"));
  EXPECT_EQ(delete_failure(b, read_only.file("e.bmp")), "Delete file operation failed: Read-only file system");
  EXPECT_EQ(read_only.entries(), std::vector<std::string>{"e.bmp"});
  EXPECT_EQ(brek_test::entries_of(home_trash + "/info"), std::vector<std::string>{});
}

// A folder linked to another file system (~/Pictures -> /data/Pictures):
// the file goes to the trash of the file system that holds it, and none is
// made where the link lies. A linked file goes as the link.
TEST(ViewerTrash, AFileInALinkedFolderGoesToTheTrashOfItsOwnFileSystem) {
  brek_test::Tmpfs_mount home, data;
  if (!home.mounted() || !data.mounted()) GTEST_SKIP() << home.failure() << data.failure();
  Input_box b;
  fs::create_directory(data.file("Pictures"));
  fs::create_directory_symlink(data.file("Pictures"), home.file("Pictures"));
  picture(data.file("elsewhere.bmp"));
  fs::create_symlink(data.file("elsewhere.bmp"), data.file("Pictures/linked.bmp"));
  const time_t from = std::time(nullptr);
  const auto opened = delete_in_viewer(b, {home.file("Pictures/a b.bmp")});
  b.v->open_file(home.file("Pictures/linked.bmp"));
  b.key(VK_DELETE);
  const time_t to = std::time(nullptr);
  EXPECT_TRUE(b.messages.empty()) << b.last_message();

  const std::string trash = data.file(".Trash-" + std::to_string(::getuid()));
  const std::map<std::string, std::string> deleted = {
      {data.file("Pictures/a b.bmp"), opened.begin()->second},
      {data.file("Pictures/linked.bmp"), brek_test::read_file(data.file("elsewhere.bmp"))}};
  expect_restorable(trash, data.path(), deleted, from, to);
  EXPECT_TRUE(fs::is_symlink(trash + "/files/linked.bmp"));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(data.file("elsewhere.bmp"))));
  EXPECT_EQ(home.entries(), std::vector<std::string>{"Pictures"});
}

// Delete on a file in a trash (its files folder browsed in the viewer) fails
// as any failed delete does: the file stays there with its one record.
TEST(ViewerTrash, AFileInATrashStaysThereWithItsRecord) {
  Input_box b;
  brek_test::Temp_dir dir;
  brek_test::Tmpfs_mount disk;
  const std::string uid = std::to_string(::getuid());
  struct Case {
    std::string file, trash, top;
  };
  std::vector<Case> cases = {{dir.file("home.bmp"), std::string(std::getenv("XDG_DATA_HOME")) + "/Trash", ""}};
  if (disk.mounted()) {
    cases.push_back({disk.file("own.bmp"), disk.file(".Trash-" + uid), disk.path()});
    cases.push_back({disk.file("shared.bmp"), disk.file(".Trash/" + uid), disk.path()});
  }
  for (const Case& c : cases) {
    if (c.trash == disk.file(".Trash/" + uid)) {
      fs::create_directory(disk.file(".Trash"));
      fs::permissions(disk.file(".Trash"), fs::perms::all | fs::perms::sticky_bit);
    }
    const time_t from = std::time(nullptr);
    const auto deleted = delete_in_viewer(b, {c.file});
    const std::string name = fs::path(c.file).filename().string();
    EXPECT_EQ(delete_failure(b, c.trash + "/files/" + name), "Delete file operation failed: Operation not permitted")
        << c.trash;
    expect_restorable(c.trash, c.top, deleted, from, std::time(nullptr));
    EXPECT_EQ(brek_test::entries_of(c.trash + "/files"), std::vector<std::string>{name}) << c.trash;
  }
}

// Where the trash cannot take the file, Delete says why as the system
// gives it, and the file and its file system stay as they were: no trash
// folders are left where a record could not be written, nor the home's
// folders made for the attempt on a fresh account.
TEST(ViewerTrash, AFailedDeleteSaysWhyAndLeavesNothingBehind) {
  brek_test::Tmpfs_mount full, read_only;
  if (!full.mounted() || !read_only.mounted()) GTEST_SKIP() << full.failure() << read_only.failure();
  Input_box b;
  picture(full.file("a.bmp"));
  fill_disk(full.path());
  EXPECT_EQ(delete_failure(b, full.file("a.bmp")), "Delete file operation failed: No space left on device");
  EXPECT_EQ(full.entries(), (std::vector<std::string>{"a.bmp", "filler"}));

  picture(read_only.file("b.bmp"));
  ASSERT_TRUE(read_only.make_read_only());
  brek_test::Temp_dir homes;
  brek_test::Env_guard no_data("XDG_DATA_HOME", nullptr), home("HOME", homes.file("new/home"));
  EXPECT_EQ(delete_failure(b, read_only.file("b.bmp")), "Delete file operation failed: Read-only file system");
  EXPECT_EQ(read_only.entries(), std::vector<std::string>{"b.bmp"});
  EXPECT_EQ(brek_test::entries_of(homes.path()), std::vector<std::string>{});
}

// Another program saves a new version onto the name while Delete takes it
// (a temporary renamed over it before the trash does): the new version
// stays in place, and Delete says so in words.
TEST(ViewerTrash, ANewVersionSavedDuringADeleteStaysAndDeleteSaysWhy) {
  Input_box b;
  brek_test::Temp_dir dir;
  const std::string path = dir.file("a.bmp");
  picture(path);
  b.v->open_file(path);
  const int steps = brek_test::with_entry_changes_held([&] { b.key(VK_DELETE); },
                                                       [&](int done) {
                                                         if (done == 0) brek_test::save_over(path, "new");
                                                       });
  if (steps < 0) GTEST_SKIP() << "entry changes cannot be held here (seccomp user notification)";
  EXPECT_EQ(b.last_message(),
            "Delete file operation failed: Another program changed the file meanwhile; it was left in place");
  EXPECT_EQ(brek_test::read_file(path), "new");
  EXPECT_EQ(brek_test::entries_of(std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/files"),
            std::vector<std::string>{});
}

// A home trash moved elsewhere and linked back, as users do to keep it on
// another disk: Delete follows the link to the user's own folder, and
// refuses a link to a folder of another user.
TEST(ViewerTrash, AHomeTrashThatIsALinkToAFolderOfTheUsersTakesDeletes) {
  Input_box b;
  brek_test::Temp_dir dir, elsewhere;
  const std::string home_trash = std::string(std::getenv("XDG_DATA_HOME")) + "/Trash";
  fs::create_directory(elsewhere.file("Trash"));
  fs::create_directory_symlink(elsewhere.file("Trash"), home_trash);
  const time_t from = std::time(nullptr);
  const auto deleted = delete_in_viewer(b, {dir.file("a.bmp")});
  expect_restorable(elsewhere.file("Trash"), "", deleted, from, std::time(nullptr));
  EXPECT_TRUE(fs::is_symlink(home_trash));

  if (::getuid() != 0) GTEST_SKIP() << "a folder of another user needs root";
  fs::remove(home_trash);
  fs::create_directory(elsewhere.file("theirs"));
  ASSERT_EQ(::chown(elsewhere.file("theirs").c_str(), 65534, 65534), 0);
  fs::create_directory_symlink(elsewhere.file("theirs"), home_trash);
  picture(dir.file("b.bmp"));
  EXPECT_EQ(delete_failure(b, dir.file("b.bmp")), "Delete file operation failed: Permission denied");
  EXPECT_TRUE(fs::is_empty(elsewhere.file("theirs")));
}

// A shared trash at the top of a file system is used only where others
// cannot take the user's entries out of it: a folder that is not sticky,
// or a link (to a sticky folder too), is passed by for the user's own.
TEST(ViewerTrash, ASharedTrashThatIsNotStickyOrIsALinkIsPassedBy) {
  brek_test::Tmpfs_mount disk;
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  Input_box b;
  const std::string uid = std::to_string(::getuid()), own = disk.file(".Trash-" + uid);
  fs::create_directory(disk.file(".Trash"));
  fs::permissions(disk.file(".Trash"), fs::perms::all);
  const time_t from = std::time(nullptr);
  auto deleted = delete_in_viewer(b, {disk.file("a.bmp")});
  fs::remove_all(disk.file(".Trash"));
  fs::create_directory(disk.file("sticky"));
  fs::permissions(disk.file("sticky"), fs::perms::all | fs::perms::sticky_bit);
  fs::create_directory_symlink("sticky", disk.file(".Trash"));
  deleted.merge(delete_in_viewer(b, {disk.file("b.bmp")}));
  expect_restorable(own, disk.path(), deleted, from, std::time(nullptr));
  EXPECT_TRUE(fs::is_empty(disk.file("sticky")));
}

// Deleted pictures are not shown again: opening the top folder of the
// mount they were deleted on, or a folder that holds the home trash, lists
// no trash: neither the mount's own, nor a shared one, nor another
// user's, nor the home trash, also where its link leads.
TEST(ViewerTrash, NoListingShowsTheTrash) {
  brek_test::Tmpfs_mount disk;
  if (!disk.mounted()) GTEST_SKIP() << disk.failure();
  brek_test::Temp_dir home;
  Input_box b;
  auto listed = [&b](const std::string& top) {
    Ref<Test_viewer> v = show_folder(b, top, 20);
    std::vector<std::string> names;
    for (const Ref<C_Image>& f : v->files) names.push_back(f->file_name.substr(top.size()));
    std::sort(names.begin(), names.end());
    return names;
  };
  for (const char* kept : {"kept.bmp", "day/kept.bmp"}) picture(disk.file(kept));
  delete_in_viewer(b, {disk.file("gone.bmp"), disk.file("day/gone.bmp")});
  picture(disk.file(".Trash/1000/files/shared.bmp"));
  picture(disk.file(".Trash-1000/files/theirs.bmp"));
  EXPECT_EQ(listed(disk.path()), (std::vector<std::string>{"/day/kept.bmp", "/kept.bmp"}));

  picture(home.file("photos/kept.bmp"));
  for (const std::string data_home : {"data", "linked"}) {
    brek_test::Env_guard data("XDG_DATA_HOME", home.file(data_home));
    if (data_home == "linked") {
      fs::remove_all(home.file("data"));
      fs::create_directories(home.file("kept away"));
      fs::create_directories(home.file("linked"));
      fs::create_directory_symlink(home.file("kept away"), home.file("linked/Trash"));
    }
    delete_in_viewer(b, {home.file("photos/gone " + data_home + ".bmp")});
    EXPECT_EQ(listed(home.path()), std::vector<std::string>{"/photos/kept.bmp"}) << data_home;
  }
  EXPECT_TRUE(fs::exists(home.file("kept away/files/gone linked.bmp")));
}
