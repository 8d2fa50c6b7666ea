#include "images/native_image_files.h"

#include <utility>

#include "baselib/stream.h"
#include "drawing/bitmap.h"
#include "images/bmp_codec.h"
#include "images/gif_animation.h"
#include "images/gif_writer.h"
#include "images/image_file_io.h"
#include "images/jpeg_codec.h"

namespace brek::Brek_drawing {

namespace {

// Hands a decoded picture to the bitmap and its owner.
bool take(Pixels& decoded, Native_bitmap* native) {
  if (decoded.empty()) return false;
  native->colour = std::move(decoded);
  native->alpha.reset();
  Ref<C_Bitmap> owner = native->owner.lock();
  owner->take_pixel_size();
  return native->colour.width() > 0 && native->colour.height() > 0;
}

}  // namespace

bool load_bmp(const DynAByte& bytes, Native_bitmap* native, Load_failure* why) {
  if (!native) return false;
  Pixels p;
  if (!Bmp_codec::decode(bytes.data(), size_t(bytes.count()), p, why)) return false;
  // A BMP with alpha of its own draws with it.
  bool opaque = true;
  for (int y = 0; y < p.height() && opaque; ++y)
    for (int x = 0; x < p.width(); ++x)
      if (Pixels::alpha(p.row(y)[x]) != 255) {
        opaque = false;
        break;
      }
  if (!take(p, native)) return false;
  if (!opaque) {
    native->opaque = false;
    native->owner.lock()->bits = 32;
  }
  return true;
}

bool load_jpeg(const DynAByte& bytes, Native_bitmap* native, int64_t factor, Load_failure* why) {
  if (!native) return false;
  Pixels p;
  int f = (factor == 2 || factor == 4 || factor == 8) ? int(factor) : 1;
  if (!Jpeg_codec::decode(bytes.data(), size_t(bytes.count()), f, p, Jpeg_codec::SPLIT_PIXELS, why)) return false;
  return take(p, native);
}

bool load_jpeg_part(const uint8_t* data, size_t size, Native_bitmap* native, const Jpeg_codec::Part& want,
                    Jpeg_codec::Part& got, Load_failure* why, Jpeg_codec::Part* exact) {
  if (!native) return false;
  Pixels p;
  if (!Jpeg_codec::decode_part(data, size, want, p, got, why, exact)) return false;
  return take(p, native);
}

bool load_gif(const DynAByte& bytes, Native_bitmap* native, Load_failure* why) {
  return load_gif(bytes.data(), bytes.count(), native, why);
}

bool load_gif(const uint8_t* data, int64_t size, Native_bitmap* native, Load_failure* why) {
  if (!native) return false;
  Ref<TGIFImage> gif = TGIFImage::create();
  try {
    gif->read_data(data, size);
  } catch (const E_Gif_error& e) {
    // Not a GIF the class reads: the bitmap stays as it was.
    return Load_failure::note(why, load_failure_kind::MALFORMED, e.what());
  }
  // A damaged file shows the frames read before the damage; one without
  // any frame shows nothing.
  if (gif->FrameCount() == 0)
    return Load_failure::note(why, gif->corrupted ? load_failure_kind::TRUNCATED : load_failure_kind::MALFORMED,
                              gif->corrupted ? "" : "no frame");
  auto animation = std::make_unique<Gif_animation>(gif);
  if (!Load_failure::size_allowed(animation->width(), animation->height(), why)) return false;
  if (!animation->show_frame(*native, 0)) return Load_failure::no_memory(why);
  native->animation = std::move(animation);
  native->owner.lock()->take_pixel_size();
  return true;
}

int64_t gif_frame_count(const Native_bitmap* native) {
  const Gif_animation* a = Gif_animation::of(native);
  return a ? a->frame_count() : 0;
}

void gif_compose_frame(Native_bitmap* native, int64_t index) {
  if (Gif_animation* a = Gif_animation::of(native)) a->show_frame(*native, index);
}

int64_t gif_frame_delay(const Native_bitmap* native) {
  const Gif_animation* a = Gif_animation::of(native);
  return a ? a->frame_delay() : 0;
}

bool save_gif(Native_bitmap* native, const Ref<C_Stream>& stream) {
  if (!native || native->colour.empty() || stream.is_none()) return false;
  Ref<C_Bitmap> owner = native->owner.lock();
  Ref<TGIFImage> gif = TGIFImage::create();
  gif->assign(native->colour, owner.is_none() ? 24 : owner->bits);
  try {
    return gif->save_to_stream(stream);
  } catch (const E_Gif_error&) {
    return false;
  }
}

bool no_decoder(const char* format, Load_failure* why) {
  return Load_failure::note(why, load_failure_kind::UNSUPPORTED, std::string("no ") + format + " decoder");
}

bool load_png(const DynAByte&, Native_bitmap*, Load_failure* why) { return no_decoder("PNG", why); }
bool load_pcx(const DynAByte&, Native_bitmap*, Load_failure* why) { return no_decoder("PCX", why); }
bool load_psd(const DynAByte&, Native_bitmap*, Load_failure* why) { return no_decoder("PSD", why); }
bool load_tga(const DynAByte&, Native_bitmap*, Load_failure* why) { return no_decoder("TGA", why); }
bool load_tiff(const DynAByte&, Native_bitmap*, Load_failure* why) { return no_decoder("TIFF", why); }
bool load_webp(const DynAByte&, Native_bitmap*, Load_failure* why) { return no_decoder("WebP", why); }
bool load_xpm(const DynAByte&, Native_bitmap*, Load_failure* why) { return no_decoder("XPM", why); }

bool save_bmp(Native_bitmap* native, const std::string& file_name) {
  if (!native || native->colour.empty()) return false;
  std::vector<uint8_t> bytes = Bmp_codec::encode24(native->colour);
  if (!Image_file_io::write_file_atomic(file_name, bytes.data(), bytes.size())) return false;
  if (!native->alpha || native->alpha->empty()) return true;
  bytes = Bmp_codec::encode24(*native->alpha);
  return Image_file_io::write_file_atomic(file_name + ".alpha.bmp", bytes.data(), bytes.size());
}

bool save_jpeg(Native_bitmap* native, const std::string& file_name) {
  if (!native) return false;
  return Image_file_io::save_jpeg(native->colour, file_name);
}

bool save_png(Native_bitmap*, const std::string&) { return false; }
bool save_webp(Native_bitmap*, const std::string&) { return false; }

// ".jpeg" is a JPEG wherever ".jpg" is.
bool can_load_ext(const std::string& e) {
  return e == "BMP" || e == "JPG" || e == "JPEG" || e == "ICO" || e == "CUR" || e == "GIF";
}

bool can_save_ext(const std::string& e) { return e == "BMP" || e == "JPG" || e == "JPEG" || e == "GIF"; }

}  // namespace brek::Brek_drawing
