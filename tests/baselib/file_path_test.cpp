#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "baselib/file_path.h"
#include "runtime/clock.h"
#include "tests/support/entry_changes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tmpfs_mount.h"

using namespace brek;
using brek_test::read_file;
using brek_test::Env_guard;
using brek_test::Temp_dir;
using brek_test::write_file;

namespace {

std::set<std::string> listing(const std::string& dir) {
  DynAStr list;
  File_path::list_directory(dir, list);
  return std::set<std::string>(list.begin(), list.end());
}

struct stat lstat_of(const std::string& p) {
  struct stat st {};
  ::lstat(p.c_str(), &st);
  return st;
}

// Names that are ordinary on Linux but were separators or list marks
// elsewhere.
const std::vector<std::string> kOddNames = {"semi;colon.jpg", "co:lon.jpg", "back\\slash.jpg",
                                            "with blank.png", "\xC3\xBCml\xC3\xA4ut \xE6\x97\xA5.jpg"};

}  // namespace

TEST(FilePathNames, OnlySlashSeparates) {
  EXPECT_EQ(File_path::directory_of("/home/u/b:c\\d.jpg"), "/home/u/");
  EXPECT_EQ(File_path::name_of("/home/u/b:c\\d.jpg"), "b:c\\d.jpg");
  EXPECT_EQ(File_path::directory_of("c:\\photo.jpg"), "");
  EXPECT_EQ(File_path::name_of("c:\\photo.jpg"), "c:\\photo.jpg");
  EXPECT_EQ(File_path::name_of("/home/u/dir/"), "");
  EXPECT_EQ(File_path::directory_of("/"), "/");
}

TEST(FilePathNames, ExtensionsBelongToTheNamePart) {
  EXPECT_EQ(File_path::extension_of("/a/x.tar.gz"), ".gz");
  EXPECT_EQ(File_path::extension_of("/a/photo.JPG"), ".JPG");
  EXPECT_EQ(File_path::extension_of("noext"), "");
  // A dot in a directory name is no extension of the file inside it.
  EXPECT_EQ(File_path::extension_of("/home/u/my.photos/readme"), "");
  EXPECT_EQ(File_path::change_extension("/home/u/my.photos/readme", ".bmp"), "/home/u/my.photos/readme.bmp");
  EXPECT_EQ(File_path::change_extension("/a/b.jpg.part", ""), "/a/b.jpg");
  EXPECT_EQ(File_path::change_extension("/a/b.jpg", ".gif"), "/a/b.gif");
  EXPECT_EQ(File_path::without_trailing_separator("/a//"), "/a");
  EXPECT_EQ(File_path::without_trailing_separator("/"), "/");
}

TEST(FilePathExistence, FilesDirectoriesAndLinks) {
  Temp_dir t;
  ASSERT_TRUE(write_file(t.file("f.jpg"), "x"));
  std::filesystem::create_directory(t.file("d"));
  ::symlink("d", t.file("dlink").c_str());
  ::symlink("missing", t.file("dangling").c_str());

  EXPECT_TRUE(File_path::file_exists(t.file("f.jpg")));
  EXPECT_FALSE(File_path::file_exists(t.file("d")));
  EXPECT_FALSE(File_path::file_exists(""));
  EXPECT_FALSE(File_path::file_exists(t.file("dangling")));
  EXPECT_TRUE(File_path::directory_exists(t.file("d")));
  EXPECT_TRUE(File_path::directory_exists(t.file("d") + "/"));
  EXPECT_TRUE(File_path::directory_exists(t.file("dlink")));
  EXPECT_FALSE(File_path::directory_exists(t.file("f.jpg")));
  EXPECT_FALSE(File_path::directory_exists(""));
  EXPECT_EQ(File_path::last_error(), ENOENT);
}

