#pragma once
// GIF pictures made to be written. TGIFImage holds the frames (TGIFFrame)
// and what they share: the logical screen, the global colour table, the
// comments and the looping setting. A frame keeps a copy of its picture
// and, once encoded, its palette and compressed data; write_data builds
// the whole file in memory, so a failure leaves nothing half written.
//
// Pictures of more than 256 colours are reduced by RxGraph (quantizer.h)
// and compressed by RxGIF::lzw_encode (lzw_encoder.h). The class reads GIF
// files too (gif_image_read.cpp), draws its current frame
// (gif_image_draw.cpp) and travels over the clipboard as the bytes of a
// GIF file (gif_image_clipboard.cpp); the viewer reads GIF files with its
// own reader (gif.h) and copies pictures as bitmaps.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "drawing/colors.h"
#include "drawing/pixels.h"
#include "images/gif.h"
#include "images/quantizer.h"
#include "runtime/exceptions.h"
#include "runtime/object.h"

namespace brek {

class C_Bitmap;
class C_Canvas;
class C_Stream;
class TGIFImage;
struct rect;

// Raised when a GIF cannot be built: "No GIF Data to write", "GIF image
// encoding error", "Wrong number of colors; must be a power of 2",
// "Cannot change the Size of a GIF image"; or read: "Unknown GIF version",
// "Unrecognized extension block: %.2x", "GIF code size not in range 2 to
// 9", "GIF encoded data is corrupt".
BREK_EXCEPTION(E_Gif_error, Brek_Exception)

enum class gif_version { NOT_SET, GIF87A, GIF89A };

// One extension block as it is written: the label follows from the kind.
struct TExtension {
  extension_type type = extension_type::COMMENT;
  // The fixed bytes after the label, as in the file: 6 for a graphic
  // control block (its terminator included), 13 for plain text, 12 for
  // an application block, none for a comment.
  std::vector<uint8_t> header;
  // Plain text, application and comment blocks: one string per data
  // sub-block (cut to 255 bytes when written; empty strings are skipped).
  std::vector<std::string> texts;

  uint8_t label() const;
  // A graphic control block with nothing set: size 4, flags 0, delay 0,
  // index 0, terminator.
  static TExtension graphic_control();
  static TExtension comment(std::vector<std::string> lines);
};

// What the frames of one image share.
struct TGIFData {
  std::vector<std::string> comments;
  uint8_t aspect = 0;
  // Bits of the global colour table's size; 0 while there is none.
  int64_t palette_bits = 0;
  std::vector<Rgb_entry> color_table;  // the global colour table
};

// A frame's encoded picture.
struct TGIFItem {
  // The minimum-code-size byte, the data sub-blocks and their terminator.
  std::vector<uint8_t> data;
  int64_t width = 0;
  int64_t height = 0;
  int64_t bits_per_pixel = 0;
  int64_t color_count = 0;
  std::vector<Rgb_entry> color_table;  // the frame's palette
};

class TGIFFrame : public Brek_object {
  BREK_CLASS(TGIFFrame)
 public:
  Weak<TGIFImage> image;
  // The picture and the depth its bitmap had (1, 4 and 8 bits keep their
  // colours as they are).
  Pixels bitmap;
  int64_t bitmap_bits = 24;
  TGIFItem item;
  std::vector<TExtension> extensions;
  int64_t left = 0;
  int64_t top = 0;
  // The colour whose palette entry is written as transparent.
  std::optional<Color> transparent_color;
  uint16_t delay = 0;     // milliseconds
  int64_t disposal = 0;   // as stored in the file, 0..3
  bool interlaced = false;
  bool grayscale = false;  // reduce to the grey ramp
  bool local_color_table = false;
  // The reader met the end of the frame's data before its last pixel.
  bool corrupted = false;

  static Ref<TGIFFrame> create();
  void copy_from(const TGIFFrame& other);

