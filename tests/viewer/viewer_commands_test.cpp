// The main window's command keys, as the popup menus deliver them.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <fstream>
#include <sys/inotify.h>
#include <unistd.h>

#include "baselib/config.h"
#include "baselib/file_path.h"
#include "baselib/language_table.h"
#include "baselib/localize_str.h"
#include "forms/menu.h"
#include "platform/menu.h"
#include "images/bmp_codec.h"
#include "images/format_classes.h"
#include "platform/clipboard.h"
#include "platform/painter.h"
#include "platform/test_events.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "tests/viewer/viewer_input_support.h"

using namespace viewer_input;
namespace te = brek_platform::test_events;
namespace fs = std::filesystem;

namespace {

using area = area_where_configuration_is_stored;

bool settings_stored() {
  return C_Config::open_read("Collage_viewer", area::USER, "Main")->exists("Mode");
}

// The keys of a menu text with their flags: "KEY" or "KEY[checked]" and
// "KEY[disabled]", separators as "-".
std::vector<std::string> menu_keys(const std::string& text) {
  std::vector<std::string> keys;
  for (const Menu_entry& e : C_Menu::parse(text).items) {
    std::string k = e.separator() ? "-" : e.key;
    if (e.checked) k += "[checked]";
    if (e.disabled && !e.has_submenu) k += "[disabled]";
    keys.push_back(k);
  }
  return keys;
}

bool has(const std::vector<std::string>& keys, const std::string& k) {
  return std::find(keys.begin(), keys.end(), k) != keys.end();
}

}  // namespace

using ViewerCommands = Viewer_box;
using ViewerMenus = Viewer_box;

TEST_F(ViewerCommands, ZoomTransparencyAndOrientation) {
  Ref<C_Image> image = open_picture();

  b.menu("SCALE_I");
  b.menu("SCALE_I");
  EXPECT_NEAR(v->scale, 1.21, 1e-12);
  b.menu("SCALE_D");
  EXPECT_NEAR(v->scale, 1.1, 1e-12);
  b.menu("SCALE_R");
  EXPECT_DOUBLE_EQ(v->scale, 1.0);

  b.menu("ALPHA-");
  EXPECT_DOUBLE_EQ(v->alpha, 0.0);
  for (int i = 0; i < 12; ++i) b.menu("ALPHA+");
  EXPECT_DOUBLE_EQ(v->alpha, 1.0);

  b.menu("ROTATEL");
  EXPECT_EQ(image->quarter_turns, 3);
  b.menu("ROTATER");
  b.menu("ROTATER");
  EXPECT_EQ(image->quarter_turns, 1);
  // With Shift held the turn keys flip instead.
  v->key_info.shift = 1;
  b.menu("ROTATEL");
  EXPECT_TRUE(image->flip_x);
  EXPECT_EQ(image->quarter_turns, 1);
  v->key_info.shift = 0;
  b.menu("FLIP_Y");
  EXPECT_TRUE(image->flip_y);
  b.menu("INVERSE");
  EXPECT_TRUE(image->inverse);

  // In the directory view INVERSE does nothing; the others still change
  // the current image.
  v->single_mode = false;
  b.menu("INVERSE");
  EXPECT_TRUE(image->inverse);
  b.menu("FLIP_X");
  EXPECT_FALSE(image->flip_x);
}

// With no current image the orientation commands leave the view as it
// is, and turn no image the program sees later: neither the next one
// opened nor one that was freed meanwhile (its references read the None
// image).
TEST_F(ViewerCommands, OrientationWithoutAnImageChangesNothing) {
  open_folder({"a.bmp", "b.bmp"});
  ASSERT_EQ(v->files.count(), 2);
  v->current_file = dir.file("gone.bmp");
  Ref<C_Image> freed = C_Image::create();
  freed->file_name = dir.file("freed.bmp");
  Ref<C_Image> still_named = freed;
  dispose_now(freed);

  b.paint();
  const std::vector<uint32_t> before = b.sample();
  for (const char* k : {"ROTATEL", "ROTATER", "ROTATER", "FLIP_X", "FLIP_Y", "INVERSE"}) b.menu(k);
  b.paint();
  EXPECT_EQ(b.sample(), before);
  EXPECT_TRUE(b.messages.empty());
  EXPECT_EQ(still_named->quarter_turns, 0);
  EXPECT_FALSE(still_named->flip_x || still_named->flip_y || still_named->inverse);

  // The next picture opened is shown as its file holds it.
  v->open_file(dir.file("a.bmp"));
  b.paint();
  const rect r = v->image_rect;
  ASSERT_GT(r.w, 4);
  EXPECT_EQ(b.at(int(r.x + 2), int(r.y + 2)), RED);
  EXPECT_EQ(b.at(int(r.x + r.w - 3), int(r.y + r.h - 3)), WHITE);
}