TEST(FilePathListing, HiddenOddNamesAndLinks) {
  Temp_dir t;
  for (const std::string& n : kOddNames) ASSERT_TRUE(write_file(t.file(n), n));
  ASSERT_TRUE(write_file(t.file(".hidden"), "h"));
  std::filesystem::create_directory(t.file("sub"));
  ASSERT_TRUE(write_file(t.file("sub/inner.gif"), "g"));
  ::symlink(".", t.file("sub/loop").c_str());  // a link to its own directory
  ::symlink("sub", t.file("sublink").c_str());
  ::symlink(".hidden", t.file("flink").c_str());

  std::set<std::string> want(kOddNames.begin(), kOddNames.end());
  want.insert({".hidden", "sub/", "sublink", "flink"});
  EXPECT_EQ(listing(t.path()), want);
  EXPECT_EQ(listing(t.path() + "/"), want);

  // A walk that descends into every name ending with "/" ends.
  std::vector<std::string> todo = {t.path() + "/"};
  int files = 0, dirs = 0;
  while (!todo.empty() && dirs < 100) {
    std::string dir = todo.back();
    todo.pop_back();
    ++dirs;
    for (const std::string& n : listing(dir)) {
      if (n.ends_with('/')) todo.push_back(dir + n);
      else ++files;
    }
  }
  EXPECT_EQ(dirs, 2);
  EXPECT_EQ(files, static_cast<int>(kOddNames.size()) + 3 + 2);

  DynAStr list;
  list.append("stale");
  File_path::list_directory_2(list, t.file("no such dir"));
  EXPECT_EQ(list.count(), 0);
}

TEST(FilePathInfo, SizeTimesAndAttributes) {
  Temp_dir t;
  // One hour east of Greenwich, whatever the machine's zone.
  struct Offset_guard {
    Offset_guard() { Brek_runtime::set_local_offset_source([](int64_t) { return int64_t{3600000}; }); }
    ~Offset_guard() { Brek_runtime::set_local_offset_source({}); }
  } offset;
  ASSERT_TRUE(write_file(t.file("f.jpg"), std::string(3000, 'a')));
  // 14 November 2023 22:13:20.250 UTC; on the day scale the Unix epoch is
  // day 25569, and local time is an hour later.
  struct timespec times[2] = {{1700000000, 250000000}, {1700000000, 250000000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, t.file("f.jpg").c_str(), times, 0), 0);

  File_path::File_info info = File_path::file_info(t.file("f.jpg"));
  const double epoch = 25569.0 * 86400000.0 + 3600000.0;
  EXPECT_EQ(info.size, 3000);
  EXPECT_EQ(info.modified, epoch + 1700000000250.0);
  EXPECT_EQ(info.accessed, epoch + 1700000000250.0);
  EXPECT_GT(info.created, epoch);  // birth time, or the modification time
  EXPECT_EQ(info.attributes, File_path::ATTR_NORMAL);

  ASSERT_TRUE(write_file(t.file(".dot"), ""));
  EXPECT_EQ(File_path::file_info(t.file(".dot")).attributes, File_path::ATTR_HIDDEN);
  std::filesystem::create_directory(t.file("d"));
  EXPECT_EQ(File_path::file_info(t.file("d") + "/").attributes, File_path::ATTR_DIRECTORY);
  ::symlink("f.jpg", t.file("link").c_str());
  File_path::File_info via_link = File_path::file_info(t.file("link"));
  EXPECT_EQ(via_link.attributes, File_path::ATTR_SYMLINK);
  EXPECT_EQ(via_link.size, 3000);

  File_path::File_info none = File_path::file_info(t.file("missing"));
  EXPECT_EQ(none.attributes, 0);
  EXPECT_EQ(none.size, 0);
  EXPECT_EQ(none.modified, 0);
  File_path::File_info stale;
  stale.size = 5;
  EXPECT_FALSE(File_path::file_info("", stale));
  EXPECT_EQ(stale.size, 0);
}

