// Image files as the viewer opens them: a file of any extension read for
// its header, loaded (reduced where the target allows) and loaded whole,
// the format classes over a memory stream of the same bytes, and a GIF
// animation through the drawing glue; and the fitted read a cell's worker
// does, at a cell's size.
#include <cstddef>
#include <cstdint>
#include <string>

#include "baselib/memory_stream.h"
#include "drawing/brek_drawing.h"
#include "fuzz/fuzz_support.h"
#include "images/format_classes.h"
#include "images/image.h"
#include "images/jpeg_codec.h"
#include "images/picture_fit.h"

using namespace brek;

namespace {

const char* const kExtensions[] = {".bmp", ".jpg", ".jpeg", ".ico", ".cur", ".gif", ".png",
                                   ".tif", ".pcx", ".psd",  ".tga", ".xpm", ".webp", ".txt"};
constexpr size_t kCount = sizeof kExtensions / sizeof *kExtensions;

bool too_large(const uint8_t* d, size_t n) {
  return brek_fuzz::jpeg_too_large(d, n, 8) || brek_fuzz::dib_too_large(d, n, 14) ||
         brek_fuzz::gif_screen_too_large(d, n) || brek_fuzz::icon_too_large(d, n);
}

void check_bitmap(const Ref<C_Bitmap>& b) {
  if (b.is_none()) return;
  if (b->width <= 0 || b->height <= 0) __builtin_trap();
}

// The read a cell's worker does, the picture straight to at most 37 x 23
// (its central part when `crop`), from the size the header gave: of that
// size when it succeeds, and only for the formats it reads.
void check_fitted(const std::string& path, const std::string& ext, int64_t pw, int64_t ph, bool crop) {
  const int w = int(std::clamp<int64_t>(pw, 0, 37)), h = int(std::clamp<int64_t>(ph, 0, 23));
  Pixels out;
  bool alpha = false;
  Load_failure why;
  const bool ok = Picture_fit::decode_reduced(path, ext, Picture_fit::part(pw, ph, w, h, crop), w, h, out, alpha, &why);
  if (ok != !out.empty() || (ok && (out.width() != w || out.height() != h || why.failed()))) __builtin_trap();
  if (ok && !Picture_fit::decodes_reduced(ext)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string ext = kExtensions[data[0] % kCount];
  const uint8_t target = data[1];
  const uint8_t* body = data + 2;
  const size_t n = size - 2;
  if (too_large(body, n)) return 0;
  brek_fuzz::limit_gif_image_frames();
  const std::string path = brek_fuzz::write_scratch("picture" + ext, body, n);

  // The viewer's sequence: header, then a load for a target, then whole.
  Ref<C_Image> image = C_Image::create();
  image->file_name = path;
  double tw = (target & 0x0F) * 40.0, th = (target >> 4) * 30.0;
  image->read_header_info(tw, th);
  check_fitted(path, ext, image->width, image->height, target & 1);
  image->load(tw, th);
  image->load_whole();
  image->load(tw, th);
  check_bitmap(image->picture);
  check_bitmap(image->reduced);
  if (!image->picture.is_none() && (image->width != image->picture->width || image->height != image->picture->height))
    __builtin_trap();
  if (!image->picture.is_none() || !image->animation.is_none()) {
    bool nothing = false;
    image->save_picture(brek_fuzz::scratch_dir() + "saved.bmp", nothing);
    // An animation none of whose frames decodes has nothing to save.
    if (nothing && image->animation.is_none()) __builtin_trap();
  }

  // The format classes over a stream positioned at the data.
  auto stream = C_Memory_stream_contig::create();
  stream->write_buffer(data, int64_t(size));
  Ref<C_Stream> s(stream);
  auto from_start = [&] {
    stream->seek_int64(2);
    return s;
  };
  check_bitmap(C_Bmp::load_from_stream(from_start()));
  for (auto reduce : {reduce_size_of_jpeg_while_load::FULL, reduce_size_of_jpeg_while_load::EIGH}) {
    try {
      check_bitmap(C_Jpeg::load_from_stream(from_start(), reduce));
    } catch (const E_Jpeg_error&) {
    }
  }
  check_bitmap(C_Png::load_from_stream(from_start(), reduce_size_of_jpeg_while_load::HALF));
  check_bitmap(C_Tga::load_from_stream(from_start()));

  // A GIF kept beside a bitmap: its frames shown in turn through the glue.
  Ref<C_Bitmap> b = C_Bitmap::create(1, 1, 0);
  if (b->native && C_Brek_drawing::load_gif(from_start(), b->native.get())) {
    int64_t frames = C_Brek_drawing::gif_frame_count(b->native.get());
    if (frames <= 0) __builtin_trap();
    for (int64_t i = 0; i < frames && i < 8; ++i) {
      C_Brek_drawing::gif_show_frame(b->native.get(), (i * 5 + target) % frames);
      (void)C_Brek_drawing::gif_frame_delay(b->native.get());
    }
  }
  return 0;
}
