#pragma once
// The program's own GIF reader: the logical screen, the palettes, the
// extensions and the frames of a GIF file (gif.cpp), and the frames
// decoded and composed on the logical screen by their disposal methods
// into a 32-bit picture (gif_render.cpp).
//
// The reader keeps each frame's compressed data as it stands in the file;
// a frame is decoded the first time it is drawn. Decoded frames are kept as
// rows of palette indexes in a cache of bounded size, so that a long
// animation cannot exhaust memory; a frame pushed out is decoded again when
// it is needed. A still is not cached (it is never drawn again), and a
// frame wholly off the screen is never decoded.
//
// The composed picture is always frames 0..n drawn with their disposals:
// the next frame costs one, any other change replays from frame 0. It is
// one shared opaque 24-bit bitmap (composed_bitmap), which views draw as it
// is (C_Image::shown_picture, with its frame number). A frame that states
// no disposal leaves its picture, as other decoders compose (fix_disposals:
// LEAVE after a LEAVE frame or before a transparent one); it never inherits
// a restoring disposal, which would blank every later frame.
//
// A GIF composing on a worker (set_go_on) draws each frame as its rows are
// decoded, keeping none, and hears a stop within a row of any pass. An
// animation too large for the window's thread has its frames composed on
// workers (compose_on_workers, gif_frames.cpp): while one frame shows, a
// worker composes the next into a second picture over the shown one,
// which step_frame takes; the window's thread never composes a frame.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "drawing/bitmap.h"
#include "drawing/pixels.h"
#include "images/gif_frame_job.h"
#include "images/load_failure.h"
#include "runtime/dyn_array.h"
#include "runtime/object.h"

namespace brek {

class C_Stream;
class Gif_animation;
class Picture_shrink;

// Which reader takes a GIF file (the global option "Gif_code").
enum class gif_code_from { GIF_BOTH, GIF_NATIVE, GIF_Brek };

enum class disposal_method { UNDEFINED, LEAVE, RESTORE_BACK, RESTORE_PREV };

enum class extension_type { UNKNOWN, GRAPHIC, PLAIN_TEXT, APPLICATION, COMMENT };

// One palette entry.
struct St_color_item__C_Gif {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  bool operator==(const St_color_item__C_Gif&) const = default;
};
using Gif_palette = std::vector<St_color_item__C_Gif>;

// One extension block as read.
struct St_extension__C_Gif {
  extension_type type = extension_type::UNKNOWN;
  std::vector<std::string> texts;  // one per data sub-block
  std::vector<int64_t> values;     // bytes 1 and 2 of each sub-block, little-endian
  int64_t block_size = 0;
  int64_t packed = 0;
  int64_t delay = 0;  // hundredths of a second, as stored
  int64_t transparent_index = 0;
  int64_t terminator = 0;
  int64_t grid_left = 0;
  int64_t grid_top = 0;
  int64_t grid_width = 0;
  int64_t grid_height = 0;
  int64_t cell_width = 0;
  int64_t cell_height = 0;
  int64_t foreground_index = 0;
  int64_t background_index = 0;
  std::vector<uint8_t> identifier;      // 8 bytes
  std::vector<uint8_t> authentication;  // 3 bytes
};

struct St_extensions__C_Gif {
  std::vector<St_extension__C_Gif> items;
};

// One frame: its image descriptor, graphic-control settings and compressed
// data (the minimum-code-size byte and the data sub-blocks up to and
// including the zero-length one).
struct St_gif_frame__C_Gif {
  int64_t index = 0;
  bool truncated = false;
  int64_t left = 0;
  int64_t top = 0;
  St_extensions__C_Gif extensions;
  int64_t delay = 0;  // milliseconds
  disposal_method disposal = disposal_method::UNDEFINED;
  int64_t transparent_color = 0;
  int64_t transparent_index = -1;
  bool has_transparent = false;
  bool interlaced = false;
  bool has_local_palette = false;
  std::vector<uint8_t> data;
  int64_t width = 0;
  int64_t height = 0;
  int64_t packed = 0;
  Gif_palette palette;  // the local palette, or a copy of the global one
};

class C_Gif : public Brek_object {
  BREK_CLASS(C_Gif)
 public:
  // What the records of one file may take (approximately) before reading
  // stops as at the end of the data.
  static constexpr int64_t MAX_RECORD_BYTES = int64_t(1) << 28;
  // Default size of the cache of decoded frames.
  static constexpr int64_t FRAME_CACHE_BYTES = int64_t(1) << 27;