TEST(FilePathInfo, FarOffTimesStayFarOff) {
  // Some file systems (tmpfs) keep times far beyond any calendar; such a
  // file must not turn into one of the distant past.
  std::string f = "/dev/shm/collage-time-" + std::to_string(::getpid());
  if (!write_file(f, "x")) GTEST_SKIP() << "no tmpfs at /dev/shm";
  const int64_t far = INT64_MAX / 1000 + 5;
  struct timespec times[2] = {{-far, 0}, {far, 0}};
  struct stat st {};
  if (::utimensat(AT_FDCWD, f.c_str(), times, 0) != 0 || ::stat(f.c_str(), &st) != 0 ||
      st.st_mtim.tv_sec != far) {
    ::unlink(f.c_str());
    GTEST_SKIP() << "the file system cuts file times";
  }
  File_path::File_info info = File_path::file_info(f);
  ::unlink(f.c_str());
  EXPECT_GT(info.modified, 9e18);
  EXPECT_LT(info.accessed, -9e18);
}

TEST(FilePathAttributes, ReadOnlyLetterNeverOpensTheFileToOthers) {
  Temp_dir t;
  ASSERT_TRUE(write_file(t.file("f"), "x"));
  ::chmod(t.file("f").c_str(), 0644);
  EXPECT_TRUE(File_path::set_attributes(t.file("f"), "RWX|RWX|RWX"));
  EXPECT_EQ(lstat_of(t.file("f")).st_mode & 0777, 0444u);
  EXPECT_EQ(File_path::file_info(t.file("f")).attributes, File_path::ATTR_READONLY);
  EXPECT_TRUE(File_path::set_attributes(t.file("f"), "H"));
  EXPECT_EQ(lstat_of(t.file("f")).st_mode & 0777, 0644u);
  // The kind the path promises must match.
  EXPECT_FALSE(File_path::set_attributes(t.file("f") + "/", "R"));
  std::filesystem::create_directory(t.file("d"));
  EXPECT_FALSE(File_path::set_attributes(t.file("d"), "R"));
  EXPECT_FALSE(File_path::set_attributes(t.file("missing"), "R"));
}

TEST(FilePathSizeText, Thresholds) {
  EXPECT_EQ(File_path::size_text(0), "0 Bytes");
  EXPECT_EQ(File_path::size_text(1023), "1023 Bytes");
  EXPECT_EQ(File_path::size_text(1024), "1 KBytes");
  EXPECT_EQ(File_path::size_text(1536), "1.5 KBytes");
  EXPECT_EQ(File_path::size_text(2048), "2 KBytes");
  EXPECT_EQ(File_path::size_text(943718), "921.5 KBytes");  // cut, not rounded
  EXPECT_EQ(File_path::size_text(943719), "0.90 MBytes");
  EXPECT_EQ(File_path::size_text(966367641), "921.59 MBytes");
  EXPECT_EQ(File_path::size_text(966367642), "0.90 GBytes");
  EXPECT_EQ(File_path::size_text(824633720831.0), "767.99 GBytes");
  EXPECT_EQ(File_path::size_text(824633720832.0), "0.75 TBytes");
  EXPECT_EQ(File_path::size_text(844424930131968.0), "0.75 PBytes");
  EXPECT_EQ(File_path::size_text(864691128455135232.0), "0.75 HBytes");
  EXPECT_EQ(File_path::size_text(1e30), "867361737988.40 HBytes");
}

// ---- deleting --------------------------------------------------------------

class FilePathTrash : public ::testing::Test {
 protected:
  // A data home that does not exist yet: trashing must create its trash.
  FilePathTrash() : data_home_(root_.file("data-home")), env_("XDG_DATA_HOME", data_home_) {}
  std::string trashed(const std::string& name) const { return data_home_ + "/Trash/files/" + name; }

  Temp_dir root_;
  std::string data_home_;
  Env_guard env_;
};

TEST_F(FilePathTrash, OddNamesGoToTheTrashAndNoFragmentIsTouched) {
  Temp_dir t;
  std::vector<std::string> paths;
  for (const std::string& n : kOddNames) {
    ASSERT_TRUE(write_file(t.file(n), "content of " + n));
    paths.push_back(t.file(n));
  }
  // Decoys named like the pieces of "semi;colon.jpg" when split at ";".
  ASSERT_TRUE(write_file(t.file("semi"), "keep"));
  ASSERT_TRUE(write_file(t.file("colon.jpg"), "keep"));
  std::filesystem::create_directory(t.file("dir"));
  ASSERT_TRUE(write_file(t.file("dir/in"), "x"));
  paths.push_back(t.file("dir") + "/");

  EXPECT_TRUE(File_path::delete_files(paths));
  for (const std::string& n : kOddNames) {
    EXPECT_FALSE(std::filesystem::exists(t.file(n))) << n;
    EXPECT_EQ(read_file(trashed(n)), "content of " + n) << n;
    EXPECT_TRUE(std::filesystem::exists(data_home_ + "/Trash/info/" + n + ".trashinfo")) << n;
  }
  EXPECT_TRUE(std::filesystem::exists(trashed("dir") + "/in"));
  EXPECT_EQ(read_file(t.file("semi")), "keep");
  EXPECT_EQ(read_file(t.file("colon.jpg")), "keep");
}

