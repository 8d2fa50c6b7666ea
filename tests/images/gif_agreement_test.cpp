// The own GIF reader against independent decoders: giflib's decoding with a
// plain composition, and gifsicle's own composition of its animations.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "gif_test_support.h"
#include "images/gif.h"
#include "tests/support/temp_dir.h"

using brek::C_Gif;
using brek::Pixels;
using brek::Ref;
using namespace gif_test;

namespace {

// Every frame composed by the own reader equals giflib's.
void expect_agreement(const std::string& bytes, const std::string& what) {
  Reference ref = giflib_decode(bytes);
  ASSERT_TRUE(ref.ok) << what;
  Ref<C_Gif> gif = C_Gif::load_from_bytes(bytes);
  ASSERT_EQ(gif->frame_count(), static_cast<int64_t>(ref.composed.size())) << what;
  ASSERT_EQ(gif->width(), ref.width) << what;
  for (int64_t i = 0; i < gif->frame_count(); ++i) {
    gif->set_current_frame(i);
    const Pixels& p = gif->render_current_frame();
    ASSERT_EQ(first_difference(p, ref.composed[i]), "") << what << ", frame " << i;
    ASSERT_EQ(first_difference(gif->decode_frame(i), ref.raw[i]), "") << what << ", frame " << i << " alone";
    EXPECT_EQ(gif->frames[i].delay, ref.delays[i] * 10) << what;
  }
}

// 80 x 60 frames: a checkered ground, a disc and a bar that move.
std::vector<std::vector<uint8_t>> moving_scene(int frames, int colours) {
  std::vector<std::vector<uint8_t>> out;
  for (int f = 0; f < frames; ++f) {
    std::vector<uint8_t> px(80 * 60);
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 80; ++x) {
        int v = ((x / 10 + y / 10) % 4);
        if ((x - 10 - f * 4) * (x - 10 - f * 4) + (y - 30) * (y - 30) < 100) v = 5 + f;
        else if (y > 20 && y < 30 && x > f * 3 && x < f * 3 + 10) v = colours - 1;
        px[y * 80 + x] = static_cast<uint8_t>(v % colours);
      }
    out.push_back(std::move(px));
  }
  return out;
}

std::string scene_gif(int frames) {
  brek::Gif_palette pal(256);
  for (int i = 0; i < 256; ++i)
    pal[i] = {static_cast<uint8_t>(i * 37), static_cast<uint8_t>(i * 91), static_cast<uint8_t>(i * 13)};
  Gif_writer w;
  w.header(80, 60, pal).looping(0);
  for (auto& px : moving_scene(frames, 256)) {
    Frame_desc s = solid(0, 0, 80, 60, 0);
    s.indexes = px;
    w.graphic_control(1, 4).image(s);
  }
  return w.trailer().bytes();
}

// A 16 x 16 sprite: a ring of colour c around a transparent middle.
std::string sprite_gif(uint32_t rgb) {
  Frame_desc s = solid(0, 0, 16, 16, 1);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      if ((x - 8) * (x - 8) + (y - 8) * (y - 8) < 20) s.indexes[y * 16 + x] = 0;
  Gif_writer w;
  w.header(16, 16, make_palette({0x000000, rgb})).graphic_control(1, 0, 0).image(s).trailer();
  return w.bytes();
}

}  // namespace

TEST(GifAgreement, GiflibOnStreamsOfEveryKind) {
  std::mt19937 rng(5);
  for (int entries : {2, 4, 16, 64, 256}) {
    for (bool interlaced : {false, true}) {
      Frame_desc s = solid(0, 0, 53, 29, 0);
      for (auto& v : s.indexes) v = static_cast<uint8_t>(rng() % 3 ? (rng() % entries) : 0);
      s.interlaced = interlaced;
      Gif_writer w;
      w.header(53, 29, grey_palette(entries)).image(s).trailer();
      expect_agreement(w.bytes(), std::to_string(entries) + (interlaced ? " interlaced" : ""));
    }
  }
  // No clear code at the start; a table kept full (deferred clear code).
  Frame_desc plain = solid(0, 0, 300, 200, 0);
  for (size_t i = 0; i < plain.indexes.size(); ++i) plain.indexes[i] = static_cast<uint8_t>((i / 3 + rng() % 2) % 200);
  Frame_desc no_clear = plain;
  no_clear.lzw.initial_clear = false;
  Frame_desc deferred = plain;
  deferred.lzw.clear_when_full = false;
  for (const Frame_desc* s : {&no_clear, &deferred}) {
    Gif_writer w;
    w.header(300, 200, grey_palette(256)).image(*s).trailer();
    expect_agreement(w.bytes(), s == &no_clear ? "no clear code" : "deferred clear");
  }
  // Local palettes, offsets, transparency and every disposal.
  Gif_writer w;
  w.header(40, 30, make_palette({0x112233, 0xFF0000, 0x00FF00, 0x0000FF}), 2);
  Frame_desc a = solid(5, 5, 20, 10, 1);
  a.local_palette = grey_palette(16);
  for (size_t i = 0; i < a.indexes.size(); ++i) a.indexes[i] = static_cast<uint8_t>(i % 16);
  w.graphic_control(1, 3, 4).image(a);
  w.graphic_control(3, 2, 0).image(solid(10, 0, 25, 25, 3));
  w.graphic_control(2, 1).image(solid(0, 20, 40, 10, 1));
  w.graphic_control(1, 7, 2).image(solid(1, 1, 38, 28, 2));
  w.trailer();
  expect_agreement(w.bytes(), "disposals");
}

