#include "images/format_classes.h"

#include <vector>

#include "baselib/file_stream.h"
#include "drawing/brek_drawing.h"
#include "images/image_file_io.h"
#include "images/native_image_files.h"

namespace brek {

int64_t reduction_factor(reduce_size_of_jpeg_while_load reduce) {
  switch (reduce) {
    case reduce_size_of_jpeg_while_load::FULL: return 1;
    case reduce_size_of_jpeg_while_load::HALF: return 2;
    case reduce_size_of_jpeg_while_load::QUAR: return 4;
    case reduce_size_of_jpeg_while_load::EIGH: return 8;
  }
  return 0;
}

namespace {

// A new 1 x 1 bitmap of the default depth filled by `load`; the None bitmap
// when that fails.
template <class Load>
Ref<C_Bitmap> load_into_new(Load load, Load_failure* why) {
  Ref<C_Bitmap> b = C_Bitmap::create(1, 1, 0);
  if (!b->native) Load_failure::no_memory(why);
  if (b->native && load(b->native.get())) return b;
  return Ref<C_Bitmap>();
}

// Opens the file for reading (never creating it) and loads from it.
template <class From_stream>
Ref<C_Bitmap> from_file(const std::string& file_name, Load_failure* why, From_stream from_stream) {
  Ref<C_File_stream> s = C_File_stream::open_read(file_name);
  if (s->file_handle == 0) {
    Load_failure::note_error(why, s->error);
    return Ref<C_Bitmap>();
  }
  Ref<C_Bitmap> b = from_stream(Ref<C_Stream>(s));
  s->close();
  return b;
}

Native_bitmap* native_of(const Ref<C_Bitmap>& bitmap) { return bitmap->native.get(); }

}  // namespace

Ref<C_Bitmap> C_Bmp::load_from_file(const std::string& file_name, Load_failure* why) {
  return from_file(file_name, why, [&](const Ref<C_Stream>& s) { return load_from_stream(s, why); });
}

Ref<C_Bitmap> C_Bmp::load_from_stream(const Ref<C_Stream>& stream, Load_failure* why) {
  return load_into_new([&](Native_bitmap* n) { return C_Brek_drawing::load_bmp(stream, n, why); }, why);
}

bool C_Bmp::save(const Ref<C_Bitmap>& bitmap, const std::string& file_name) {
  return C_Brek_drawing::save_bmp(native_of(bitmap), file_name);
}

Ref<C_Bitmap> C_Bmp::paste_clipboard() {
  Ref<C_Bitmap> b = C_Bitmap::create(1, 1, 0);
  if (b->paste_from_clipboard() && b->width > 0 && b->height > 0) return b;
  return Ref<C_Bitmap>();
}

bool C_Bmp::copy_to_clipboard(const Ref<C_Bitmap>& bitmap) {
  bitmap->copy_to_clipboard();
  return true;
}

Ref<C_Bitmap> C_Jpeg::load_from_file(const std::string& file_name, reduce_size_of_jpeg_while_load reduce,
                                     Load_failure* why) {
  return from_file(file_name, why, [&](const Ref<C_Stream>& s) { return load_from_stream(s, reduce, why); });
}

Ref<C_Bitmap> C_Jpeg::load_from_stream(const Ref<C_Stream>& stream, reduce_size_of_jpeg_while_load reduce,
                                       Load_failure* why) {
  int64_t factor = reduction_factor(reduce);
  return load_into_new([&](Native_bitmap* n) { return C_Brek_drawing::load_jpeg(stream, n, factor, why); }, why);
}

Ref<C_Bitmap> C_Jpeg::load_part_from_file(const std::string& file_name, const Jpeg_codec::Part& want,
                                          Jpeg_codec::Part& got, Load_failure* why, Jpeg_codec::Part* exact) {
  got = Jpeg_codec::Part{};
  std::vector<uint8_t> bytes;
  if (!Image_file_io::read_whole_file(file_name, bytes, why)) return Ref<C_Bitmap>();
  return load_into_new(
      [&](Native_bitmap* n) {
        return Brek_drawing::load_jpeg_part(bytes.data(), bytes.size(), n, want, got, why, exact);
      },
      why);
}

bool C_Jpeg::save(const Ref<C_Bitmap>& bitmap, const std::string& file_name, int64_t quality) {
  return C_Brek_drawing::save_jpeg(native_of(bitmap), file_name, quality);
}

Ref<C_Bitmap> C_Png::load_from_file(const std::string& file_name, reduce_size_of_jpeg_while_load reduce,
                                    Load_failure* why) {
  return from_file(file_name, why, [&](const Ref<C_Stream>& s) { return load_from_stream(s, reduce, why); });
}

Ref<C_Bitmap> C_Png::load_from_stream(const Ref<C_Stream>& stream, reduce_size_of_jpeg_while_load, Load_failure* why) {
  return load_into_new([&](Native_bitmap* n) { return C_Brek_drawing::load_png(stream, n, why); }, why);
}

bool C_Png::save(const Ref<C_Bitmap>& bitmap, const std::string& file_name, int64_t) {
  return C_Brek_drawing::save_png(native_of(bitmap), file_name);
}

#define BREK_STUB_FORMAT_BODY(Name, loader)                                                                \
  Ref<C_Bitmap> Name::load_from_file(const std::string& file_name, Load_failure* why) {                    \
    return from_file(file_name, why, [&](const Ref<C_Stream>& s) { return load_from_stream(s, why); });   \
  }                                                                                                        \
  Ref<C_Bitmap> Name::load_from_stream(const Ref<C_Stream>& stream, Load_failure* why) {                   \
    return load_into_new([&](Native_bitmap* n) { return C_Brek_drawing::loader(stream, n, why); }, why); \
  }
BREK_STUB_FORMAT_BODY(C_Pcd, load_pcd)
BREK_STUB_FORMAT_BODY(C_Pcx, load_pcx)
BREK_STUB_FORMAT_BODY(C_Psd, load_psd)
BREK_STUB_FORMAT_BODY(C_Tga, load_tga)
BREK_STUB_FORMAT_BODY(C_Tiff, load_tiff)
BREK_STUB_FORMAT_BODY(C_Xpm, load_xpm)
BREK_STUB_FORMAT_BODY(C_WebP, load_webp)
#undef BREK_STUB_FORMAT_BODY

bool C_WebP::save_to_file(const Ref<C_Bitmap>& bitmap, const std::string& file_name, int64_t, int64_t) {
  return C_Brek_drawing::save_webp(native_of(bitmap), file_name);
}

bool C_WebP::save_to_stream(const Ref<C_Bitmap>&, const Ref<C_Stream>&, int64_t, int64_t) { return false; }

}  // namespace brek