TEST_F(ViewerCommands, LanguageIsStoredAndLoaded) {
  b.menu("LANG_EN");
  EXPECT_EQ(b.v->language, "EN");
  EXPECT_EQ(C_Config::open_read("Ostrel6", area::USER, "")->read_string("Language"), "EN");
  EXPECT_EQ(Localize_str::text(lng::Collage_viewer::Scale), "Scale");
  EXPECT_TRUE(b.messages.empty());
  EXPECT_FALSE(b.v->closed);
}

TEST_F(ViewerCommands, ExitClosesTheWindow) {
  b.menu("EXIT");
  EXPECT_TRUE(b.v->exiting);
  EXPECT_TRUE(b.v->closed);
}

TEST_F(ViewerCommands, ViewModesKeepTheSettingsOnlyWhenTheyChange) {
  add_entry(v, "/p/a/1.jpg", rect{0, 0, 100, 80});
  add_entry(v, "/p/a/2.jpg", rect{100, 0, 100, 80});
  add_entry(v, "/p/b/3.jpg", rect{0, 100, 100, 80});

  b.menu("VIEW_COLL");
  EXPECT_FALSE(settings_stored());

  b.menu("VIEW_THUM");
  EXPECT_EQ(v->collage->mode_view, mode_view::THUMB);
  EXPECT_TRUE(settings_stored());
  const double gap = double(C_Canvas::to_device_pixels(30));
  EXPECT_EQ(v->files.get(1)->rect.y, 192);
  EXPECT_EQ(v->files.get(2)->rect.y, 384 + gap);
  EXPECT_EQ(v->layout_bottom, 576 + gap);
  EXPECT_EQ(v->laid_out_count, 3);

  b.menu("VIEW_TEXT");
  EXPECT_EQ(v->collage->mode_view, mode_view::CAPTIONS);
  EXPECT_EQ(v->files.get(0)->rect.w, 0);

  v->scroll_y = 500;
  b.menu("VIEW_COLL");
  EXPECT_EQ(v->collage->mode_view, mode_view::COLLAGE);
  EXPECT_EQ(v->scroll_y, 0);
  EXPECT_EQ(C_Config::open_read("Collage_viewer", area::USER, "Main")->read_integer("Mode"), 0);
}

TEST_F(ViewerCommands, OrdersSortTheWholeListAndLayItOutAgain) {
  add_entry(v, "/p/b/x.jpg", rect{0, 0, 100, 80});
  add_entry(v, "/p/a/z.jpg", rect{0, 0, 100, 80});
  add_entry(v, "/p/a/y.jpg", rect{0, 0, 100, 80});
  v->laid_out_count = 3;

  b.menu("SORT_BY_NAME");
  EXPECT_EQ(v->collage->sort_by, sort_by::BY_NAME);
  EXPECT_EQ(v->files.get(0)->file_name, "/p/a/y.jpg");
  EXPECT_EQ(v->files.get(2)->file_name, "/p/b/x.jpg");
  EXPECT_EQ(v->laid_out_count, 0);
  EXPECT_EQ(v->layout_bottom, 0);
  b.menu("SORT_DESCENDANT");
  EXPECT_TRUE(v->collage->descendant);
  EXPECT_EQ(v->files.get(0)->file_name, "/p/b/x.jpg");
  EXPECT_EQ(C_Config::open_read("Collage_viewer", area::USER, "Main")->read_integer("Order"), 1);
}