  // ---- reading (gif.cpp) ---------------------------------------------------

  // The file read by the reader that the option selects; the None C_Gif when
  // the file cannot be read, `why` saying why.
  static Ref<C_Gif> load_from_file(const std::string& file_name, Load_failure* why = nullptr);
  // The rest of the stream from its position, read as load_from_bytes.
  static Ref<C_Gif> load_from_stream(const Ref<C_Stream>& stream);
  // A new C_Gif read from the bytes by the reader that the option selects.
  // A byte string that is not a GIF gives a C_Gif without frames.
  static Ref<C_Gif> load_from_bytes(const uint8_t* data, int64_t size);
  static Ref<C_Gif> load_from_bytes(const DynAByte& data);
  static Ref<C_Gif> load_from_bytes(const std::string& data);
  // A new C_Gif read by the program's own reader whatever the option says,
  // its first frame composed (unless `compose` is false: for a reader that
  // composes it its own way, compose_first_frame).
  static Ref<C_Gif> read_from_bytes(const uint8_t* data, int64_t size, bool compose = true);

  // The picture written as a GIF file through the image-file glue; false,
  // with nothing written, when no encoder takes it or the write fails.
  static bool save(const Ref<C_Bitmap>& picture, const std::string& file_name);

  // The global option "Gif_code"; a stored value other than 0, 1 or 2
  // reads as GIF_BOTH. GIF_NATIVE reads with the native drawing layer's GIF
  // class only (a file it refuses gives a C_Gif without frames), GIF_Brek
  // with the own reader only, GIF_BOTH with the native class and, for a
  // file it refuses, the own reader. On the native path the C_Gif has no
  // frames of its own: the frame count, the frame choice, the delay and the
  // composed picture come from the class (gif_native.cpp).
  static void set_gif_code(gif_code_from code);
  static gif_code_from gif_code();

  // The pixel of a colour of the program (red in the low byte) with alpha.
  static uint32_t pixel_of(int64_t color, uint8_t alpha) {
    uint32_t c = static_cast<uint32_t>(color);
    return Pixels::bgra(uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), alpha);
  }

  int64_t width() const { return screen_width; }
  int64_t height() const { return screen_height; }

  // ---- frames and composition (gif_render.cpp) -----------------------------

  int64_t frame_count() const { return frames.empty() ? native_frame_count() : static_cast<int64_t>(frames.size()); }
  // Ignored unless 0 <= index < frame_count(), and for another frame than
  // the one shown while the frames are composed on workers (step_frame
  // steps them).
  void set_current_frame(int64_t index);
  // Delay of the current frame in milliseconds.
  int64_t frame_delay() const;
  // The logical screen showing the current frame, composed from frame 0
  // on (or as a worker composed it). An empty picture when no frame up to the current one could be
  // decoded or the screen is larger than Pixels allows.
  const Pixels& render_current_frame();
  // The same picture as a bitmap that shares its pixels (no copy), for
  // showing; None when the picture is empty. Its pixels change with the
  // current frame.
  Ref<C_Bitmap> composed_bitmap();
  // Bytes of the 32-bit pictures held: the composed picture, the part of
  // it kept under a frame that restores the previous picture, and the
  // picture kept for the worker composing the next frame.
  int64_t picture_bytes_held() const;
  // Whether some frame composes to a picture (a GIF whose frames all fail
  // to decode, or whose screen is empty or too large, shows nothing); when
  // none does, `why` says what the reading found. The current frame stays
  // as it was.
  bool has_picture(Load_failure* why = nullptr);
  // Ends the showing of frame n - 1 by its disposal and draws frame n over
  // the composed picture.
  void draw_frame(int64_t n);
  // Frame 0 composed on the logical screen (the opaque background where the
  // frame leaves it), its rows handed to `into` one at a time, so that the
  // screen is never held in 32 bits: only the frame's rows of palette
  // indexes are, until it returns. False when frame 0 does not decode or
  // `go_on` said stop.
  bool compose_first_frame(Picture_shrink& into, const std::function<bool()>& go_on = {});
  // Frame n alone: its width by height, transparent pixels with alpha 0.
  // Empty when it does not decode.
  Pixels decode_frame(int64_t n);
  // This GIF composes on a worker: `go_on` is asked between the rows of
  // every pass (the LZW decode, the drawing, a disposal, a copy) whether
  // the work is still wanted, and a stop leaves the frame undecoded, not
  // failed. Each frame is drawn as its rows are decoded, none kept: a
  // worker composes a frame once.
  void set_go_on(std::function<bool()> go_on) {
    go_on_ = std::move(go_on);
    as_decoded_ = true;
  }
  // The composed first frame made elsewhere (by a worker, from the same
  // file's bytes) taken as this GIF's picture, as composing frame 0 here
  // would leave it; false, nothing taken, for a picture of another size or
  // a GIF without frames.
  bool adopt_first_frame(Pixels&& composed);
  // Frame 0 found elsewhere (by a worker, from the same file's bytes) to
  // show nothing, as it does not decode, while a later frame shows: taken
  // as composing it here would leave it, the current frame showing
  // nothing, and never decoded again. False for a GIF without frames.
  bool adopt_empty_first_frame();

