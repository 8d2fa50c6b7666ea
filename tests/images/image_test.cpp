#include <gtest/gtest.h>

#include <linux/capability.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "images/bmp_codec.h"
#include "images/format_classes.h"
#include "images/image.h"
#include "images/jpeg_codec.h"
#include "tests/images/gif_test_support.h"
#include "tests/images/image_test_util.h"
#include "images/image_file_io.h"
#include "tests/support/process_memory.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

using namespace brek;
using brek_test::Temp_dir;

namespace {

class Image : public ::testing::Test {
 protected:
  std::string jpeg(const std::string& name, int w, int h) {
    std::vector<uint8_t> bytes;
    Jpeg_codec::encode(brek_test::test_picture(w, h), 90, bytes);
    brek_test::write_file(dir.file(name), std::string(bytes.begin(), bytes.end()));
    return dir.file(name);
  }
  Ref<C_Image> image(const std::string& path) {
    Ref<C_Image> i = C_Image::create();
    i->file_name = path;
    return i;
  }
  Temp_dir dir;
};

TEST_F(Image, ReducedLoadsGrowOnlyWhenTheTargetGrows) {
  Ref<C_Image> i = image(jpeg("big.JPEG", 4000, 3000));
  i->read_header_info(300, 200);
  EXPECT_EQ(i->width, 4000);
  EXPECT_EQ(i->display_width, 266);
  EXPECT_EQ(i->display_height, 200);
  i->load(300, 200);
  ASSERT_EQ(i->reduced->width, 500);  // 1/8
  EXPECT_EQ(i->reduced->height, 375);
  EXPECT_TRUE(i->picture.is_none());
  i->load(600, 400);
  Ref<C_Bitmap> quarter = i->reduced;
  ASSERT_EQ(quarter->width, 1000);  // 1/4
  i->load(300, 200);
  EXPECT_TRUE(i->reduced.same(quarter));  // nothing new
  // Half the size below the target: the full picture.
  Ref<C_Image> small = image(jpeg("small.jpg", 500, 400));
  small->read_header_info(300, 300);
  small->load(300, 300);
  EXPECT_EQ(small->picture->width, 500);
  EXPECT_TRUE(small->reduced.is_none());
}

// What a view at some size needs against what the image holds: a full
// picture where a reduced one serves, or a reduced one of a larger step,
// is more; a picture the size needs whole, or the step it reads, is not.
TEST_F(Image, HoldingMoreThanALoadForASizeGives) {
  Ref<C_Image> i = image(jpeg("big.jpg", 4000, 3000));
  i->read_header_info(300, 200);
  EXPECT_FALSE(i->holds_more_than(300, 200));  // holds nothing
  i->load(300, 200);                          // an eighth, 500 x 375
  EXPECT_FALSE(i->holds_more_than(300, 200));
  EXPECT_FALSE(i->holds_more_than(499, 374));  // the decoder's rounding: the same step
  EXPECT_FALSE(i->holds_more_than(600, 400));  // less than a quarter is not more
  i->load(600, 400);                           // a quarter, 1000 x 750
  EXPECT_TRUE(i->holds_more_than(300, 200));
  EXPECT_FALSE(i->holds_more_than(600, 400));
  EXPECT_TRUE(i->holds_more_than(0, 200));  // a cell without area needs nothing
  i->load_whole();
  EXPECT_TRUE(i->holds_more_than(1900, 1400));  // a half serves
  EXPECT_FALSE(i->holds_more_than(2100, 1400));  // the whole picture is read

  // A GIF and a small picture are read whole at any size.
  gif_test::Gif_writer gif;
  gif.header(8, 8, gif_test::grey_palette(2)).image(gif_test::solid(0, 0, 8, 8, 1)).trailer();
  brek_test::write_file(dir.file("a.gif"), gif.bytes());
  Ref<C_Image> g = image(dir.file("a.gif"));
  g->load_whole();
  ASSERT_FALSE(g->animation.is_none());
  EXPECT_FALSE(g->holds_more_than(2, 2));
  Ref<C_Image> small = image(jpeg("small.jpg", 500, 400));
  small->load(300, 300);
  EXPECT_FALSE(small->holds_more_than(300, 300));
}

TEST_F(Image, LoadsByExtensionAndRemembersFailures) {
  Ref<C_Image> i = image(jpeg("photo.JPG", 40, 30));
  i->load_whole();
  EXPECT_EQ(i->width, 40);
  EXPECT_EQ(i->picture->height, 30);
  i->load(0, 0);
  EXPECT_EQ(i->display_width, 40);

  for (const char* name : {"noext", "a.xyz", "a.png", "a.tif"}) {
    brek_test::write_file(dir.file(name), "bytes");
    Ref<C_Image> n = image(dir.file(name));
    n->set_rect(5, 5);
    n->load(100, 100);
    EXPECT_TRUE(n->picture.is_none()) << name;
    EXPECT_EQ(n->width, 0);
  }
  // A broken JPEG fails once and is not decoded again.
  std::string broken = dir.file("broken.jpg");
  brek_test::write_file(broken, "no jpeg");
  Ref<C_Image> b = image(broken);
  b->load(10, 10);
  EXPECT_TRUE(b->picture.is_none());
  EXPECT_TRUE(b->load_failed);
  jpeg("broken.jpg", 20, 20);
  b->load(10, 10);
  b->load_whole();
  EXPECT_TRUE(b->picture.is_none());
  // A fresh object tries again.
  Ref<C_Image> again = image(broken);
  again->load_whole();
  EXPECT_EQ(again->width, 20);
  // Pseudo names are never paths.
  Ref<C_Image> clip = image("<clipboard>");
  clip->read_header_info(10, 10);
  clip->load_whole();
  EXPECT_EQ(clip->file_size(), 0);
  EXPECT_EQ(clip->display_width, 100);
}

TEST_F(Image, IconsBecomeBitmapsOnBlack) {
  // One 2 x 2 32-bit entry: opaque red, half-transparent white, two
  // transparent pixels.
  std::string dib;
  brek_test::put32le(dib, 40);
  brek_test::put32le(dib, 2);
  brek_test::put32le(dib, 4);
  brek_test::put16le(dib, 1);
  brek_test::put16le(dib, 32);
  dib.append(24, '\0');
  brek_test::put32le(dib, 0);           // bottom row
  brek_test::put32le(dib, 0);
  brek_test::put32le(dib, 0xFFFF0000);  // top row: red
  brek_test::put32le(dib, 0x80FFFFFF);  // half white
  dib.append(8, '\0');                  // AND mask
  std::string ico;
  brek_test::put16le(ico, 0);
  brek_test::put16le(ico, 1);
  brek_test::put16le(ico, 1);
  ico += std::string("\x02\x02\0\0\x01\0\x20\0", 8);
  brek_test::put32le(ico, uint32_t(dib.size()));
  brek_test::put32le(ico, 22);
  brek_test::write_file(dir.file("a.ico"), ico + dib);
  Ref<C_Image> i = image(dir.file("a.ico"));
  i->load_whole();
  ASSERT_EQ(i->width, 2);
  ASSERT_EQ(i->height, 2);  // the image's size, not the mask's doubled height
  EXPECT_EQ(ref_cast<C_Icon>(i->picture).is_none(), true);
  const Pixels* p = i->picture->pixels();
  EXPECT_EQ(p->at(0, 0), Pixels::bgra(0, 0, 255));
  EXPECT_EQ(p->at(1, 0), Pixels::bgra(128, 128, 128));
  EXPECT_EQ(p->at(0, 1), Pixels::bgra(0, 0, 0));
  // A file that is no icon: no picture at all.
  brek_test::write_file(dir.file("b.cur"), "nothing");
  Ref<C_Image> bad = image(dir.file("b.cur"));
  bad->load_whole();
  EXPECT_TRUE(bad->picture.is_none());
  EXPECT_EQ(bad->width, 0);
}

TEST_F(Image, HeaderInfoIsReadOnce) {
  std::string f = jpeg("h.jpg", 2000, 1000);
  Ref<C_Image> i = image(f);
  i->read_header_info(500, 500);
  EXPECT_EQ(i->display_width, 500);
  EXPECT_EQ(i->display_height, 250);
  EXPECT_GT(i->file_size(), 0);
  EXPECT_GT(i->modified.ms, 0);
  double size = i->file_size();
  jpeg("h.jpg", 64, 64);
  i->read_header_info(500, 500);
  EXPECT_EQ(i->width, 2000);
  EXPECT_EQ(i->file_size(), size);
  EXPECT_TRUE(i->file_changed());
  // A file of 0 bytes is read once too: filled later, it has changed.
  brek_test::write_file(dir.file("e.jpg"), "");
  Ref<C_Image> e = image(dir.file("e.jpg"));
  e->read_header_info(500, 500);
  EXPECT_FALSE(e->file_changed());
  jpeg("e.jpg", 64, 64);
  e->read_header_info(500, 500);
  EXPECT_EQ(e->file_size(), 0);
  EXPECT_TRUE(e->file_changed());
  // A WebP file: information but no display size.
  brek_test::write_file(dir.file("w.webp"), "RIFF");
  Ref<C_Image> w = image(dir.file("w.webp"));
  w->read_header_info(100, 100);
  EXPECT_EQ(w->file_size(), 4);
  EXPECT_EQ(w->display_width, 0);
  // A vanished file is not created by looking at it.
  Ref<C_Image> gone = image(dir.file("gone.bmp"));
  gone->read_header_info(100, 100);
  gone->load(100, 100);
  EXPECT_FALSE(std::filesystem::exists(dir.file("gone.bmp")));
  EXPECT_TRUE(gone->load_needed);
  EXPECT_EQ(gone->display_width, 100);
}

// A top-down BMP's header gives the size its decode gives (its height's
// magnitude): a view reads it as it reads a bottom-up one of that size,
// its display size fitted to the target and no load needed to learn it.
// A BMP whose info header no reader takes gives no size: a load is.
TEST_F(Image, ATopDownBmpTakesItsSizeFromItsOwnHeaders) {
  const std::vector<uint8_t> up = Bmp_codec::encode24(Pixels(30, 20, 0xFF102030u));
  std::string down(up.begin(), up.end());
  down.replace(22, 4, std::string("\xEC\xFF\xFF\xFF", 4));  // -20: the rows from the top
  ASSERT_TRUE(brek_test::write_file(dir.file("down.bmp"), down));
  Ref<C_Image> i = image(dir.file("down.bmp"));
  i->read_header_info(15, 500);
  EXPECT_EQ(i->width, 30);
  EXPECT_EQ(i->height, 20);
  EXPECT_FALSE(i->load_needed);
  EXPECT_EQ(i->display_width, 15);
  EXPECT_EQ(i->display_height, 10);
  i->load_whole();
  EXPECT_EQ(i->picture->width, 30);
  EXPECT_EQ(i->picture->height, 20);

  // An info header of 0 bytes: no reader takes it.
  down.replace(14, 4, std::string(4, '\0'));
  ASSERT_TRUE(brek_test::write_file(dir.file("broken.bmp"), down));
  Ref<C_Image> b = image(dir.file("broken.bmp"));
  b->read_header_info(500, 500);
  EXPECT_EQ(b->width, 0);
  EXPECT_EQ(b->height, 0);
  EXPECT_TRUE(b->load_needed);
  EXPECT_EQ(b->display_width, 100);
}

namespace {

// Makes the calling thread subject to file permissions as any user is:
// root's override of them is dropped for this thread alone.
bool obey_file_permissions() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
  return syscall(SYS_capset, &header, data) == 0;
}

int64_t status_changed(const std::string& path) {
  struct statx st;
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_CTIME, &st) != 0) return 0;
  return int64_t(st.stx_ctime.tv_sec) * 1000000000 + st.stx_ctime.tv_nsec;
}

}  // namespace