TEST_F(ViewerCommands, CopyPasteAndSaveAClipboardImage) {
  open_picture("shot.bmp");

  b.menu("COPY");
  EXPECT_TRUE(brek_platform::clipboard_has_image());
  EXPECT_TRUE(b.messages.empty());

  b.menu("PASTE");
  EXPECT_EQ(v->current_file, "<clipboard>");
  EXPECT_TRUE(v->single_mode);
  EXPECT_TRUE(v->root_dir.empty());
  EXPECT_EQ(v->files.count(), 0);
  Ref<C_Image> pasted = v->current_image();
  EXPECT_EQ(pasted->width, 40);
  EXPECT_EQ(pasted->height, 30);

  // Saved: the file becomes the current one and its directory the root.
  te::File_dialog_seen seen;
  te::answer_next_file_dialog(true, {dir.file("kept.jpg")}, &seen);
  b.menu("SAVAS");
  EXPECT_TRUE(seen.save);
  EXPECT_TRUE(seen.confirms_overwrite);
  EXPECT_EQ(seen.filters, (std::vector<std::string>{"Images *.jpg (*.jpg)", "Images *.jpeg (*.jpeg)",
                                                    "Images *.gif (*.gif)", "Images *.bmp (*.bmp)"}));
  EXPECT_EQ(seen.default_suffix, "jpg");
  ASSERT_TRUE(File_path::file_exists(dir.file("kept.jpg")));
  EXPECT_EQ(v->current_file, dir.file("kept.jpg"));
  EXPECT_EQ(v->root_dir, dir.path() + "/");
  EXPECT_GE(v->index_of_file(dir.file("shot.bmp")), 0);
  EXPECT_TRUE(b.messages.empty());

  // Saving a file under another name changes nothing else.
  v->open_file(dir.file("shot.bmp"));
  te::answer_next_file_dialog(true, {dir.file("copy.bmp")}, &seen);
  b.menu("SAVAS");
  EXPECT_EQ(seen.proposed, "shot");
  EXPECT_TRUE(File_path::file_exists(dir.file("copy.bmp")));
  EXPECT_EQ(v->current_file, dir.file("shot.bmp"));

  // A cancelled dialog saves nothing.
  te::answer_next_file_dialog(false);
  b.menu("SAVAS");
  EXPECT_TRUE(b.messages.empty());
}

// A picture pasted over a listed directory stands alone: the background
// ticks bring none of the directory's files back.
TEST_F(ViewerCommands, APasteEndsTheListingOfTheDirectory) {
  open_folder({"a.bmp", "b.bmp", "sub/c.bmp"});
  ASSERT_GE(v->files.count(), 2);
  v->current_file = dir.file("a.bmp");

  b.menu("COPY");
  b.menu("PASTE");
  ASSERT_EQ(v->current_file, "<clipboard>");
  for (int tick = 0; tick < 5; ++tick) {
    v->last_scan_time = date_time{};
    v->on_timer();
  }
  EXPECT_EQ(v->files.count(), 0);
  EXPECT_EQ(v->current_file, "<clipboard>");
  EXPECT_TRUE(v->single_mode);
  EXPECT_EQ(v->current_image()->width, 40);
}

TEST_F(ViewerCommands, FailuresShowTheirFixedTexts) {
  brek_platform::clipboard_set_text("not a picture");
  b.menu("PASTE");
  EXPECT_EQ(b.last_message(), "Paste operation failed");
  EXPECT_TRUE(v->current_file.empty());

  b.menu("SAVAS");
  EXPECT_EQ(b.last_message(), "Nothing to save");
  b.menu("SAVAUTO");
  EXPECT_FALSE(v->collage->auto_save);

  // A name whose type cannot be written.
  open_picture();
  te::answer_next_file_dialog(true, {dir.file("a.png")});
  b.menu("SAVAS");
  EXPECT_EQ(b.last_message(), "Save operation failed");

  // A picture that does not load: the text says why there is nothing.
  Pixels small;
  ASSERT_TRUE(small.resize(4, 4));
  const std::vector<uint8_t> bmp = Bmp_codec::encode24(small);
  ASSERT_TRUE(brek_test::write_file(dir.file("cut.bmp"), std::string(bmp.begin(), bmp.end() - 10)));
  v->open_file(dir.file("cut.bmp"));
  b.menu("SAVAS");
  EXPECT_EQ(b.last_message(), "Nothing to save: truncated");

  // Copy and delete without an image end silently.
  const size_t n = b.messages.size();
  v->open_dir(dir.path() + "/none");
  b.menu("COPY");
  b.menu("DELETE");
  EXPECT_EQ(b.messages.size(), n);
}

TEST_F(ViewerCommands, AutoSaveSwitchesOffWithoutADialog) {
  b.v->collage->auto_save = true;
  b.menu("SAVAUTO");
  EXPECT_FALSE(b.v->collage->auto_save);
  EXPECT_TRUE(b.messages.empty());
}

