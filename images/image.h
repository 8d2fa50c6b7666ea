#pragma once
// One image file as the rest of the program sees it: name, size and dates,
// the dimensions from its header, the size at which it is shown, and up
// to three pictures (full, animated, reduced for thumbnails), loaded and
// saved by the file's extension.
//
// C_Image derives from C_Thread for its place in the class tree but is
// never started: everything runs on the caller's thread. It holds nothing
// until asked, so thousands of them cost little. A reduced picture (a JPEG
// at 1/2, 1/4 or 1/8) is replaced only by a larger one. A failed decode is
// remembered for the object's life (a new object tries again): a bad file
// costs one decode, not one a repaint.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "baselib/date_time.h"
#include "baselib/geometry.h"
#include "baselib/thread.h"
#include "drawing/bitmap.h"
#include "forms/form.h"
#include "images/gif.h"
#include "images/image_header.h"
#include "images/load_failure.h"
#include "images/whole_decode.h"

namespace brek {

class C_Image : public C_Thread {
  BREK_CLASS(C_Image)
 public:
  int64_t list_index = 0;
  std::string file_name;
  // The header gave no usable size although a target was given: load()
  // decodes to learn it.
  bool load_needed = false;
  // The version of the file read_header_info took (its size, times and
  // place); none before it took one.
  std::optional<Image_header::File_version> version;
  date_time modified;
  date_time created;
  bool fax_compressed = false;
  Ref<C_Bitmap> picture;
  Ref<C_Gif> animation;
  Ref<C_Bitmap> reduced;
  int64_t use_stamp = 0;
  int64_t width = 0;
  int64_t height = 0;
  int64_t display_width = 0;
  int64_t display_height = 0;
  // The orientation the viewer wants, and that of the stored picture.
  int64_t quarter_turns = 0;
  bool flip_x = false;
  bool flip_y = false;
  bool inverse = false;
  int64_t applied_turns = 0;
  bool applied_flip_x = false;
  bool applied_flip_y = false;
  bool applied_inverse = false;
  brek::rect rect;
  int64_t platform_is_csharp = -1;
  // A decode failed (or threw): not tried again on every repaint.
  bool load_failed = false;
  // Why it failed: the decoder's reason, or the text of what it threw.
  Load_failure load_failure_reason;

  static Ref<C_Image> create();
  static Ref<C_Image> none_record() { return Ref<C_Image>(); }

  // Header size (when none is known and a target is given), file size and
  // dates (when not yet read) and the display size for the target.
  void read_header_info(double tw, double th);
  // The same for the file's information and size only (a sort key, a
  // card's size): the display size a view gave stays.
  void read_header_keeping_display(double tw, double th);
  // The file's size in bytes as read_header_info took it; 0 before.
  double file_size() const { return version ? version->size : 0; }
  // Whether the file may hold another picture than when read_header_info
  // took its version: written since (a file of 0 bytes filled, too), or
  // another file renamed over it, also one of the same size and date; a
  // change of modes alone counts only for a file that failed to load
  // (made readable). False before it took any and when the file is gone.
  bool file_changed() const;
  // The same, for what a read of the file's information gave (elsewhere:
  // a thread that may wait on the file's mount).
  bool changed_from(const Image_header::File_header& now) const;
  // read_header_info's reads (without the display size) for many images,
  // those of one folder, in one question to their mount on a worker
  // (baselib/bounded_ask.h); false, nothing read, when it got no answer.
  static bool read_headers(const std::vector<Ref<C_Image>>& images, double tw, double th);
  // file_changed of each image, asked so; nothing when it got no answer.
  static std::optional<std::vector<bool>> files_changed(const std::vector<Ref<C_Image>>& images);
  // The file's mount does not answer now (Bounded_ask::answers): neither
  // its header nor its picture is read meanwhile, nor is it failed.
  bool on_silent_mount() const;
  // The picture, reduced where the target allows (JPEG and PNG); the whole
  // one through load_whole.
  void load(double tw, double th);