// A file that could not be opened when it was listed (still being written
// by a program that opens it up later, or replaced by a finished one) is
// seen as changed once it can be read or another file takes its name.
TEST_F(Image, AFileUnreadableWhenListedIsSeenChangedOnceReadableOrReplaced) {
  const std::string locked = jpeg("locked.jpg", 64, 48), swapped = jpeg("swapped.jpg", 64, 48);
  const std::string finished = jpeg("finished.jpg", 80, 60);
  ::chmod(locked.c_str(), 0);
  ::chmod(swapped.c_str(), 0);
  bool ran = false;
  std::thread([&] {
    if (!obey_file_permissions()) return;
    ran = true;
    // Each listed as the viewer lists a file: its header, then its picture.
    auto listed = [&](const std::string& path) {
      Ref<C_Image> i = image(path);
      i->read_header_info(500, 500);
      i->load_whole();
      return i;
    };
    const Ref<C_Image> l = listed(locked), s = listed(swapped);
    for (const Ref<C_Image>& i : {l, s}) {
      ASSERT_TRUE(i->load_failed) << i->file_name;
      EXPECT_FALSE(i->file_changed()) << i->file_name;
    }
    // File times move on the kernel's coarse clock: the change must come
    // on a later tick of it to be seen at all.
    const std::string probe = dir.file("probe");
    brek_test::write_file(probe, "");
    while (status_changed(probe) <= status_changed(locked)) ::chmod(probe.c_str(), 0600);
    ::chmod(locked.c_str(), 0644);
    EXPECT_TRUE(l->file_changed());
    std::filesystem::rename(finished, swapped);
    EXPECT_TRUE(s->file_changed());
  }).join();
  if (!ran) GTEST_SKIP() << "file permissions cannot be made to count here";
}