  // The bitmap's palette indexes compressed into `item` (E_Gif_error "No
  // GIF Data to write" for an empty bitmap).
  void encode_bitmap();
  // An 8-bit picture (bits 1, 4 or 8: 2, 16 or 256 palette entries used)
  // compressed into `item`; the first frame's palette becomes the global
  // colour table, later frames keep theirs.
  void encode_dib(const Indexed_bitmap& dib, int64_t bits);
  // A damaged frame's data (cut off, or short of its last pixel) made
  // whole again from the indexes it decodes to: written as read, it would
  // swallow the blocks after it, and other readers refuse it.
  void encode_whole_data();
  // The graphic control block made to match delay, transparency and
  // disposal; empty comment blocks dropped.
  void update_extensions();
  // The first palette entry of the transparent colour; -1 when none.
  int64_t transparent_index() const;
  // Bits of the frame's palette size: the least n >= 1 with 2^n >= colours.
  int64_t palette_bits() const;
};

class TGIFImage : public Brek_object {
  BREK_CLASS(TGIFImage)
 public:
  TGIFData data;
  std::vector<Ref<TGIFFrame>> frames;
  int64_t current_frame = -1;
  gif_version version = gif_version::NOT_SET;
  std::optional<Color> background_color;
  bool looping = false;
  int64_t loop_count = 1;
  bool corrupted = false;
  bool grayscale = false;  // new frames reduce to grey
  int64_t screen_width = 0;
  int64_t screen_height = 0;

  static Ref<TGIFImage> create();
  // Back to a new image: no frames, no shared data.
  void clear();
  // The image becomes the bitmap as its one frame.
  void assign(const Ref<C_Bitmap>& bitmap);
  void assign(const Pixels& picture, int64_t bits);
  // A copy of another image's data and frames.
  void assign(const Ref<TGIFImage>& other);
  // A one-frame image of a copy of the frame, its palette the global one.
  void assign(const Ref<TGIFFrame>& frame);

  // A new last frame holding a copy of the picture; it becomes current.
  // The screen grows to hold every frame; the version is 87a for one frame
  // and 89a from the second on.
  Ref<TGIFFrame> add_frame(const Pixels& picture, int64_t bits,
                           std::optional<Color> transparent = std::nullopt);

  int64_t FrameCount() const { return int64_t(frames.size()); }
  // The None frame outside 0 .. FrameCount() - 1.
  Ref<TGIFFrame> FrameAt(int64_t index) const;
  // Clamped to -1 .. FrameCount() - 1.
  void SetFrameIndex(int64_t index);
  // The image or one of its frames was marked corrupted by the reader.
  bool IsCorrupted() const;
  // The current frame's bitmap size; 0 without one.
  int64_t width() const;
  int64_t height() const;
  // A GIF's size follows its frames: both raise E_Gif_error.
  void set_width(int64_t);
  void set_height(int64_t);

  // Every frame without compressed data is encoded, every damaged one
  // made whole; extensions updated.
  void encode_frames();
  // The GIF file.
  std::vector<uint8_t> write_data();
  // The GIF file written to the stream; false when the stream took less.
  bool save_to_stream(const Ref<C_Stream>& stream);

  // The image becomes the GIF file's frames, each decoded to its bitmap.
  // Data that ends before the trailer ends the reading there and marks the
  // image corrupted, and so does a frame that would take the decoded
  // pictures past decoded_bytes_limit (a few bytes of GIF can declare
  // thousands of screen-sized frames). A malformed file raises E_Gif_error
  // and leaves the image cleared.
  static inline int64_t decoded_bytes_limit = int64_t(1) << 29;
  void read_data(const uint8_t* bytes, int64_t size);
  void read_data(const std::vector<uint8_t>& bytes);
  // The rest of the stream, from its position.
  void read_data(const Ref<C_Stream>& stream);

  // The current frame stretched into the rectangle (canvas units). With
  // `transparent`, pixels of the frame's transparent colour leave the
  // canvas as it was.
  void draw(const Ref<C_Canvas>& canvas, const rect& r, bool transparent) const;

  // The clipboard format "GIF Image" carries the bytes of write_data; on
  // this platform it travels as "image/gif".
  static constexpr const char* CLIPBOARD_FORMAT = "GIF Image";
  static constexpr const char* CLIPBOARD_TYPE = "image/gif";
  // Registers the clipboard format with the platform (start-up) and
  // withdraws it (shut-down).
  static bool register_class();
  static void unregister_class();
  // Puts the image on the clipboard as a GIF file; false when the format is
  // not registered or there is nothing to write.
  bool copy_to_clipboard();
  // Replaces the image by the clipboard's GIF; false (the image unchanged)
  // when the clipboard holds none. A malformed one raises as read_data.
  bool paste_from_clipboard();

  static constexpr int64_t MAX_SIDE = 65535;
};

}  // namespace brek