  // ---- frames composed on workers (gif_frames.cpp) --------------------------

  // From now on the frames after the one shown are composed on workers
  // from `bytes` (the file's, which this GIF was read from): the window's
  // thread never composes one. For an animation showing its first frame.
  void compose_on_workers(std::shared_ptr<const std::vector<uint8_t>> bytes);
  bool composes_on_workers() const { return bytes_ != nullptr; }
  // Steps the animation to its next frame (after the last, the first):
  // whether that frame shows now. On workers, only once a worker composed
  // it; one starts on it now if none does (false meanwhile), and one on
  // the frame after as it is taken. Where no worker can start, the frame
  // is composed here from then on.
  bool step_frame();
  // The frames are not shown for now: a worker composing one stops within
  // a row, and the picture kept for the next goes. A later step_frame
  // starts again.
  void stop_workers();
  // What a worker does for a job: the job's frame composed over the
  // picture showing the one before it, or from the first frame
  // (C_Gif_frame_job).
  void compose_for(C_Gif_frame_job& job);

  // Bits per pixel of the index rows for a palette of this many entries:
  // 1 for 2 entries, 4 for up to 16, 8 above.
  static int64_t index_depth(int64_t palette_entries);

  // The budget of the frame cache in bytes (at least one frame is kept).
  void set_frame_cache_limit(int64_t bytes);
  int64_t frame_cache_bytes() const { return cache_bytes_; }
  // How many times frames were decoded (cache misses).
  int64_t frames_decoded() const { return decode_count_; }

  // ---- fields --------------------------------------------------------------

  int64_t last_rendered = 0;
  int64_t current_frame = 0;
  bool damaged = false;
  std::vector<St_gif_frame__C_Gif> frames;
  DynAStr comments;
  std::string version;
  int64_t screen_width = 0;
  int64_t screen_height = 0;
  int64_t packed = 0;
  int64_t background_index = 0;
  int64_t aspect = 0;
  int64_t palette_bits = 0;
  int64_t color_resolution = 0;
  Gif_palette palette;
  // The background entry of the global palette: red + green * 256 +
  // blue * 65536, alpha byte 0.
  int64_t background_color = 0;
  std::string introducer;
  bool looping = false;
  int64_t loop_count = 0;

  void destroy_hook() override;

 private:
  struct Reader;
  struct Frame_rows {
    DynAByte rows;  // index rows as C_Lzw gives them
    int64_t stride = 0;
    int64_t held = 0;  // rows held: composition needs none below the screen
    int bits = 8;
    int64_t used = 0;  // last use, for eviction
    bool failed = false;
  };

  // ---- the native path (gif_native.cpp) ----
  // Reads the bytes with the native GIF class into a bitmap that carries it
  // (composed_); false, with nothing kept but the reason (refusal_), when
  // the class refuses them.
  bool read_native(const uint8_t* data, int64_t size);
  Load_failure refusal_;
  // The native GIF; nullptr on the own path or when nothing was read.
  Gif_animation* native_gif() const;
  int64_t native_frame_count() const;
  // The current frame composed by the native GIF; nullptr without one.
  const Pixels* native_picture();

  void read_gif(Reader& r, bool compose);
  // Why no frame composes, from what the reading left.
  Load_failure why_no_picture() const;
  void read_blocks(Reader& r);
  St_extensions__C_Gif read_extension(Reader& r, int& intro);
  bool read_frame(Reader& r, St_gif_frame__C_Gif& frame);
  void fix_disposals();