// A chmod moves only the status-change time: a picture that loaded is the
// same picture and is not read again; one that failed may be readable now
// (above).
TEST_F(Image, AChangeOfModesAloneIsNoNewPicture) {
  const std::string f = jpeg("m.jpg", 64, 48);
  Ref<C_Image> i = image(f);
  i->read_header_info(500, 500);
  i->load_whole();
  ASSERT_FALSE(i->picture.is_none());
  const int64_t before = status_changed(f);
  mode_t mode = 0600;
  ASSERT_TRUE(brek_test::wait_until([&] {
    ::chmod(f.c_str(), mode ^= 0040);
    return status_changed(f) != before;
  }));
  EXPECT_FALSE(i->file_changed());
}

// A file of nearly the read cap (a small picture, then zeros up to the
// cap, as a damaged download leaves one) is held once while it is read,
// never its bytes twice over.
TEST_F(Image, AFileNearTheReadCapIsHeldOnce) {
  if (!brek_test::RESIDENT_SIZE_COUNTS) GTEST_SKIP() << "the resident size tells nothing here";
  constexpr int64_t SIZE = Image_file_io::MAX_FILE_BYTES - 1;
  ASSERT_TRUE(Image_file_io::save_bmp(brek_test::test_picture(64, 48), dir.file("big.bmp"), false));
  for (const std::string& f : {jpeg("big.jpg", 64, 48), dir.file("big.bmp")}) {
    SCOPED_TRACE(f);
    // The zeros are a hole: the file costs no disk.
    ASSERT_EQ(::truncate(f.c_str(), SIZE), 0);
    Ref<C_Image> i = image(f);
    const int64_t grown = brek_test::peak_growth([&] { i->load_whole(); });
    EXPECT_FALSE(i->picture.is_none());
    EXPECT_LT(grown, SIZE + SIZE / 8) << grown / brek_test::MB << " MB";
    std::filesystem::remove(f);
  }
}