TEST_F(FilePathTrash, SameNameTwiceAndMissingOnes) {
  Temp_dir t;
  ASSERT_TRUE(write_file(t.file("a.jpg"), "first"));
  ASSERT_TRUE(File_path::delete_files(std::vector<std::string>{t.file("a.jpg")}));
  ASSERT_TRUE(write_file(t.file("a.jpg"), "second"));
  DynAStr list;
  list.append(t.file("missing.jpg"));
  list.append(t.file("a.jpg"));
  // One missing path fails the whole, but the others are still trashed.
  EXPECT_FALSE(File_path::delete_files(list));
  EXPECT_FALSE(std::filesystem::exists(t.file("a.jpg")));
  int copies = 0;
  for (auto& e : std::filesystem::directory_iterator(data_home_ + "/Trash/files")) {
    std::string c = read_file(e.path().string());
    copies += c == "first" || c == "second";
  }
  EXPECT_EQ(copies, 2);
  EXPECT_FALSE(File_path::delete_files(std::vector<std::string>{""}));
}

// A relative data home does not count: the trash is the one under
// $HOME/.local/share, and where that cannot be made, nothing is trashed.
TEST(FilePathTrashFallback, ARelativeDataHomeIsIgnored) {
  Temp_dir t;
  ASSERT_TRUE(write_file(t.file("keep.jpg"), "mine"));
  ASSERT_TRUE(write_file(t.file("no home"), ""));
  {
    brek_test::Working_dir in_t(t.path());
    Env_guard env("XDG_DATA_HOME", "relative-data");
    Env_guard no_home("HOME", t.file("no home"));
    EXPECT_FALSE(File_path::delete_files(std::vector<std::string>{t.file("keep.jpg")}));
    EXPECT_EQ(File_path::last_error(), ENOTDIR);
    EXPECT_EQ(read_file(t.file("keep.jpg")), "mine");
    Env_guard home("HOME", t.file("home"));
    EXPECT_TRUE(File_path::delete_files(std::vector<std::string>{t.file("keep.jpg")}));
  }
  EXPECT_EQ(read_file(t.file("home/.local/share/Trash/files/keep.jpg")), "mine");
  EXPECT_FALSE(std::filesystem::exists(t.file("relative-data")));
}

TEST(FilePathDeletePath, FilesEmptyDirectoriesAndLinksOnly) {
  Temp_dir t;
  ASSERT_TRUE(write_file(t.file("f"), "x"));
  std::filesystem::create_directories(t.file("full/inner"));
  std::filesystem::create_directory(t.file("empty"));
  ::symlink("full", t.file("link").c_str());

  EXPECT_TRUE(File_path::delete_path(t.file("f")));
  EXPECT_TRUE(File_path::delete_path(t.file("empty") + "/"));
  EXPECT_FALSE(File_path::delete_path(t.file("full")));
  EXPECT_TRUE(File_path::delete_path(t.file("link") + "/"));  // the link, not its target
  EXPECT_TRUE(std::filesystem::exists(t.file("full/inner")));
  EXPECT_FALSE(std::filesystem::exists(t.file("f")));
  EXPECT_FALSE(std::filesystem::exists(t.file("empty")));
  EXPECT_FALSE(File_path::delete_path(t.file("f")));
}

// ---- moving ----------------------------------------------------------------