  // The index rows of frame n: all of them when `whole`, else those that
  // composition can show; nullptr when it does not decode or `go_on` (else
  // the GIF's own) said stop.
  const Frame_rows* frame_rows(int64_t n, bool whole, const std::function<bool()>& go_on = {});
  // Frame n drawn as its rows are decoded (set_go_on); false, the frame
  // undrawn, when it does not decode or a stop came.
  bool draw_as_decoded(int64_t n);
  // Whether a stop was asked for.
  bool stopped(const std::function<bool()>& go_on) const {
    const std::function<bool()>& asked = go_on ? go_on : go_on_;
    return asked && !asked();
  }
  std::function<bool()> go_on_;
  bool as_decoded_ = false;
  // The palette index of column x of an index row of `bits` bits.
  static unsigned index_at(const uint8_t* row, int64_t x, int bits) {
    switch (bits) {
      case 8: return row[x];
      case 4: return (row[x >> 1] >> ((x & 1) * 4)) & 0x0F;
      default: return (row[x >> 3] >> (x & 7)) & 1;
    }
  }
  int64_t visible_rows(const St_gif_frame__C_Gif& f) const;
  void evict_frames(int64_t keep);
  void release_rows(int64_t n);
  void reset_composition();
  bool ensure_composed();
  // Rows of the picture filled with one value, a stop heard between them;
  // false after a stop.
  bool fill_rows(Pixels& p, int64_t x, int64_t y, int64_t w, int64_t h, uint32_t value);
  // False when a stop came before the disposal was done.
  bool end_frame(int64_t n);
  // Keeps what lies under frame f (disposal RESTORE_PREV); false when a
  // stop came.
  bool save_under(const St_gif_frame__C_Gif& f);
  void blit_frame(const St_gif_frame__C_Gif& f, const Frame_rows& rows);
  // Row r of frame f, as 8-bit indexes, onto the picture, clipped to it;
  // `table` with the frame's colours, its transparent entry marked.
  void blit_row(const St_gif_frame__C_Gif& f, int64_t r, const uint8_t* indexes, const uint32_t* table,
                int64_t transparent);
  bool draw_still_in_place(int64_t n);
  void color_table(const St_gif_frame__C_Gif& f, uint32_t* table, uint8_t alpha) const;

  // The one composed picture, shared with whoever shows it.
  Ref<C_Bitmap> composed_;
  bool composed_live_ = false;  // composed_ holds frames 0..drawn
  // No memory was to be had for the composed picture: the file is not at
  // fault, and has_picture says so.
  bool short_of_memory_ = false;
  Pixels& picture() { return *composed_->pixels(); }
  const Pixels& picture() const { return *composed_->pixels(); }
  int64_t stepped_ = -1;        // the frame the composed picture shows
  bool frame_shown_ = false;    // that frame decoded and was drawn
  // The part of the picture under a frame with disposal RESTORE_PREV.
  Pixels saved_;
  int64_t saved_x_ = 0;
  int64_t saved_y_ = 0;
  bool has_saved_ = false;

  // ---- on workers (gif_frames.cpp) ----
  bool start_frame_job(int64_t n);
  void take_frame_job();
  // Pixels no longer shown, kept for the next worker, unless a stopped
  // worker may still read them: they go with it.
  void retire_picture(Pixels&& old);
  // Whether a stopped worker that may still read the pixels took them.
  bool hand_to_reader(Pixels& p);
  // This GIF ends: its workers stop, and one that may still read the
  // picture shown takes it.
  void let_go_of_workers();
  std::shared_ptr<const std::vector<uint8_t>> bytes_;
  Ref<C_Gif_frame_job> job_;
  // Workers told to stop that may still read the picture shown.
  std::vector<Ref<C_Gif_frame_job>> stopping_;
  // The memory of the picture shown before, for the next worker.
  Pixels spare_;
  // The part under the frame shown went with a stopped worker: the next
  // frame is composed from the first.
  bool compose_from_start_ = false;

  std::vector<Frame_rows> cache_;
  int64_t cache_bytes_ = 0;
  int64_t cache_limit_ = FRAME_CACHE_BYTES;
  int64_t use_clock_ = 0;
  int64_t decode_count_ = 0;
};

}  // namespace brek
