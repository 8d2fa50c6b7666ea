// A failed load keeps its cause: damaged files, built here as bytes, each
// give their reason through the codec and through C_Image's load.
#include <gtest/gtest.h>

#include <filesystem>

#include <jpeglib.h>
#include <jerror.h>

#include "forms/screen.h"
#include "images/bmp_codec.h"
#include "images/gif.h"
#include "images/icon_codec.h"
#include "images/image.h"
#include "images/image_file_io.h"
#include "images/jpeg_codec.h"
#include "runtime/runtime_services.h"
#include "tests/images/gif_test_support.h"
#include "tests/images/image_test_util.h"
#include "tests/support/temp_dir.h"

using namespace brek;
using K = load_failure_kind;
using brek_test::put16le;
using brek_test::put32le;

namespace {

// ---- files --------------------------------------------------------------------

// v as 4 little-endian bytes at `at`.
std::string patched32(std::string f, size_t at, uint32_t v) {
  std::string w;
  put32le(w, v);
  return f.replace(at, 4, w);
}

// A 24-bit 8 x 8 BMP: a 14-byte file header, a 40-byte info header
// (width at 18, height at 22, compression at 30), 8 rows of 24 bytes.
std::string bmp_file() {
  const std::vector<uint8_t> b = Bmp_codec::encode24(brek_test::test_picture(8, 8));
  return std::string(b.begin(), b.end());
}

// A baseline 16 x 16 JPEG.
std::string jpeg_file() {
  std::vector<uint8_t> b;
  Jpeg_codec::encode(brek_test::test_picture(16, 16), 90, b);
  return std::string(b.begin(), b.end());
}

// The JPEG with its baseline frame marker (SOF0) made another one, its
// size kept or set.
std::string jpeg_frame(uint8_t marker, int width = 0, int height = 0) {
  std::string j = jpeg_file();
  const size_t at = j.find("\xFF\xC0");
  j[at + 1] = char(marker);
  if (width > 0) {
    j[at + 5] = char(height >> 8);
    j[at + 6] = char(height);
    j[at + 7] = char(width >> 8);
    j[at + 8] = char(width);
  }
  return j;
}

// An icon of one entry: the directory (6 bytes), one record (16 bytes:
// size at 14, offset at 18) and a DIB of w x h whose 40-byte header
// states `compression` (2 x h tall, as icons count the mask).
std::string icon_file(int w, int h, uint32_t compression) {
  std::string dib;
  put32le(dib, 40);
  put32le(dib, uint32_t(w));
  put32le(dib, uint32_t(2 * h));
  put16le(dib, 1);
  put16le(dib, 32);
  put32le(dib, compression);
  for (int i = 0; i < 5; ++i) put32le(dib, 0);
  dib += std::string(size_t(std::min(w, 64) * std::min(h, 64) * 4 + 64), '\0');
  std::string f;
  put16le(f, 0);
  put16le(f, 1);  // an icon
  put16le(f, 1);  // one entry
  f += std::string(8, '\0');
  put32le(f, uint32_t(dib.size()));
  put32le(f, 6 + 16);
  return f + dib;
}

// A GIF of a w x h screen with one 2 x 2 frame.
std::string gif_file(int w, int h) {
  gif_test::Gif_writer g;
  g.header(w, h, gif_test::grey_palette(4)).image(gif_test::solid(0, 0, 2, 2, 1)).trailer();
  return g.bytes();
}

std::string jpeg_error(int code) { return "JPEG error #" + std::to_string(code); }

// ---- decoders -----------------------------------------------------------------

// Why the decoder for the name's extension refuses the bytes; NONE when
// it decoded them.
Load_failure codec_reason(const std::string& name, const std::string& bytes) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  const std::string ext = std::filesystem::path(name).extension();
  Load_failure why;
  Pixels out;
  bool ok = false;
  if (ext == ".bmp") {
    ok = Bmp_codec::decode(data, bytes.size(), out, &why);
  } else if (ext == ".ico") {
    ok = Icon_codec::decode(data, bytes.size(), out, &why);
  } else if (ext == ".jpg") {
    try {
      ok = Jpeg_codec::decode(data, bytes.size(), 1, out, Jpeg_codec::SPLIT_PIXELS, &why);
    } catch (const E_Jpeg_error& e) {
      // The error says the same as `why`.
      EXPECT_EQ(e.failure().text(), why.text()) << name;
    }
  } else if (ext == ".gif") {
    ok = C_Gif::load_from_bytes(bytes)->has_picture(&why);
  }
  if (!ok) {
    EXPECT_TRUE(ext == ".gif" || out.empty()) << name;
  }
  return ok ? Load_failure{} : why;
}

