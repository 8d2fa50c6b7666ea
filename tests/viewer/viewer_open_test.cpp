#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "baselib/config.h"
#include "forms/form_bridge.h"
#include "images/bmp_codec.h"
#include "platform/test_events.h"
#include "tests/support/temp_dir.h"
#include "tests/viewer/viewer_test_support.h"

using namespace viewer_test;

namespace {
// The program names itself after its file, here the test program
// "viewer_tests".
const std::string TITLE = "Viewer_tests v1.2 Solvarre";
std::string caption_of(const std::string& file, const std::string& size) { return TITLE + " - " + file + " " + size; }
}  // namespace

TEST(ViewerOpen, AFileOpensAloneInTheSingleViewWithItsCaption) {
  brek_test::Temp_dir dir;
  std::string a = dir.file("a.bmp"), b = dir.file("b.bmp");
  ASSERT_TRUE(write_bmp(quadrants(40, 30), a));
  ASSERT_TRUE(write_bmp(quadrants(20, 10), b));
  Ref<Test_viewer> v = new_viewer();
  EXPECT_EQ(v->title, TITLE);
  v->open_file(a);
  EXPECT_TRUE(v->single_mode);
  EXPECT_EQ(v->current_file, a);
  EXPECT_EQ(v->files.count(), 1);
  EXPECT_EQ(v->scan_dir, dir.path() + "/");
  EXPECT_EQ(v->collage->caption, caption_of(a, "40x30 3.5 KBytes"));
  EXPECT_EQ(v->collage->caption.find("Ostrel"), std::string::npos);

  // A second file of the same directory keeps the list; the layout goes
  // on from the new entry.
  v->scale = 2.0;
  v->open_file(b);
  EXPECT_EQ(v->files.count(), 2);
  EXPECT_EQ(v->laid_out_count, 1);
  EXPECT_DOUBLE_EQ(v->scale, 1.0);
  EXPECT_TRUE(v->current_image().same(v->files.get(1)));
  // Opening the first again finds its entry.
  v->open_file(a);
  EXPECT_EQ(v->files.count(), 2);
  EXPECT_EQ(v->laid_out_count, 0);
  EXPECT_EQ(v->index_of_file(dir.file("none.bmp")), -1);
}

// A BMP opened alone: the title gives the size its own kind of header
// tells (an OS/2 core header's 16-bit words, a top-down picture's height
// without its sign, before anything of it was decoded), and for a damaged
// height no size, then why it does not show.
TEST(ViewerOpen, TheTitleGivesTheSizeABmpsOwnKindOfHeaderTells) {
  brek_test::Temp_dir dir;
  const std::vector<uint8_t> windows = Bmp_codec::encode24(quadrants(40, 30));
  // The 12-byte OS/2 core header, then the same rows.
  std::string os2 = "BM";
  const auto le = [&os2](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) os2.push_back(char((v >> (8 * i)) & 0xFF));
  };
  for (const uint32_t v : {uint32_t(26 + 3600), 0u, 26u, 12u}) le(v, 4);
  for (const uint32_t v : {40u, 30u, 1u, 24u}) le(v, 2);
  os2.append(windows.begin() + 54, windows.end());
  const std::string old = dir.file("old.bmp"), down = dir.file("down.bmp");
  ASSERT_TRUE(brek_test::write_file(old, os2));
  ASSERT_TRUE(brek_test::write_file(down, bmp_header_only(12000, -8000, 0)));
  Ref<Test_viewer> v = new_viewer();
  v->open_file(old);
  EXPECT_EQ(v->collage->caption, caption_of(old, "40x30 3.5 KBytes"));
  v->open_file(down);
  EXPECT_EQ(v->collage->caption, caption_of(down, "12000x8000 154 Bytes"));
  for (const int height : {INT32_MIN, 0, 1000000}) {
    SCOPED_TRACE(height);
    const std::string damaged = dir.file("damaged" + std::to_string(height) + ".bmp");
    ASSERT_TRUE(brek_test::write_file(damaged, bmp_header_only(10, height, 0)));
    v->open_file(damaged);
    const std::string unknown = caption_of(damaged, "0x0 154 Bytes: ");
    EXPECT_EQ(v->collage->caption.substr(0, unknown.size()), unknown) << v->collage->caption;
    EXPECT_GT(v->collage->caption.size(), unknown.size()) << "no reason given";
  }
}

