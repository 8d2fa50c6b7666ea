#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"
#include "viewer/open_arguments.h"

namespace O = brek::Open_arguments;
using brek::DynAStr;
using O::target_kind;

namespace {
struct Tree {
  brek_test::Temp_dir dir;
  std::string file, spaced, sub;
  Tree() {
    file = dir.file("a.jpg");
    spaced = dir.file("my  holiday photo.jpg");
    sub = dir.file("sub dir");
    brek_test::write_file(file, "x");
    brek_test::write_file(dir.file("my holiday photo.jpg"), "x");
    std::filesystem::create_directory(sub);
  }
};
}  // namespace

TEST(OpenArguments, OneArgumentIsAFileOrADirectory) {
  Tree t;
  auto r = O::resolve(DynAStr{t.file}, false);
  EXPECT_EQ(r.kind, target_kind::FILE);
  EXPECT_EQ(r.path, t.file);
  r = O::resolve(DynAStr{t.sub}, false);
  EXPECT_EQ(r.kind, target_kind::DIRECTORY);
  EXPECT_EQ(r.path, t.sub);
  // Single images only: a directory opens nothing, a file still opens.
  EXPECT_EQ(O::resolve(DynAStr{t.sub}, true).kind, target_kind::NOTHING);
  EXPECT_EQ(O::resolve(DynAStr{t.file}, true).kind, target_kind::FILE);
}

TEST(OpenArguments, UnquotedBlanksAreJoinedWithSingleBlanks) {
  Tree t;
  // "my holiday photo.jpg" given unquoted arrives as three arguments.
  auto r = O::resolve(DynAStr{t.dir.path() + "/my", "holiday", "photo.jpg"}, false);
  EXPECT_EQ(r.kind, target_kind::FILE);
  EXPECT_EQ(r.path, t.dir.file("my holiday photo.jpg"));
  r = O::resolve(DynAStr{t.dir.path() + "/sub", "dir"}, false);
  EXPECT_EQ(r.kind, target_kind::DIRECTORY);
  EXPECT_EQ(r.path, t.sub);
}

TEST(OpenArguments, AVanishedFileOrUnknownNamesOpenTheirDirectory) {
  Tree t;
  auto r = O::resolve(DynAStr{t.dir.file("gone.jpg")}, false);
  EXPECT_EQ(r.kind, target_kind::DIRECTORY);
  EXPECT_EQ(r.path, t.dir.path() + "/");
  // Joined names that are no path: the directory part of the join is tried.
  r = O::resolve(DynAStr{t.dir.path() + "/sub", "dir/gone", "too.jpg"}, false);
  EXPECT_EQ(r.kind, target_kind::DIRECTORY);
  EXPECT_EQ(r.path, t.sub + "/");
  // Two dropped files join into no path and no directory: nothing opens.
  EXPECT_EQ(O::resolve(DynAStr{t.file, t.dir.file("b.jpg")}, false).kind, target_kind::NOTHING);
  EXPECT_EQ(O::resolve(DynAStr{t.dir.file("gone.jpg")}, true).kind, target_kind::NOTHING);
  EXPECT_EQ(O::resolve(DynAStr{"/nonexistent-root-x/y.jpg"}, false).kind, target_kind::NOTHING);
  EXPECT_EQ(O::resolve(DynAStr{}, false).kind, target_kind::NOTHING);
  EXPECT_EQ(O::resolve(DynAStr{"  "}, false).kind, target_kind::NOTHING);
}