  // ---- the whole picture ----
  // What load_whole came to.
  enum class whole_result {
    HELD,          // the full picture or the animation is held
    NONE,          // none: the file does not decode (load_failed) or has no reader
    FILE_CHANGED,  // the file is another version than read_header_info took:
                   // nothing of it is decoded into this image
  };
  // The full picture or the animation, the one way to them: held already;
  // the worker's (start_whole_decode) when one decodes it, waited for (as
  // long work waits with `ticking`: the tick handlers run, so the
  // long-operation window comes after two seconds and its Cancel raises
  // Stop_exception here, the worker going on); else decoded here. A file
  // the worker found at fault (or no memory for) fails as it said, and is
  // not decoded here again.
  whole_result load_whole(bool ticking = true);
  // Starts a worker on the whole picture (C_Whole_decode::reads), unless it
  // is held, failed or coming; whether one decodes it now.
  bool start_whole_decode();
  // Whether a worker decodes the whole picture, and whether it is done.
  bool whole_decoding() const { return !whole_job_.is_none(); }
  bool whole_decoded() const { return whole_decoding() && whole_job_->is_finished(); }
  // A finished worker's picture taken (a GIF's animation on its first
  // frame, also one that shows nothing), the image taking the size it
  // decoded to: HELD, FILE_CHANGED (nothing taken), or NONE when it
  // brought none: not done, stopped, or a file that failed or found no
  // memory for its picture (load_failed, with the worker's reason, as a
  // decode here would set it).
  whole_result take_whole_decode();
  // A worker decoding the whole picture stops at its next rows.
  void stop_whole_decode();
  // Whether the image holds more than load(tw, th) gives it: a full
  // picture or animation where a reduced picture serves, a reduced one
  // of a larger step, or anything for a target without area. A view
  // drawing at that size may let its pictures go and load again.
  bool holds_more_than(double tw, double th);
  // Saves the picture shown now by the extension of `name`: ".bmp",
  // ".jpg"/".jpeg", ".png", ".gif", ".webp". False when nothing could be
  // loaded to save (`nothing_to_save` then set), for other extensions and
  // when the saver failed.
  bool save_picture(const std::string& name, bool& nothing_to_save);
  // The same, telling the user over `form` ("Can not load image to save",
  // with the reason a failed load gave) when there was nothing to save;
  // other failures are the caller's to report.
  bool save(const Ref<C_Form>& form, const std::string& name);
  // A copy of the header fields without pictures; this image gives its
  // pictures up.
  Ref<C_Image> clone();
  // Lets go of the three pictures, in place: they are loaded again when
  // wanted, and the orientation wanted stays while the stored one goes
  // with them.
  void release_pictures();
  // Lets go of the full picture and the animation in place (a worker
  // decoding it stops), keeping the reduced picture: a view that keeps
  // what it draws of a large picture.
  void release_whole();
  // Bytes of the pictures held: full, reduced, and the animation's
  // composed picture with its decoded frames.
  int64_t bytes_held() const;
  void set_rect(int64_t w, int64_t h);
  // Stores the cell rectangle; widths and heights between 0 and 16 become 16.
  void set_load_options(const brek::rect& r);
  bool is_platform_csharp();

  // The text of load_failure_reason ("truncated", "No such file or
  // directory"); empty while no load failed.
  std::string load_failure() const { return load_failure_reason.text(); }
  // A message naming a failure with that reason after it ("Nothing to
  // save: truncated"); the message alone when no load failed.
  std::string with_load_failure(const std::string& message) const;

  // The lower-case extension (with its dot) that types the file.
  std::string extension() const;

  // The frame a GIF shows now as a 32-bit bitmap of its own, which the
  // next frame leaves as it is (the GIF composes every frame into one
  // picture); None when the frame is empty.
  static Ref<C_Bitmap> frame_bitmap(const Ref<C_Gif>& gif);
  // What a view of the image draws now: the full picture, else the frame
  // the animation shows, as the animation's own picture (no copy: at the
  // size limit one is a gibibyte, and its pixels change with the frame);
  // None while neither is loaded. `frame` gets that frame (0 for a still
  // picture), so a copy made from it can tell when it is stale.
  Ref<C_Bitmap> shown_picture(int64_t* frame = nullptr);

  void destroy_hook() override;

 private:
  // The full picture or the animation decoded here by extension, unless
  // one is held.
  void load_native();
  // What read_header_info reads takes effect.
  void take_header(const Image_header::File_header& h, bool want_size, bool want_info);
  // Waits for the worker decoding the whole picture (load_whole).
  void wait_for_whole_decode(bool ticking);
  Ref<C_Whole_decode> whole_job_;
  // Runs a decoder, handing it where to say why it failed; an exception or
  // a None result marks the image failed, with the reason.
  template <class Decode>
  auto decode(Decode d) -> decltype(d(nullptr));
  // Whether file_name may be used as a path ("<clipboard>" may not).
  bool is_file() const;
  // How load(tw, th) reads the file (image.cpp).
  struct Reduced_step;
  Reduced_step reduced_step(double tw, double th);
};

}  // namespace brek