TEST(ViewerOpen, TheArgumentRulesOfTheCommandLine) {
  brek_test::Temp_dir dir;
  std::string a = dir.file("a.bmp"), spaced = dir.file("my holiday photo.bmp");
  ASSERT_TRUE(write_bmp(quadrants(40, 30), a));
  ASSERT_TRUE(write_bmp(quadrants(8, 6), spaced));

  // A path with blanks over three arguments.
  Ref<Test_viewer> v = new_viewer();
  Command_line args({dir.path() + "/my", "holiday", "photo.bmp"});
  v->open_argument();
  EXPECT_TRUE(v->single_mode);
  EXPECT_EQ(v->current_file, spaced);
  EXPECT_EQ(v->collage->caption, caption_of(spaced, "8x6 198 Bytes"));

  // The list was kept: the caption still names the file opened.
  args.set({a});
  v->open_argument();
  EXPECT_EQ(v->files.count(), 2);
  EXPECT_EQ(v->collage->caption, caption_of(a, "40x30 3.5 KBytes"));

  // One directory: the directory view, scanning.
  Ref<Test_viewer> d = new_viewer();
  args.set({dir.path()});
  d->on_command();
  EXPECT_FALSE(d->single_mode);
  EXPECT_TRUE(d->scanning);
  EXPECT_EQ(d->root_dir, dir.path());
  // Its first listing ran at once: the first image is the current one.
  EXPECT_GT(d->files.count(), 0);
  EXPECT_EQ(d->current_file, d->files.get(0)->file_name);

  // A vanished file opens its directory.
  Ref<Test_viewer> g = new_viewer();
  args.set({dir.file("gone.bmp")});
  g->open_argument();
  EXPECT_FALSE(g->single_mode);
  EXPECT_EQ(g->root_dir, dir.path() + "/");

  // ... unless only single images are opened.
  Ref<Test_viewer> s = new_viewer();
  s->collage->single_always = true;
  s->open_argument();
  EXPECT_TRUE(s->root_dir.empty());
  EXPECT_TRUE(s->collage->caption.empty());
}

// A name typed in a terminal is relative to where the program started:
// its directory is still the one listed, moved in and saved beside.
TEST(ViewerOpen, ARelativeArgumentStandsForItsFullPath) {
  brek_test::Temp_dir dir;
  const std::string home = std::filesystem::current_path().string();
  ASSERT_TRUE(write_bmp(quadrants(40, 30), dir.file("a.bmp")));
  ASSERT_TRUE(write_bmp(quadrants(20, 10), dir.file("b.bmp")));
  std::filesystem::current_path(dir.path());

  Ref<Test_viewer> v = new_viewer();
  Command_line args({"a.bmp"});
  v->open_argument();
  EXPECT_TRUE(v->single_mode);
  EXPECT_EQ(v->current_file, dir.file("a.bmp"));
  EXPECT_EQ(v->scan_dir, dir.path() + "/");
  EXPECT_EQ(v->root_dir, dir.path() + "/");

  Ref<Test_viewer> d = new_viewer();
  args.set({"."});
  d->open_argument();
  EXPECT_FALSE(d->single_mode);
  EXPECT_EQ(d->root_dir, dir.path() + "/");
  ASSERT_EQ(d->files.count(), 2);
  EXPECT_EQ(d->files.get(0)->file_name.rfind(dir.path() + "/", 0), 0u);
  std::filesystem::current_path(home);
}

