// The directory views driven as the program drives them: the background
// tick lists a tree and lays it out to the end in every view, an idle view
// is not painted again, captions show the files' data whole, a broken
// picture does not hold up scrolling, pictures far from view go and one
// read ahead stays.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>

#include <malloc.h>

#include "images/bmp_codec.h"
#include "runtime/clock.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_input_support.h"

using namespace viewer_input;
namespace fs = std::filesystem;

namespace {

bool lists(const std::string& caption, int64_t n) {
  return caption.find("[files:" + std::to_string(n) + "]") != std::string::npos;
}

// The lowest row (device pixels) in [top, bottom) with a lit pixel between
// x0 and x1; -1 when none.
int lowest_lit_row(const Boxed& b, int x0, int x1, int top, int bottom) {
  for (int y = bottom - 1; y >= top; --y)
    for (int x = x0; x < x1; ++x)
      if (b.at(x, y) != BLACK) return y;
  return -1;
}

int64_t cells_in_view(const Ref<Test_viewer>& v, double box_h_px) {
  int64_t n = 0;
  for (const Ref<C_Image>& e : v->files)
    if (e->rect.h > 0 && e->rect.y <= v->scroll_y + box_h_px && e->rect.y + e->rect.h >= v->scroll_y) ++n;
  return n;
}

// The lowest bottom of the list's cells.
double cells_bottom(const Ref<Test_viewer>& v) {
  double bottom = 0;
  for (const Ref<C_Image>& e : v->files) bottom = std::max(bottom, e->rect.y + e->rect.h);
  return bottom;
}

}  // namespace

TEST(ViewerDirectoryViews, EveryViewListsTheWholeTreeAndFollowsChanges) {
  for (mode_view mode : {mode_view::CAPTIONS, mode_view::THUMB, mode_view::COLLAGE}) {
    brek_test::Temp_dir t;
    numbered_pictures(t.file("p"), 0, 10);
    numbered_pictures(t.file("sub/deeper/q"), 0, 5);
    Boxed b(600, 400);
    Ref<Test_viewer> v = show_folder(b, t.path(), 8, mode);
    EXPECT_EQ(v->files.count(), 15) << int(mode);
    EXPECT_EQ(v->laid_out_count, 15) << int(mode);
    EXPECT_TRUE(lists(v->collage->caption, 15)) << v->collage->caption;

    // Added and deleted outside the program: found within a pass.
    picture(t.file("sub/deeper/q9.bmp"));
    fs::remove(t.file("p3.bmp"));
    ticks(v, 6);
    EXPECT_GE(v->index_of_file(t.file("sub/deeper/q9.bmp")), 0) << int(mode);
    EXPECT_LT(v->index_of_file(t.file("p3.bmp")), 0) << int(mode);
    EXPECT_EQ(v->laid_out_count, 15) << int(mode);
    for (const Ref<C_Image>& f : v->files) EXPECT_GT(f->rect.h, 0) << f->file_name;
  }
}

TEST(ViewerDirectoryViews, ACaptionShowsTheFilesSizeBytesAndDateWholeLines) {
  brek_test::Temp_dir t;
  picture(t.file("a_q.bmp"), 64, 48);
  Boxed b(600, 300);
  Ref<Test_viewer> v = show_folder(b, t.path(), 3, mode_view::CAPTIONS);
  ASSERT_EQ(v->files.count(), 1);
  b.paint();
  // The only image of its folder: no order read its header, the caption did.
  const Ref<C_Image> e = v->files.get(0);
  EXPECT_EQ(e->width, 64);
  EXPECT_EQ(e->height, 48);
  EXPECT_GT(e->file_size(), 1000);
  EXPECT_EQ(Date_time::to_text(e->modified).substr(0, 2), "20");

  // The line alone shows its descenders: the lowest lit row of its text
  // (right of where a header may come).
  const int x0 = 48, x1 = 300;
  const int alone = lowest_lit_row(b, x0, x1, 0, 60);
  ASSERT_GT(alone, 0);
  std::vector<uint32_t> row;
  for (int x = x0; x < x1; ++x) row.push_back(b.at(x, alone));
  // A line below it does not wipe that row out.
  picture(t.file("b_q.bmp"), 64, 48);
  ticks(v, 3);
  ASSERT_EQ(v->files.count(), 2);
  const double next_top = v->files.get(1)->rect.y;
  ASSERT_GT(next_top, alone);
  b.paint();
  for (int x = x0; x < x1; ++x) {
    if (row[size_t(x - x0)] != BLACK) {
      EXPECT_NE(b.at(x, alone), BLACK) << x;
    }
  }
}

