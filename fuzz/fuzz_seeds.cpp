// Writes the starting corpus of every fuzz target: small valid files of
// each kind, made by the program's own encoders, by libjpeg with the
// settings the encoder does not use (progressive, greyscale, CMYK, restart
// markers, arithmetic coding) and by the test helpers that build BMP, GIF
// and PNG files byte by byte.
//
// Usage: fuzz_seeds <folder>; writes <folder>/<target>/seed-N.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include <jpeglib.h>

#include "images/bmp_codec.h"
#include "images/gif_writer.h"
#include "images/jpeg_codec.h"
#include "tests/images/gif_test_support.h"
#include "tests/images/image_test_util.h"

using brek::Pixels;
using namespace brek_test;

namespace {

std::string g_root;

void seed(const std::string& target, const std::string& bytes) {
  static int counter = 0;
  std::string dir = g_root + "/" + target;
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/seed-" + std::to_string(++counter), std::ios::binary) << bytes;
}

std::string str(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

// ---- JPEG ------------------------------------------------------------------

struct Jpeg_options {
  J_COLOR_SPACE space = JCS_RGB;
  bool progressive = false;
  bool arithmetic = false;
  int restart_rows = 0;
  int h_sampling = 2, v_sampling = 2;
};

struct Jpeg_error {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

extern "C" void jpeg_seed_error(j_common_ptr c) { std::longjmp(reinterpret_cast<Jpeg_error*>(c->err)->jump, 1); }

// A JPEG of the picture with settings the program's encoder never uses.
std::string libjpeg_file(const Pixels& p, const Jpeg_options& o) {
  jpeg_compress_struct c;
  Jpeg_error err;
  c.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = jpeg_seed_error;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&c);
    std::free(buffer);
    return {};
  }
  jpeg_create_compress(&c);
  jpeg_mem_dest(&c, &buffer, &size);
  c.image_width = JDIMENSION(p.width());
  c.image_height = JDIMENSION(p.height());
  int comps = o.space == JCS_GRAYSCALE ? 1 : o.space == JCS_CMYK ? 4 : 3;
  c.input_components = comps;
  c.in_color_space = o.space;
  jpeg_set_defaults(&c);
  if (o.space == JCS_CMYK) jpeg_set_colorspace(&c, JCS_YCCK);
  jpeg_set_quality(&c, 75, TRUE);
  if (comps > 1) {
    c.comp_info[0].h_samp_factor = o.h_sampling;
    c.comp_info[0].v_samp_factor = o.v_sampling;
  }
  if (o.progressive) jpeg_simple_progression(&c);
  c.arith_code = o.arithmetic ? TRUE : FALSE;
  c.restart_in_rows = o.restart_rows;
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(size_t(p.width()) * comps);
  while (c.next_scanline < c.image_height) {
    const uint32_t* s = p.row(int(c.next_scanline));
    for (int x = 0; x < p.width(); ++x) {
      uint32_t v = s[x];
      JSAMPLE* d = &row[size_t(x) * comps];
      if (comps == 1) {
        d[0] = Pixels::green(v);
      } else {
        d[0] = Pixels::red(v);
        d[1] = Pixels::green(v);
        d[2] = Pixels::blue(v);
        if (comps == 4) d[3] = JSAMPLE(x * 7);
      }
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::string out(reinterpret_cast<char*>(buffer), size);
  std::free(buffer);
  return out;
}

std::vector<std::string> jpeg_files() {
  std::vector<std::string> out;
  for (auto [w, h] : {std::pair{1, 1}, {17, 9}, {40, 33}}) {
    std::vector<uint8_t> bytes;
    if (brek::Jpeg_codec::encode(test_picture(w, h), 90, bytes)) out.push_back(str(bytes));
  }
  Pixels p = test_picture(24, 18);
  Jpeg_options grey;
  grey.space = JCS_GRAYSCALE;
  Jpeg_options progressive;
  progressive.progressive = true;
  Jpeg_options arithmetic;
  arithmetic.arithmetic = true;
  Jpeg_options restarts;
  restarts.restart_rows = 1;
  Jpeg_options cmyk;
  cmyk.space = JCS_CMYK;
  Jpeg_options odd_sampling;
  odd_sampling.h_sampling = 1;
  odd_sampling.v_sampling = 2;
  Jpeg_options grey_progressive = grey;
  grey_progressive.progressive = true;
  for (const auto& o : {grey, progressive, arithmetic, restarts, cmyk, odd_sampling, grey_progressive})
    out.push_back(libjpeg_file(p, o));
  // Tall enough for a restart marker near the middle to start a row: the
  // second decoder's way in.
  out.push_back(libjpeg_file(test_picture(24, 300), restarts));
  // Files ending in their scan header, with restart markers and a frame
  // large enough for the second decoder: nothing may be read past them.
  for (const std::string& f : jpegs_with_scan_header_cut()) out.push_back(f);
  return out;
}

// ---- BMP -------------------------------------------------------------------

// Rows of every depth with values that change along both axes.
std::string bits_rows(int w, int h, int bpp, bool top_down) {
  return bmp_rows(w, h, bpp, top_down, [bpp](int x, int y) {
    const uint32_t v = uint32_t(x * 5 + y * 3);
    return bpp < 8 ? v : v * 37;
  });
}

// A DIB: header of hsize bytes, masks, palette, bits.
std::string dib(int hsize, int w, int h, int bpp, uint32_t compression, const std::string& bits,
                int palette_entries, const std::vector<uint32_t>& masks = {}) {
  std::string d;
  put32le(d, uint32_t(hsize));
  if (hsize == 12) {
    put16le(d, uint32_t(w));
    put16le(d, uint32_t(h));
    put16le(d, 1);
    put16le(d, uint32_t(bpp));
  } else {
    put32le(d, uint32_t(w));
    put32le(d, uint32_t(h));
    put16le(d, 1);
    put16le(d, uint32_t(bpp));
    put32le(d, compression);
    put32le(d, uint32_t(bits.size()));
    put32le(d, 2835);
    put32le(d, 2835);
    put32le(d, uint32_t(palette_entries));
    put32le(d, 0);
    for (size_t i = 0; d.size() < size_t(hsize); ++i) put32le(d, i < masks.size() ? masks[i] : 0);
  }
  if (hsize == 40 && compression == 3)
    for (uint32_t m : masks) put32le(d, m);
  for (int i = 0; i < palette_entries; ++i) {
    d.push_back(char(i * 13));
    d.push_back(char(i * 7));
    d.push_back(char(255 - i));
    if (hsize != 12) d.push_back(0);
  }
  return d + bits;
}

std::string bmp_file(const std::string& d) {
  std::string f = "BM";
  put32le(f, uint32_t(14 + d.size()));
  put32le(f, 0);
  uint32_t hsize = uint8_t(d[0]) | uint8_t(d[1]) << 8;
  // The offset of the bits: after header, masks and palette.
  uint32_t bpp = hsize == 12 ? (uint8_t(d[10]) | uint8_t(d[11]) << 8) : (uint8_t(d[14]) | uint8_t(d[15]) << 8);
  uint32_t entries = bpp <= 8 ? (1u << bpp) : 0;
  uint32_t masks = (hsize == 40 && d.size() > 16 && uint8_t(d[16]) == 3) ? 12 : 0;
  put32le(f, 14 + hsize + masks + entries * (hsize == 12 ? 3 : 4));
  return f + d;
}

std::vector<std::string> dibs() {
  std::vector<std::string> out;
  for (int bpp : {1, 4, 8, 24, 32}) {
    int entries = bpp <= 8 ? 1 << bpp : 0;
    out.push_back(dib(40, 13, 5, bpp, 0, bits_rows(13, 5, bpp, false), entries));
    out.push_back(dib(40, 7, -4, bpp, 0, bits_rows(7, 4, bpp, true), entries));
  }
  for (int bpp : {1, 4, 8, 24}) out.push_back(dib(12, 9, 3, bpp, 0, bits_rows(9, 3, bpp, false), bpp <= 8 ? 1 << bpp : 0));
  out.push_back(dib(40, 6, 4, 16, 0, bits_rows(6, 4, 16, false), 0));
  out.push_back(dib(40, 6, 4, 16, 3, bits_rows(6, 4, 16, false), 0, {0xF800, 0x07E0, 0x001F}));
  out.push_back(dib(108, 5, 3, 32, 3, bits_rows(5, 3, 32, false), 0, {0xFF0000, 0xFF00, 0xFF, 0xFF000000u}));
  out.push_back(dib(124, 5, 3, 32, 0, bits_rows(5, 3, 32, false), 0, {0xFF0000, 0xFF00, 0xFF, 0xFF000000u}));
  // RLE8: a run, an escape with absolute bytes, a delta, end of line, end.
  std::string rle8 = std::string("\x03\x05\x00\x03\x01\x02\x03\x00\x00\x02\x01\x01\x00\x00\x02\x07\x00\x01", 18);
  out.push_back(dib(40, 8, 4, 8, 1, rle8, 256));
  std::string rle4 = std::string("\x05\x12\x00\x04\x34\x56\x00\x00\x03\x21\x00\x01", 12);
  out.push_back(dib(40, 8, 3, 4, 2, rle4, 16));
  // Alpha used by one pixel alone: the others are wholly transparent with
  // colours behind them.
  auto one_alpha = [](int x, int y) { return uint32_t(x * 5 + y * 3) * 37 | (x == 4 && y == 1 ? 0x37u << 24 : 0); };
  out.push_back(dib(108, 5, 3, 32, 3, bmp_rows(5, 3, 32, false, one_alpha), 0, {0xFF0000, 0xFF00, 0xFF, 0xFF000000u}));
  // Larger than a cell, so the fitted read averages them down: with alpha,
  // and with a palette.
  out.push_back(dib(108, 80, 50, 32, 3, bits_rows(80, 50, 32, false), 0, {0xFF0000, 0xFF00, 0xFF, 0xFF000000u}));
  out.push_back(dib(40, 64, -40, 8, 0, bits_rows(64, 40, 8, true), 256));
  return out;
}

// ---- icons -----------------------------------------------------------------

// An icon entry: a DIB whose height counts the AND mask, then the mask.
std::string icon_dib(int w, int h, int bpp) {
  int entries = bpp <= 8 ? 1 << bpp : 0;
  std::string mask;
  int stride = ((w + 31) / 32) * 4;
  for (int y = 0; y < h; ++y)
    for (int i = 0; i < stride; ++i) mask.push_back(char(y & 1 ? 0xF0 : 0x0F));
  return dib(40, w, 2 * h, bpp, 0, bits_rows(w, h, bpp, false) + mask, entries);
}

std::string icon_file(const std::vector<std::string>& entries, int type) {
  std::string f;
  put16le(f, 0);
  put16le(f, uint32_t(type));
  put16le(f, uint32_t(entries.size()));
  size_t offset = 6 + 16 * entries.size();
  for (const auto& e : entries) {
    f.push_back(16);
    f.push_back(16);
    f.push_back(0);
    f.push_back(0);
    put16le(f, 1);
    put16le(f, 32);
    put32le(f, uint32_t(e.size()));
    put32le(f, uint32_t(offset));
    offset += e.size();
  }
  for (const auto& e : entries) f += e;
  return f;
}

std::vector<std::string> icon_files() {
  std::vector<std::string> out;
  out.push_back(icon_file({icon_dib(16, 16, 32)}, 1));
  out.push_back(icon_file({icon_dib(8, 8, 4), icon_dib(16, 16, 8), icon_dib(4, 4, 1)}, 1));
  out.push_back(icon_file({icon_dib(12, 12, 24)}, 2));
  out.push_back(icon_file({make_png(test_picture(6, 5)), icon_dib(4, 4, 32)}, 1));
  return out;
}

// ---- GIF -------------------------------------------------------------------

std::vector<std::string> gif_files() {
  using namespace gif_test;
  std::vector<std::string> out;
  auto indexes = [](int w, int h, int mod) {
    std::vector<uint8_t> v(size_t(w) * size_t(h));
    for (size_t i = 0; i < v.size(); ++i) v[i] = uint8_t((i * 7 + i / 5) % size_t(mod));
    return v;
  };
  {
    Frame_desc s;
    s.width = 10;
    s.height = 7;
    s.indexes = indexes(10, 7, 4);
    out.push_back(Gif_writer().header(10, 7, grey_palette(4)).image(s).trailer().bytes());
    s.interlaced = true;
    out.push_back(Gif_writer().header(10, 7, grey_palette(4)).comment({"seed"}).image(s).trailer().bytes());
  }
  {
    // An animation: every disposal, transparency, a local palette, a frame
    // partly off the screen, the loop extension.
    Gif_writer w;
    w.header(12, 10, grey_palette(16), 3).looping(0);
    for (int d = 0; d < 4; ++d) {
      Frame_desc s = solid(d * 2, d, 6, 5, uint8_t(d + 1));
      s.indexes = indexes(6, 5, 16);
      if (d == 2) s.local_palette = grey_palette(2), s.indexes = indexes(6, 5, 2);
      w.graphic_control(d, 5, d == 1 ? 0 : -1).image(s);
    }
    Frame_desc off = solid(9, 8, 6, 6, 5);
    w.graphic_control(3, 2, 5).image(off);
    out.push_back(w.trailer().bytes());
  }
  {
    Frame_desc s;
    s.width = 40;
    s.height = 3;
    s.indexes = indexes(40, 3, 256);
    s.lzw.clear_when_full = false;
    out.push_back(Gif_writer().header(40, 3, grey_palette(256)).image(s).trailer().bytes());
  }
  {
    // Larger than a cell, so the fitted read composes them row by row: a
    // frame inside the screen with a transparent colour, interlaced, over
    // the background; a still of 256 colours covering the screen.
    Frame_desc s;
    s.left = 7, s.top = 5, s.width = 60, s.height = 40;
    s.indexes = indexes(60, 40, 16);
    s.interlaced = true;
    out.push_back(Gif_writer().header(90, 50, grey_palette(16), 3).graphic_control(1, 0, 2).image(s).trailer().bytes());
    Frame_desc still;
    still.width = 120, still.height = 70;
    still.indexes = indexes(120, 70, 256);
    out.push_back(Gif_writer().header(120, 70, grey_palette(256)).image(still).trailer().bytes());
    // A first frame wholly off the screen: the background alone, nothing
    // decoded.
    out.push_back(Gif_writer().header(50, 30, grey_palette(4), 1).image(solid(60, 5, 4, 4, 2)).trailer().bytes());
  }
  return out;
}

// Files the GIF image class writes itself: a photograph reduced to 256
// colours, and an animation with a local table, a transparent colour, a
// delay, a disposal, the loop and a comment. Then a file with a comment,
// cut inside a data sub-block of its frame, as damaged files come.
std::vector<std::string> gif_image_files() {
  using brek::Ref;
  using brek::TGIFFrame;
  using brek::TGIFImage;
  std::vector<std::string> out;
  Ref<TGIFImage> photo = TGIFImage::create();
  photo->assign(test_picture(20, 14), 24);
  out.push_back(str(photo->write_data()));

  Ref<TGIFImage> animation = TGIFImage::create();
  animation->add_frame(test_picture(12, 10), 24);
  Pixels mono(7, 5, Pixels::bgra(0, 0, 0));
  for (int x = 0; x < 7; x += 2) mono.set(x, x % 5, Pixels::bgra(255, 255, 255));
  Ref<TGIFFrame> f = animation->add_frame(mono, 1, brek::Colors::make(255, 255, 255));
  f->left = 3;
  f->top = 2;
  f->delay = 70;
  f->disposal = 2;
  animation->looping = true;
  animation->loop_count = 3;
  animation->data.comments = {"seed"};
  out.push_back(str(animation->write_data()));

  gif_test::Gif_writer damaged;
  damaged.header(10, 7, gif_test::grey_palette(4)).comment({"a comment longer than the cut leaves out"});
  gif_test::Frame_desc s;
  s.width = 10;
  s.height = 7;
  for (int i = 0; i < 10 * 7; ++i) s.indexes.push_back(uint8_t((i * 7 + i / 5) % 4));
  const std::string whole = damaged.image(s).bytes();
  // Four bytes of its one sub-block left out, and the terminator.
  out.push_back(whole.substr(0, whole.size() - 5));
  return out;
}

// ---- other header formats --------------------------------------------------

std::vector<std::string> header_files() {
  std::vector<std::string> out;
  std::string pcx(128, '\0');
  pcx[0] = 10;
  pcx[8] = 99;
  pcx[10] = 49;
  out.push_back(pcx);
  std::string psd = "8BPS";
  put16be(psd, 1);
  psd += std::string(6, '\0');
  put16be(psd, 3);
  put32be(psd, 480);
  put32be(psd, 640);
  out.push_back(psd);
  std::string tga(18, '\0');
  tga[2] = 2;
  tga[12] = char(200);
  tga[14] = 100;
  out.push_back(tga);
  for (bool big : {false, true}) {
    std::string t = big ? "MM" : "II";
    auto u16 = [&](uint32_t v) { big ? put16be(t, v) : put16le(t, v); };
    auto u32 = [&](uint32_t v) { big ? put32be(t, v) : put32le(t, v); };
    u16(42);
    u32(8);
    u16(3);
    for (auto [tag, type, value] : {std::tuple{256u, 3u, 320u}, {257u, 4u, 240u}, {259u, 3u, 4u}}) {
      u16(tag);
      u16(type);
      u32(1);
      if (type == 3) {
        u16(value);
        u16(0);
      } else {
        u32(value);
      }
    }
    u32(0);
    out.push_back(t);
  }
  return out;
}

// ---- the LZW target's parameters -------------------------------------------

// The data, then the arguments as the target reads them from the end.
std::string lzw_input(const std::string& blocks, bool interlaced, int min_code, int depth_index, int w, int h) {
  std::vector<uint8_t> taken;  // in the order the target takes them
  taken.push_back(interlaced ? 1 : 0);
  taken.push_back(uint8_t(min_code));
  taken.push_back(uint8_t(depth_index));
  taken.push_back(1);  // not the rare large size
  taken.push_back(uint8_t(h >> 8));
  taken.push_back(uint8_t(h));
  taken.push_back(uint8_t(w >> 8));
  taken.push_back(uint8_t(w));
  taken.push_back(2);  // position 0
  taken.push_back(0);  // every row kept
  taken.push_back(0);
  return blocks + std::string(taken.rbegin(), taken.rend());
}

std::vector<std::string> lzw_inputs() {
  using namespace gif_test;
  std::vector<std::string> out;
  std::vector<uint8_t> idx(60);
  for (size_t i = 0; i < idx.size(); ++i) idx[i] = uint8_t(i % 3 == 0 ? i % 4 : 1);
  out.push_back(lzw_input(pack_codes(lzw_codes(idx, 2), 2), false, 2, 2, 10, 6));
  out.push_back(lzw_input(pack_codes(lzw_codes(idx, 2), 2), true, 2, 1, 6, 10));
  std::vector<uint8_t> wide(300);
  for (size_t i = 0; i < wide.size(); ++i) wide[i] = uint8_t(i * 31);
  Lzw_options deferred;
  deferred.clear_when_full = false;
  deferred.end_code = false;
  out.push_back(lzw_input(pack_codes(lzw_codes(wide, 8, deferred), 8, 17), false, 8, 2, 30, 10));
  std::vector<uint8_t> bits(64);
  for (size_t i = 0; i < bits.size(); ++i) bits[i] = uint8_t((i / 3) & 1);
  out.push_back(lzw_input(pack_codes(lzw_codes(bits, 2), 2), true, 2, 0, 8, 8));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  g_root = argv[1];
  std::vector<std::string> jpegs = jpeg_files(), ds = dibs(), icons = icon_files(), gifs = gif_files();
  std::vector<std::string> bmps;
  for (const auto& d : ds) bmps.push_back(bmp_file(d));
  bmps.push_back(str(brek::Bmp_codec::encode24(test_picture(9, 4))));
  std::string png = make_png(test_picture(5, 4));

  for (const auto& f : jpegs) seed("jpeg_fuzz", f);
  for (const auto& f : bmps) seed("bmp_fuzz", f);
  for (const auto& d : ds) seed("bmp_fuzz", d);
  for (const auto& f : bmps) seed("bmp_rows_fuzz", f);
  for (const auto& f : icons) seed("icon_fuzz", f);
  for (const auto& f : gifs) seed("gif_fuzz", f);
  for (const auto& f : gifs) seed("gif_image_fuzz", f);
  for (const auto& f : gif_image_files()) seed("gif_image_fuzz", f);
  for (const auto& f : lzw_inputs()) seed("lzw_fuzz", f);

  std::vector<std::string> headers = header_files();
  headers.push_back(jpegs[1]);
  headers.push_back(gifs[0]);
  headers.push_back(bmps[0]);
  headers.push_back(icons[0]);
  headers.push_back(png);
  for (const auto& f : headers) seed("image_header_fuzz", f);

  // The image target: the extension's index and the target size first.
  auto image = [](int ext, const std::string& f) { seed("image_file_fuzz", std::string{char(ext), char(0x35)} + f); };
  for (const auto& f : bmps) image(0, f);
  for (size_t i = 0; i < jpegs.size(); ++i) image(i % 2 ? 1 : 2, jpegs[i]);
  for (const auto& f : icons) image(3, f);
  for (const auto& f : gifs) image(5, f);
  image(6, png);

  // Streams: texts with and without byte-order marks, written and read.
  for (const char* text : {"\x00\x05\x06\x07\x08\x09\x10", "\x02\x00line one\r\nline two\n\x07\x07\x07",
                           "\x01\x01\x00\xEF\xBB\xBFtext\x09\x07\x07", "\x0d\x03hello\x0e\x11\x10\x02\x00"})
    seed("stream_fuzz", std::string(text, std::char_traits<char>::length(text) + 1));
  return 0;
}