TEST(ViewerOpen, PicturesFarFromTheScreenAreReleasedInPlace) {
  brek_test::Temp_dir dir;
  Ref<Test_viewer> v = new_viewer();
  for (const char* n : {"a.bmp", "b.bmp", "c.bmp"}) ASSERT_TRUE(write_bmp(quadrants(8, 8), dir.file(n)));
  for (const char* n : {"a.bmp", "b.bmp", "c.bmp"}) {
    Ref<C_Image> e = C_Image::create();
    e->file_name = dir.file(n);
    e->load_whole();
    e->use_stamp = 10;
    v->files.append(e);
  }
  Ref<C_Image> kept = v->files.get(0), far = v->files.get(1), recent = v->files.get(2);
  far->inverse = true;
  far->quarter_turns = 3;
  kept->rect = rect{0, 0, 50, 50};           // in view
  far->rect = rect{0, 5000, 50, 50};         // far below
  recent->rect = rect{0, 5000, 50, 50};
  recent->use_stamp = 70;
  v->paint_clock = 80;
  v->single_mode = false;
  v->release_far_pictures(800, 600);
  EXPECT_FALSE(kept->picture.is_none());
  EXPECT_FALSE(recent->picture.is_none());
  // The same object, without pictures, with its orientation.
  EXPECT_TRUE(v->files.get(1).same(far));
  EXPECT_TRUE(far->picture.is_none());
  EXPECT_TRUE(far->inverse);
  EXPECT_EQ(far->quarter_turns, 3);
  EXPECT_EQ(far->use_stamp, 0);
  // The first paint of the single image releases nothing: the view left
  // keeps its cells for the way back.
  v->files.get(2)->use_stamp = 1;
  v->single_mode = true;
  v->current_file = recent->file_name;
  Buffer b(100, 100);
  paint(v, b);
  EXPECT_FALSE(recent->picture.is_none());
}

// The pictures a print card loaded into an entry go once the card is done
// with them, but not the one the single view shows, nor a pasted one that
// no file gives back; a closed viewer's entries go too.
TEST(ViewerOpen, AnEntryAnotherWindowLoadedLetsGoUnlessShownAloneOrNotReadableAgain) {
  brek_test::Temp_dir dir;
  Ref<Test_viewer> v = new_viewer();
  for (const char* n : {"a.bmp", "b.bmp", "c.bmp"}) {
    ASSERT_TRUE(write_bmp(quadrants(8, 8), dir.file(n)));
    Ref<C_Image> e = C_Image::create();
    e->file_name = dir.file(n);
    e->load_whole();
    v->files.append(e);
  }
  Ref<C_Image> shown = v->files.get(0), other = v->files.get(1), closed = v->files.get(2);
  Ref<C_Image> pasted = C_Image::create();
  pasted->file_name = "<clipboard>";
  pasted->picture = C_Bitmap::create(4, 4, 24);
  v->single_mode = true;
  v->current_file = shown->file_name;
  for (const Ref<C_Image>& e : {shown, other, pasted}) v->release_entry(e);
  EXPECT_FALSE(shown->picture.is_none());
  EXPECT_TRUE(other->picture.is_none());
  EXPECT_FALSE(pasted->picture.is_none());
  // In the directory view the single view shows nothing.
  v->single_mode = false;
  v->release_entry(shown);
  EXPECT_TRUE(shown->picture.is_none());
  Ref<C_Collage_viewer>()->release_entry(closed);
  EXPECT_TRUE(closed->picture.is_none());
}

TEST(ViewerStartUp, TheLanguageFileIsFoundBesideTheProgramOrOneFolderUp) {
  brek_test::Temp_dir dir;
  std::string prog = dir.file("bin");
  std::filesystem::create_directory(prog);
  EXPECT_EQ(C_Collage_viewer::language_directory(prog), prog + "/");
  brek_test::write_file(dir.file("English_EN.lng"), "[{Collage_viewer}]\r\n");
  EXPECT_EQ(C_Collage_viewer::language_directory(prog), prog + "/..");
  brek_test::write_file(prog + "/English_EN.lng", "[{Collage_viewer}]\r\n");
  EXPECT_EQ(C_Collage_viewer::language_directory(prog + "/"), prog + "/");
}

TEST(ViewerStartUp, StartedWithoutArgumentsOrWithAnImage) {
  Command_line args;
  Ref<Test_viewer> v = make<Test_viewer>();
  v->create();
  EXPECT_TRUE(v->timer_1->is_enabled());
  EXPECT_EQ(v->timer_1->interval, 200);
  EXPECT_FALSE(v->timer_2->is_enabled());
  EXPECT_EQ(v->timer_2->interval, 16);
  EXPECT_FALSE(v->timer_gif->is_enabled());
  EXPECT_FALSE(v->placement_busy);
  EXPECT_TRUE(v->current_file.empty());
  EXPECT_EQ(v->collage->caption, TITLE + " - drop an image or a directory here");

  // An image argument is opened before the settings are read; its
  // directory is not listed.
  brek_test::Temp_dir dir;
  std::string a = dir.file("a.bmp");
  ASSERT_TRUE(write_bmp(quadrants(40, 30), a));
  write_bmp(quadrants(4, 4), dir.file("b.bmp"));
  args.set({a});
  Ref<Test_viewer> w = make<Test_viewer>();
  w->create();
  EXPECT_TRUE(w->single_mode);
  EXPECT_EQ(w->files.count(), 1);
  EXPECT_EQ(w->collage->caption, caption_of(a, "40x30 3.5 KBytes"));
}