namespace {

// A BMP of the picture with the 12-byte OS/2 core header (16-bit width and
// height), `pad` bytes after its rows.
std::string os2_bmp(const Pixels& p, size_t pad) {
  const std::vector<uint8_t> windows = Bmp_codec::encode24(p);
  std::string s = "BM";
  const auto le = [&s](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s.push_back(char((v >> (8 * i)) & 0xFF));
  };
  le(uint32_t(26 + windows.size() - 54 + pad), 4);
  le(0, 4);
  le(26, 4);  // the rows
  le(12, 4);
  le(uint32_t(p.width()), 2);
  le(uint32_t(p.height()), 2);
  le(1, 2);
  le(24, 2);
  s.append(windows.begin() + 54, windows.end());
  return s + std::string(pad, '\0');
}

// The caption view of a folder holding only `name` with these bytes, as
// painted.
std::vector<uint32_t> caption_painted(const std::string& dir, const std::string& bytes,
                                      fs::file_time_type modified, std::string& size) {
  fs::create_directories(dir);
  EXPECT_TRUE(brek_test::write_file(dir + "/a.bmp", bytes));
  fs::last_write_time(dir + "/a.bmp", modified);
  Boxed b(600, 200);
  Ref<Test_viewer> v = show_folder(b, dir, 3, mode_view::CAPTIONS);
  b.paint();
  const Ref<C_Image> e = v->files.get(0);
  size = std::to_string(e->width) + " x " + std::to_string(e->height);
  return b.sample(1);
}

}  // namespace

// The captions give a BMP's size as its kind of header tells it (an OS/2
// core header's 16-bit words, a top-down picture's height without its
// sign), painted as a plain BMP of that size is, and no size for a
// damaged height, as for a file whose header gives none.
TEST(ViewerDirectoryViews, CaptionsGiveTheSizeABmpsOwnKindOfHeaderTells) {
  brek_test::Temp_dir t;
  const fs::file_time_type modified = fs::file_time_type::clock::now() - std::chrono::hours(30);
  const std::vector<uint8_t> windows = Bmp_codec::encode24(quadrants(40, 30));
  std::string no_bmp = bmp_header_only(10, 30, 0);
  no_bmp[0] = 'X';
  struct Case {
    std::string what, bytes, twin, size;
  };
  const std::vector<Case> cases{
      {"OS/2", os2_bmp(quadrants(40, 30), 28), std::string(windows.begin(), windows.end()), "40 x 30"},
      {"top-down", bmp_header_only(12000, -8000, 0), bmp_header_only(12000, 8000, 0), "12000 x 8000"},
      {"height -2^31", bmp_header_only(10, INT32_MIN, 0), no_bmp, "0 x 0"},
      {"height 0", bmp_header_only(10, 0, 0), no_bmp, "0 x 0"},
      {"height 1000000", bmp_header_only(10, 1000000, 0), no_bmp, "0 x 0"}};
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(c.bytes.size(), c.twin.size());
    std::string size, twin_size;
    const std::string dir = t.file(std::to_string(n++));
    const std::vector<uint32_t> painted = caption_painted(dir + "/file", c.bytes, modified, size);
    const std::vector<uint32_t> twin = caption_painted(dir + "/twin", c.twin, modified, twin_size);
    EXPECT_EQ(size, c.size);
    EXPECT_EQ(twin_size, c.size);
    EXPECT_TRUE(painted == twin) << "the captions differ";
  }
}

TEST(ViewerDirectoryViews, AnIdleViewUnderARestingPointerIsNotPaintedAgain) {
  brek_test::Temp_dir t;
  numbered_pictures(t.file("p"), 10, 40, 320, 240);
  Input_box b;
  Ref<Test_viewer> v = show_folder(b, t.path(), 4);
  ASSERT_EQ(v->laid_out_count, 40);
  ASSERT_GT(v->layout_bottom, 600);
  const double W = v->view_width(), H = v->view_height();
  // Over a cell, below the middle of the box, and near the bottom edge
  // beside the scroll marks.
  for (point at : {point{W / 2, H / 2}, point{W / 2 + 50, H - 10}, point{W - 5, H * 0.6}}) {
    b.move(at);
    v->pointer_active_time = date_time{};
    v->on_timer();  // the file under the pointer becomes current
    b.paint();
    b.panels.invalidated.clear();
    for (int i = 0; i < 5; ++i) {
      v->pointer_active_time = date_time{};
      v->last_scan_time = Date_time::now();
      v->on_timer();
    }
    EXPECT_TRUE(b.panels.invalidated.empty()) << at.x << "," << at.y;
    EXPECT_EQ(v->pb->needs_paint, 0) << at.x << "," << at.y;
    b.paint();
  }
  // A pointer that moves on to another cell still repaints.
  b.move(point{20, 20});
  v->pointer_active_time = date_time{};
  v->on_timer();
  EXPECT_FALSE(b.panels.invalidated.empty());
}

