#pragma once
// One small class per image file type: load a file (or stream) into a new
// bitmap, save a bitmap to a file. BMP and JPEG decode and encode; the
// other types have no decoder here and always report failure.

#include <cstdint>
#include <string>

#include "baselib/stream.h"
#include "drawing/bitmap.h"
#include "images/jpeg_codec.h"
#include "images/load_failure.h"
#include "runtime/object.h"

namespace brek {

// The reduction asked of a JPEG (or PNG) load.
enum class reduce_size_of_jpeg_while_load { FULL, HALF, QUAR, EIGH };

// 1, 2, 4 or 8 for FULL, HALF, QUAR, EIGH; 0 (full size) for anything else.
int64_t reduction_factor(reduce_size_of_jpeg_while_load reduce);

// Every load gives the picture, or the None bitmap with `why` (when given)
// saying why: the system's error for a file that does not open, else the
// decoder's reason.

class C_Bmp : public Brek_object {
  BREK_CLASS(C_Bmp)
 public:
  // The picture, or the None bitmap when the file does not load.
  static Ref<C_Bitmap> load_from_file(const std::string& file_name, Load_failure* why = nullptr);
  static Ref<C_Bitmap> load_from_stream(const Ref<C_Stream>& stream, Load_failure* why = nullptr);
  // True when every file was written (an alpha plane adds ".alpha.bmp").
  static bool save(const Ref<C_Bitmap>& bitmap, const std::string& file_name);
  // The clipboard's image, or the None bitmap.
  static Ref<C_Bitmap> paste_clipboard();
  static bool copy_to_clipboard(const Ref<C_Bitmap>& bitmap);
};

class C_Jpeg : public Brek_object {
  BREK_CLASS(C_Jpeg)
 public:
  // Library errors ("JPEG error #n") pass to the caller as E_Jpeg_error,
  // `why` told first.
  static Ref<C_Bitmap> load_from_file(const std::string& file_name, reduce_size_of_jpeg_while_load reduce,
                                      Load_failure* why = nullptr);
  static Ref<C_Bitmap> load_from_stream(const Ref<C_Stream>& stream, reduce_size_of_jpeg_while_load reduce,
                                        Load_failure* why = nullptr);
  // Only the part of the picture around `want`, at full size: inside
  // `want` its pixels are the whole picture's (Jpeg_codec::decode_part).
  // `got` is the part the bitmap holds, `exact` where its pixels are the
  // whole picture's.
  static Ref<C_Bitmap> load_part_from_file(const std::string& file_name, const Jpeg_codec::Part& want,
                                           Jpeg_codec::Part& got, Load_failure* why = nullptr,
                                           Jpeg_codec::Part* exact = nullptr);
  // Baseline at quality 90 whatever `quality` says.
  static bool save(const Ref<C_Bitmap>& bitmap, const std::string& file_name, int64_t quality);
};

class C_Png : public Brek_object {
  BREK_CLASS(C_Png)
 public:
  static Ref<C_Bitmap> load_from_file(const std::string& file_name, reduce_size_of_jpeg_while_load reduce,
                                      Load_failure* why = nullptr);
  static Ref<C_Bitmap> load_from_stream(const Ref<C_Stream>& stream, reduce_size_of_jpeg_while_load reduce,
                                        Load_failure* why = nullptr);
  static bool save(const Ref<C_Bitmap>& bitmap, const std::string& file_name, int64_t option);
};

// The types without a decoder: the None bitmap, always.
#define BREK_STUB_FORMAT(Name)                                                                         \
  class Name : public Brek_object {                                                                    \
    BREK_CLASS(Name)                                                                                   \
   public:                                                                                             \
    static Ref<C_Bitmap> load_from_file(const std::string& file_name, Load_failure* why = nullptr);    \
    static Ref<C_Bitmap> load_from_stream(const Ref<C_Stream>& stream, Load_failure* why = nullptr);   \
  };
BREK_STUB_FORMAT(C_Pcd)
BREK_STUB_FORMAT(C_Pcx)
BREK_STUB_FORMAT(C_Psd)
BREK_STUB_FORMAT(C_Tga)
BREK_STUB_FORMAT(C_Tiff)
BREK_STUB_FORMAT(C_Xpm)
#undef BREK_STUB_FORMAT

class C_WebP : public Brek_object {
  BREK_CLASS(C_WebP)
 public:
  static Ref<C_Bitmap> load_from_file(const std::string& file_name, Load_failure* why = nullptr);
  static Ref<C_Bitmap> load_from_stream(const Ref<C_Stream>& stream, Load_failure* why = nullptr);
  // No encoder: false, and nothing is opened or written.
  static bool save_to_file(const Ref<C_Bitmap>& bitmap, const std::string& file_name, int64_t a, int64_t b);
  static bool save_to_stream(const Ref<C_Bitmap>& bitmap, const Ref<C_Stream>& stream, int64_t a, int64_t b);
};

}  // namespace brek