// Files whose whole picture a worker reads and cannot decode or read: the
// image fails with the reason its own decode gives, once, and asks for no
// worker again. A BMP and a GIF whose headers say a size beyond what the
// window's thread reads, a BMP wider than any picture may be, a JPEG over
// the read cap (a hole up to it), a BMP gone after its header was read.
TEST_F(Image, AWholeDecodeOnAWorkerThatFailsFailsTheImageWithItsReason) {
  std::string bmp = "BM";
  brek_test::put32le(bmp, 154);
  brek_test::put32le(bmp, 0);
  brek_test::put32le(bmp, 138);  // where the rows start
  brek_test::put32le(bmp, 124);  // a V5 header
  brek_test::put32le(bmp, 4096);
  brek_test::put32le(bmp, 2048);
  brek_test::put16le(bmp, 1);
  brek_test::put16le(bmp, 24);
  brek_test::put32le(bmp, 5);  // the rows are a PNG, which no reader here takes
  bmp.resize(154, '\0');
  brek_test::write_file(dir.file("png inside.bmp"), bmp);
  // Rows wider than any picture may be, of no compression.
  std::string wide = bmp.substr(0, 18);
  brek_test::put32le(wide, 100000);
  brek_test::put32le(wide, 50);
  brek_test::put16le(wide, 1);
  brek_test::put16le(wide, 24);
  wide.resize(154, '\0');
  brek_test::write_file(dir.file("too wide.bmp"), wide);
  gif_test::Gif_writer gif;
  gif.header(3000, 3000, gif_test::grey_palette(2)).trailer();  // no frame
  brek_test::write_file(dir.file("no frame.gif"), gif.bytes());
  ASSERT_EQ(::truncate(jpeg("over the cap.jpg", 64, 48).c_str(), Image_file_io::MAX_FILE_BYTES + 1), 0);
  ASSERT_TRUE(Image_file_io::save_bmp(brek_test::test_picture(2100, 2100), dir.file("gone.bmp"), false));
  for (const char* name : {"png inside.bmp", "too wide.bmp", "no frame.gif", "over the cap.jpg", "gone.bmp"}) {
    SCOPED_TRACE(name);
    Ref<C_Image> i = image(dir.file(name));
    i->read_header_info(1, 1);
    if (std::string(name) == "gone.bmp") std::filesystem::remove(dir.file(name));
    Ref<C_Image> own = image(dir.file(name));
    own->load_whole();
    ASSERT_TRUE(own->load_failed);
    ASSERT_TRUE(i->start_whole_decode());
    ASSERT_TRUE(brek_test::wait_until([&] { return i->whole_decoded(); }));
    EXPECT_EQ(i->take_whole_decode(), C_Image::whole_result::NONE);
    EXPECT_TRUE(i->load_failed);
    EXPECT_EQ(i->load_failure(), own->load_failure());
    EXPECT_FALSE(i->start_whole_decode());
    EXPECT_FALSE(i->whole_decoding());
  }
}

