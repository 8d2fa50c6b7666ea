#pragma once
// The image-file routines of the native drawing layer: decoding a file's
// bytes into a bitmap's native part, encoding it into files, and which
// extensions load and save natively.

#include <cstdint>
#include <string>

#include "drawing/native_bitmap.h"
#include "drawing/pixels.h"
#include "images/jpeg_codec.h"
#include "images/load_failure.h"
#include "runtime/dyn_array.h"
#include "runtime/object.h"

namespace brek {
class C_Stream;
}

namespace brek::Brek_drawing {

// Decode the bytes of a whole file into the native bitmap's colour pixels
// and give its owner the size; true when the picture is not empty. A
// malformed file gives false, `why` saying why; JPEG library errors throw
// E_Jpeg_error (`why` told first).
bool load_bmp(const DynAByte& bytes, Native_bitmap* native, Load_failure* why = nullptr);
// factor 2, 4 or 8 decodes at 1/2, 1/4 or 1/8; anything else full size.
bool load_jpeg(const DynAByte& bytes, Native_bitmap* native, int64_t factor, Load_failure* why = nullptr);
// Only the part of the picture around `want`, at full size
// (Jpeg_codec::decode_part); `got` is the part the bitmap holds, `exact`
// where its pixels are the whole decode's.
bool load_jpeg_part(const uint8_t* data, size_t size, Native_bitmap* native, const Jpeg_codec::Part& want,
                    Jpeg_codec::Part& got, Load_failure* why = nullptr, Jpeg_codec::Part* exact = nullptr);
// Reads the bytes as a GIF with the GIF class (TGIFImage) and keeps it,
// all frames, in the native part; the colour pixels become its logical
// screen with the first frame composed, and the owner takes that size.
// False, with the bitmap unchanged, when the class refuses the file (its
// message becomes the detail of `why`), reads no frame, or the screen is
// too large for a picture. A file that ends early keeps the frames read
// before.
bool load_gif(const DynAByte& bytes, Native_bitmap* native, Load_failure* why = nullptr);
bool load_gif(const uint8_t* data, int64_t size, Native_bitmap* native, Load_failure* why = nullptr);
// The frames of the bitmap's GIF; 0 when it holds none.
int64_t gif_frame_count(const Native_bitmap* native);
// Makes `index` the current frame (ignored outside the frames) and composes
// it into the colour pixels (see Gif_animation); nothing without a GIF.
void gif_compose_frame(Native_bitmap* native, int64_t index);
// The current frame's delay in milliseconds; 0 without a GIF.
int64_t gif_frame_delay(const Native_bitmap* native);

// No decoder for these formats: false, nothing read, the format
// unsupported.
bool load_png(const DynAByte& bytes, Native_bitmap* native, Load_failure* why = nullptr);
bool load_pcx(const DynAByte& bytes, Native_bitmap* native, Load_failure* why = nullptr);
bool load_psd(const DynAByte& bytes, Native_bitmap* native, Load_failure* why = nullptr);
bool load_tga(const DynAByte& bytes, Native_bitmap* native, Load_failure* why = nullptr);
bool load_tiff(const DynAByte& bytes, Native_bitmap* native, Load_failure* why = nullptr);
bool load_webp(const DynAByte& bytes, Native_bitmap* native, Load_failure* why = nullptr);
bool load_xpm(const DynAByte& bytes, Native_bitmap* native, Load_failure* why = nullptr);
// The reason of those: the named format has no decoder here.
bool no_decoder(const char* format, Load_failure* why);

// A 24-bit BMP of the colour pixels; when the bitmap has an alpha plane,
// that plane too, as the file name + ".alpha.bmp". True when every file
// was written (safely: see Image_file_io::write_file_atomic).
bool save_bmp(Native_bitmap* native, const std::string& file_name);
// A baseline JPEG at quality 90.
bool save_jpeg(Native_bitmap* native, const std::string& file_name);
// The colour pixels as a one-frame GIF (reduced to 256 colours unless the
// bitmap is of 1, 4 or 8 bits and keeps its colours), written to the
// stream as a whole; false when there is nothing to encode or the stream
// took less than every byte.
bool save_gif(Native_bitmap* native, const Ref<C_Stream>& stream);
// No encoder: false, nothing written.
bool save_png(Native_bitmap* native, const std::string& file_name);
bool save_webp(Native_bitmap* native, const std::string& file_name);

// Extension without its dot, upper-cased by the caller: "BMP", "JPG",
// "JPEG", "ICO", "CUR" and "GIF" load.
bool can_load_ext(const std::string& extension);

// Extension without its dot, exactly as the caller gives it: "BMP", "JPG",
// "JPEG" and "GIF" save.
bool can_save_ext(const std::string& extension);

}  // namespace brek::Brek_drawing