class LoadFailure : public ::testing::Test {
 protected:
  Ref<C_Image> loaded(const std::string& path) {
    Ref<C_Image> i = C_Image::create();
    i->file_name = path;
    i->load_whole();
    return i;
  }
  brek_test::Temp_dir dir;
};

TEST_F(LoadFailure, EachDamagedFileSaysWhyThroughItsCodecAndTheImage) {
  const std::string bmp = bmp_file(), jpeg = jpeg_file(), gif = gif_file(4, 4);
  struct Damaged {
    const char* name;  // its extension picks the decoder
    std::string bytes;
    K kind;
    std::string text;
  } table[] = {
      // Cut short: in the rows, in the JPEG's tables, before the GIF's
      // first frame, within the icon's directory.
      {"cut.bmp", bmp.substr(0, bmp.size() - 30), K::TRUNCATED, "truncated"},
      {"cut.jpg", jpeg.substr(0, 120), K::TRUNCATED, "truncated: " + jpeg_error(JERR_NO_IMAGE)},
      {"cut.gif", gif.substr(0, 13 + 12), K::TRUNCATED, "truncated"},
      {"cut.ico", icon_file(4, 4, 0).substr(0, 6 + 8), K::TRUNCATED, "truncated"},
      // Another format's magic.
      {"png.bmp", "\x89PNG\r\n\x1A\n" + bmp, K::MALFORMED, "malformed: not a BMP file"},
      {"bmp.jpg", bmp, K::MALFORMED, "malformed: not a JPEG file"},
      {"text.jpg", "\xFF\xD8 and then plain text", K::MALFORMED, "malformed: not a JPEG file"},
      {"bmp.gif", bmp, K::MALFORMED, "malformed: not a GIF file"},
      {"bmp.ico", bmp, K::MALFORMED, "malformed: not an icon file"},
      // Variants no decoder here reads: a BMP or an icon entry holding a
      // JPEG (compression 4), a lossless JPEG (SOF3).
      {"jpeg.bmp", patched32(bmp, 30, 4), K::UNSUPPORTED, "unsupported: BMP compression 4"},
      {"jpeg.ico", icon_file(4, 4, 4), K::UNSUPPORTED, "unsupported: BMP compression 4"},
      {"lossless.jpg", jpeg_frame(0xC3), K::UNSUPPORTED, "unsupported: " + jpeg_error(JERR_SOF_UNSUPPORTED)},
      // Past the pixel cap (2^28 pixels, 65535 a side).
      {"huge.bmp", patched32(patched32(bmp, 18, 20000), 22, 20000), K::TOO_LARGE,
       "too large: 20000 x 20000 pixels"},
      {"huge.jpg", jpeg_frame(0xC0, 40000, 40000), K::TOO_LARGE, "too large: 40000 x 40000 pixels"},
      {"huge.gif", gif_file(65535, 65535), K::TOO_LARGE, "too large: 65535 x 65535 pixels"},
      {"huge.ico", icon_file(70000, 4, 0), K::TOO_LARGE, "too large: 70000 x 4 pixels"},
  };
  for (const Damaged& d : table) {
    const Load_failure codec = codec_reason(d.name, d.bytes);
    EXPECT_EQ(codec.kind, d.kind) << d.name;
    EXPECT_EQ(codec.text(), d.text) << d.name;

    ASSERT_TRUE(brek_test::write_file(dir.file(d.name), d.bytes));
    Ref<C_Image> image = loaded(dir.file(d.name));
    EXPECT_TRUE(image->load_failed) << d.name;
    EXPECT_TRUE(image->picture.is_none() && image->animation.is_none()) << d.name;
    EXPECT_EQ(image->width, 0) << d.name;
    EXPECT_EQ(image->load_failure_reason.kind, d.kind) << d.name;
    EXPECT_EQ(image->load_failure(), d.text) << d.name;
  }
}