TEST_F(ViewerCommands, DeleteMovesToTheTrashAndSelectsTheNext) {
  open_folder({"a.bmp", "b.bmp", "c.bmp"});
  ASSERT_EQ(v->files.count(), 3);
  v->current_file = v->files.get(2)->file_name;
  const std::string last = v->current_file;

  b.menu("DELETE");
  EXPECT_FALSE(File_path::file_exists(last));
  EXPECT_EQ(v->files.count(), 2);
  EXPECT_EQ(v->current_file, v->files.get(1)->file_name);
  EXPECT_TRUE(b.messages.empty());
  std::string trash = std::getenv("XDG_DATA_HOME");
  EXPECT_TRUE(fs::exists(trash + "/Trash/files/" + File_path::name_of(last)));

  // A file that is gone cannot be deleted: the list stays as it is.
  const std::string gone = v->current_file;
  fs::remove(gone);
  b.menu("DELETE");
  EXPECT_EQ(b.last_message(), "Delete file operation failed: No such file or directory");
  EXPECT_EQ(v->files.count(), 2);
  EXPECT_EQ(v->current_file, gone);

  // The only entry: nothing stays current.
  v->files.remove(1);
  v->current_file = v->files.get(0)->file_name;
  b.menu("DELETE");
  EXPECT_EQ(v->files.count(), 0);
  EXPECT_TRUE(v->current_file.empty());
}

TEST_F(ViewerCommands, DeleteNeverTakesAClipboardImageForAFile) {
  open_picture();
  b.menu("COPY");
  b.menu("PASTE");
  ASSERT_EQ(v->current_file, "<clipboard>");
  b.menu("DELETE");
  EXPECT_TRUE(b.messages.empty());
  EXPECT_TRUE(File_path::file_exists(dir.file("a.bmp")));
  EXPECT_EQ(v->current_file, "<clipboard>");
}

TEST_F(ViewerCommands, FullScreenAndBack) {
  v->placement_busy = false;
  b.menu("FULLSCREEN");
  EXPECT_TRUE(v->collage->full_screen);
  EXPECT_EQ(v->border_kind, 1);
  EXPECT_TRUE(v->collage->pending_placement);
  EXPECT_FALSE(v->placement_busy);
  EXPECT_TRUE(C_Config::open_read("Collage_viewer", area::USER, "Main")->read_boolean("Full_screen"));

  // The caption is composed but not shown; resizes are not stored.
  const std::string before = v->get_caption();
  v->collage->update_caption("Ostrel - elsewhere");
  EXPECT_EQ(v->get_caption(), before);
  v->on_resize();
  EXPECT_FALSE(C_Config::open_read("Collage_viewer", area::USER, "Main")->exists("Width"));

  // The next tick places it; the placement is not asked for again.
  v->collage->timer_tasks();
  EXPECT_FALSE(v->collage->pending_placement);
  EXPECT_EQ(v->border_kind, 1);

  b.key(122);  // F11
  EXPECT_FALSE(v->collage->full_screen);
  EXPECT_EQ(v->border_kind, 0);
  EXPECT_NE(v->get_caption().find("elsewhere"), std::string::npos);
}