TEST_F(Image, SavesByTheTargetExtension) {
  Ref<C_Image> i = image(jpeg("src.jpg", 24, 16));
  bool nothing = true;
  ASSERT_TRUE(i->save_picture(dir.file("out.bmp"), nothing));
  EXPECT_FALSE(nothing);
  ASSERT_TRUE(i->save_picture(dir.file("out.JPEG"), nothing));
  ASSERT_TRUE(i->save_picture(dir.file("out.jpg"), nothing));
  EXPECT_FALSE(i->save_picture(dir.file("out.png"), nothing));
  EXPECT_FALSE(i->save_picture(dir.file("out.xyz"), nothing));
  EXPECT_FALSE(nothing);
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.xyz")));
  Ref<C_Image> none = image(dir.file("missing.jpg"));
  EXPECT_FALSE(none->save_picture(dir.file("x.bmp"), nothing));
  EXPECT_TRUE(nothing);
  EXPECT_FALSE(none->save(Ref<C_Form>(), dir.file("x.bmp")));  // no form: no message box
  EXPECT_FALSE(std::filesystem::exists(dir.file("x.bmp")));
}

TEST_F(Image, GifsBecomeAnimationsAndSaveTheShownFrame) {
  using namespace gif_test;
  Gif_writer w;
  w.header(6, 4, make_palette({0xFF0000, 0x00FF00}))
      .graphic_control(0, 10)
      .image(solid(0, 0, 6, 4, 0))
      .graphic_control(0, 10)
      .image(solid(0, 0, 3, 4, 1))
      .trailer();
  brek_test::write_file(dir.file("a.gif"), w.bytes());
  Ref<C_Image> i = image(dir.file("a.gif"));
  i->load(100, 100);
  ASSERT_FALSE(i->animation.is_none());
  EXPECT_TRUE(i->picture.is_none());
  EXPECT_EQ(i->width, 6);
  EXPECT_EQ(i->height, 4);
  i->animation->set_current_frame(1);
  bool nothing = true;
  ASSERT_TRUE(i->save_picture(dir.file("frame.bmp"), nothing));
  Ref<C_Bitmap> b = C_Bmp::load_from_file(dir.file("frame.bmp"));
  ASSERT_EQ(b->width, 6);
  EXPECT_EQ(b->pixels()->at(0, 0), Pixels::bgra(0, 255, 0));
  EXPECT_EQ(b->pixels()->at(5, 0), Pixels::bgra(0, 0, 255));
  // A file that is no GIF: nothing, remembered.
  brek_test::write_file(dir.file("b.gif"), "not a gif");
  Ref<C_Image> bad = image(dir.file("b.gif"));
  bad->load_whole();
  EXPECT_TRUE(bad->animation.is_none());
  EXPECT_TRUE(bad->load_failed);
}

TEST_F(Image, CloneAndOptions) {
  Ref<C_Image> i = image(jpeg("c.jpg", 10, 10));
  i->read_header_info(5, 5);
  i->load_whole();
  i->quarter_turns = 3;
  i->flip_y = true;
  i->inverse = true;
  Ref<C_Image> c = i->clone();
  EXPECT_EQ(c->file_name, i->file_name);
  EXPECT_EQ(c->width, 10);
  EXPECT_EQ(c->quarter_turns, 3);
  EXPECT_TRUE(c->flip_y);
  EXPECT_FALSE(c->inverse);
  EXPECT_TRUE(c->picture.is_none());
  EXPECT_TRUE(i->picture.is_none());
  c->set_load_options(rect{1, 2, 5, 0});
  EXPECT_EQ(c->rect.w, 16);
  EXPECT_EQ(c->rect.h, 0);
  c->set_rect(7, 8);
  EXPECT_EQ(c->height, 8);
  EXPECT_FALSE(c->is_platform_csharp());
  // The None image stores nothing.
  Ref<C_Image> n = C_Image::none_record();
  n->set_rect(3, 3);
  n->load_whole();
  EXPECT_EQ(n->width, 0);
}

}  // namespace