TEST(FilePathTransfer, NeverReplacesAnExistingTarget) {
  Temp_dir t;
  ASSERT_TRUE(write_file(t.file("a.jpg"), "source"));
  ASSERT_TRUE(write_file(t.file("b.jpg"), "target"));
  EXPECT_FALSE(File_path::transfer_file(t.file("a.jpg"), t.file("b.jpg")));
  EXPECT_EQ(File_path::last_error(), EEXIST);
  EXPECT_EQ(read_file(t.file("a.jpg")), "source");
  EXPECT_EQ(read_file(t.file("b.jpg")), "target");

  // Names that differ in letter case only are different files here.
  ASSERT_TRUE(write_file(t.file("A.jpg"), "other"));
  EXPECT_FALSE(File_path::transfer_file(t.file("a.jpg"), t.file("A.jpg")));
  EXPECT_EQ(read_file(t.file("A.jpg")), "other");

  // A second hard link of the source is still another name to keep.
  ASSERT_EQ(::link(t.file("a.jpg").c_str(), t.file("hard.jpg").c_str()), 0);
  EXPECT_FALSE(File_path::transfer_file(t.file("a.jpg"), t.file("hard.jpg")));
  EXPECT_EQ(read_file(t.file("a.jpg")), "source");
  EXPECT_EQ(read_file(t.file("hard.jpg")), "source");

  std::filesystem::create_directory(t.file("emptydir"));
  std::filesystem::create_directory(t.file("dir"));
  EXPECT_FALSE(File_path::transfer_file(t.file("dir"), t.file("emptydir")));
  EXPECT_TRUE(std::filesystem::exists(t.file("dir")));
}

TEST(FilePathTransfer, RenamesAndMovesWithinAFileSystem) {
  Temp_dir t;
  ASSERT_TRUE(write_file(t.file("photo.jpg"), "p"));
  EXPECT_TRUE(File_path::transfer_file(t.file("photo.jpg"), t.file("Photo.JPG")));
  EXPECT_EQ(read_file(t.file("Photo.JPG")), "p");
  EXPECT_FALSE(std::filesystem::exists(t.file("photo.jpg")));

  std::filesystem::create_directory(t.file("target dir"));
  EXPECT_TRUE(File_path::transfer_file(t.file("Photo.JPG"), t.file("target dir/semi;co:lon.jpg")));
  EXPECT_EQ(read_file(t.file("target dir/semi;co:lon.jpg")), "p");

  EXPECT_TRUE(File_path::transfer_file(t.file("target dir") + "/", t.file("moved dir") + "/"));
  EXPECT_EQ(read_file(t.file("moved dir/semi;co:lon.jpg")), "p");

  EXPECT_TRUE(File_path::transfer_file(t.file("moved dir"), t.file("moved dir")));
  EXPECT_FALSE(File_path::transfer_file(t.file("missing"), t.file("x")));
  EXPECT_EQ(File_path::last_error(), ENOENT);
  // No scratch names are left behind.
  EXPECT_EQ(listing(t.path()), (std::set<std::string>{"moved dir/"}));
}