TEST(ViewerDirectoryViews, AnUndecodablePictureDoesNotHoldUpHoverScrolling) {
  brek_test::Temp_dir t;
  brek_test::write_file(t.file("a.jpg"), "no picture in here");
  numbered_pictures(t.file("f"), 10, 24, 320, 240);
  Boxed b(600, 400);
  Ref<Test_viewer> v = show_folder(b, t.path(), 4);
  ASSERT_EQ(v->laid_out_count, 25);
  ASSERT_GT(v->layout_bottom, 400);
  v->input.pointer = point{v->view_width() / 2, v->view_height() - 14};
  b.paint();
  b.paint();
  ASSERT_TRUE(v->files.get(v->index_of_file(t.file("a.jpg")))->load_failed);
  EXPECT_TRUE(v->cells_complete);
  v->hover_step_time = Date_time::now();
  v->hover_step_time.ms -= 200;
  const double y0 = v->scroll_y;
  EXPECT_TRUE(v->hover_scroll_step());
  EXPECT_GT(v->scroll_y, y0);
}

TEST(ViewerDirectoryViews, TwentyThousandFilesInOneFolderAreLaidOutToTheEnd) {
  brek_test::Temp_dir t;
  constexpr int N = 20000;
  for (int i = 0; i < N; ++i) tiny_gif(t.file("g" + std::to_string(100000 + i) + ".gif"));
  Input_box b;
  Ref<Test_viewer> v = show_folder(b, t.path(), 0);
  ASSERT_EQ(v->files.count(), N);
  // A slice is a share of time, so a loaded machine needs more of them;
  // each goes on where the last one stopped, until the end.
  int64_t before = 0;
  int tick = 0;
  bool stalled = false;
  brek_test::wait_until([&] {
    v->on_timer();
    ++tick;
    stalled = v->laid_out_count <= before;
    before = v->laid_out_count;
    return stalled || before >= N;
  }, std::chrono::minutes(10));
  EXPECT_FALSE(stalled) << "tick " << tick << " stayed at " << before;
  EXPECT_EQ(v->laid_out_count, N);
  EXPECT_TRUE(lists(v->collage->caption, N));
  for (int64_t i = 0; i < N; i += 997) EXPECT_GT(v->files.get(i)->rect.h, 0) << i;
  // Laid out to the end: the tick has nothing left to paint.
  b.paint();
  b.panels.invalidated.clear();
  v->on_timer();
  EXPECT_TRUE(b.panels.invalidated.empty());
}

TEST(ViewerDirectoryViews, PicturesFarFromViewAreReleasedAndTheirMemoryGivenBack) {
  brek_test::Temp_dir t;
  // A large photograph first: its decode frees a big buffer early, as
  // opening real photographs does.
  picture(t.file("f000.bmp"), 2400, 1600);
  numbered_pictures(t.file("f"), 100, 120, 320, 240);
  Boxed b(800, 600);
  Ref<Test_viewer> v = show_folder(b, t.path(), 4);
  ASSERT_EQ(v->laid_out_count, 121);
  const double box_h = 600;
  b.paint();
  // Whatever earlier work left in the heap's free lists is not counted.
  malloc_trim(0);
  const int64_t start = resident();
  // To the end a screen at a time, reading ahead, then back to the top.
  v->scroll_pending = true;
  for (double y = 0; y < v->layout_bottom; y += box_h) {
    v->scroll_y = std::min(y, v->layout_bottom - box_h);
    b.paint();
  }
  v->scroll_pending = false;
  const int64_t peak = resident();
  ASSERT_GT(pictures_held(v), 100);
  // A sanitizer's allocator hands back what earlier tests of the process
  // freed, so the growth is only read where resident size counts.
  if (RESIDENT_SIZE_COUNTS) {
    ASSERT_GT(peak - start, 20 << 20);
  }
  // Back at the top; the view then rests and is not painted again.
  v->scroll_y = 0;
  b.paint();
  for (int i = 0; i < 60; ++i) {
    v->last_scan_time = Date_time::now();
    v->on_timer();
  }
  EXPECT_LE(pictures_held(v), cells_in_view(v, box_h));
  // What the far pictures held goes back to the system.
  if (RESIDENT_SIZE_COUNTS) {
    EXPECT_LT(resident() - start, (peak - start) / 3);
  }
}

