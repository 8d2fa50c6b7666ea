// The image-file procedures of C_Brek_drawing (declared with the rest of
// the class in drawing/brek_drawing.h): they read a stream whole and hand
// the bytes to the native image-file routines.

#include <algorithm>

#include "baselib/file_stream.h"
#include "baselib/memory_stream.h"
#include "baselib/stream.h"
#include "drawing/bitmap.h"
#include "drawing/brek_drawing.h"
#include "images/image_file_io.h"
#include "images/native_image_files.h"

namespace brek {

namespace {

// The stream from its position to its end; false when it cannot all be
// read or is larger than any decoder takes.
bool read_whole(const Ref<C_Stream>& stream, DynAByte& bytes, Load_failure* why) {
  int64_t size = Long_int::to_int64(stream->size()) - Long_int::to_int64(stream->position());
  if (size < 0) return Load_failure::note(why, load_failure_kind::UNREADABLE, "no size");
  if (size > Image_file_io::MAX_FILE_BYTES) return Image_file_io::too_large_file(size, why);
  // Held once: the size the stream gives is that of a file, and the bytes
  // go where they stay (growing by doubling would hold a file near the cap
  // one and a half times).
  bytes.set_length(size);
  if (bytes.count() != size) return Load_failure::no_memory(why);
  int64_t got = 0;
  for (int64_t n = 0; got < size; got += n)
    if ((n = stream->read_buffer(bytes.data() + got, size - got)) <= 0) break;
  if (got == size) return true;
  bytes.clear();
  // Fewer bytes than the size promised: the file shrank or a read failed.
  return Load_failure::note(why, load_failure_kind::UNREADABLE, "read failed");
}

template <class Loader>
bool load_with(const Ref<C_Stream>& stream, Native_bitmap* native, Load_failure* why, Loader loader) {
  DynAByte bytes;
  if (!read_whole(stream, bytes, why)) return false;
  return loader(bytes, native, why);
}

}  // namespace

bool C_Brek_drawing::load_bmp(const Ref<C_Stream>& stream, Native_bitmap* native, Load_failure* why) {
  return load_with(stream, native, why, Brek_drawing::load_bmp);
}

bool C_Brek_drawing::load_jpeg(const Ref<C_Stream>& stream, Native_bitmap* native, int64_t factor,
                               Load_failure* why) {
  DynAByte bytes;
  if (!read_whole(stream, bytes, why)) return false;
  return Brek_drawing::load_jpeg(bytes, native, factor, why);
}

bool C_Brek_drawing::load_gif(const Ref<C_Stream>& s, Native_bitmap* n, Load_failure* why) {
  return load_with(s, n, why, [](const DynAByte& bytes, Native_bitmap* native, Load_failure* w) {
    return Brek_drawing::load_gif(bytes, native, w);
  });
}
int64_t C_Brek_drawing::gif_frame_count(Native_bitmap* n) { return Brek_drawing::gif_frame_count(n); }
void C_Brek_drawing::gif_show_frame(Native_bitmap* n, int64_t index) { Brek_drawing::gif_compose_frame(n, index); }
int64_t C_Brek_drawing::gif_frame_delay(Native_bitmap* n) { return Brek_drawing::gif_frame_delay(n); }

#define BREK_LOAD_WITH(name)                                                              \
  bool C_Brek_drawing::name(const Ref<C_Stream>& s, Native_bitmap* n, Load_failure* why) { \
    return load_with(s, n, why, Brek_drawing::name);                                       \
  }
BREK_LOAD_WITH(load_png)
BREK_LOAD_WITH(load_pcx)
BREK_LOAD_WITH(load_psd)
BREK_LOAD_WITH(load_tga)
BREK_LOAD_WITH(load_tiff)
BREK_LOAD_WITH(load_webp)
BREK_LOAD_WITH(load_xpm)
#undef BREK_LOAD_WITH
bool C_Brek_drawing::load_pcd(const Ref<C_Stream>&, Native_bitmap*, Load_failure* why) {
  return Brek_drawing::no_decoder("PCD", why);
}

bool C_Brek_drawing::save_bmp(Native_bitmap* native, const std::string& file_name) {
  return Brek_drawing::save_bmp(native, file_name);
}

// The quality is not passed on: saves are always at the encoder's 90.
bool C_Brek_drawing::save_jpeg(Native_bitmap* native, const std::string& file_name, int64_t) {
  return Brek_drawing::save_jpeg(native, file_name);
}

bool C_Brek_drawing::save_gif(Native_bitmap* native, const Ref<C_Stream>& stream) {
  return Brek_drawing::save_gif(native, stream);
}

bool C_Brek_drawing::save_gif_stream(Native_bitmap* native, const std::string& file_name) {
  Ref<C_Memory_stream_contig> memory = C_Memory_stream_contig::create();
  if (!save_gif(native, Ref<C_Stream>(memory))) return false;
  // What the encoder wrote lies before its position; an encoder that wrote
  // nothing must not leave an empty file.
  int64_t n = std::min(memory->pos(), memory->used());
  if (n <= 0) return false;
  return Image_file_io::write_file_atomic(file_name, memory->data.data(), size_t(n));
}

bool C_Brek_drawing::save_png(Native_bitmap* n, const std::string& f) { return Brek_drawing::save_png(n, f); }
bool C_Brek_drawing::save_webp(Native_bitmap* n, const std::string& f) { return Brek_drawing::save_webp(n, f); }

bool C_Brek_drawing::can_load_ext(const std::string& e) { return Brek_drawing::can_load_ext(e); }
bool C_Brek_drawing::can_save_ext(const std::string& e) { return Brek_drawing::can_save_ext(e); }

}  // namespace brek