TEST(FilePathTransfer, AcrossFileSystems) {
  Temp_dir here;
  std::string other_base = "/dev/shm";
  struct stat a {}, b {};
  if (::stat(here.path().c_str(), &a) != 0 || ::stat(other_base.c_str(), &b) != 0 || a.st_dev == b.st_dev ||
      ::access(other_base.c_str(), W_OK) != 0)
    GTEST_SKIP() << "no second writable file system at " << other_base;
  std::string there = other_base + "/collage-move-" + std::to_string(::getpid());
  std::filesystem::create_directory(there);

  std::string big(3 << 20, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 4096);
  ASSERT_TRUE(write_file(here.file("big photo.jpg"), big));
  ::chmod(here.file("big photo.jpg").c_str(), 0640);
  struct timespec times[2] = {{1600000000, 0}, {1600000000, 123456789}};
  ASSERT_EQ(::utimensat(AT_FDCWD, here.file("big photo.jpg").c_str(), times, 0), 0);

  EXPECT_TRUE(File_path::transfer_file(here.file("big photo.jpg"), there + "/big photo.jpg"));
  EXPECT_FALSE(std::filesystem::exists(here.file("big photo.jpg")));
  EXPECT_EQ(read_file(there + "/big photo.jpg"), big);
  struct stat moved = lstat_of(there + "/big photo.jpg");
  EXPECT_EQ(moved.st_mtim.tv_sec, 1600000000);
  EXPECT_EQ(moved.st_mtim.tv_nsec, 123456789);
  EXPECT_EQ(moved.st_mode & 0777, 0640u);

  // An existing target over there is not replaced either.
  ASSERT_TRUE(write_file(here.file("again.jpg"), "new"));
  ASSERT_TRUE(write_file(there + "/again.jpg", "old"));
  EXPECT_FALSE(File_path::transfer_file(here.file("again.jpg"), there + "/again.jpg"));
  EXPECT_EQ(read_file(here.file("again.jpg")), "new");
  EXPECT_EQ(read_file(there + "/again.jpg"), "old");

  // A link moves as a link; a directory does not move across.
  ::symlink("again.jpg", here.file("link").c_str());
  EXPECT_TRUE(File_path::transfer_file(here.file("link"), there + "/link"));
  EXPECT_TRUE(S_ISLNK(lstat_of(there + "/link").st_mode));
  std::filesystem::create_directory(here.file("d"));
  EXPECT_FALSE(File_path::transfer_file(here.file("d"), there + "/d"));
  EXPECT_EQ(File_path::last_error(), EXDEV);
  EXPECT_TRUE(std::filesystem::exists(here.file("d")));

  // Nothing but the moved entries arrived.
  EXPECT_EQ(listing(there), (std::set<std::string>{"big photo.jpg", "again.jpg", "link"}));
  std::filesystem::remove_all(there);
}

// Another program saves a new version onto the source's name (a temporary
// renamed over it), or removes it, at one step of a move after the other:
// to another file system, where the source goes only after its copy
// arrived, and onto a second hard link of it, which is refused and puts
// the source back. The new version is never lost: it stays at the
// source's name, or went itself when it came before the move took
// anything. A copy made before the source was removed stays as the moved
// file.
TEST(FilePathTransfer, ASaveOntoOrARemovalOfTheSourceAtAnyStepOfAMoveLosesNothing) {
  Temp_dir here;
  brek_test::Tmpfs_mount there("1m");
  if (!there.mounted()) GTEST_SKIP() << there.failure();
  const std::string from = here.file("a.jpg"), across = there.file("a.jpg"), hard = here.file("hard.jpg");
  for (const bool removal : {false, true}) {
    for (const std::string& to : {across, hard}) {
      for (int step = 0;; ++step) {
        SCOPED_TRACE(to + (removal ? ", a removal" : ", a save") + " after step " + std::to_string(step));
        ASSERT_TRUE(write_file(from, "old"));
        if (to == hard) {
          ASSERT_EQ(::link(from.c_str(), hard.c_str()), 0);
        }
        const std::string fresh = "new " + std::to_string(step);
        bool moved = false, taken = false;
        const int steps = brek_test::with_entry_changes_held(
            [&] { moved = File_path::transfer_file(from, to); },
            [&](int done) {
              if (done != step) return;
              taken = to == hard || !there.entries().empty();
              if (removal) std::filesystem::remove(from);
              else brek_test::save_over(from, fresh);
            });
        if (steps < 0) GTEST_SKIP() << "entry changes cannot be held here (seccomp user notification)";
        if (step > steps) {
          std::filesystem::remove(to);
          break;
        }
        EXPECT_EQ(moved, to == across && (taken || !removal));
        if (removal) {
          EXPECT_EQ(read_file(to), taken ? "old" : "");
        } else if (std::filesystem::exists(from)) {
          EXPECT_EQ(read_file(from), fresh);
          EXPECT_EQ(read_file(to), "old");
        } else {
          EXPECT_EQ(read_file(to), fresh);
        }
        std::filesystem::remove(from);
        std::filesystem::remove(to);
        EXPECT_EQ(listing(here.path()), std::set<std::string>{});
        EXPECT_EQ(there.entries(), std::vector<std::string>{});
      }
    }
  }
}