TEST(ViewerStartUp, ThePlacementSurvivesARestartButNotWhileRestoring) {
  Command_line args;
  rect own;  // the window without its frame
  {
    Ref<Test_viewer> v = make<Test_viewer>();
    v->create();
    v->show();
    v->set_position(positioning::POSITION_AS_IS, 120, 96);
    v->set_size(sizing_options::SIZE_AS_IS, 400, 500);
    v->on_moved();
    own = C_Brek_form::get_window_rect(v->native);
    // Moves while the placement is being restored are not saved.
    v->placement_busy = true;
    v->set_position(positioning::POSITION_AS_IS, 300, 300);
    v->on_resize();
    v->placement_busy = false;
    v->close_window();
  }
  Ref<C_Config> c = C_Config::open_read("Collage_viewer", area_where_configuration_is_stored::USER, "Main");
  EXPECT_DOUBLE_EQ(c->read_real_value("Left"), own.x);
  EXPECT_DOUBLE_EQ(c->read_real_value("Top"), own.y);
  Ref<Test_viewer> w = make<Test_viewer>();
  w->create();
  rect b = w->get_bounds();
  EXPECT_DOUBLE_EQ(b.x, 96);
  EXPECT_DOUBLE_EQ(b.y, 120);
}

TEST(ViewerOpen, ADroppedFileOpensAndSeveralDroppedNamesAreJoined) {
  Command_line args;
  brek_test::Temp_dir dir;
  std::string a = dir.file("a.bmp");
  ASSERT_TRUE(write_bmp(quadrants(40, 30), a));
  Ref<Test_viewer> v = make<Test_viewer>();
  v->create();
  v->show();
  ASSERT_TRUE(brek_platform::test_events::drop_files(v->native, {a}, {20, 20}));
  brek_platform::test_events::settle();
  EXPECT_TRUE(v->single_mode);
  EXPECT_EQ(v->current_file, a);
  EXPECT_EQ(v->get_caption(), caption_of(a, "40x30 3.5 KBytes"));
  // Two names that make no path together: the directory part of the join
  // is no directory either, and nothing changes.
  ASSERT_TRUE(brek_platform::test_events::drop_files(v->native, {a, dir.file("b.bmp")}, {20, 20}));
  brek_platform::test_events::settle();
  EXPECT_EQ(v->current_file, a);
}

// A folder dropped on a window becomes the program's command line, which
// later windows of the process start on. Each test starts on the command
// line and in the folder the program was started with, whatever the test
// before it dropped or entered: a window of a later test would otherwise
// list the parent of a folder long gone, the temporary folder, whatever it
// holds. Each of the two checks that, then leaves both behind, so that
// either order of a program run whole tells.
class ViewerLeftBehind : public testing::TestWithParam<int> {};
TEST_P(ViewerLeftBehind, NoCommandLineOrWorkingFolderReachesTheNextTest) {
  std::error_code gone;
  static const std::string started_in = std::filesystem::current_path(gone).string();
  EXPECT_EQ(std::filesystem::current_path(gone).string(), started_in);
  Ref<Test_viewer> fresh = make<Test_viewer>();
  fresh->create();
  EXPECT_EQ(System_functions::param_count(), 1);
  EXPECT_TRUE(fresh->root_dir.empty()) << fresh->root_dir;
  EXPECT_EQ(fresh->files.count(), 0);

  brek_test::Temp_dir dir;
  ASSERT_TRUE(write_bmp(quadrants(40, 30), dir.file("a.bmp")));
  fresh->show();
  ASSERT_TRUE(brek_platform::test_events::drop_files(fresh->native, {dir.path()}, {20, 20}));
  brek_platform::test_events::settle();
  EXPECT_EQ(fresh->root_dir, dir.path());
  std::filesystem::current_path(dir.path());
}
INSTANTIATE_TEST_SUITE_P(EitherOrder, ViewerLeftBehind, testing::Values(1, 2));