// While the view scrolls smoothly, each paint reads the next picture below
// the view ahead; it is not released as a far picture before its cell
// comes into view.
TEST(ViewerDirectoryViews, APictureReadAheadIsKeptUntilItsCellComesIntoView) {
  brek_test::Temp_dir t;
  numbered_pictures(t.file("f"), 100, 60, 320, 240);
  Boxed b(800, 600);
  Ref<Test_viewer> v = show_folder(b, t.path(), 4);
  ASSERT_EQ(v->laid_out_count, 60);
  v->scroll_pending = true;
  b.paint();
  const int64_t next = v->collage->last_painted_index + 1;
  const Ref<C_Image> ahead = v->files.get(next);
  ASSERT_GT(ahead->rect.y, v->scroll_y + 600);
  EXPECT_FALSE(ahead->picture.is_none() && ahead->reduced.is_none());
  b.paint();
  EXPECT_FALSE(ahead->picture.is_none() && ahead->reduced.is_none());
}

// Deleting the file of a row of its own takes that row off: the view does
// not scroll on into a band where nothing is left: the last file of a
// directory, the first of a later one, the last of all.
TEST(ViewerDirectoryViews, DeletingTheFileOfARowOfItsOwnTakesTheRowOff) {
  for (const char* deleted : {"a/z.bmp", "b/a.bmp", "b/z.bmp"}) {
    brek_test::Temp_dir t;
    numbered_pictures(t.file("a/f"), 100, 12, 320, 240);
    // Panoramas: each a row of its own.
    for (const char* panorama : {"a/z.bmp", "b/a.bmp", "b/z.bmp"}) picture(t.file(panorama), 3000, 200);
    numbered_pictures(t.file("b/f"), 100, 3, 320, 240);
    Boxed b(800, 600);
    Ref<Test_viewer> v = show_folder(b, t.path(), 6);
    ASSERT_EQ(v->laid_out_count, 18) << deleted;
    const double before = v->layout_bottom;
    v->current_file = t.file(deleted);
    v->collage->delete_current("Delete failed");
    ticks(v, 2);
    ASSERT_EQ(v->files.count(), 17) << deleted;
    EXPECT_LT(cells_bottom(v), before) << deleted;
    EXPECT_DOUBLE_EQ(v->layout_bottom, cells_bottom(v)) << deleted;
  }
}

TEST(ViewerDirectoryViews, AQuietFolderIsListedLessOftenAndAChangeStillShowsWithinSeconds) {
  brek_test::Temp_dir t;
  numbered_pictures(t.file("p"), 0, 3);
  Brek_runtime::Test_clock clock;
  Boxed b(600, 400);
  Ref<Test_viewer> v = show_folder(b, t.path(), 4);
  ASSERT_EQ(v->files.count(), 3);

  // Ten seconds of 200 ms ticks with nothing changing on disk: a listing
  // moves last_scan_time.
  auto tick_for = [&](int64_t ms) {
    int listings = 0;
    for (int64_t passed = 0; passed < ms; passed += 200) {
      clock.advance(200);
      const double before = v->last_scan_time.ms;
      v->on_timer();
      if (v->last_scan_time.ms != before) ++listings;
    }
    return listings;
  };
  const int quiet = tick_for(10000);
  // Every 200 ms plus a little per file would be about 48 listings.
  EXPECT_LE(quiet, 12);
  EXPECT_GE(quiet, 4);

  // A picture added meanwhile still shows within two seconds.
  picture(t.file("new.bmp"));
  tick_for(2000);
  EXPECT_GE(v->index_of_file(t.file("new.bmp")), 0);
}