// Animations that run through the four disposal fields in every order,
// with full and partial frames, with and without transparent pixels: a
// frame that states no disposal leaves its picture in place, as it does
// for giflib, whatever disposal an earlier frame had.
TEST(GifAgreement, EveryOrderOfTheFourDisposals) {
  std::vector<int> order = {0, 1, 2, 3};
  const brek::Gif_palette pal = grey_palette(16);
  int animations = 0;
  do {
    for (bool transparent : {false, true}) {
      Gif_writer w;
      w.header(24, 16, pal, 5);
      for (int f = 0; f < 12; ++f) {
        // Every third frame covers the screen; the others move about it.
        const bool full = f % 3 == 0;
        Frame_desc s = full ? solid(0, 0, 24, 16, 0) : solid((f * 5) % 14, (f * 3) % 8, 10, 8, 0);
        for (size_t i = 0; i < s.indexes.size(); ++i)
          s.indexes[i] = static_cast<uint8_t>((i * 7 + static_cast<size_t>(f) * 3) % 16);
        // Index 9 falls on a scattered seventh of the pixels.
        w.graphic_control(order[static_cast<size_t>(f) % 4], 2, transparent ? 9 : -1).image(s);
      }
      w.trailer();
      std::string name = "order";
      for (int d : order) name += " " + std::to_string(d);
      expect_agreement(w.bytes(), name + (transparent ? ", transparent" : ""));
      ++animations;
    }
  } while (std::next_permutation(order.begin(), order.end()));
  EXPECT_EQ(animations, 48);
}

TEST(GifAgreement, AnimationsMadeByGifsicle) {
  if (!have_gifsicle()) GTEST_SKIP() << "gifsicle is not installed";
  brek_test::Temp_dir dir;
  ASSERT_TRUE(brek_test::write_file(dir.file("scene.gif"), scene_gif(14)));
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(brek_test::write_file(dir.file("s" + std::to_string(i) + ".gif"),
                                      sprite_gif(i == 0 ? 0xFF8000 : i == 1 ? 0x00C0FF : 0x80FF40)));
  const std::string d = dir.path() + "/";

  struct Variant {
    const char* name;
    std::string args;
  };
  std::vector<Variant> variants = {
      {"optimised", "-O3 " + d + "scene.gif"},
      {"interlaced", "-O2 -i " + d + "scene.gif"},
      {"16 colours", "-O2 --colors 16 " + d + "scene.gif"},
      {"2 colours", "-O1 --colors 2 " + d + "scene.gif"},
      {"sprites", "--logical-screen 64x48 -d 3 -D asis " + d + "s0.gif -D background -p 10,8 " + d +
                      "s1.gif -D previous -p 30,20 " + d + "s2.gif -D asis -p 44,4 " + d +
                      "s1.gif -D previous -p 40,30 " + d + "s0.gif -D background -p 5,30 " + d +
                      "s2.gif -D asis -p 20,20 " + d + "s1.gif"},
  };
  for (const auto& v : variants) {
    SCOPED_TRACE(v.name);
    const std::string out = d + "out.gif";
    ASSERT_TRUE(run_gifsicle(v.args + " -o " + out));
    std::string bytes = read_bytes(out);
    expect_agreement(bytes, v.name);

    // gifsicle's own composition of each frame. Where it leaves a pixel
    // transparent (nothing drawn there yet, or restored to the
    // background), the own reader shows the background colour opaque.
    std::filesystem::remove_all(d + "x");
    std::filesystem::create_directory(d + "x");
    ASSERT_TRUE(run_gifsicle("-U --explode " + out + " -o " + d + "x/f"));
    Ref<C_Gif> gif = C_Gif::load_from_bytes(bytes);
    const uint32_t back = C_Gif::pixel_of(gif->background_color, 255);
    for (int64_t i = 0; i < gif->frame_count(); ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "x/f.%03d", static_cast<int>(i));
      Reference alone = giflib_decode(read_bytes(d + name));
      ASSERT_TRUE(alone.ok && alone.raw.size() == 1) << name;
      std::vector<uint32_t> want = alone.raw[0];
      ASSERT_EQ(static_cast<int64_t>(want.size()), gif->width() * gif->height()) << name;
      for (auto& px : want)
        if ((px >> 24) == 0) px = back;
      gif->set_current_frame(i);
      ASSERT_EQ(first_difference(gif->render_current_frame(), want), "") << "frame " << i;
    }
  }
}

TEST(GifAgreement, MalformedInputIsSafe) {
  // Mutated and cut copies of a small animation: every one loads and
  // renders every frame without reading or writing outside its buffers.
  Gif_writer w;
  w.header(24, 16, make_palette({0x000000, 0xFF0000, 0x00FF00, 0x0000FF})).looping(2).comment({"c"});
  for (int f = 0; f < 4; ++f) {
    Frame_desc s = solid(f * 2, f, 12, 10, static_cast<uint8_t>(f % 4));
    for (size_t i = 0; i < s.indexes.size(); ++i) s.indexes[i] = static_cast<uint8_t>((i + f) % 4);
    s.interlaced = f % 2;
    w.graphic_control(f % 4, 1, f % 2 ? 1 : -1).image(s);
  }
  const std::string good = w.trailer().bytes();
  std::mt19937 rng(11);
  for (int round = 0; round < 400; ++round) {
    std::string bad = good;
    int edits = 1 + rng() % 6;
    for (int e = 0; e < edits; ++e) bad[rng() % bad.size()] = static_cast<char>(rng());
    if (round % 3 == 0) bad.resize(rng() % bad.size());
    Ref<C_Gif> gif = C_Gif::load_from_bytes(bad);
    for (int64_t i = gif->frame_count() - 1; i >= 0; --i) {
      gif->set_current_frame(i);
      const Pixels& p = gif->render_current_frame();
      if (!p.empty()) {
        ASSERT_EQ(p.width(), gif->width());
      }
      gif->decode_frame(i);
    }
  }
}
