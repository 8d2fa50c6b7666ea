// The orders of the file list and the thumbnail and caption arrangements.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"
#include "tests/viewer/viewer_test_support.h"
#include "viewer/file_order.h"

using namespace viewer_test;

namespace {

Ref<C_Image> entry(const std::string& name, double size = 1, double modified = 0) {
  Ref<C_Image> e = C_Image::create();
  e->file_name = name;
  e->version = Image_header::File_version{size};
  e->modified.ms = modified;
  e->created.ms = -modified;
  return e;
}

std::vector<std::string> order(const Ref<Test_viewer>& v) {
  std::vector<std::string> out;
  for (const Ref<C_Image>& f : v->files) out.push_back(f->file_name);
  return out;
}

}  // namespace

TEST(FileOrder, EveryOrderComparesDirectoriesFirst) {
  Ref<C_Image> ax = entry("/t/a/x.jpg", 20, 2), ba = entry("/t/b/a.jpg", 10, 1);
  EXPECT_LT(File_order::compare(*ax, *ba, sort_by::BY_NAME, false), 0);
  EXPECT_GT(File_order::compare(*ax, *ba, sort_by::BY_NAME, true), 0);
  // Within one directory: by size, dates; by dimensions not at all.
  Ref<C_Image> a10 = entry("/t/a/big.jpg", 10, 5), a20 = entry("/t/a/small.jpg", 20, 1);
  EXPECT_LT(File_order::compare(*a10, *a20, sort_by::BY_SIZE, false), 0);
  EXPECT_GT(File_order::compare(*a10, *a20, sort_by::BY_SIZE, true), 0);
  EXPECT_GT(File_order::compare(*a10, *a20, sort_by::BY_MODIFY, false), 0);
  EXPECT_LT(File_order::compare(*a10, *a20, sort_by::BY_CREATE, false), 0);
  EXPECT_EQ(File_order::compare(*a10, *a20, sort_by::BY_DIM, false), 0);
  // Across directories the directory decides, descending reverses it.
  EXPECT_LT(File_order::compare(*ax, *ba, sort_by::BY_SIZE, false), 0);
  EXPECT_GT(File_order::compare(*ax, *ba, sort_by::BY_SIZE, true), 0);
}

TEST(FileOrder, EachDirectorySetIsSortedOnItsOwn) {
  Ref<Test_viewer> v = new_viewer();
  for (auto [n, s] : std::vector<std::pair<const char*, double>>{
           {"/t/a/1.jpg", 30}, {"/t/a/2.jpg", 10}, {"/t/a/3.jpg", 20}, {"/t/b/1.jpg", 5}, {"/t/b/2.jpg", 1}})
    v->files.append(entry(n, s));
  Ref<C_Additional_collage> c = v->collage;
  c->sort_by = sort_by::BY_SIZE;
  c->sort_files(-5);  // a negative start is the first entry
  EXPECT_EQ(order(v), (std::vector<std::string>{"/t/a/2.jpg", "/t/a/3.jpg", "/t/a/1.jpg", "/t/b/1.jpg", "/t/b/2.jpg"}));
  c->descendant = true;
  c->sort_files(3);
  EXPECT_EQ(order(v)[3], "/t/b/1.jpg");
  c->descendant = false;
  c->sort_files(3);
  EXPECT_EQ(order(v)[3], "/t/b/2.jpg");
  // A set of one changes nothing.
  v->files.append(entry("/t/c/only.jpg", 3));
  c->sort_files(5);
  EXPECT_EQ(order(v)[5], "/t/c/only.jpg");
  // The whole list by name, descending: directories reversed too.
  c->sort_by = sort_by::BY_NAME;
  c->descendant = true;
  c->sort(v->files.count());
  EXPECT_EQ(order(v).front(), "/t/c/only.jpg");
  EXPECT_EQ(order(v).back(), "/t/a/1.jpg");
}

TEST(FileOrder, SortingBySizeReadsTheSizesItSortsBy) {
  brek_test::Temp_dir t;
  Ref<Test_viewer> v = new_viewer();
  for (auto [n, bytes] : std::vector<std::pair<const char*, size_t>>{{"a.jpg", 300}, {"b.jpg", 100}, {"c.jpg", 200}}) {
    brek_test::write_file(t.file(n), std::string(bytes, 'x'));
    Ref<C_Image> e = C_Image::create();
    e->file_name = t.file(n);
    v->files.append(e);
  }
  v->collage->sort_by = sort_by::BY_SIZE;
  v->collage->sort_files(0);
  EXPECT_EQ(order(v), (std::vector<std::string>{t.file("b.jpg"), t.file("c.jpg"), t.file("a.jpg")}));
}

TEST(FileOrder, ThumbnailAndCaptionViewsLayTheirLinesOut) {
  Ref<Test_viewer> v = new_viewer();
  for (const char* n : {"/t/a/2.jpg", "/t/a/1.jpg", "/t/b/1.jpg"}) v->files.append(entry(n));
  Ref<C_Additional_collage> c = v->collage;
  c->sort_by = sort_by::BY_NAME;
  c->mode_view = mode_view::THUMB;
  c->thumb_w = 100;
  c->thumb_h = 80;
  EXPECT_TRUE(c->layout_set());
  const double gap = double(C_Canvas::to_device_pixels(30));
  // The first set sorted too, a gap before the second set only.
  EXPECT_EQ(order(v)[0], "/t/a/1.jpg");
  EXPECT_DOUBLE_EQ(v->files.get(0)->rect.y, 0);
  EXPECT_DOUBLE_EQ(v->files.get(1)->rect.y, 80);
  EXPECT_DOUBLE_EQ(v->files.get(2)->rect.y, 160 + gap);
  EXPECT_DOUBLE_EQ(v->files.get(2)->rect.w, 100);
  EXPECT_DOUBLE_EQ(v->layout_bottom, 240 + gap);
  EXPECT_EQ(v->laid_out_count, 3);
  c->mode_view = mode_view::CAPTIONS;
  EXPECT_TRUE(c->layout_set());
  const double line = double(C_Canvas::to_device_pixels(10)), space = double(C_Canvas::to_device_pixels(3));
  // A cell is never lower than 16 pixels.
  EXPECT_DOUBLE_EQ(v->files.get(1)->rect.y, std::max(16.0, line) + space);
  // The collage lays itself out: nothing set here.
  c->mode_view = mode_view::COLLAGE;
  EXPECT_FALSE(c->layout_set());
}

TEST(FileOrder, ByNameKeepsEachFoldersImagesTogether) {
  Ref<Test_viewer> v = new_viewer();
  for (const char* n : {"/t/a/z.jpg", "/t/a/m/c.jpg", "/t/a/b.jpg", "/t/b/a.jpg"}) v->files.append(entry(n));
  Ref<C_Additional_collage> c = v->collage;
  c->sort_by = sort_by::BY_NAME;
  c->sort(v->files.count());
  EXPECT_EQ(order(v), (std::vector<std::string>{"/t/a/b.jpg", "/t/a/z.jpg", "/t/a/m/c.jpg", "/t/b/a.jpg"}));
  c->descendant = true;
  c->sort(v->files.count());
  EXPECT_EQ(order(v), (std::vector<std::string>{"/t/b/a.jpg", "/t/a/m/c.jpg", "/t/a/z.jpg", "/t/a/b.jpg"}));
}