TEST(ViewerDirectoryViews, ABoxThatChangedAfterTheWindowsResizeIsLaidOutToItsNewWidth) {
  brek_test::Temp_dir t;
  numbered_pictures(t.file("p"), 0, 12);
  Boxed b(120, 400);
  Ref<Test_viewer> v = show_folder(b, t.path(), 6);
  ASSERT_EQ(v->laid_out_count, 12);
  auto rightmost = [&] {
    double r = 0;
    for (const Ref<C_Image>& f : v->files) r = std::max(r, f->rect.x + f->rect.w);
    return r;
  };
  ASSERT_LE(rightmost(), 120.5);
  // The panel grows after the window's own resize event has passed.
  b.panels.panels[v->pb->native].surface = {0, 0, 600, 400};
  ticks(v, 4);
  EXPECT_EQ(v->laid_out_count, 12);
  // As a box that had that width from the start lays them out.
  Boxed wide(600, 400);
  show_folder(wide, t.path(), 6);
  for (int64_t i = 0; i < 12; ++i) {
    EXPECT_EQ(v->files.get(i)->rect.x, wide.v->files.get(i)->rect.x) << i;
    EXPECT_EQ(v->files.get(i)->rect.y, wide.v->files.get(i)->rect.y) << i;
  }
  EXPECT_GT(rightmost(), 121);
}

TEST(ViewerDirectoryViews, DeletingTheLastFileShortensTheScrollRangeOfTheLineViews) {
  // The thumbnail and caption views give each file a line of its own.
  for (mode_view mode : {mode_view::THUMB, mode_view::CAPTIONS}) {
    brek_test::Temp_dir t;
    numbered_pictures(t.file("f"), 100, 60, 320, 240);
    Boxed b(800, 600);
    Ref<Test_viewer> v = show_folder(b, t.path(), 6, mode);
    ASSERT_EQ(v->laid_out_count, 60) << int(mode);
    ASSERT_GT(v->layout_bottom, 600) << int(mode);
    const double last_top = v->files.get(59)->rect.y;
    v->current_file = v->files.get(59)->file_name;
    v->collage->delete_current("Delete failed");
    ticks(v, 2);
    ASSERT_EQ(v->files.count(), 59) << int(mode);
    // Its line goes from the scroll range.
    EXPECT_LE(v->layout_bottom, last_top + 1) << int(mode);
    EXPECT_GT(v->layout_bottom, v->files.get(58)->rect.y) << int(mode);
  }
}

TEST(ViewerDirectoryViews, AFileReplacedOnDiskShowsItsNewPictureSizeAndDateAtTheNextListing) {
  brek_test::Temp_dir t;
  for (const char* n : {"a.bmp", "b.bmp"}) picture(t.file(n), 64, 48);
  Boxed b(800, 400);
  Ref<Test_viewer> v = show_folder(b, t.path(), 3, mode_view::THUMB);
  ASSERT_EQ(v->files.count(), 2);
  b.paint();
  const int64_t i = v->index_of_file(t.file("b.bmp"));
  const rect cell = v->files.get(i)->rect;
  const int qx = int(cell.x + cell.w / 4), qy = int(cell.y - v->scroll_y + cell.h / 4);
  ASSERT_EQ(b.at(qx, qy), RED);
  const std::string old_date = Date_time::to_text(v->files.get(i)->modified);

  // A chmod changes no picture: the listing keeps the entry.
  const Ref<C_Image> listed = v->files.get(i);
  change_modes(t.file("b.bmp"));
  ticks(v, 4);
  EXPECT_EQ(v->files.get(i).get(), listed.get()) << "a chmod renewed the entry";

  // Another program saves over it (a new file renamed into its place), a
  // minute later.
  ASSERT_TRUE(write_bmp(Pixels(120, 90, BLUE), t.file(".b.bmp.new")));
  fs::last_write_time(t.file(".b.bmp.new"), fs::last_write_time(t.file("b.bmp")) + std::chrono::minutes(1));
  fs::rename(t.file(".b.bmp.new"), t.file("b.bmp"));
  ticks(v, 4);
  b.paint();

  const Ref<C_Image> e = v->files.get(v->index_of_file(t.file("b.bmp")));
  EXPECT_EQ(e->width, 120);
  EXPECT_EQ(e->height, 90);
  EXPECT_EQ(e->file_size(), double(fs::file_size(t.file("b.bmp"))));
  EXPECT_NE(Date_time::to_text(e->modified), old_date);
  EXPECT_EQ(b.at(int(e->rect.x + e->rect.w / 4), int(e->rect.y - v->scroll_y + e->rect.h / 4)), BLUE);

  // What a fresh opening of the folder shows, line for line.
  Boxed fresh(800, 400);
  show_folder(fresh, t.path(), 3, mode_view::THUMB);
  fresh.paint();
  for (int y = 0; y < 400; y += 3)
    for (int x = 0; x < 800; x += 3) ASSERT_EQ(b.at(x, y), fresh.at(x, y)) << x << "," << y;
}