// Files the system will not read give its reason, through the whole-file
// read and through both ways the image opens files (a stream for BMP and
// JPEG, a whole read for GIF and icons).
TEST_F(LoadFailure, FilesThatCannotBeReadGiveTheSystemsReason) {
  for (const char* ext : {".bmp", ".jpg", ".gif", ".ico"}) {
    std::filesystem::create_directory(dir.file(std::string("folder") + ext));
    const struct {
      std::string path;
      int error;
      const char* text;
    } files[] = {
        {dir.file(std::string("missing") + ext), ENOENT, "No such file or directory"},
        {dir.file(std::string("folder") + ext), EISDIR, "Is a directory"},
    };
    for (const auto& f : files) {
      std::vector<uint8_t> bytes;
      Load_failure why;
      EXPECT_FALSE(Image_file_io::read_whole_file(f.path, bytes, &why));
      EXPECT_EQ(why.kind, K::UNREADABLE) << f.path;
      EXPECT_EQ(why.error, f.error) << f.path;

      Ref<C_Image> image = loaded(f.path);
      EXPECT_TRUE(image->load_failed) << f.path;
      EXPECT_EQ(image->load_failure_reason.error, f.error) << f.path;
      EXPECT_EQ(image->load_failure(), f.text) << f.path;
    }
  }
  // A file over the size any decoder is handed, without writing a
  // gigabyte: a sparse one.
  const std::string big = dir.file("big.gif");
  ASSERT_TRUE(brek_test::write_file(big, "GIF89a"));
  std::filesystem::resize_file(big, Image_file_io::MAX_FILE_BYTES + 1);
  EXPECT_EQ(loaded(big)->load_failure(), "too large: a file of 1073741825 bytes");
}

// Thrown out of a decode, an exception's text is the reason; a stop is
// the user's and passes untouched.
TEST_F(LoadFailure, AnExceptionInADecodeLeavesItsTextAndAStopPasses) {
  struct Raising : Brek_handler {
    bool stop = false;
    bool armed = true;
    void run() override {
      if (!armed) return;
      armed = false;
      if (stop) throw Stop_exception("stopped by the user");
      throw E_Limit_exceeded("decoding budget spent");
    }
  } raising;
  const std::string path = dir.file("a.gif");
  ASSERT_TRUE(brek_test::write_file(path, gif_file(4, 4)));
  Brek_runtime::register_tick_handler(&raising);
  // The reader's next loop tick runs the handlers.
  Brek_runtime::set_tick_counter(65535);
  Ref<C_Image> image = loaded(path);
  EXPECT_TRUE(image->load_failed);
  EXPECT_EQ(image->load_failure_reason.kind, K::RAISED);
  EXPECT_EQ(image->load_failure(), "decoding budget spent");

  raising.stop = raising.armed = true;
  Ref<C_Image> stopped = C_Image::create();
  stopped->file_name = path;
  Brek_runtime::set_tick_counter(65535);
  EXPECT_THROW(stopped->load_whole(), Stop_exception);
  EXPECT_FALSE(stopped->load_failed);
  EXPECT_EQ(stopped->load_failure(), "");
  Brek_runtime::unregister_tick_handler(&raising);

  // Unharmed, the file loads with no reason.
  Ref<C_Image> fine = loaded(path);
  EXPECT_FALSE(fine->load_failed);
  EXPECT_EQ(fine->load_failure(), "");
}

// The GIF class refuses what its reader cannot take with a message of
// its own, which is the reason on that reading path.
TEST_F(LoadFailure, TheGifClassesMessageIsTheReasonOnItsPath) {
  C_Gif::set_gif_code(gif_code_from::GIF_NATIVE);
  // After the clear code, a code past the next free entry names nothing.
  gif_test::Gif_writer g;
  g.header(2, 2, gif_test::grey_palette(4)).raw(",").raw(gif_test::le16(0) + gif_test::le16(0));
  g.raw(gif_test::le16(2) + gif_test::le16(2) + std::string(1, '\0'));
  g.raw("\x02" + gif_test::pack_codes({4, 6, 5}, 2)).trailer();
  const std::string path = dir.file("corrupt.gif");
  ASSERT_TRUE(brek_test::write_file(path, g.bytes()));
  EXPECT_EQ(loaded(path)->load_failure(), "malformed: GIF encoded data is corrupt");
}

// Texts that already name a failure say its reason too.
TEST_F(LoadFailure, NothingToSaveSaysWhyTheImageDidNotLoad) {
  Ref<C_Screen> screen = make<C_Screen>();
  screen->own_dialogs = 1;
  std::string said;
  C_Screen::set_own_dialog([&](const Ref<C_Form>&, const std::string& text, bool) {
    said = text;
    return false;
  });
  Ref<C_Form> form = make<C_Form>();
  const std::string path = dir.file("cut.bmp");
  ASSERT_TRUE(brek_test::write_file(path, bmp_file().substr(0, 60)));
  Ref<C_Image> image = C_Image::create();
  image->file_name = path;
  EXPECT_FALSE(image->save(form, dir.file("copy.bmp")));
  EXPECT_EQ(said, "Can not load image to save: truncated");
  EXPECT_FALSE(std::filesystem::exists(dir.file("copy.bmp")));
  C_Screen::set_own_dialog(nullptr);
}

}  // namespace