TEST_F(ViewerCommands, TheFileManagerStartsWithTheDirectoryAsOneArgument) {
  brek_test::Temp_dir bin;
  const std::string log = bin.file("args");
  // A stand-in file manager that writes its arguments, one a line.
  ASSERT_TRUE(brek_test::write_file(bin.file("xdg-open"),
                                    "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + log + "'; done\n"));
  fs::permissions(bin.file("xdg-open"), fs::perms::owner_all);
  brek_test::Env_guard path("PATH", bin.path());

  EXPECT_FALSE(C_Additional_collage::program_exists("nautilus"));
  EXPECT_TRUE(C_Additional_collage::program_exists("xdg-open"));
  const std::string odd = dir.file("it's \"here\"; $(x)");
  fs::create_directory(odd);
  Ref<C_Additional_collage> c = make<C_Additional_collage>();
  c->explore_dir(odd + "/", odd + "/a.jpg");
  EXPECT_TRUE(brek_test::wait_until([&] { return !brek_test::read_file(log).empty(); }));
  EXPECT_EQ(brek_test::read_file(log), odd + "/\n");

  // Nothing to show: nothing is started. A start would have opened the
  // stand-in before explore_dir returned (a spawn returns after the exec).
  const int opened = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(::inotify_add_watch(opened, bin.file("xdg-open").c_str(), IN_OPEN), 0);
  c->explore_dir("", "");
  alignas(inotify_event) char event[4096];
  EXPECT_LT(::read(opened, event, sizeof event), 0);
  ::close(opened);
}

// ---- menus ------------------------------------------------------------------------

TEST_F(ViewerMenus, TheEmptyWindowsDirectoryMenu) {
  brek_test::Temp_dir languages;
  Localize_str::set_language_directory(languages.path());
  ASSERT_TRUE(brek_test::write_file(languages.file("English_EN.lng"), "[{Collage_viewer}]\n"));
  std::vector<std::string> keys = menu_keys(b.v->directory_menu_text());
  EXPECT_EQ(keys.front(), "REFRESH");
  EXPECT_TRUE(has(keys, "PASTE"));
  EXPECT_TRUE(has(keys, "VIEW_COLL[checked]"));
  EXPECT_TRUE(has(keys, "SORT_BY_DIM[checked]"));
  EXPECT_TRUE(has(keys, "RESIZETH[disabled]"));
  EXPECT_TRUE(has(keys, "FULLSCREEN"));
  EXPECT_TRUE(has(keys, "LANG_EN"));
  EXPECT_EQ(keys.back(), "EXIT");
  for (const char* absent : {"MOVETO", "DELETE", "EXPLOREDIR"}) EXPECT_FALSE(has(keys, absent)) << absent;

  b.v->collage->mode_view = mode_view::THUMB;
  b.v->collage->descendant = true;
  keys = menu_keys(b.v->directory_menu_text());
  EXPECT_TRUE(has(keys, "RESIZETH"));
  EXPECT_TRUE(has(keys, "VIEW_THUM[checked]"));
  EXPECT_TRUE(has(keys, "SORT_DESCENDANT[checked]"));
}

// The keys the transparency items show do what the items do.
TEST_F(ViewerMenus, TheTransparencyItemsShowTheirOwnKeys) {
  open_picture();
  std::map<std::string, std::string> shown;
  for (const Menu_entry& e : C_Menu::parse(v->image_menu_text()).items) shown[e.key] = e.hot_key;
  EXPECT_EQ(shown["ALPHA+"], "Alt+UP");
  EXPECT_EQ(shown["ALPHA-"], "Alt+DOWN");

  const std::map<std::string, int> codes{{"Alt+UP", 38}, {"Alt+DOWN", 40}};
  for (const auto& [item, step] : std::map<std::string, double>{{"ALPHA+", 0.1}, {"ALPHA-", -0.1}}) {
    ASSERT_TRUE(codes.count(shown[item])) << item << " shows " << shown[item];
    v->alpha = 0.5;
    b.key(codes.at(shown[item]), alt());
    EXPECT_NEAR(v->alpha, 0.5 + step, 1e-12) << item;
    v->alpha = 0.5;
    b.menu(item);
    EXPECT_NEAR(v->alpha, 0.5 + step, 1e-12) << item;
  }
}

TEST_F(ViewerMenus, TheImageMenuFollowsTheImage) {
  open_picture();

  const std::string text = v->image_menu_text();
  EXPECT_NE(text.find("SCALE_I:Increase\t+,Wheel down\r\n"), std::string::npos);
  EXPECT_NE(text.find("COPY :Copy to clipboard\tCtrl+C\r\n"), std::string::npos);
  EXPECT_NE(text.find("SAVAS:Save as\tCtrl+S | F2\r\n"), std::string::npos);
  std::vector<std::string> keys = menu_keys(text);
  for (const char* k : {"COPY", "MOVETO", "DELETE", "EDIT", "CUT", "EXPLOREDIR", "SINGLE_ALWAYS", "EXIT"})
    EXPECT_TRUE(has(keys, k)) << k;
  EXPECT_FALSE(has(keys, "SAVAUTO"));

  b.menu("COPY");
  b.menu("PASTE");
  v->collage->auto_save = true;
  keys = menu_keys(v->image_menu_text());
  EXPECT_TRUE(has(keys, "SAVAUTO[checked]"));
  EXPECT_FALSE(has(keys, "EXPLOREDIR"));
}

TEST_F(ViewerMenus, ARightClickShowsTheMenuOfTheView) {
  const std::string shown = b.right_click({50, 50});
  EXPECT_EQ(shown.rfind("Refresh\tF5|Paste from clipboard", 0), 0u) << shown;
}
